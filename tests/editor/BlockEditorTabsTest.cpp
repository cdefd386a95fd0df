// Switching between open tabs: each document keeps its own block editor while it is kept, which
// comes back as it was left, without being loaded or styled again, unless its text or the
// appearance changed meanwhile; which documents keep their views.
#include "ViewsHarness.h"

#include "editor/table/TableEditingController.h"
#include "markdown/TableAttachment.h"
#include "platform/FreedMemory.h"
#include "workspace/Document.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTimer>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kFirst = QStringLiteral("# First\n\nSome **bold** words in the first tab.\n");
const QString kSecond = QStringLiteral("## Second\n\n- one\n- two\n\nThe second tab's text.\n");

struct TwoTabs : ViewsHarness
{
    QString other;
    int presentations = 0;

    TwoTabs()
        : ViewsHarness(kFirst)
    {
        other = tree.write(QStringLiteral("other.md"), kSecond.toUtf8());
        QObject::connect(
            editor(), &UnifiedBlockEditor::presented, [this](int) { ++presentations; });
    }
    QByteArray otherOnDisk() const
    {
        workspace->flushPendingWrites();
        return tree.read(QStringLiteral("other.md"));
    }
    // The character format the view shows at a Markdown offset.
    QTextCharFormat shownFormat(qsizetype markdownOffset) const
    {
        const int position = int(editor()->projected().storageOffset(markdownOffset));
        const QTextBlock block = view()->document()->findBlock(position);
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            const int relative = position - block.position();
            if (range.start <= relative && relative < range.start + range.length)
                return range.format;
        }
        return {};
    }
};

// Runs the event loop, as the window does (what is deleted later goes in it), until `done`.
bool runLoopUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace

TEST(BlockEditorTabs, SwitchingBackAndForthKeepsEachTabsTextCaretAndHistory)
{
    TwoTabs h;
    h.setCaret(kFirst.indexOf(QStringLiteral("words")));
    h.type(QStringLiteral("few "));
    const QString firstEdited
        = QString(kFirst).insert(kFirst.indexOf(QStringLiteral("words")), QStringLiteral("few "));
    ASSERT_EQ(h.content(), firstEdited);
    const UnifiedBlockEditor* first = h.editor();

    h.open(h.other);
    ASSERT_EQ(h.content(), kSecond);
    EXPECT_NE(h.editor(), first) << "each document has a view of its own";
    EXPECT_EQ(h.editor()->markdown(), kSecond);
    EXPECT_FALSE(h.editor()->canUndo());
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), 0);
    EXPECT_TRUE(h.view()->hasFocus());
    h.setCaret(kSecond.size());
    h.type(QStringLiteral("More"));
    const QString secondEdited = kSecond + QStringLiteral("More");
    ASSERT_EQ(h.content(), secondEdited);

    h.presentations = 0;
    h.select(h.path);
    EXPECT_EQ(h.editor(), first);
    EXPECT_TRUE(h.view()->isVisible());
    EXPECT_TRUE(h.view()->hasFocus());
    EXPECT_EQ(h.editor()->markdown(), firstEdited);
    EXPECT_EQ(h.view()->toPlainText(), firstEdited);
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), kFirst.indexOf(QStringLiteral("words")) + 4);
    // Nothing loaded or restyled: the view is the one left, styled as it was.
    EXPECT_LE(h.presentations, 1); // at most the caret's line, for the focus it gets back
    EXPECT_TRUE(h.shownFormat(kFirst.indexOf(QStringLiteral("bold"))).font().bold());

    // Each document's history undoes its own typing only, and what it undoes reaches the disk.
    ASSERT_TRUE(h.editor()->canUndo());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), kFirst);
    EXPECT_EQ(h.onDisk(), kFirst.toUtf8());
    EXPECT_EQ(h.otherOnDisk(), secondEdited.toUtf8());

    h.select(h.other);
    EXPECT_EQ(h.editor()->markdown(), secondEdited);
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), secondEdited.size());
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
    EXPECT_EQ(h.editor()->markdown(), changed);
    EXPECT_EQ(h.view()->toPlainText(), changed);
    // The caret was at the start of the paragraph the other program rewrote: it stays at the start
    // of that paragraph, now longer down.
    const qsizetype paragraph = changed.indexOf(QStringLiteral("Other"));
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), paragraph);
    EXPECT_FALSE(h.editor()->canUndo());
    // Typing goes into the new text, and from there to the disk.
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.onDisk(), QString(changed).insert(paragraph, u'x').toUtf8());
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
    h.views->setDarkMode(true);
    h.presentations = 0;
    h.select(h.path);
    EXPECT_GE(h.presentations, 1);
    EXPECT_EQ(h.editor()->markdown(), typed);
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), 5);
    EXPECT_EQ(h.view()->palette().color(QPalette::Base), QColor::fromRgbF(0.11, 0.11, 0.12));
    const QTextCharFormat darkHeading = h.shownFormat(2);
    EXPECT_NE(darkHeading, lightHeading);
    // As a document opened in dark shows it.
    const QString copy = h.tree.write(QStringLiteral("copy.md"), typed.toUtf8());
    h.open(copy);
    EXPECT_EQ(h.shownFormat(2), darkHeading);
    h.select(h.other);
    h.setCaret(3);

    // A closed tab's views go at once with its document; reopened, it starts afresh.
    const QPointer<UnifiedBlockEditor> closing = h.editor();
    h.workspace->closeTab(h.other);
    EXPECT_TRUE(closing.isNull());
    QApplication::processEvents();
    h.open(h.other);
    EXPECT_EQ(h.editor()->markdown(), kSecond);
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), 0);
    EXPECT_FALSE(h.editor()->canUndo());
    h.select(h.path);
    EXPECT_EQ(h.editor()->markdown(), typed);
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
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 0);

    // The query changed while the first tab was away: its view shows the matches of now.
    h.select(h.path);
    QApplication::processEvents();
    const QList<QTextEdit::ExtraSelection> marks = h.view()->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks.first().cursor.selectedText(), QStringLiteral("bold"));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 1);
}

TEST(BlockEditorTabs, AnotherDocumentWithTheSameTextStartsWithoutHistoryOrOpenCell)
{
    const QString text = QStringLiteral("same\n\n| a | b |\n|---|---|\n| 1 | 2 |\n");
    ViewsHarness h(text);
    h.setCaret(4);
    h.type(QStringLiteral("x"));
    h.key(Qt::Key_Backspace);
    ASSERT_EQ(h.content(), text);
    ASSERT_TRUE(h.editor()->canUndo());
    // A cell left open with a change in it: the change is its own document's.
    UnifiedBlockEditor* first = h.editor();
    const int table = int(first->projected().storage().text().indexOf(QChar(0xFFFC)));
    const auto* value = first->projected().storage().attribute<TextAttribute::Attachment>(table);
    ASSERT_NE(value, nullptr);
    first->tableEditor().present(
        std::dynamic_pointer_cast<const TableAttachment>(*value), { 0, 0 }, table);
    ASSERT_TRUE(first->tableEditor().isEditing());
    QTest::keyClicks(first->tableEditor().field(), QStringLiteral("stale"));

    int loads = 0;
    const QString other = h.tree.write(QStringLiteral("other.md"), text.toUtf8());
    QObject::connect(h.views, &DocumentViews::shownViewsChanged, [&] {
        if (h.editor())
            QObject::connect(h.editor(), &UnifiedBlockEditor::presented, [&] { ++loads; });
    });
    h.open(other);
    ASSERT_EQ(h.workspace->activeTabURL(), other);
    EXPECT_FALSE(first->tableEditor().isEditing());
    EXPECT_FALSE(h.editor()->tableEditor().isEditing());
    EXPECT_FALSE(h.editor()->canUndo());
    EXPECT_EQ(h.editor()->caretMarkdownOffset(), 0);
    EXPECT_LE(loads, 1);
    h.editor()->undo();
    h.view()->setFocus();
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), text);
    EXPECT_EQ(h.onDisk(), "same\n\n| a     | b   |\n| ----- | --- |\n| stale | 2   |\n");
    EXPECT_EQ(h.tree.read(QStringLiteral("other.md")), text.toUtf8());
}

// Views are kept for the documents shown most recently, and go with their tabs.
TEST(DocumentViews, TheMostRecentlyShownKeepTheirViewsAndClosedOnesAreFreed)
{
    ViewsHarness h(QStringLiteral("zero\n"), true);
    QStringList paths { h.path };
    for (int i = 1; i <= DocumentViews::kKeptDocuments; ++i)
        paths.append(h.tree.write(QStringLiteral("doc%1.md").arg(i), "text\n"));
    QList<QPointer<UnifiedBlockEditor>> blocks;
    QList<QPointer<CodeEditorView>> sources;
    for (const QString& path : paths) {
        h.open(path);
        blocks.append(h.editor());
        sources.append(h.source());
    }
    // The fifth document shown: the views of the one shown longest ago go, the others stay.
    EXPECT_TRUE(blocks.first().isNull());
    EXPECT_TRUE(sources.first().isNull());
    for (qsizetype i = 1; i < paths.size(); ++i)
        EXPECT_FALSE(blocks.at(i).isNull()) << i;
    EXPECT_EQ(h.views->keptDocuments().size(), DocumentViews::kKeptDocuments);
    // Its document is still open; shown again, it gets views anew, and the one now longest ago
    // goes.
    h.select(paths.first());
    EXPECT_EQ(h.editor()->markdown(), QStringLiteral("zero\n"));
    EXPECT_TRUE(blocks.at(1).isNull());
    // A closed tab frees its views at once, shown or not.
    h.workspace->closeTab(paths.at(3));
    EXPECT_TRUE(blocks.at(3).isNull());
    EXPECT_TRUE(sources.at(3).isNull());
    EXPECT_FALSE(h.views->keptDocuments().contains(h.workspace->document(paths.at(3))));

    const Document* a = h.workspace->document(paths.at(0));
    const Document* b = h.workspace->document(paths.at(2));
    const Document* c = h.workspace->document(paths.at(4));
    auto size = [&](const Document* document) { return document == b ? 100 : 10; };
    EXPECT_EQ(DocumentViews::keepList({ a, b, c }, { a, c }, 4, 1000, size),
        (QList<const Document*> { a, c }));
    EXPECT_EQ(DocumentViews::keepList({ c, b, a }, { a, b, c }, 2, 1000, size),
        (QList<const Document*> { c, b }));
    // Hidden documents keep their views only while their texts fit in the budget: the shown one
    // always does, however long.
    EXPECT_EQ(DocumentViews::keepList({ b, c, a }, { a, b, c }, 4, 20, size),
        (QList<const Document*> { b, c, a }));
    EXPECT_EQ(DocumentViews::keepList({ c, b, a }, { a, b, c }, 4, 50, size),
        (QList<const Document*> { c }));
}

// The allocator keeps what closed tabs held unless asked: it is asked once after a burst of
// closes, when their documents are gone too.
TEST(DocumentViews, ClosingTabsGivesTheirMemoryBackOnceTheClosingPauses)
{
    ViewsHarness h(QStringLiteral("kept\n"), true);
    QStringList paths;
    QList<QPointer<Document>> documents;
    for (int i = 1; i <= 3; ++i) {
        paths.append(h.tree.write(QStringLiteral("doc%1.md").arg(i), "text\n"));
        h.open(paths.last());
        documents.append(h.workspace->document(paths.last()));
    }
    QTest::qWait(DocumentViews::kGiveBackDelay * 2);
    const int before = FreedMemory::timesGivenBack();
    for (const QString& path : paths) {
        h.workspace->closeTab(path);
        QApplication::processEvents();
    }
    EXPECT_EQ(FreedMemory::timesGivenBack(), before);
    EXPECT_TRUE(runLoopUntil([&] { return FreedMemory::timesGivenBack() > before; }));
    EXPECT_EQ(FreedMemory::timesGivenBack(), before + 1);
    for (const QPointer<Document>& document : documents)
        EXPECT_TRUE(document.isNull());
    QTest::qWait(DocumentViews::kGiveBackDelay * 2);
    EXPECT_EQ(FreedMemory::timesGivenBack(), before + 1);
    EXPECT_EQ(h.editor()->markdown(), QStringLiteral("kept\n"));
}

TEST(DocumentViews, AHiddenLongDocumentLosesItsViewsAtOnce)
{
    ViewsHarness h(QStringLiteral("short\n"), true);
    const QString line = QStringLiteral("A line of a long document.\n");
    const QString longPath = h.tree.write(QStringLiteral("long.md"),
        line.repeated(DocumentViews::kKeptTextBudget / line.size() + 1).toUtf8());
    h.open(longPath);
    QPointer<UnifiedBlockEditor> longBlocks = h.editor();
    ASSERT_FALSE(longBlocks.isNull());
    QPointer<UnifiedBlockEditor> shortBlocks;
    const int givenBack = FreedMemory::timesGivenBack();
    h.open(h.path);
    shortBlocks = h.editor();
    EXPECT_TRUE(longBlocks.isNull());
    // What its views held goes back to the system.
    EXPECT_TRUE(waitUntil([&] { return FreedMemory::timesGivenBack() > givenBack; }));
    h.open(longPath);
    EXPECT_FALSE(shortBlocks.isNull()); // a short hidden document keeps its views
}
