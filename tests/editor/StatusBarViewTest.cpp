// The status bar as it reads: front-matter states and their tooltip, the figures, the document's
// read and write problems, and the appearance.
#include "editor/chrome/StatusBarView.h"
#include "editor/chrome/ChromeGlyph.h"
#include "editor/chrome/StatusBarText.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

using namespace quillon;
using Result = YAMLValidator::ValidationResult;

namespace {

struct ShownBar
{
    StatusBarView bar;
    ShownBar()
    {
        bar.resize(900, 32);
        bar.show();
        QApplication::processEvents();
    }
    bool shows(QWidget* widget) const { return widget->isVisibleTo(&bar); }
};

} // namespace

TEST(StatusBar, FrontMatterStatesReadAsTheUserSeesThem)
{
    ShownBar s;
    EXPECT_EQ(s.bar.yamlLabel()->text(), QStringLiteral("No YAML frontmatter"));
    EXPECT_FALSE(s.shows(s.bar.yamlGlyph()));
    EXPECT_FALSE(s.shows(s.bar.yamlStateLabel()));

    s.bar.setYamlValidationResult(Result::valid());
    EXPECT_EQ(s.bar.yamlLabel()->text(), QStringLiteral("YAML"));
    EXPECT_EQ(s.bar.yamlStateLabel()->text(), QStringLiteral("valid"));
    EXPECT_EQ(s.bar.yamlGlyph()->shape(), ChromeGlyph::Shape::CheckCircle);
    EXPECT_TRUE(s.shows(s.bar.yamlGlyph()));
    EXPECT_TRUE(s.bar.yamlStateLabel()->toolTip().isEmpty());

    s.bar.setYamlValidationResult(Result::invalid(QStringLiteral("bad indent"), 2, 7));
    EXPECT_EQ(s.bar.yamlStateLabel()->text(), QStringLiteral("error"));
    EXPECT_EQ(s.bar.yamlGlyph()->shape(), ChromeGlyph::Shape::WarningTriangle);
    // The line counts in the whole document; the column already counts from 1.
    EXPECT_EQ(s.bar.yamlStateLabel()->toolTip(),
        QStringLiteral("YAML Error: bad indent\nLine: 3, Column: 7"));
    EXPECT_NE(s.bar.yamlStateLabel()->palette().color(QPalette::WindowText),
        s.bar.yamlLabel()->palette().color(QPalette::WindowText));

    s.bar.setYamlValidationResult(Result::noFrontmatter());
    EXPECT_FALSE(s.shows(s.bar.yamlStateLabel()));
    EXPECT_TRUE(s.bar.yamlStateLabel()->toolTip().isEmpty());
}

TEST(StatusBar, ErrorTooltipShowsALineOnlyWithAColumnOnlyBesideALine)
{
    EXPECT_EQ(StatusBarText::yamlErrorTooltip(QStringLiteral("oops"), {}, {}),
        QStringLiteral("YAML Error: oops"));
    EXPECT_EQ(StatusBarText::yamlErrorTooltip(QStringLiteral("oops"), 1, {}),
        QStringLiteral("YAML Error: oops\nLine: 2"));
    EXPECT_EQ(StatusBarText::yamlErrorTooltip(QStringLiteral("oops"), {}, 4),
        QStringLiteral("YAML Error: oops"));
}

TEST(StatusBar, OnlyTheTokenEstimateIsGrouped)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ShownBar s;
    s.bar.setValues(Result::valid(), 0, 0, 0);
    EXPECT_EQ(s.bar.tokenLabel()->text(), QStringLiteral("0"));
    EXPECT_EQ(s.bar.wordLabel()->text(), QStringLiteral("0 words"));
    EXPECT_EQ(s.bar.charLabel()->text(), QStringLiteral("0 chars"));
    s.bar.setValues(Result::valid(), 1234567, 1234567, 7654321);
    EXPECT_EQ(s.bar.tokenLabel()->text(), QStringLiteral("1,234,567"));
    EXPECT_EQ(s.bar.wordLabel()->text(), QStringLiteral("1234567 words"));
    EXPECT_EQ(s.bar.charLabel()->text(), QStringLiteral("7654321 chars"));
    EXPECT_EQ(
        StatusBarText::tokenCount(1234567, QLocale(QLocale::German)), QStringLiteral("1.234.567"));
    QLocale::setDefault(QLocale::c());
}

TEST(StatusBar, ANarrowBarCutsTheFrontMatterWordsBeforeAnyFigure)
{
    QWidget column; // squeezes the bar as the editor column does, below what it asks for
    auto* bar = new StatusBarView(&column);
    bar->setValues(Result::noFrontmatter(), 77427, 33401, 261959);
    const int figures = bar->tokenLabel()->sizeHint().width() + bar->wordLabel()->sizeHint().width()
        + bar->charLabel()->sizeHint().width();
    column.resize(figures + 180, 32);
    bar->setGeometry(0, 0, figures + 180, 32);
    column.show();
    QApplication::processEvents();
    for (QLabel* figure : { bar->tokenLabel(), bar->wordLabel(), bar->charLabel() })
        EXPECT_GE(figure->width(), figure->sizeHint().width()) << figure->text().toStdString();
}

TEST(StatusBar, ADocumentThatCouldNotBeReadOrWrittenIsShownUntilItIsFine)
{
    ShownBar s;
    EXPECT_FALSE(s.shows(s.bar.problemLabel()));
    const QString saveError = QStringLiteral("“notes.md” was not saved: Permission denied");
    s.bar.setSaveError(saveError);
    EXPECT_TRUE(s.shows(s.bar.problemLabel()));
    EXPECT_EQ(s.bar.problemLabel()->text(), saveError);
    EXPECT_EQ(s.bar.problemLabel()->toolTip(), saveError);

    // Not being able to read the document says more than failing to write it.
    const QString readError = QStringLiteral("\"x.md\" is not UTF-8 text, so it can't be opened "
                                             "for editing. ")
        + QString(400, QLatin1Char('x'));
    s.bar.setDocumentError(readError);
    EXPECT_EQ(s.bar.problemLabel()->toolTip(), readError);
    EXPECT_LT(s.bar.problemLabel()->text().size(), readError.size()); // elided, whole in the tip
    s.bar.setDocumentError({});
    s.bar.setSaveError({});
    EXPECT_FALSE(s.shows(s.bar.problemLabel()));
}

TEST(StatusBar, AMessageTakesTheFreeWidthBeforeItIsCut)
{
    ShownBar s;
    s.bar.setValues(Result::noFrontmatter(), 77427, 33401, 261959);
    QLabel* message = s.bar.problemLabel();
    const QString saveError
        = QStringLiteral("“/home/someone/notes/2024/meeting-minutes.md” was not "
                         "saved: No space left on device");
    ASSERT_LT(message->fontMetrics().horizontalAdvance(saveError), 560);
    s.bar.resize(1200, 32);
    s.bar.setSaveError(saveError);
    QApplication::processEvents();
    EXPECT_EQ(message->text(), saveError);
    for (QLabel* figure : { s.bar.tokenLabel(), s.bar.wordLabel(), s.bar.charLabel() })
        EXPECT_GE(figure->width(), figure->sizeHint().width()) << figure->text().toStdString();

    // Narrower, it is cut in the middle to the room left beside the figures, and whole again
    // once the room is back.
    s.bar.resize(760, 32);
    QApplication::processEvents();
    EXPECT_NE(message->text(), saveError);
    EXPECT_TRUE(message->text().startsWith(QStringLiteral("“/home/")));
    EXPECT_TRUE(message->text().endsWith(QStringLiteral("on device")));
    EXPECT_LE(message->fontMetrics().horizontalAdvance(message->text()), message->width());
    EXPECT_LE(message->geometry().right(), s.bar.tokenLabel()->parentWidget()->geometry().left());
    s.bar.resize(1200, 32);
    QApplication::processEvents();
    EXPECT_EQ(message->text(), saveError);
}

TEST(StatusBar, AppearanceChangesBackgroundAndColoursButNotTheTexts)
{
    ShownBar s;
    s.bar.setValues(Result::valid(), 12, 3, 9);
    const QImage light = s.bar.grab().toImage();
    const QColor lightWords = s.bar.wordLabel()->palette().color(QPalette::WindowText);
    s.bar.setDarkMode(true);
    const QImage dark = s.bar.grab().toImage();
    EXPECT_LT(qGray(dark.pixel(4, 20)), qGray(light.pixel(4, 20)));
    EXPECT_NE(s.bar.wordLabel()->palette().color(QPalette::WindowText), lightWords);
    EXPECT_EQ(s.bar.wordLabel()->text(), QStringLiteral("3 words"));
}
