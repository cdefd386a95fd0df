#include "WorkspaceTestSupport.h"

#include "workspace/FileNode.h"
#include "workspace/IconForExtension.h"

#include <QFile>

#include <unistd.h>

namespace quillon::test {
namespace {

class FileNodeTest : public WorkspaceTest
{
protected:
    QStringList listing(const QSet<QString>& extensions, bool showHidden)
    {
        auto state = makeState();
        state->setActiveFileExtensions(extensions);
        state->setShowHiddenFiles(showHidden);
        FileNode root(tree.path(), true, state.get());
        root.loadChildren();
        QStringList names;
        for (FileNode* child : root.children())
            names.append(child->name() + (child->isDirectory() ? "/" : ""));
        return names;
    }
};

TEST_F(FileNodeTest, FiltersAndOrder)
{
    for (const char* name :
        { "c.md", "A.md", "NOTES.MD", "x.txt", "Makefile", ".gitignore", "file10.md", "file2.md" })
        tree.write(QString::fromLatin1(name), "x");
    tree.mkdir("b");
    tree.mkdir("empty folder");
    tree.mkdir(".git");

    struct Case
    {
        const char* name;
        QSet<QString> extensions;
        bool showHidden;
        QStringList expected;
    };
    const Case cases[] = {
        { "markdown only", { "md" }, false,
            { "b/", "empty folder/", "A.md", "c.md", "file2.md", "file10.md", "NOTES.MD" } },
        { "empty set falls back", {}, false,
            { "b/", "empty folder/", "A.md", "c.md", "file2.md", "file10.md", "NOTES.MD" } },
        { "star shows everything", { "*" }, false,
            { "b/", "empty folder/", "A.md", "c.md", "file2.md", "file10.md", "Makefile",
                "NOTES.MD", "x.txt" } },
        { "capital set entry matches nothing", { "MD" }, false, { "b/", "empty folder/" } },
        { "no extension through the empty entry", { "" }, false,
            { "b/", "empty folder/", "Makefile" } },
        { "hidden shown", { "txt" }, true,
            { ".git/", "b/", "empty folder/", ".gitignore", "x.txt" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(listing(c.extensions, c.showHidden), c.expected);
    }
}

TEST_F(FileNodeTest, ExpandedFoldersAreListedInTheSamePass)
{
    tree.write("a/b/deep.md", "x");
    tree.write("c/skipped.md", "x");
    auto state = makeState();
    state->setExpanded(true, tree.filePath("a"));
    state->setExpanded(true, tree.filePath("a/./b"));
    state->setFolderURL(tree.path());
    FileNode* root = state->rootNode();
    ASSERT_EQ(root->children().size(), 2);
    FileNode* a = root->children()[0];
    FileNode* c = root->children()[1];
    ASSERT_EQ(a->children().size(), 1);
    EXPECT_EQ(a->children()[0]->children().size(), 1);
    EXPECT_TRUE(c->children().isEmpty());
    EXPECT_EQ(a->children()[0]->children()[0]->url(), tree.filePath("a/b/deep.md"));

    // A rebuilt tree is all new nodes.
    const QUuid oldId = a->id();
    state->refreshFolder();
    EXPECT_NE(state->rootNode()->children()[0]->id(), oldId);
}

TEST_F(FileNodeTest, WhatACrashedSaveLeftIsNeverListedAndGoesWhenItsFolderIsListed)
{
    // No process ever has the number pid_max.
    QFile pidMax("/proc/sys/kernel/pid_max");
    ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly));
    const QString gone = QString::fromLatin1(pidMax.readAll().trimmed());
    const QString dead = ".a.md.quillon-save-" + gone + "-abc123";
    const QString live = ".b.md.quillon-save-" + QString::number(::getpid()) + "-abc123";
    tree.write("a.md", "x");
    tree.write(dead, "x");
    tree.write(live, "x");
    tree.write("open/c.md", "x");
    tree.write("open/" + dead, "x");
    tree.write("closed/" + dead, "x");

    auto state = makeState();
    state->setActiveFileExtensions({ "*" });
    state->setShowHiddenFiles(true);
    state->setExpanded(true, tree.filePath("open"));
    state->setFolderURL(tree.path());
    const auto names = [](FileNode* node) {
        QStringList names;
        for (FileNode* child : node->children())
            names.append(child->name());
        return names;
    };
    FileNode* root = state->rootNode();
    EXPECT_EQ(names(root), QStringList({ "closed", "open", "a.md" }));
    EXPECT_EQ(names(root->children()[1]), QStringList { "c.md" });
    EXPECT_FALSE(QFileInfo::exists(tree.filePath(dead)));
    EXPECT_FALSE(QFileInfo::exists(tree.filePath("open/" + dead)));
    EXPECT_TRUE(QFileInfo::exists(tree.filePath(live)));
    // Folders that are not listed are not searched.
    EXPECT_TRUE(QFileInfo::exists(tree.filePath("closed/" + dead)));

    // Hidden files not shown: leftovers still go.
    state->setShowHiddenFiles(false);
    tree.write(dead, "x");
    state->refreshFolder();
    EXPECT_EQ(names(state->rootNode()), QStringList({ "closed", "open", "a.md" }));
    EXPECT_FALSE(QFileInfo::exists(tree.filePath(dead)));
}

TEST_F(FileNodeTest, WithoutAnOwnerTheDefaultsApply)
{
    tree.write("a.md", "x");
    tree.write("b.txt", "x");
    tree.write(".h.md", "x");
    FileNode root(tree.path(), true, nullptr);
    root.loadChildren();
    ASSERT_EQ(root.children().size(), 1);
    EXPECT_EQ(root.children()[0]->name(), "a.md");

    FileNode missing(tree.filePath("nope"), true, nullptr);
    missing.loadChildren();
    EXPECT_TRUE(missing.children().isEmpty());
}

TEST(IconForExtension, IgnoresTheCaseOfTheExtension)
{
    EXPECT_NE(iconForExtension("md"), iconForExtension("pdf"));
    EXPECT_EQ(iconForExtension("Markdown"), iconForExtension("md"));
    EXPECT_EQ(iconForExtension("JSON"), iconForExtension("json"));
    EXPECT_EQ(iconForExtension("pdf"), iconForExtension(""));
}

} // namespace
} // namespace quillon::test
