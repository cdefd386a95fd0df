#include "WorkspaceTestSupport.h"

#include "workspace/FileNode.h"

#include <QDir>
#include <QSignalSpy>

namespace quillon::test {
namespace {

class WorkspaceStateFilesTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        state = makeState();
        state->setFolderURL(tree.path());
    }

    QString path(const QString& relative) const { return tree.filePath(relative); }

    std::unique_ptr<WorkspaceState> state;
};

TEST_F(WorkspaceStateFilesTest, NewFileTakesTheFirstFreeUntitledNameAndOpens)
{
    tree.write("Untitled.md", "x");
    tree.mkdir("Untitled 1.md");
    state->createNewFile();
    EXPECT_EQ(tree.read("Untitled 2.md"), "# Untitled 2\n\n");
    EXPECT_EQ(state->activeTabURL(), path("Untitled 2.md"));
    EXPECT_EQ(state->currentFileContent(), "# Untitled 2\n\n");
}

TEST_F(WorkspaceStateFilesTest, NewItemsGoWhereTheUserPointed)
{
    const QString docs = tree.mkdir("docs");
    const QString note = tree.write("docs/note.md", "n");
    state->createNewFile(note);
    EXPECT_TRUE(QFileInfo::exists(path("docs/Untitled.md")));
    EXPECT_TRUE(state->isExpanded(docs));

    state->setSelectedURL(path("gone/nowhere.md"));
    state->createNewFile();
    EXPECT_TRUE(QFileInfo::exists(path("Untitled.md")));

    state->createNewFolder(docs);
    state->createNewFolder(docs);
    EXPECT_TRUE(QFileInfo(path("docs/New Folder 1")).isDir());
    EXPECT_EQ(state->selectedURL(), path("docs/New Folder 1"));
    EXPECT_TRUE(state->isExpanded(path("docs/New Folder 1")));
}

TEST_F(WorkspaceStateFilesTest, NothingIsCreatedWithoutATarget)
{
    state->setFolderURL({});
    state->createNewFile();
    state->createNewFolder();
    EXPECT_TRUE(QDir(tree.path()).isEmpty());
}

TEST_F(WorkspaceStateFilesTest, MovingAFolderCarriesItsTabsTextsAndTheActiveTab)
{
    tree.write("a/x.md", "x\n");
    tree.write("a/y/z.md", "z\n");
    tree.write("ab.md", "ab\n");
    tree.mkdir("b");
    state->openFile(path("a/x.md"));
    state->setCurrentFileContent("x not yet saved\n");
    state->openFile(path("ab.md"));
    state->openFile(path("a/y/z.md"));

    state->moveItem(path("a"), path("b"));
    EXPECT_EQ(
        state->openTabs(), (QStringList { path("b/a/x.md"), path("ab.md"), path("b/a/y/z.md") }));
    EXPECT_EQ(state->activeTabURL(), path("b/a/y/z.md"));
    EXPECT_EQ(state->currentFileContent(), "z\n");
    state->selectTab(path("b/a/x.md"));
    EXPECT_EQ(state->currentFileContent(), "x not yet saved\n");
    EXPECT_TRUE(state->hasUnsavedChanges(path("b/a/x.md")));
}

TEST_F(WorkspaceStateFilesTest, MovesThatMakeNoSenseDoNothing)
{
    tree.write("a/b/inside.md", "i");
    tree.write("x.md", "x");
    tree.write("sub/x.md", "other");
    state->moveItem(path("a"), path("a"));
    state->moveItem(path("a"), path("a/b"));
    state->moveItem(path("a"), path("a/b/inside.md"));
    state->moveItem(path("x.md"), path("x.md"));
    EXPECT_TRUE(QFileInfo::exists(path("a/b/inside.md")));
    EXPECT_TRUE(QFileInfo::exists(path("x.md")));

    state->moveItem(path("x.md"), path("sub"));
    EXPECT_EQ(tree.read("x.md"), "x");
    EXPECT_EQ(tree.read("sub/x.md"), "other");
    EXPECT_FALSE(state->lastFileOperationError().isEmpty());

    tree.mkdir("ab");
    state->moveItem(path("a"), path("ab"));
    EXPECT_TRUE(QFileInfo::exists(path("ab/a/b/inside.md")));
}

TEST_F(WorkspaceStateFilesTest, RenameNames)
{
    struct Case
    {
        const char* original;
        const char* typed;
        const char* result; // "" = nothing happens
    };
    const Case cases[] = {
        { "notes.md", "ideas", "ideas.md" },
        { "notes.md", "  ideas.txt  ", "ideas.txt" },
        { "notes.md", "notes", "" },
        { "notes.md", "   ", "" },
        { "Makefile", "Build", "Build" },
        { "draft.md", "draft.final", "draft.final" },
        { "archive.tar.gz", "backup", "backup.gz" },
        { ".env", "settings", "settings" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const QString original = tree.write(QString::fromUtf8(c.original), "text");
        state->renameFile(original, QString::fromUtf8(c.typed));
        if (*c.result) {
            EXPECT_FALSE(QFileInfo::exists(original));
            EXPECT_EQ(tree.read(QString::fromUtf8(c.result)), "text");
            QFile::remove(path(QString::fromUtf8(c.result)));
        } else {
            EXPECT_TRUE(QFileInfo::exists(original));
            QFile::remove(original);
        }
    }
}

TEST_F(WorkspaceStateFilesTest, UnsafeNamesAreRefusedWithAMessage)
{
    const QString note = tree.write("note.md", "text");
    tree.mkdir("sub");
    for (const QString& name : { QStringLiteral("../escape"), QStringLiteral("sub/inner.md"),
             QStringLiteral(".."), QStringLiteral("."), QStringLiteral("a") + QChar(0) }) {
        prompts->clearRecords();
        state->renameFile(note, name);
        EXPECT_TRUE(QFileInfo::exists(note)) << name.toStdString();
        ASSERT_EQ(prompts->alerts().size(), 1) << name.toStdString();
        EXPECT_FALSE(prompts->alerts()[0].informativeText.isEmpty());
        EXPECT_FALSE(state->lastFileOperationError().isEmpty());
    }
    EXPECT_EQ(QDir(path("sub")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {});
    EXPECT_FALSE(QFileInfo::exists(tree.path() + "/../escape.md"));
}

TEST_F(WorkspaceStateFilesTest, RenamingAFolderRemapsExpandedPathsAndTabs)
{
    tree.write("docs/sub/n.md", "n\n");
    tree.mkdir("docsx");
    state->setExpanded(true, path("docs"));
    state->setExpanded(true, path("docs/sub"));
    state->setExpanded(true, path("docsx"));
    state->openFile(path("docs/sub/n.md"));

    state->renameFile(path("docs"), "docs.md");
    EXPECT_TRUE(QFileInfo(path("docs.md")).isDir());
    const QSet<QString> expanded = state->expandedPaths();
    EXPECT_TRUE(expanded.contains(path("docs.md")));
    EXPECT_TRUE(expanded.contains(path("docs.md/sub")));
    EXPECT_TRUE(expanded.contains(path("docsx")));
    EXPECT_FALSE(expanded.contains(path("docs")));
    EXPECT_EQ(state->activeTabURL(), path("docs.md/sub/n.md"));
    EXPECT_EQ(UserDefaults::standard().stringValue("lastActiveTabPath"), path("docs.md/sub/n.md"));
}

TEST_F(WorkspaceStateFilesTest, RenamingOntoAnExistingNameChangesNothing)
{
    tree.write("a.md", "a");
    tree.write("b.md", "b");
    state->openFile(path("a.md"));
    state->renameFile(path("a.md"), "b");
    EXPECT_EQ(tree.read("a.md"), "a");
    EXPECT_EQ(tree.read("b.md"), "b");
    EXPECT_EQ(state->activeTabURL(), path("a.md"));
    EXPECT_FALSE(state->lastFileOperationError().isEmpty());
}

TEST_F(WorkspaceStateFilesTest, AFolderThatCannotBeWatchedIsAPublishedProblem)
{
    tree.write("plain.md", "not a folder");
    QSignalSpy changes(state.get(), &WorkspaceState::folderWatchErrorChanged);
    state->setFolderURL(path("plain.md"));
    ASSERT_TRUE(waitUntil([&] { return !state->folderWatchError().isEmpty(); }));
    EXPECT_TRUE(state->folderWatchError().contains(QStringLiteral("can't watch")))
        << state->folderWatchError().toStdString();
    EXPECT_EQ(changes.count(), 1);

    // Another folder starts with a clean slate.
    state->setFolderURL(tree.path());
    EXPECT_TRUE(state->folderWatchError().isEmpty());
    EXPECT_EQ(changes.count(), 2);
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(state->folderWatchError().isEmpty());
}

} // namespace
} // namespace quillon::test
