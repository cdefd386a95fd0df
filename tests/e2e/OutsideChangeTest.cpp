// Another program, or the program's own sync, changes an open file while the user types: the
// question about it waits in a bar over the editors, no key typed for the text answers it or is
// lost, nothing is written until a button is clicked, and the caret stays on the text it was on.
#include "E2EHarness.h"

#include "editor/chrome/DiskQuestionBar.h"
#include "editor/chrome/StatusBarView.h"
#include "git/GitTestRepos.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/BackgroundWriter.h"

#include <QLabel>
#include <QPushButton>

using namespace quillon;
using namespace quillon::test;

namespace {

enum class Choice { KeepMine, LoadDisk, Later };

class OutsideChangeTest : public EndToEndTest
{
protected:
    void startOn(const QString& folder, const QString& document)
    {
        start();
        ws().setFolderURL(folder);
        ws().openFile(document);
        settle(300);
        ASSERT_EQ(ws().activeTabURL(), document);
    }

    DiskQuestionBar* bar() const { return window->findChild<DiskQuestionBar*>(); }
    bool barShown() const { return bar() && bar()->isVisible(); }
    QString problemShown() const
    {
        auto* status = window->slot(ContentView::Slot::StatusBar)->findChild<StatusBarView*>();
        return status && !status->problemLabel()->isHidden() ? status->problemLabel()->toolTip()
                                                             : QString();
    }

    struct Pane
    {
        const char* name;
        std::function<QWidget*()> input;
    };

    QWidget* clickIntoSource()
    {
        QWidget* view = source()->textView();
        QTest::mouseClick(source()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 15));
        return view;
    }

    QWidget* clickIntoBlocks()
    {
        QWidget* input = blocks()->textView();
        QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 15));
        return input;
    }

    void click(Choice choice)
    {
        QPushButton* button = choice == Choice::KeepMine ? bar()->keepMineButton()
            : choice == Choice::LoadDisk                 ? bar()->loadDiskButton()
                                                         : bar()->laterButton();
        QTest::mouseClick(button, Qt::LeftButton);
        ws().flushPendingWrites();
        settle();
    }

    // The tables the block editor draws, in the order of the text.
    QList<const TableAttachment*> tablesShown() const
    {
        QList<const TableAttachment*> tables;
        const AttributedText& storage = blocks()->projected().storage();
        for (qsizetype i = 0; i < storage.length(); ++i) {
            if (const TableAttachment* table = MarkdownTableProjection::tableAt(storage, i))
                tables.append(table);
        }
        return tables;
    }

    // Keys a user presses without looking up: a space, Enter, letters.
    void typeOnRegardless(QWidget* input)
    {
        QTest::keyClick(input, Qt::Key_Space);
        QTest::keyClick(input, Qt::Key_Return);
        type(input, QStringLiteral("go on"));
        ws().flushPendingWrites();
        settle();
    }
};

} // namespace

TEST_F(OutsideChangeTest, AnotherProgramsChangeIsAskedInABarWhileTypingGoesOn)
{
    for (Choice choice : { Choice::KeepMine, Choice::LoadDisk, Choice::Later }) {
        SCOPED_TRACE(int(choice));
        const QString notes = tree.write("notes.md", "# Notes\n");
        startOn(tree.path(), notes);
        QWidget* input = clickIntoBlocks();
        QTest::keyClick(input, Qt::Key_End);
        type(input, QStringLiteral(" mine"));
        ws().flushPendingWrites();
        ASSERT_EQ(readFile(notes), "# Notes mine\n");

        tree.write("notes.md", "# Theirs\n");
        type(input, QStringLiteral(" more"));
        ASSERT_TRUE(waitUntil([&] { return barShown(); }));
        EXPECT_EQ(bar()->messageLabel()->text(), "“notes.md” was changed by another program.");
        EXPECT_FALSE(bar()->informativeLabel()->text().isEmpty());
        EXPECT_EQ(readFile(notes), "# Theirs\n");

        typeOnRegardless(input);
        const QString mine = ws().currentFileContent();
        EXPECT_TRUE(mine.startsWith("# Notes mine more")) << mine.toStdString();
        EXPECT_TRUE(mine.contains("go on")) << mine.toStdString();
        EXPECT_TRUE(prompts->alerts().isEmpty()) << "asked in a modal box";
        EXPECT_TRUE(barShown());
        EXPECT_TRUE(input->hasFocus());
        EXPECT_EQ(readFile(notes), "# Theirs\n");
        EXPECT_TRUE(problemShown().contains("changed by another program"));

        click(choice);
        EXPECT_FALSE(barShown());
        switch (choice) {
        case Choice::KeepMine:
            EXPECT_EQ(readFile(notes), mine.toUtf8());
            type(input, QStringLiteral("!"));
            ws().flushPendingWrites();
            EXPECT_EQ(readFile(notes), ws().currentFileContent().toUtf8());
            EXPECT_TRUE(problemShown().isEmpty());
            break;
        case Choice::LoadDisk:
            EXPECT_EQ(ws().currentFileContent(), "# Theirs\n");
            EXPECT_EQ(readFile(notes), "# Theirs\n");
            break;
        case Choice::Later:
            // Both versions stay; typing on writes nothing and does not ask again.
            EXPECT_EQ(ws().currentFileContent(), mine);
            type(input, QStringLiteral("!"));
            ws().flushPendingWrites();
            settle(100);
            EXPECT_FALSE(barShown());
            EXPECT_EQ(readFile(notes), "# Theirs\n");
            EXPECT_TRUE(ws().currentFileContent().contains("go on!"));
            EXPECT_TRUE(problemShown().contains("changed by another program"));
            break;
        }
        window.reset();
        settle();
    }
}

TEST_F(OutsideChangeTest, ASyncThatPullsAChangeToTheOpenFileWhileTheUserTypes)
{
    ensureGitIdentity();
    for (Choice choice : { Choice::KeepMine, Choice::LoadDisk, Choice::Later }) {
        SCOPED_TRACE(int(choice));
        GitRemoteFixture repos;
        repos.write(repos.alice(), "shared.md", "# Shared\n\nAlice's line\n\nBob's line\n");
        repos.commitAndPush(repos.alice(), "Add");
        gitOk(repos.bob(), { "pull", "-q" });
        repos.write(repos.alice(), "shared.md", "# Shared\n\nAlice's line, edited\n\nBob's line\n");
        repos.commitAndPush(repos.alice(), "Edit");
        const QString shared = repos.bob() + "/shared.md";
        startOn(repos.bob(), shared);

        QWidget* input = clickIntoBlocks();
        QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        // Typed while the sync commits, fetches and merges.
        type(input, QStringLiteral(" typed"));
        ASSERT_TRUE(waitUntil(
            [&] { return ws().gitSyncState().kind != GitSyncState::Kind::Syncing; }, 30000));
        EXPECT_EQ(ws().gitSyncState().kind, GitSyncState::Kind::Synced)
            << ws().gitSyncState().message.toStdString();
        const QByteArray merged = "# Shared\n\nAlice's line, edited\n\nBob's line\n";
        EXPECT_EQ(readFile(shared), merged);
        ASSERT_TRUE(waitUntil([&] { return barShown(); }));

        typeOnRegardless(input);
        const QString mine = ws().currentFileContent();
        // Every key landed, on the text as it was before the merge.
        EXPECT_EQ(mine, "# Shared\n\nAlice's line\n\nBob's line\n typed \ngo on");
        EXPECT_EQ(readFile(shared), merged);
        EXPECT_TRUE(prompts->alerts().isEmpty());

        click(choice);
        switch (choice) {
        case Choice::KeepMine:
            EXPECT_EQ(readFile(shared), mine.toUtf8());
            break;
        case Choice::LoadDisk:
            EXPECT_EQ(ws().currentFileContent(), QString::fromUtf8(merged));
            EXPECT_EQ(readFile(shared), merged);
            break;
        case Choice::Later:
            EXPECT_EQ(ws().currentFileContent(), mine);
            EXPECT_EQ(readFile(shared), merged);
            break;
        }
        window.reset();
        settle();
    }
}

TEST_F(OutsideChangeTest, TheCaretStaysOnItsTextWhenAnotherProgramAddsALineAbove)
{
    const QString notes = tree.write("notes.md", "Zeroth line\n");
    startOn(tree.path(), notes);
    const Pane panes[] = {
        { "blocks", [this] { return clickIntoBlocks(); } },
        { "source", [this] { return clickIntoSource(); } },
    };
    for (const Pane& pane : panes) {
        SCOPED_TRACE(pane.name);
        tree.write("notes.md", "First line\n\nSecond line\n\nThird line\n");
        ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent().startsWith("First"); }));
        settle();
        QWidget* input = pane.input();
        // After "Second" (the start of the document's third paragraph).
        QTest::keyClick(input, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(input, Qt::Key_Down);
        QTest::keyClick(input, Qt::Key_Home);
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(input, Qt::Key_Right);
        type(input, QStringLiteral("X"));
        ws().flushPendingWrites();
        const QString before = ws().currentFileContent();
        ASSERT_TRUE(before.contains("SecondX line")) << before.toStdString();

        const QString added = QStringLiteral("Added on top\n\n"); // 14 characters
        tree.write("notes.md", (added + before).toUtf8());
        ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent().startsWith(added); }));
        settle();
        type(input, QStringLiteral("Y"));
        ws().flushPendingWrites();
        EXPECT_EQ(
            ws().currentFileContent(), QString(added + before).replace("SecondX", "SecondXY"));
        EXPECT_EQ(readFile(notes), QString(added + before).replace("SecondX", "SecondXY").toUtf8());
        EXPECT_TRUE(prompts->alerts().isEmpty());
    }
}

// The user's unsaved words are given up for the other program's version, which added a line
// further down: the caret goes back to where those words were, in either pane.
TEST_F(OutsideChangeTest, LoadingTheDiskVersionPutsTheCaretWhereTheWordsGivenUpWere)
{
    const QString notes = tree.write("notes.md", "Zeroth line\n");
    startOn(tree.path(), notes);
    const Pane panes[] = {
        { "blocks", [this] { return clickIntoBlocks(); } },
        { "source", [this] { return clickIntoSource(); } },
    };
    for (const Pane& pane : panes) {
        SCOPED_TRACE(pane.name);
        const QString text = QStringLiteral("First line\n\nSecond line\n\nThird line\n");
        tree.write("notes.md", text.toUtf8());
        ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent() == text; }));
        settle();
        QWidget* input = pane.input();
        QTest::keyClick(input, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(input, Qt::Key_Down);
        QTest::keyClick(input, Qt::Key_End);
        type(input, QStringLiteral("X"));
        ws().flushPendingWrites();
        const QString saved = ws().currentFileContent();
        ASSERT_EQ(readFile(notes), saved.toUtf8());

        const QString theirs = saved + QStringLiteral("\nTheir line\n");
        tree.write("notes.md", theirs.toUtf8());
        type(input, QStringLiteral(" given up"));
        ASSERT_TRUE(waitUntil([&] { return barShown(); }));
        click(Choice::LoadDisk);
        ASSERT_EQ(ws().currentFileContent(), theirs);
        type(input, QStringLiteral("Y"));
        ws().flushPendingWrites();
        EXPECT_EQ(readFile(notes), QString(theirs).replace("lineX", "lineXY").toUtf8());
    }
}

TEST_F(OutsideChangeTest, ALineChangedByAnotherProgramIsShownWhereItLandsAndEndsTheHistory)
{
    QString text = QStringLiteral("# Notes\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n");
    for (int i = 0; i < 80; ++i)
        text += QStringLiteral("Paragraph %1 with **bold** text.\n\n").arg(i);
    text += QStringLiteral("| c | d |\n|---|---|\n| 3 | 4 |\n");
    const QString original = text;
    const QString notes = tree.write("notes.md", text.toUtf8());
    startOn(tree.path(), notes);
    int restyled = 0;
    // Counts only while the test runs: the view outlives it.
    QObject counting;
    QObject::connect(
        blocks(), &UnifiedBlockEditor::presented, &counting, [&](int count) { restyled += count; });
    struct Pane
    {
        const char* name;
        std::function<QWidget*()> input;
        int upToLastParagraph;
    };
    const Pane panes[] = {
        { "blocks", [this] { return clickIntoBlocks(); }, 3 },
        { "source",
            [this]() -> QWidget* {
                QTest::mouseClick(
                    source()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 15));
                return source()->textView();
            },
            5 },
    };
    for (const Pane& pane : panes) {
        SCOPED_TRACE(pane.name);
        QWidget* input = pane.input();
        // The user adds to the last paragraph: written, and undo could take it back.
        QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
        for (int i = 0; i < pane.upToLastParagraph; ++i)
            QTest::keyClick(input, Qt::Key_Up);
        QTest::keyClick(input, Qt::Key_End);
        type(input, QStringLiteral("X"));
        ws().flushPendingWrites();
        text = ws().currentFileContent();
        ASSERT_TRUE(text.contains("Paragraph 79 with **bold** text.X\n")) << text.toStdString();
        ASSERT_TRUE(ws().activeDocument()->canUndo());
        const QList<const TableAttachment*> tables = tablesShown();
        ASSERT_EQ(tables.size(), 2);

        // Another program rewrites a line above the caret, then adds one at the end.
        const QString changes[] = { QStringLiteral("Paragraph 40 rewritten elsewhere"),
            QStringLiteral("A line added at the end.\n") };
        for (const QString& change : changes) {
            SCOPED_TRACE(change.toStdString());
            if (change.endsWith(u'\n'))
                text += change;
            else
                text.replace(QStringLiteral("Paragraph 40 with"), change);
            tree.write("notes.md", text.toUtf8());
            const FileSignature written = FileSignature::of(notes);
            restyled = 0;
            ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent() == text; }));
            settle();
            EXPECT_EQ(blocks()->markdown(), text);
            EXPECT_EQ(source()->text(), text);
            // Only the paragraphs around the change are styled again; the tables far from it
            // are the ones drawn before.
            EXPECT_LE(restyled, 3);
            EXPECT_EQ(tablesShown(), tables);
            // Nothing was written, and nothing before the change can be undone.
            EXPECT_TRUE(FileSignature::of(notes).sameFileVersion(written));
            EXPECT_FALSE(ws().activeDocument()->canUndo());
            QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
            ws().flushPendingWrites();
            EXPECT_EQ(ws().currentFileContent(), text);
            EXPECT_EQ(readFile(notes), text.toUtf8());
        }
        // The caret stayed on its text.
        type(input, QStringLiteral("Y"));
        ws().flushPendingWrites();
        text.replace(QStringLiteral("text.X\n"), QStringLiteral("text.XY\n"));
        EXPECT_EQ(ws().currentFileContent(), text);
        EXPECT_EQ(readFile(notes), text.toUtf8());
        EXPECT_TRUE(prompts->alerts().isEmpty());
        text = original;
        tree.write("notes.md", text.toUtf8());
        ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent() == text; }));
        settle();
    }
}
