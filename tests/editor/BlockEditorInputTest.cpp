// The block editor driven by real key events: every step's Markdown must reach the workspace
// (and the file), and undo and redo must walk back and forth through exactly those texts.
#include "EditorHarness.h"

#include "editor/block/ProjectedDocument.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"
#include "workspace/Document.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <QRandomGenerator>
#include <QTextDocument>

using namespace quillon;
using namespace quillon::test;

namespace {

bool isCollapsed(const EditorHarness& h, qsizetype storageIndex)
{
    const bool* value
        = h.editor->projected().storage().attribute<TextAttribute::Collapsed>(storageIndex);
    return value && *value;
}

void expectUndoRedo(EditorHarness& h, const QStringList& states)
{
    // states: the texts from the first to the last; the editor stands at the last.
    for (int i = int(states.size()) - 2; i >= 0; --i) {
        h.editor->undo();
        EXPECT_EQ(h.content(), states.at(i)) << "after undo to state " << i;
    }
    EXPECT_FALSE(h.editor->canUndo());
    for (int i = 1; i < states.size(); ++i) {
        h.editor->redo();
        EXPECT_EQ(h.content(), states.at(i)) << "after redo to state " << i;
    }
    EXPECT_FALSE(h.editor->canRedo());
}

} // namespace

TEST(BlockEditorInput, TypingWritesMarkdownWithMarkersHiddenAndRevealed)
{
    const QString start = QStringLiteral("Some **bold** text\n\nOther");
    EditorHarness h(start);
    ASSERT_TRUE(h.view()->hasFocus());
    EXPECT_TRUE(h.written.isEmpty()) << "loading must not write";

    h.setCaret(start.size());
    EXPECT_TRUE(isCollapsed(h, 5)) << "markers of a line without the caret are hidden";
    h.type(QStringLiteral("X"));
    EXPECT_EQ(h.content(), start + "X");
    EXPECT_EQ(h.onDisk(), (start + "X").toUtf8());

    // Right after the bold word the caret touches the closing marker: both markers show.
    h.setCaret(11);
    EXPECT_FALSE(isCollapsed(h, 5));
    EXPECT_FALSE(isCollapsed(h, 11));
    h.type(QStringLiteral("Y"));
    const QString typed = QStringLiteral("Some **boldY** text\n\nOtherX");
    EXPECT_EQ(h.content(), typed);
    EXPECT_EQ(h.written.size(), 2);

    // Moving away hides them again.
    h.key(Qt::Key_Down);
    EXPECT_TRUE(isCollapsed(h, 5));
    expectUndoRedo(h, { start, start + "X", typed });
    EXPECT_EQ(h.onDisk(), typed.toUtf8());
}

TEST(BlockEditorInput, EnterContinuesListsAndTasksAndEndsEmptyItems)
{
    const struct
    {
        const char* name;
        QString start;
        QString afterEnter;
    } cases[] = {
        { "bullet", "- item", "- item\n- " },
        { "task", "- [x] done", "- [x] done\n- [ ] " },
        { "ordered", "3) third", "3) third\n4) " },
        { "quote", "> said", "> said\n> " },
        { "empty item ends the list", "- item\n- ", "- item\n" },
        // The item is a line of its own whichever break precedes it.
        { "after a line separator", "intro\u2028- item", "intro\u2028- item\n- " },
        { "after a lone carriage return", "intro\r- item", "intro\r- item\n- " },
        { "after a form feed", "intro\f- item", "intro\f- item\n- " },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorHarness h(c.start);
        h.setCaret(c.start.size());
        h.key(Qt::Key_Return);
        EXPECT_EQ(h.content(), c.afterEnter);
        h.type(QStringLiteral("z"));
        EXPECT_EQ(h.content(), c.afterEnter + "z");
        expectUndoRedo(h, { c.start, c.afterEnter, c.afterEnter + "z" });
    }
}

TEST(BlockEditorInput, ShiftEnterInsertsAPlainLineBreak)
{
    EditorHarness h(QStringLiteral("- item"));
    h.setCaret(6);
    h.key(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(h.content(), QStringLiteral("- item\n"));
}

TEST(BlockEditorInput, BackspaceOnAnEmptyItemRemovesOneLevelOrTheMarker)
{
    const struct
    {
        const char* name;
        QString start;
        QString after;
    } cases[] = {
        { "no indent", "- a\n- ", "- a\n" },
        { "indented", "- a\n  - ", "- a\n- " },
        { "after marker of item with text", "- a\n- b", "- a\nb" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorHarness h(c.start);
        h.setCaret(c.start.endsWith('b') ? c.start.size() - 1 : c.start.size());
        h.key(Qt::Key_Backspace);
        EXPECT_EQ(h.content(), c.after);
        expectUndoRedo(h, { c.start, c.after });
    }
}

TEST(BlockEditorInput, TabIndentsInsideFencesAndInsertsATabElsewhere)
{
    const QString start = QStringLiteral("```\ncode\n```\ntext");
    EditorHarness h(start);
    h.setCaret(5);
    h.key(Qt::Key_Tab);
    const QString indented = QStringLiteral("```\n  code\n```\ntext");
    EXPECT_EQ(h.content(), indented);
    h.key(Qt::Key_Backtab);
    EXPECT_EQ(h.content(), start);
    h.setCaret(start.size());
    h.key(Qt::Key_Tab);
    const QString withTab = start + QLatin1Char('\t');
    EXPECT_EQ(h.content(), withTab);
    expectUndoRedo(h, { start, indented, start, withTab });
}

TEST(BlockEditorInput, CtrlBAndCtrlIToggleInlineStyles)
{
    const QString start = QStringLiteral("a word here");
    EditorHarness h(start);
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);
    h.key(Qt::Key_B, Qt::ControlModifier);
    const QString bold = QStringLiteral("a **word** here");
    EXPECT_EQ(h.content(), bold);

    cursor = h.view()->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);
    h.key(Qt::Key_I, Qt::ControlModifier);
    const QString boldItalic = QStringLiteral("a ***word*** here");
    EXPECT_EQ(h.content(), boldItalic);

    // Ctrl+Shift+B is no toggle.
    h.key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.content(), boldItalic);
    expectUndoRedo(h, { start, bold, boldItalic });

    // An empty selection gets an empty pair; toggling again removes it.
    EditorHarness empty(QStringLiteral("x"));
    empty.setCaret(1);
    empty.key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(empty.content(), QStringLiteral("x****"));
    empty.key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(empty.content(), QStringLiteral("x"));
}

TEST(BlockEditorInput, ReplacingTheTextFromOutsideClearsTheHistoryAndWritesNothing)
{
    EditorHarness h(QStringLiteral("one"));
    h.setCaret(3);
    h.type(QStringLiteral("!"));
    ASSERT_TRUE(h.editor->canUndo());
    const int writes = int(h.written.size());
    h.workspace->setCurrentFileContent(QStringLiteral("something else entirely"));
    EXPECT_FALSE(h.editor->canUndo());
    EXPECT_EQ(h.editor->markdown(), QStringLiteral("something else entirely"));
    // Undo now must not resurrect the old text over the new one.
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("something else entirely"));
    EXPECT_EQ(int(h.written.size()), writes + 1); // only the outside assignment itself
}

TEST(BlockEditorInput, UndoAndRedoChangeNothingWhileTheViewIsReadOnly)
{
    EditorHarness h(QStringLiteral("one"));
    h.setCaret(3);
    h.type(QStringLiteral("!"));
    h.editor->undo();
    ASSERT_EQ(h.content(), QStringLiteral("one"));
    h.view()->setReadOnly(true);
    h.editor->redo();
    EXPECT_EQ(h.content(), QStringLiteral("one"));
    h.view()->setReadOnly(false);
    h.editor->redo();
    h.view()->setReadOnly(true);
    h.editor->undo();
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("one!"));
}

TEST(BlockEditorInput, TypingAPipeTableTurnsItIntoAGridAndKeepsTheCaret)
{
    const QString start = QStringLiteral("| a | b |\n");
    EditorHarness h(start);
    h.setCaret(start.size());
    h.type(QStringLiteral("|---|---|"));
    EXPECT_EQ(h.content(), QStringLiteral("| a | b |\n|---|---|"));
    EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 1);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), h.content().size());
    h.type(QStringLiteral("\nafter"));
    EXPECT_EQ(h.content(), QStringLiteral("| a | b |\n|---|---|\nafter"));

    // Rows typed under the alignment row go into the grid as they are typed.
    EditorHarness rows(QStringLiteral("Text\n\n"));
    rows.setCaret(6);
    rows.type(QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n\nafter"));
    rows.editor->flushPendingWork();
    EXPECT_EQ(rows.editor->projected().tableMarkdownRanges(
                  0, rows.editor->projected().storage().length()),
        (QList<TextRange> { { 6, 39 } }));

    // A row typed into a line of text under a table stays text while the caret is in it, so
    // that the keys land where they are typed; it joins the grid once the caret leaves.
    const QString table = QStringLiteral("| a | b |\n|---|---|\n");
    EditorHarness into(table + QStringLiteral("Some text\n\nend\n"));
    into.setCaret(int(table.size()));
    into.type(QStringLiteral("| 1 | 2 |"));
    into.editor->flushPendingWork();
    const QString typed = table + QStringLiteral("| 1 | 2 |Some text\n\nend\n");
    EXPECT_EQ(into.content(), typed);
    into.setCaret(int(typed.indexOf(u"end")));
    into.editor->flushPendingWork();
    EXPECT_EQ(into.editor->projected().tableMarkdownRanges(
                  0, into.editor->projected().storage().length()),
        MarkdownTableProjection::findTables(typed));
    EXPECT_EQ(into.editor->markdown(), typed);
}

TEST(BlockEditorInput, EditsThatMakeOrBreakAFenceAroundATableRebuildTheTables)
{
    const QString table = QStringLiteral("\n| a | b |\n|---|---|\n| 1 | 2 |\n");
    struct Case
    {
        QString firstLine;
        int caret; // Markdown offset in the first line
        bool backspace; // else types "x"
        QString firstLineAfter;
        int tablesBefore;
        int tablesAfter;
    };
    const QList<Case> cases {
        // Deleting or typing between backticks joins them into a fence, or splits one.
        { QStringLiteral("``x`"), 3, true, QStringLiteral("```"), 1, 0 },
        { QStringLiteral("```"), 2, false, QStringLiteral("``x`"), 0, 1 },
        { QStringLiteral("~~x~"), 3, true, QStringLiteral("~~~"), 1, 0 },
        // Inline code makes no fence: the table stays.
        { QStringLiteral("Some `code` here"), 4, false, QStringLiteral("Somex `code` here"), 1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firstLine.toStdString());
        EditorHarness h(c.firstLine + table);
        EXPECT_EQ(h.editor->projected().tableCount(), c.tablesBefore);
        h.setCaret(c.caret);
        if (c.backspace)
            h.key(Qt::Key_Backspace);
        else
            h.type(QStringLiteral("x"));
        h.editor->flushPendingWork();
        EXPECT_EQ(h.content(), c.firstLineAfter + table);
        EXPECT_EQ(h.editor->projected().tableCount(), c.tablesAfter);
        h.editor->undo();
        EXPECT_EQ(h.content(), c.firstLine + table);
        EXPECT_EQ(h.editor->projected().tableCount(), c.tablesBefore);
    }
}

TEST(BlockEditorInput, LineBreaksThatMakeOrBreakATableRebuildTheTablesOutsideFencesOnly)
{
    // A line break typed or deleted among pipe lines: tables appear, merge or stay text, as the
    // fences far above them say.
    struct Case
    {
        QString before;
        QString at; // the caret goes right before it
        bool backspace; // else Return
        QString after;
        int tablesBefore;
        int tablesAfter;
    };
    // "H", "R" and "W" stand for a table's header, rule and row lines, "F" for a fence line.
    auto md = [](const char* text) {
        return QString::fromLatin1(text)
            .replace(u'H', QStringLiteral("| a | b |"))
            .replace(u'R', QStringLiteral("|---|---|"))
            .replace(u'W', QStringLiteral("| 1 | 2 |"))
            .replace(u'F', QStringLiteral("```"));
    };
    const QList<Case> cases {
        { md("Text\n\nH\n\nR\n"), md("\nR"), true, md("Text\n\nH\nR\n"), 0, 1 },
        { md("Text\n\nF\nH\n\nR\nF\n"), md("\nR"), true, md("Text\n\nF\nH\nR\nF\n"), 0, 0 },
        { md("Text\n\nHR\n"), md("R"), false, md("Text\n\nH\nR\n"), 0, 1 },
        { md("Text\n\nF\nHR\nF\n"), md("R"), false, md("Text\n\nF\nH\nR\nF\n"), 0, 0 },
        // Two tables with a blank line between them become one.
        { md("H\nR\n\nH\nR\nend\n"), md("\nH\nR\nend"), true, md("H\nR\nH\nR\nend\n"), 2, 1 },
        // A line break in prose under a table changes no table.
        { md("H\nR\nW\n\nmore text\n"), md("text"), false, md("H\nR\nW\n\nmore \ntext\n"), 1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before.toStdString());
        EditorHarness h(c.before);
        EXPECT_EQ(h.editor->projected().tableCount(), c.tablesBefore);
        h.setCaret(c.before.lastIndexOf(c.at));
        h.key(c.backspace ? Qt::Key_Backspace : Qt::Key_Return);
        h.editor->flushPendingWork();
        EXPECT_EQ(h.content(), c.after);
        EXPECT_EQ(h.editor->projected().tableCount(), c.tablesAfter);
        EXPECT_EQ(h.editor->markdown(), c.after);
    }
}

TEST(BlockEditorInput, RandomKeysAmongTablesAndFencesKeepTheTablesOfTheText)
{
    // However a key changes pipes, line breaks and backticks, the view shows the tables the text
    // holds, each over the lines it has there, once the key is handled.
    const QString part = QStringLiteral("Text | pipe\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n"
                                        "```\n| c |\n|---|\n```\n\n| d |\n\n|---|\nend\n");
    EditorHarness h(part + part);
    QRandomGenerator random(2718);
    const QStringList keys { QStringLiteral("a"), QStringLiteral("|"), QStringLiteral("\n"),
        QStringLiteral("`"), QStringLiteral("-"), QString() };
    for (int i = 0; i < 300; ++i) {
        h.setCaret(int(random.bounded(int(h.content().size()) + 1)));
        const QString& key = keys.at(random.bounded(keys.size()));
        if (key.isEmpty())
            h.key(random.bounded(2) ? Qt::Key_Backspace : Qt::Key_Delete);
        else
            h.type(key);
        h.editor->flushPendingWork();
        ASSERT_EQ(h.editor->markdown(), h.content()) << "step " << i;
        ASSERT_EQ(
            h.editor->projected().tableMarkdownRanges(0, h.editor->projected().storage().length()),
            MarkdownTableProjection::findTables(h.content()))
            << "step " << i << ": " << h.content().toStdString();
    }
}

TEST(BlockEditorInput, ADocumentThatCouldNotBeReadIsNeverEdited)
{
    TempTree tree;
    const QByteArray bytes("ok \xff\xfe broken | a |\n|---|\n| 1 |\n");
    const QString path = tree.write(QStringLiteral("bad.md"), bytes);
    WorkspaceState workspace;
    workspace.openFile(path);
    UnifiedBlockEditor editor(*workspace.activeDocument(), workspace);
    editor.show();
    QApplication::processEvents();
    ASSERT_FALSE(workspace.documentError().isEmpty());
    EXPECT_TRUE(editor.textView()->isReadOnly());
    const QString before = workspace.currentFileContent();
    QTest::keyClicks(editor.textView(), QStringLiteral("typed"));
    QTest::keyClick(editor.textView(), Qt::Key_B, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(workspace.currentFileContent(), before);
    EXPECT_EQ(tree.read(QStringLiteral("bad.md")), bytes);
}

TEST(BlockEditorInput, ReplacingEverythingAndPastingKeepTheTextExact)
{
    const QString start = QStringLiteral("# Title\n\n| a |\n|---|\n| 1 |\n\ntail\rend");
    EditorHarness h(start);
    h.key(Qt::Key_A, Qt::ControlModifier);
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.content(), QStringLiteral("x"));
    h.editor->undo();
    EXPECT_EQ(h.content().toStdString(), start.toStdString());

    // Copying gives the selection's Markdown, tables and carriage returns included; pasting it
    // back at the end gives it twice.
    h.key(Qt::Key_A, Qt::ControlModifier);
    h.key(Qt::Key_C, Qt::ControlModifier);
    h.setCaret(start.size());
    h.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.content().toStdString(), (start + start).toStdString());
    EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 2);

    // Pasted over itself, the text stays what it was, and its tables stay grids.
    h.key(Qt::Key_A, Qt::ControlModifier);
    h.key(Qt::Key_C, Qt::ControlModifier);
    h.key(Qt::Key_V, Qt::ControlModifier);
    h.editor->flushPendingWork();
    EXPECT_EQ(h.content().toStdString(), (start + start).toStdString());
    EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 2);
    EXPECT_EQ(h.editor->markdown(), h.content());
}

TEST(BlockEditorInput, OnlyACarriageReturnIsWrittenAsOne)
{
    EditorHarness h(QStringLiteral("a\rb\n"));
    h.setCaret(1);
    h.type(QString(QChar(0x240D)));
    EXPECT_EQ(h.content(), QStringView(u"a\u240D\rb\n").toString());
    // The document's own stand-in for a carriage return never comes in from outside.
    h.type(QString(QChar(0xFDEF)));
    QInputMethodEvent composed;
    composed.setCommitString(QStringView(u"x\uFDEFy").toString());
    QApplication::sendEvent(h.view(), &composed);
    QApplication::clipboard()->setText(QStringView(u"p\uFDEFq").toString());
    h.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringView(u"a\u240Dxypq\rb\n").toString());
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
}

TEST(BlockEditorInput, EditsReachTheDocumentAsTheRangeTheyChanged)
{
    QString doc;
    for (int i = 0; i < 400; ++i)
        doc += QStringLiteral("Line %1 with **bold** words\n").arg(i);
    doc += QStringLiteral("\n| a | b |\n|---|---|\n| 1 | 2 |\nafter the table\n");
    EditorHarness h(doc);
    QList<TextEdit> edits;
    QObject::connect(
        &h.editor->document(), &Document::edited, [&](const TextEdit& edit, const QObject* origin) {
            EXPECT_EQ(origin, h.editor.get());
            edits.append(edit);
        });
    auto expectEdit = [&](qsizetype position, qsizetype removed, const QString& inserted) {
        ASSERT_FALSE(edits.isEmpty());
        EXPECT_EQ(edits.last().position, position);
        EXPECT_EQ(edits.last().removedLength, removed);
        EXPECT_EQ(edits.last().inserted, inserted);
    };

    const qsizetype line = doc.indexOf(QStringLiteral("Line 300 "));
    h.setCaret(line + 4);
    h.type(QStringLiteral("xy"));
    ASSERT_EQ(edits.size(), 2);
    expectEdit(line + 5, 0, QStringLiteral("y"));
    doc.insert(line + 4, QStringLiteral("xy"));
    EXPECT_EQ(h.content(), doc);

    // Typing over a selection, and a backspace that joins two lines.
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(int(line));
    cursor.setPosition(int(line + 4), QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);
    h.type(QStringLiteral("Ro"));
    doc.replace(line, 4, QStringLiteral("Ro"));
    ASSERT_GE(edits.size(), 4);
    EXPECT_EQ(edits.at(2).position, line);
    EXPECT_EQ(edits.at(2).removedLength, 4);
    EXPECT_EQ(edits.at(2).inserted, QStringLiteral("R"));
    expectEdit(line + 1, 0, QStringLiteral("o"));
    h.setCaret(line);
    h.key(Qt::Key_Backspace);
    doc.remove(line - 1, 1);
    expectEdit(line - 1, 1, QString());
    EXPECT_EQ(h.content(), doc);

    // Beside a table the text is still exact, and the edit still only its range.
    const qsizetype after = doc.indexOf(QStringLiteral("after the table"));
    h.setCaret(after);
    h.type(QStringLiteral("z"));
    doc.insert(after, u'z');
    EXPECT_EQ(h.content(), doc);
    expectEdit(after, 0, QStringLiteral("z"));
    EXPECT_EQ(h.onDisk(), doc.toUtf8());
}

TEST(BlockEditorInput, EnterOnAnEmptyLineAddsALineEveryTime)
{
    // Key by key, with the file checked after each one.
    EditorHarness h(QString {});
    const struct
    {
        const char* typed; // else Enter
        const char* after;
    } steps[] = {
        { "Hello", "Hello" },
        { nullptr, "Hello\n" },
        { nullptr, "Hello\n\n" },
        { nullptr, "Hello\n\n\n" },
        { "World", "Hello\n\n\nWorld" },
    };
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(++step);
        if (s.typed)
            h.type(QString::fromLatin1(s.typed));
        else
            h.key(Qt::Key_Return);
        EXPECT_EQ(h.content(), QString::fromLatin1(s.after));
        EXPECT_EQ(h.onDisk(), QByteArray(s.after));
    }

    // On the blank line between two paragraphs each Enter adds one line, and so does Enter on
    // the keypad.
    EditorHarness between(QStringLiteral("one\n\ntwo\n"));
    between.setCaret(4);
    QString expected = QStringLiteral("one\n\ntwo\n");
    for (Qt::Key key : { Qt::Key_Return, Qt::Key_Return, Qt::Key_Enter }) {
        SCOPED_TRACE(++step);
        between.key(key);
        expected.insert(4, u'\n');
        EXPECT_EQ(between.content(), expected);
        EXPECT_EQ(between.onDisk(), expected.toUtf8());
    }
}

TEST(BlockEditorInput, StylingASelectionThatHoldsATableLeavesTheTableAndTheFileAlone)
{
    const QString start = QStringLiteral("before\n| a | b |\n|---|---|\n| 1 | 2 |\nafter\n");
    EditorHarness h(start);
    ASSERT_EQ(h.editor->projected().tableCount(), 1);
    auto select = [&](qsizetype fromMarkdown, qsizetype toMarkdown) {
        QTextCursor cursor = h.view()->textCursor();
        cursor.setPosition(int(h.editor->projected().storageOffset(fromMarkdown)));
        cursor.setPosition(
            int(h.editor->projected().storageOffset(toMarkdown)), QTextCursor::KeepAnchor);
        h.view()->setTextCursor(cursor);
    };
    // From the paragraph above the table to the one below it, and the table alone.
    const QList<QPair<qsizetype, qsizetype>> selections { { 0, start.size() - 1 },
        { 7, start.indexOf(QStringLiteral("after")) - 1 } };
    for (const auto& [from, to] : selections) {
        SCOPED_TRACE(from);
        select(from, to);
        h.key(Qt::Key_B, Qt::ControlModifier);
        h.key(Qt::Key_I, Qt::ControlModifier);
        EXPECT_EQ(h.content().toStdString(), start.toStdString());
        EXPECT_EQ(h.editor->projected().tableCount(), 1);
    }
    EXPECT_TRUE(h.written.isEmpty());
    EXPECT_EQ(h.onDisk(), start.toUtf8());
    EXPECT_FALSE(h.editor->canUndo());

    // Beside the table, a word is styled as anywhere else.
    select(0, 6);
    h.key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(h.content().toStdString(), ("**before**" + start.mid(6)).toStdString());
}

TEST(BlockEditorInput, IndentingCodeLinesDownOverATableKeepsTheTablesMarkdown)
{
    const QString table = QStringLiteral("| a  |  b |\n|:--|--:|\n| 1 | 2 |");
    const QString start = QStringLiteral("```\ncode\n```\n\n") + table + QStringLiteral("\n");
    EditorHarness h(start);
    ASSERT_EQ(h.editor->projected().tableCount(), 1);
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(int(start.indexOf(QStringLiteral("code"))));
    cursor.setPosition(int(h.editor->projected().storage().length()), QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);

    // Every line of the selection gains two spaces; those of the table's line stand on a line
    // of their own above it, as text typed before a table does.
    h.key(Qt::Key_Tab);
    h.editor->flushPendingWork();
    const QString indented
        = QStringLiteral("```\n  code\n  ```\n  \n  \n") + table + QStringLiteral("\n");
    EXPECT_EQ(h.content().toStdString(), indented.toStdString());
    EXPECT_EQ(h.onDisk(), indented.toUtf8());
    EXPECT_EQ(h.editor->projected().tableCount(), 1);
    expectUndoRedo(h, { start, indented });
    EXPECT_EQ(h.editor->projected().tableCount(), 1);
}

TEST(ProjectedDocument, AChangeInTheViewNeverTurnsATableIntoAPlaceholderCharacter)
{
    const QString table = QStringLiteral("| x |\n|---|\n| 1 |");
    QTextDocument document;
    ProjectedDocument projected(document);
    projected.load(QStringLiteral("a\n") + table + QStringLiteral("\nb"), false, 15);
    ASSERT_EQ(projected.tableCount(), 1);
    // The user's changes, as the editor hands them over (the document reports them once it
    // has a layout).
    document.documentLayout();
    QObject::connect(
        &document, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
            projected.mirrorDocumentChange(position, removed, added);
        });

    // The whole text rewritten with a bare U+FFFC where the table stood, as an edit built from
    // the view's characters writes it: the table keeps its place and its Markdown.
    QTextCursor cursor(&document);
    cursor.select(QTextCursor::Document);
    cursor.insertText(QStringView(u"**a\n\uFFFC\nb**").toString());
    EXPECT_EQ(projected.tableCount(), 1);
    EXPECT_EQ(projected.markdown().toStdString(), ("**a\n" + table + "\nb**").toStdString());

    // A U+FFFC that replaces no table is a character of the text like any other.
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString(QChar(0xFFFC)));
    EXPECT_EQ(projected.tableCount(), 1);
    EXPECT_EQ(projected.markdown().toStdString(),
        ("**a\n" + table + QStringView(u"\nb**\uFFFC").toString()).toStdString());
}
