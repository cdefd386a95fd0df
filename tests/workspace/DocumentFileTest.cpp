// What happens to a document's text when its file is not simply there to be written: renamed
// while a write is on its way, read-only, or one of several hard links.
#include "WorkspaceTestSupport.h"

#include "workspace/Document.h"

#include <QDir>
#include <QSemaphore>

#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {
namespace {

class DocumentFileTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        a = tree.write("a.md", "hello\n");
        state = makeState();
        state->setFolderURL(tree.path());
        settle();
    }

    Document& open(const QString& path)
    {
        state->openFile(path);
        return *state->activeDocument();
    }

    std::unique_ptr<WorkspaceState> state;
    QString a;
};

// Renamed while the write was under way, before it replaced the file: the text is not written
// under the old name (which is not made again), it goes to the file under its new name.
TEST_F(DocumentFileTest, ARenameWhileAWriteIsUnderWayEndsWithTheTextInTheRenamedFile)
{
    Document& document = open(a);
    QSemaphore reached, go;
    std::atomic<bool> once { true };
    state->writerForTesting().setBeforeReplaceForTesting([&](const QString&) {
        if (once.exchange(false)) {
            reached.release();
            go.acquire();
        }
    });
    document.applyEdit(5, 0, QStringLiteral(", world"), nullptr);
    ASSERT_TRUE(reached.tryAcquire(1, 5000));
    state->renameFile(a, QStringLiteral("b"));
    go.release();
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(document.path(), tree.filePath("b.md"));
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_EQ(tree.read("b.md"), "hello, world\n");
    EXPECT_TRUE(document.saveError().isEmpty()) << document.saveError().toStdString();
    EXPECT_FALSE(document.isWritePending());
}

// Written just before the rename, heard of after it: the document knows its file holds its text,
// and a later change by another program is shown, not ignored.
TEST_F(DocumentFileTest, AWriteHeardOfAfterARenameStillCountsAndLaterChangesAreFollowed)
{
    Document& document = open(a);
    document.applyEdit(5, 0, QStringLiteral(", world"), nullptr);
    ASSERT_TRUE(waitUntil([&] { return tree.read("a.md") == "hello, world\n"; }));
    state->renameFile(a, QStringLiteral("b"));
    settle();
    state->flushPendingWrites();
    settle();
    EXPECT_FALSE(document.isWritePending());
    EXPECT_FALSE(document.hasLocalEdits());
    EXPECT_TRUE(document.saveError().isEmpty()) << document.saveError().toStdString();

    tree.write("b.md", "theirs\n");
    document.followChangeOnDisk();
    EXPECT_EQ(state->currentFileContent(), "theirs\n");
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

// A file its owner made read-only is shown, not edited or written, even by the superuser; once
// the permission is given back, the tab shown again is editable and what was kept is written.
TEST_F(DocumentFileTest, AReadOnlyFileIsShownReadOnlyAndWrittenOnceItMayBe)
{
    const QString b = tree.write("b.md", "read me\n");
    const QByteArray encoded = QFile::encodeName(b);
    ASSERT_EQ(::chmod(encoded.constData(), 0444), 0);
    const ino_t inode = inodeOf(b);
    Document& document = open(b);
    EXPECT_TRUE(document.isReadable());
    EXPECT_FALSE(document.isEditable());
    EXPECT_EQ(state->currentFileContent(), "read me\n");
    EXPECT_EQ(state->documentError(), "“b.md” is read-only: you may not write to it.");

    // An edit that gets through anyway (the views refuse them) stays, unsaved.
    document.applyEdit(0, 0, QStringLiteral("# "), nullptr);
    EXPECT_FALSE(document.save());
    state->flushPendingWrites();
    EXPECT_EQ(tree.read("b.md"), "read me\n");
    EXPECT_EQ(inodeOf(b), inode);
    EXPECT_EQ(document.saveError(), "“b.md” is read-only: you may not write to it.");
    EXPECT_EQ(state->currentFileContent(), "# read me\n");

    ASSERT_EQ(::chmod(encoded.constData(), 0644), 0);
    state->openFile(a);
    state->openFile(b);
    state->flushPendingWrites();
    settle();
    EXPECT_TRUE(document.isEditable());
    EXPECT_EQ(tree.read("b.md"), "# read me\n");
    EXPECT_TRUE(state->documentError().isEmpty());
    EXPECT_TRUE(document.saveError().isEmpty());
}

// Permissions changed by the user while the document is open are followed as they change.
TEST_F(DocumentFileTest, APermissionChangedWhileOpenIsFollowed)
{
    Document& document = open(a);
    const QByteArray encoded = QFile::encodeName(a);
    ASSERT_EQ(::chmod(encoded.constData(), 0444), 0);
    EXPECT_TRUE(waitUntil([&] { return !document.isEditable(); }));
    EXPECT_EQ(state->documentError(), "“a.md” is read-only: you may not write to it.");
    ASSERT_EQ(::chmod(encoded.constData(), 0644), 0);
    EXPECT_TRUE(waitUntil([&] { return document.isEditable(); }));
    EXPECT_TRUE(state->documentError().isEmpty());
    EXPECT_EQ(state->currentFileContent(), "hello\n");
}

// A folder that cannot be watched (here: it may not be read) still has its open documents
// follow what other programs do to them.
TEST_F(DocumentFileTest, AnOpenDocumentIsFollowedWhereItsFolderCannotBeWatched)
{
    state.reset();
    const QString folder = tree.mkdir("locked");
    const QString b = tree.write("locked/b.md", "mine\n");
    const ObeyFilePermissions obey;
    const QByteArray encoded = QFile::encodeName(folder);
    ASSERT_EQ(::chmod(encoded.constData(), 0300), 0); // may be passed through, not listed
    if (!obey.active() || !QDir(folder).entryList(QDir::Files).isEmpty()) {
        ::chmod(encoded.constData(), 0700);
        GTEST_SKIP() << "file permissions cannot be made to apply here";
    }
    state = makeState();
    state->setFolderURL(folder);
    EXPECT_TRUE(waitUntil([&] { return !state->folderWatchError().isEmpty(); }));
    Document& document = open(b);
    ASSERT_EQ(state->currentFileContent(), "mine\n");

    tree.write("locked/b.md", "theirs\n");
    EXPECT_TRUE(waitUntil([&] { return state->currentFileContent() == "theirs\n"; }));
    ASSERT_EQ(::chmod(QFile::encodeName(b).constData(), 0444), 0);
    EXPECT_TRUE(waitUntil([&] { return !document.isEditable(); }));
    ::chmod(encoded.constData(), 0700);
}

TEST_F(DocumentFileTest, SavingThroughOneHardLinkShowsInEveryName)
{
    const QString other = tree.filePath("other.md");
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(other).constData()), 0);
    Document& document = open(a);
    document.applyEdit(5, 0, QStringLiteral(", world"), nullptr);
    state->flushPendingWrites();
    EXPECT_EQ(tree.read("a.md"), "hello, world\n");
    EXPECT_EQ(tree.read("other.md"), "hello, world\n");
    document.applyEdit(0, 0, QStringLiteral("# "), nullptr);
    state->flushPendingWrites();
    EXPECT_EQ(tree.read("other.md"), "# hello, world\n");
    EXPECT_EQ(inodeOf(a), inodeOf(other));
}

} // namespace
} // namespace quillon::test
