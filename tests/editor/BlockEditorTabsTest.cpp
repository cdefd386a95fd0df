// Switching between open tabs in the block editor: each tab comes back as it was left, without
// being loaded or styled again, unless its text or the appearance changed meanwhile.
#include "EditorHarness.h"

#include <gtest/gtest.h>

#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kFirst = QStringLiteral("# First\n\nSome **bold** words in the first tab.\n");
const QString kSecond = QStringLiteral("## Second\n\n- one\n- two\n\nThe second tab's text.\n");

struct TwoTabs : EditorHarness
{
    QString other;
    int presentations = 0;

    TwoTabs()
        : EditorHarness(kFirst)
    {
        other = tree.write(QStringLiteral("other.md"), kSecond.toUtf8());
        QObject::connect(
            editor.get(), &UnifiedBlockEditor::presented, [this](int) { ++presentations; });
    }
    QByteArray otherOnDisk() const
    {
        workspace->flushPendingWrites();
        return tree.read(QStringLiteral("other.md"));
    }
    void select(const QString& tab)
    {
        workspace->selectTab(tab);
        QApplication::processEvents();
    }
    void open(const QString& tab)
    {
        workspace->openFile(tab);
        QApplication::processEvents();
    }
    // The character format the view shows at a Markdown offset.
    QTextCharFormat shownFormat(qsizetype markdownOffset) const
    {
        const int position = int(editor->projected().storageOffset(markdownOffset));
        const QTextBlock block = view()->document()->findBlock(position);
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            const int relative = position - block.position();
            if (range.start <= relative && relative < range.start + range.length)
                return range.format;
        }
        return {};
    }
};

} // namespace

TEST(BlockEditorTabs, SwitchingBackAndForthKeepsEachTabsTextCaretAndHistory)
{
    TwoTabs h;
    h.setCaret(kFirst.indexOf(QStringLiteral("words")));
    h.type(QStringLiteral("few "));
    const QString firstEdited
        = QString(kFirst).insert(kFirst.indexOf(QStringLiteral("words")), QStringLiteral("few "));
    ASSERT_EQ(h.content(), firstEdited);
    const MarkdownTextView* firstView = h.view();

    h.open(h.other);
    ASSERT_EQ(h.content(), kSecond);
    EXPECT_EQ(h.editor->markdown(), kSecond);
    EXPECT_FALSE(h.editor->canUndo());
    h.setCaret(kSecond.size());
    h.type(QStringLiteral("More"));
    const QString secondEdited = kSecond + QStringLiteral("More");
    ASSERT_EQ(h.content(), secondEdited);

    h.presentations = 0;
    h.select(h.path);
    EXPECT_EQ(h.view(), firstView);
    EXPECT_TRUE(h.view()->isVisible());
    EXPECT_TRUE(h.view()->hasFocus());
    EXPECT_EQ(h.editor->markdown(), firstEdited);
    EXPECT_EQ(h.view()->toPlainText(), firstEdited);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), kFirst.indexOf(QStringLiteral("words")) + 4);
    // Nothing loaded or restyled: the view is the one left, styled as it was.
    EXPECT_EQ(h.presentations, 1);
    EXPECT_TRUE(h.shownFormat(kFirst.indexOf(QStringLiteral("bold"))).font().bold());

    // Each tab's history undoes its own typing only, and what it undoes reaches the disk.
    ASSERT_TRUE(h.editor->canUndo());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), kFirst);
    EXPECT_EQ(h.onDisk(), kFirst.toUtf8());
    EXPECT_EQ(h.otherOnDisk(), secondEdited.toUtf8());

    h.select(h.other);
    EXPECT_EQ(h.editor->markdown(), secondEdited);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), secondEdited.size());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), kSecond);
    EXPECT_EQ(h.otherOnDisk(), kSecond.toUtf8());
    h.type(QStringLiteral("!"));
    EXPECT_EQ(h.otherOnDisk(), (kSecond + u'!').toUtf8());
    EXPECT_EQ(h.onDisk(), kFirst.toUtf8());
}

TEST(BlockEditorTabs, ATabChangedOnDiskWhileHiddenShowsTheNewTextWithTheCaretKept)
{
    TwoTabs h;
    h.setCaret(9);
    h.open(h.other);
    const QString changed = QStringLiteral("# First, changed\n\nOther words.\n");
    h.tree.write(QStringLiteral("doc.md"), changed.toUtf8());
    h.workspace->reloadOpenDocumentsFromDisk();
    QApplication::processEvents();
    ASSERT_EQ(h.content(), kSecond);

    h.select(h.path);
    EXPECT_EQ(h.content(), changed);
    EXPECT_EQ(h.editor->markdown(), changed);
    EXPECT_EQ(h.view()->toPlainText(), changed);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), 9);
    EXPECT_FALSE(h.editor->canUndo());
    // Typing goes into the new text, and from there to the disk.
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.onDisk(), QString(changed).insert(9, u'x').toUtf8());
}

TEST(BlockEditorTabs, AClosedTabReopensFromItsFileAndAChangedAppearanceRestylesOnReturn)
{
    TwoTabs h;
    h.setCaret(4);
    h.type(QStringLiteral("y"));
    const QString typed = QString(kFirst).insert(4, u'y');
    const QTextCharFormat lightHeading = h.shownFormat(2);
    h.open(h.other);

    // Dark while the first tab is away: it comes back dark, styled afresh, caret kept.
    h.editor->setDarkMode(true);
    h.presentations = 0;
    h.select(h.path);
    EXPECT_GE(h.presentations, 1);
    EXPECT_EQ(h.editor->markdown(), typed);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), 5);
    EXPECT_EQ(h.view()->palette().color(QPalette::Base), QColor::fromRgbF(0.11, 0.11, 0.12));
    const QTextCharFormat darkHeading = h.shownFormat(2);
    EXPECT_NE(darkHeading, lightHeading);
    // As a document opened in dark shows it.
    const QString copy = h.tree.write(QStringLiteral("copy.md"), typed.toUtf8());
    h.open(copy);
    EXPECT_EQ(h.shownFormat(2), darkHeading);
    h.select(h.other);
    h.setCaret(3);

    h.workspace->closeTab(h.other);
    QApplication::processEvents();
    h.open(h.other);
    EXPECT_EQ(h.editor->markdown(), kSecond);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), 0);
    EXPECT_FALSE(h.editor->canUndo());
    h.select(h.path);
    EXPECT_EQ(h.editor->markdown(), typed);
    EXPECT_EQ(h.onDisk(), typed.toUtf8());
}

TEST(BlockEditorTabs, FindMarksTheMatchesOfTheTabShownAfterASwitch)
{
    TwoTabs h;
    h.open(h.other);
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("bold"));
    QApplication::processEvents();
    EXPECT_TRUE(h.view()->extraSelections().isEmpty());

    // The query changed while the first tab was away: its view shows the matches of now.
    h.select(h.path);
    QApplication::processEvents();
    const QList<QTextEdit::ExtraSelection> marks = h.view()->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks.first().cursor.selectedText(), QStringLiteral("bold"));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 1);
}
