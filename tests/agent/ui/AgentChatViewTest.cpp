#include "agent/ui/AgentChatPalette.h"
#include "agent/ui/AgentUiTestSupport.h"
#include "agent/ui/ContextChip.h"
#include "agent/ui/StreamThrottle.h"
#include "agent/ui/TranscriptCanvas.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>

namespace quillon {
namespace {

using test::PanelHarness;

QStringList pillTitles(const ChatMessage& message)
{
    QStringList titles;
    for (const ActionPillStatus& pill : message.actionPills)
        titles << pill.title;
    return titles;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool showsColour(QWidget* widget, const QColor& colour)
{
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                    + std::abs(pixel.blue() - colour.blue())
                < 12)
                return true;
        }
    }
    return false;
}

QColor pixelAt(QWidget* widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point * widget->devicePixelRatioF());
}

TEST(AgentChatView, APromptStreamsItsAnswerIntoTheTranscriptAndEndsWithTheCompletedPill)
{
    PanelHarness h;
    h.useAgent(QStringLiteral("fake-agent-stream.sh"));
    EXPECT_EQ(h.panel->engineBadge()->text(), QStringLiteral("Custom CLI (fake-agent-stream.sh)"));
    EXPECT_FALSE(h.panel->sendButton()->isEnabled());

    h.type(QStringLiteral("  Summarise <b>this</b>  "));
    EXPECT_TRUE(h.panel->sendButton()->isEnabled());
    h.pressReturn();

    EXPECT_EQ(h.panel->promptField()->text(), QString());
    ASSERT_EQ(h.tracked.size(), 1);
    EXPECT_EQ(h.tracked.first(), AnalyticsEvent::agentTaskTriggered(QStringLiteral("send_prompt")));
    ASSERT_EQ(h.bridge->messages().size(), 2);
    EXPECT_EQ(h.bridge->messages().first().text, QStringLiteral("  Summarise <b>this</b>  "));
    EXPECT_TRUE(h.panel->stopButton()->isVisible());
    EXPECT_FALSE(h.panel->sendButton()->isVisible());

    ASSERT_TRUE(h.waitForIdle());
    QTest::qWait(60); // the last repaint
    const ChatMessage answer = h.bridge->messages().at(1);
    EXPECT_TRUE(answer.text.contains(QStringLiteral("café € ok")));
    EXPECT_TRUE(answer.text.contains(QStringLiteral("to stderr")));
    EXPECT_EQ(pillTitles(answer), QStringList { QStringLiteral("Task Completed") });
    EXPECT_TRUE(h.panel->sendButton()->isVisible());
    EXPECT_FALSE(h.panel->stopButton()->isVisible());

    // What is shown: the user's bubble on the right in the accent colour, the answer on the left
    // tall enough for its five lines and its pill.
    TranscriptCanvas* canvas = h.panel->transcript();
    ASSERT_EQ(canvas->rowCount(), 2);
    const QRectF user = canvas->bubbleRect(0);
    const QRectF reply = canvas->bubbleRect(1);
    EXPECT_NEAR(user.right(), canvas->width() - TranscriptCanvas::inset, 1);
    EXPECT_NEAR(reply.left(), TranscriptCanvas::inset, 1);
    EXPECT_GT(reply.height(), 5 * QFontMetricsF(AgentChatPalette::font(12.5)).lineSpacing());
    EXPECT_GT(canvas->rowRect(1).height(), reply.height() + 10);
    // The prompt's markup is text, not formatting: the bubble is as wide as the literal text.
    const qreal literal = QFontMetricsF(AgentChatPalette::font(12.5))
                              .horizontalAdvance(QStringLiteral("  Summarise <b>this</b>  "));
    EXPECT_NEAR(user.width(), literal + 22, 3);
    EXPECT_EQ(pixelAt(canvas, user.toRect().topLeft() + QPoint(6, user.height() / 2)).rgb(),
        AgentChatPalette::userBubble(false).rgb());
}

TEST(AgentChatView, StopEndsTheRunAndAPromptTypedMeanwhileStaysInTheField)
{
    PanelHarness h;
    h.useAgent(QStringLiteral("fake-agent-slow.sh"));
    h.type(QStringLiteral("work hard"));
    h.pressReturn();
    ASSERT_TRUE(
        test::waitUntil([&] { return h.bridge->messages().at(1).text.contains("working"); }));

    // Return while the agent works neither sends nor loses the new prompt.
    h.type(QStringLiteral("next question"));
    h.pressReturn();
    EXPECT_EQ(h.panel->promptField()->text(), QStringLiteral("next question"));
    EXPECT_EQ(h.bridge->messages().size(), 2);
    EXPECT_EQ(h.tracked.size(), 1);

    ASSERT_TRUE(h.panel->stopButton()->isVisible());
    QTest::mouseClick(h.panel->stopButton(), Qt::LeftButton);
    EXPECT_FALSE(h.bridge->isProcessing());
    EXPECT_TRUE(h.panel->sendButton()->isVisible());
    ASSERT_TRUE(h.waitForIdle());
    EXPECT_EQ(pillTitles(h.bridge->messages().at(1)), QStringList { "Task Completed" });
    EXPECT_FALSE(h.bridge->messages().at(1).text.contains("finished"));

    // Now the kept prompt goes out.
    h.pressReturn();
    EXPECT_EQ(h.bridge->messages().size(), 4);
    EXPECT_EQ(h.bridge->messages().at(2).text, QStringLiteral("next question"));
    QTest::mouseClick(h.panel->stopButton(), Qt::LeftButton);
    EXPECT_TRUE(h.waitForIdle());
}

TEST(AgentChatView, BlankAndLineBreakOnlyPromptsAreTakenButNotSent)
{
    PanelHarness h;
    h.useAgent(QStringLiteral("fake-agent-report.sh"));

    h.type(QStringLiteral("   \t "));
    EXPECT_FALSE(h.panel->sendButton()->isEnabled());
    EXPECT_FALSE(showsColour(h.panel->sendButton(), AgentChatPalette::accent(false)));
    h.pressReturn();
    EXPECT_EQ(h.panel->promptField()->text(), QString());
    EXPECT_EQ(h.tracked.size(), 1);
    EXPECT_TRUE(h.bridge->messages().isEmpty());

    h.type(QStringLiteral("\n\n"));
    EXPECT_EQ(h.panel->promptField()->text(), QStringLiteral("\n\n"));
    EXPECT_EQ(h.panel->promptField()->visibleLines(), 3);
    ASSERT_TRUE(h.panel->sendButton()->isEnabled());
    EXPECT_TRUE(showsColour(h.panel->sendButton(), AgentChatPalette::accent(false)));
    QTest::mouseClick(h.panel->sendButton(), Qt::LeftButton);
    EXPECT_EQ(h.panel->promptField()->text(), QString());
    EXPECT_EQ(h.tracked.size(), 2);
    EXPECT_TRUE(h.bridge->messages().isEmpty());
}

TEST(AgentChatView, ThePromptFieldGrowsToFiveLinesAndShiftReturnBreaksTheLine)
{
    PanelHarness h;
    PromptField* field = h.panel->promptField();
    const int oneLine = field->height();
    h.type(QStringLiteral("a\nb"));
    EXPECT_EQ(field->visibleLines(), 2);
    EXPECT_GT(field->height(), oneLine);
    h.type(QStringLiteral("\nc\nd\ne\nf\ng"));
    EXPECT_EQ(field->text(), QStringLiteral("a\nb\nc\nd\ne\nf\ng"));
    EXPECT_EQ(field->visibleLines(), PromptField::maxVisibleLines);
    EXPECT_TRUE(h.bridge->messages().isEmpty());
}

// Up to five lines the whole text is in view, first line included; past five it scrolls, with a
// scroll bar drawn in the panel's own appearance.
TEST(AgentChatView, EveryLineOfAFivelinePromptIsInViewAndTheScrollBarFollowsTheAppearance)
{
    PanelHarness h;
    h.panel->setDarkMode(true);
    PromptField* field = h.panel->promptField();
    h.type(QStringLiteral("one\ntwo"));
    for (int lines = 3; lines <= PromptField::maxVisibleLines; ++lines) {
        h.type(QStringLiteral("\nline"));
        qreal textHeight = 0;
        for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next())
            textHeight += field->document()->documentLayout()->blockBoundingRect(block).height();
        EXPECT_EQ(field->verticalScrollBar()->value(), 0) << lines << " lines";
        EXPECT_LE(textHeight, field->viewport()->height()) << lines << " lines";
    }
    h.type(QStringLiteral("\nsix\nseven"));
    QScrollBar* bar = field->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QImage dark = bar->grab().toImage();
    qreal lightness = 0;
    for (int y = 0; y < dark.height(); ++y) {
        for (int x = 0; x < dark.width(); ++x)
            lightness += dark.pixelColor(x, y).lightnessF();
    }
    EXPECT_LT(lightness / (dark.width() * dark.height()), 0.35);
    EXPECT_LT(bar->palette().color(QPalette::Window).lightnessF(), 0.35);
    EXPECT_LT(bar->palette().color(QPalette::Button).lightnessF(), 0.35);
    h.panel->setDarkMode(false);
    EXPECT_GT(bar->palette().color(QPalette::Window).lightnessF(), 0.65);
    EXPECT_GT(bar->palette().color(QPalette::Button).lightnessF(), 0.65);
}

TEST(AgentChatView, TheChipCarriesTheFirstThousandCharactersOfTheActiveDocument)
{
    PanelHarness h;
    EXPECT_FALSE(h.panel->contextChip()->isVisible());
    EXPECT_FALSE(h.panel->attachedContext().has_value());

    // "é" written as e + combining accent, and a thumbs-up with a skin tone: one character each.
    const QString accented = QStringLiteral("e\u0301");
    const QString thumbs = QStringLiteral("\U0001F44D\U0001F3FD");
    const QString exact = accented.repeated(500) + thumbs.repeated(500);
    const QString path = h.openDocument(QStringLiteral("exact.md"), exact);
    ASSERT_TRUE(h.panel->attachedContext().has_value());
    EXPECT_EQ(h.panel->attachedContext()->snippet, exact);
    EXPECT_EQ(h.panel->attachedContext()->fileURL, path);
    EXPECT_TRUE(h.panel->contextChip()->isVisible());
    EXPECT_EQ(h.panel->contextChip()->title(), QStringLiteral("exact.md"));

    h.openDocument(QStringLiteral("over.md"), exact + QStringLiteral("x"));
    EXPECT_EQ(h.panel->attachedContext()->snippet, exact + QStringLiteral("\n..."));

    h.openDocument(QStringLiteral("empty.md"), QString());
    EXPECT_EQ(h.panel->attachedContext()->snippet, QString());
    EXPECT_TRUE(h.panel->contextChip()->isVisible());

    // Edits do not change the attachment; the next tab does.
    h.workspace->setCurrentFileContent(QStringLiteral("typed"));
    EXPECT_EQ(h.panel->attachedContext()->snippet, QString());
}

TEST(AgentChatView, RemovingTheChipSendsWithoutContextUntilTheTabChanges)
{
    PanelHarness h;
    h.useAgent(QStringLiteral("fake-agent-report.sh"));
    const QString first = h.openDocument(QStringLiteral("a.md"), QStringLiteral("alpha"));
    h.openDocument(QStringLiteral("b.md"), QStringLiteral("beta"));
    QTest::mouseClick(h.panel->contextChip()->removeButton(), Qt::LeftButton);
    EXPECT_FALSE(h.panel->contextChip()->isVisible());

    test::TempTree record;
    qputenv("FAKE_AGENT_RECORD_DIR", record.path().toUtf8());
    h.type(QStringLiteral("hello"));
    h.pressReturn();
    ASSERT_TRUE(h.waitForIdle());
    EXPECT_FALSE(h.bridge->messages().first().contextPill.has_value());

    h.workspace->setActiveTabURL(first);
    QApplication::processEvents();
    ASSERT_TRUE(h.panel->contextChip()->isVisible());
    h.type(QStringLiteral("again"));
    h.pressReturn();
    ASSERT_TRUE(h.waitForIdle());
    ASSERT_TRUE(h.bridge->messages().at(2).contextPill.has_value());
    EXPECT_EQ(h.bridge->messages().at(2).contextPill->snippet, QStringLiteral("alpha"));
    EXPECT_TRUE(readAll(record.path() + "/args").contains("--- Attached Context (a.md) ---"));
    qunsetenv("FAKE_AGENT_RECORD_DIR");
}

TEST(AgentChatView, NewMessagesScrollIntoViewButStreamingDoesNot)
{
    PanelHarness h;
    h.panel->resize(360, 300);
    h.useAgent(QStringLiteral("fake-agent-flood.sh"));
    h.type(QStringLiteral("flood"));
    h.pressReturn();
    ASSERT_TRUE(h.waitForIdle());
    QTest::qWait(60);
    QScrollBar* bar = h.panel->transcriptScrollArea()->verticalScrollBar();
    // Added while the answer was still empty: the view shows the start of the answer, not its end.
    EXPECT_LT(bar->value(), bar->maximum() / 2);
    EXPECT_TRUE(h.bridge->messages().at(1).text.endsWith(QStringLiteral("END\n")));

    h.useAgent(QStringLiteral("fake-agent-report.sh"));
    h.type(QStringLiteral("more"));
    h.pressReturn();
    QTest::qWait(60);
    // The new question and the start of its answer are in view, the flood above it is not.
    const int viewport = h.panel->transcriptScrollArea()->viewport()->height();
    EXPECT_GE(h.panel->transcript()->rowRect(2).top(), bar->value());
    EXPECT_LE(h.panel->transcript()->rowRect(3).top(), bar->value() + viewport);
    EXPECT_GT(bar->value(), h.panel->transcript()->rowRect(1).bottom() - viewport);
    ASSERT_TRUE(h.waitForIdle());
}

TEST(AgentChatView, FloodingOutputRepaintsAtMostEveryThirtyMilliseconds)
{
    PanelHarness h;
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    h.panel->transcript()->installEventFilter(&counter);
    h.useAgent(QStringLiteral("fake-agent-flood.sh"));
    QElapsedTimer clock;
    clock.start();
    h.type(QStringLiteral("go"));
    h.pressReturn();
    ASSERT_TRUE(h.waitForIdle());
    ASSERT_TRUE(test::waitUntil([&] { return !h.panel->transcript()->hasPendingLayout(); }));
    QTest::qWait(60);
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(counter.paints, elapsed / StreamThrottle::defaultIntervalMs + 4);
    // Every one of the 3000 lines is laid out in the answer's bubble.
    const qreal line = QFontMetricsF(AgentChatPalette::font(12.5)).lineSpacing();
    EXPECT_GT(h.panel->transcript()->bubbleRect(1).height(), 3000 * line);
}

TEST(AgentChatView, DarkAndLightPaintTheirOwnBackgrounds)
{
    PanelHarness h;
    const QPoint inInput(4, h.panel->height() - 4);
    EXPECT_EQ(
        pixelAt(h.panel.get(), inInput).rgb(), AgentChatPalette::inputBackground(false).rgb());
    h.panel->setDarkMode(true);
    EXPECT_EQ(pixelAt(h.panel.get(), inInput).rgb(), AgentChatPalette::inputBackground(true).rgb());
    const QPoint inTranscript(4, h.panel->height() / 2);
    EXPECT_EQ(
        pixelAt(h.panel.get(), inTranscript).rgb(), AgentChatPalette::panelBackground(true).rgb());
}

} // namespace
} // namespace quillon
