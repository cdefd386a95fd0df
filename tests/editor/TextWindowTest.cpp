// The lines a pane's window keeps across edits: after any run of keys, line breaks typed and
// removed, and jumps from one line to another, every line starts where reading the edited text
// afresh puts it, and every offset falls in the line that holds it.
#include "editor/layout/TextWindow.h"
#include "platform/ChunkedText.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

using namespace quillon;

namespace {

double estimate(qsizetype length)
{
    return 20.0 + double(length / 8) * 2.0;
}

void expectSameLines(const TextWindow& window, const QString& text)
{
    TextWindow fresh;
    fresh.reset(QStringView(text), estimate);
    ASSERT_EQ(window.lineCount(), fresh.lineCount());
    ASSERT_EQ(window.textLength(), text.size());
    for (int line = 0; line < fresh.lineCount(); ++line) {
        ASSERT_EQ(window.lineStart(line), fresh.lineStart(line)) << "line " << line;
        ASSERT_EQ(window.lineEnd(line), fresh.lineEnd(line)) << "line " << line;
        ASSERT_DOUBLE_EQ(window.height(line), fresh.height(line)) << "line " << line;
    }
    for (qsizetype offset = 0; offset <= text.size(); ++offset)
        ASSERT_EQ(window.lineAt(offset), fresh.lineAt(offset)) << "offset " << offset;
    EXPECT_DOUBLE_EQ(
        window.heightBefore(window.lineCount()), fresh.heightBefore(fresh.lineCount()));
}

// Keys, line breaks and wider changes, mostly at one place, now and then after a jump, in a
// text of `lines` lines.
void keysAnywhere(int lines)
{
    QRandomGenerator random(11);
    QString text;
    for (int line = 0; line < lines; ++line)
        text += QString(int(random.bounded(90)), u'x') + u'\n';
    TextWindow window;
    window.reset(QStringView(text), estimate);
    window.place(10, 30);
    int caret = 0;
    for (int round = 0; round < 400; ++round) {
        // Mostly keys at one place, now and then a jump, a line break or a wider change.
        if (random.bounded(6) == 0)
            caret = int(random.bounded(int(text.size()) + 1));
        caret = qMin(caret, int(text.size()));
        qsizetype removed = 0;
        QString inserted;
        switch (random.bounded(7)) {
        case 0:
            inserted = QStringLiteral("\n");
            break;
        case 1:
            removed = qMin<qsizetype>(1, text.size() - caret);
            break;
        case 2:
            removed = qMin<qsizetype>(random.bounded(200), text.size() - caret);
            inserted = QStringLiteral("ab\ncd");
            break;
        case 3:
            if (caret > 0) {
                --caret;
                removed = 1;
            }
            break;
        default:
            inserted = QStringLiteral("k");
            break;
        }
        window.apply(caret, removed, inserted, estimate);
        text.replace(caret, removed, inserted);
        caret += int(inserted.size());
        // Estimating again reads the starts as stored, with the keys' shift still pending.
        if (round % 7 == 0)
            window.estimateAll(estimate);
        if (round % 20 == 0 || round > 390)
            expectSameLines(window, text);
    }
    expectSameLines(window, text);
}

} // namespace

TEST(TextWindow, KeysAnywhereKeepEveryLineWhereTheTextPutsIt)
{
    // A text of a few lines, and one of many blocks of them, where lines come and go.
    for (const int lines : { 60, 2500 })
        keysAnywhere(lines);
}

TEST(TextWindow, HeightsAreEstimatedAgainWhateverTheKeysLeftPending)
{
    // Keys typed into one line move the lines below it by a pending shift; a shift moved up to
    // a short line leaves that line's stored length below zero. Estimating again, with one
    // thread or many, gives every line the height a fresh reading gives it.
    for (const int lines : { 300, 70'000 }) {
        QString text;
        for (int line = 0; line < lines; ++line)
            text += (line % 3 ? QString(line % 50, u'x') : QString()) + u'\n';
        TextWindow window;
        window.reset(QStringView(text), estimate);
        window.place(0, 40);
        for (const int line : { 20, 2 }) {
            for (int key = 0; key < 60; ++key) {
                const qsizetype at = window.lineStart(line);
                window.apply(at, 0, u"k", estimate);
                text.insert(at, u'k');
            }
        }
        window.estimateAll(estimate);
        expectSameLines(window, text);
    }
}

TEST(TextWindow, ALongTextsLinesAreFoundAlikeByEveryThread)
{
    // Past two million units, the lines are found by several threads, a stretch each: every line
    // feed starts a line, wherever the stretches are cut, read from pieces or whole. A line long
    // enough to be held in parts is left to the one-by-one reading, which cuts it.
    QRandomGenerator random(5);
    QString text;
    while (text.size() < 2'300'000)
        text += QString(int(random.bounded(120)), u'x') + u'\n';
    QString withLongLine = text;
    QString longLine;
    while (longLine.size() < 20'000)
        longLine += QStringLiteral("word ");
    withLongLine.insert(withLongLine.indexOf(u'\n', 1'300'000) + 1, longLine + u'\n');

    for (const QString& source : { text, withLongLine }) {
        std::vector<qsizetype> feeds { 0 };
        for (qsizetype i = source.indexOf(u'\n'); i >= 0; i = source.indexOf(u'\n', i + 1))
            feeds.push_back(i + 1);
        TextWindow whole;
        whole.reset(QStringView(source), estimate);
        TextWindow pieces;
        pieces.reset(ChunkedText(source), estimate);
        for (const TextWindow* window : { &whole, &pieces }) {
            std::vector<qsizetype> hard;
            for (int line = 0; line < window->lineCount(); ++line) {
                if (!window->startsSoftly(line))
                    hard.push_back(window->lineStart(line));
            }
            EXPECT_EQ(hard, feeds);
            EXPECT_EQ(window->hasSoftParts(), source.size() != text.size());
            const int last = window->lineCount() - 1;
            EXPECT_DOUBLE_EQ(window->heightBefore(last),
                window->heightBefore(last - 1) + window->height(last - 1));
        }
        ASSERT_EQ(whole.lineCount(), pieces.lineCount());
        for (int line = 0; line < whole.lineCount(); ++line)
            ASSERT_EQ(whole.lineStart(line), pieces.lineStart(line)) << line;
    }
}

TEST(TextWindow, KeysAboveTheWindowMoveItAlongItsLines)
{
    QString text;
    for (int line = 0; line < 40; ++line)
        text += QStringLiteral("line %1\n").arg(line);
    TextWindow window;
    window.reset(QStringView(text), estimate);
    window.place(20, 30);
    const qsizetype start = window.start();
    EXPECT_EQ(window.apply(3, 0, u"abc", estimate), TextWindow::Place::Above);
    EXPECT_EQ(window.firstLine(), 20);
    EXPECT_EQ(window.start(), start + 3);
    EXPECT_EQ(window.apply(window.start() + 2, 0, u"z", estimate), TextWindow::Place::Inside);
    EXPECT_EQ(window.apply(1, 0, u"\n\n", estimate), TextWindow::Place::Above);
    EXPECT_EQ(window.firstLine(), 22);
    EXPECT_EQ(window.start(), start + 5);
    EXPECT_EQ(window.apply(window.end() + 3, 1, u"", estimate), TextWindow::Place::Below);
    EXPECT_EQ(window.start(), start + 5);
}

namespace {

// Lines as the pane holds them: each soft break a line feed, the text otherwise unchanged.
void expectPartsOfItsLines(const TextWindow& window, const QString& text)
{
    ASSERT_EQ(window.textLength(), text.size());
    QString held = text;
    window.breakSoftly(held, 0);
    const QStringList lines = held.split(u'\n');
    ASSERT_EQ(lines.size(), window.lineCount());
    for (int line = 0; line < window.lineCount(); ++line) {
        ASSERT_EQ(window.lineEnd(line) - window.lineStart(line), lines[line].size())
            << "line " << line;
        if (line > 0) {
            ASSERT_EQ(text[window.lineStart(line) - 1], window.startsSoftly(line) ? u' ' : u'\n')
                << "line " << line;
        }
    }
    QString back = held;
    window.joinSoftly(back, 0);
    ASSERT_EQ(back, text);
    // Read back in a stretch that begins and ends anywhere.
    QString middle = held.mid(text.size() / 3, text.size() / 3);
    window.joinSoftly(middle, text.size() / 3);
    ASSERT_EQ(middle, text.mid(text.size() / 3, text.size() / 3));
}

struct SoftLength
{
    explicit SoftLength(qsizetype length) { TextWindow::setSoftLengthForTesting(length); }
    ~SoftLength() { TextWindow::setSoftLengthForTesting(0); }
    SoftLength(const SoftLength&) = delete;
    SoftLength& operator=(const SoftLength&) = delete;
};

} // namespace

TEST(TextWindow, ALongLineIsHeldInPartsCutBetweenWords)
{
    const SoftLength partsOf(100);
    QString text = QStringLiteral("# Title\n\n");
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("word%1 - *x* ").arg(i);
    text += QStringLiteral("\nshort\n") + QString(1000, u'x') + u'\n';
    TextWindow window;
    window.reset(QStringView(text), estimate);
    expectPartsOfItsLines(window, text);
    int soft = 0;
    for (int line = 1; line < window.lineCount(); ++line) {
        if (!window.startsSoftly(line))
            continue;
        ++soft;
        // Never before a character that would make the part a list item or emphasis.
        EXPECT_TRUE(text[window.lineStart(line)].isLetter()) << "line " << line;
        EXPECT_GE(window.lineEnd(line - 1) - window.lineStart(line - 1), 100);
    }
    EXPECT_GT(soft, 20);
    // A line with no space in it stays whole.
    EXPECT_EQ(
        window.lineEnd(window.lineCount() - 2) - window.lineStart(window.lineCount() - 2), 1000);
    // Read in pieces cut anywhere, a line is cut as well, and only where it may be.
    QList<QString> pieces;
    for (qsizetype at = 0; at < text.size(); at += 37)
        pieces.append(text.mid(at, 37));
    TextWindow fromPieces;
    fromPieces.reset(ChunkedText::fromPieces(pieces), estimate);
    expectPartsOfItsLines(fromPieces, text);
    EXPECT_GT(fromPieces.lineCount(), 20);

    // Edits anywhere, over soft breaks too, keep every part where the text puts it.
    QRandomGenerator random(5);
    for (int round = 0; round < 400; ++round) {
        const qsizetype at = random.bounded(int(text.size()) + 1);
        qsizetype removed = qMin<qsizetype>(random.bounded(4) == 0 ? 30 : 1, text.size() - at);
        QString inserted;
        switch (random.bounded(5)) {
        case 0:
            inserted = QStringLiteral("\n");
            break;
        case 1:
            inserted = QStringLiteral("a b");
            break;
        case 2:
            break;
        default:
            removed = 0;
            inserted = QStringLiteral("k");
            break;
        }
        window.apply(at, removed, inserted, estimate);
        text.replace(at, removed, inserted);
        if (round % 25 == 0)
            expectPartsOfItsLines(window, text);
    }
    expectPartsOfItsLines(window, text);
}

TEST(TextWindow, AKeyReachesWhatItMaySelectAndTypedTextNoMore)
{
    int pagesAsked = 0;
    const auto pages = [&] {
        ++pagesAsked;
        return std::pair<qsizetype, qsizetype>(100, 900);
    };
    const auto reach = [&](int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
        const QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        return keyReach(event, 400, 420, 5000, pages);
    };
    using Reach = std::pair<qsizetype, qsizetype>;
    // Typed text, with or without Shift, reaches the selection alone and asks for no page.
    EXPECT_EQ(reach(Qt::Key_A, Qt::NoModifier, QStringLiteral("a")), Reach(400, 420));
    EXPECT_EQ(reach(Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A")), Reach(400, 420));
    EXPECT_EQ(reach(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")), Reach(400, 420));
    EXPECT_EQ(pagesAsked, 0);
    // A letter with Control is a command, not text.
    EXPECT_EQ(reach(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01")), Reach(0, 5000));
    EXPECT_EQ(reach(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier), Reach(400, 5000));
    EXPECT_EQ(reach(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier), Reach(0, 420));
    EXPECT_EQ(reach(Qt::Key_PageDown, Qt::NoModifier), Reach(100, 900));
    EXPECT_EQ(reach(Qt::Key_PageUp, Qt::ShiftModifier), Reach(100, 900));
    EXPECT_EQ(pagesAsked, 2);
}
