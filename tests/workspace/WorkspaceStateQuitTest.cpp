#include "WorkspaceTestSupport.h"

#include "workspace/Document.h"

#include <QFile>

namespace quillon::test {
namespace {

class WorkspaceStateQuitTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        a = tree.write("a.md", "alpha\n");
        b = tree.write("b.md", "bravo\n");
        state = makeState();
        state->setFolderURL(tree.path());
    }

    // Opens the document and types the text into it; queued questions are answered.
    void edit(const QString& path, const QString& text)
    {
        state->openFile(path);
        state->activeDocument()->applyUserText(text);
        state->flushPendingWrites();
        settle();
    }

    std::unique_ptr<WorkspaceState> state;
    QString a, b;
};

TEST_F(WorkspaceStateQuitTest, ASaveAsCancelledOrADecisionPutOffAgainStopsTheQuit)
{
    QFile::remove(a);
    edit(a, "alpha, typed\n");
    edit(b, "mine\n");
    tree.write("b.md", "theirs\n");
    edit(b, "mine, more\n");
    // The question about the other program's change is still open: b counts as unsaved.
    ASSERT_TRUE(state->activeDocument()->diskQuestion().has_value());
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(state->documentsWithUnsavedText(), (QStringList { a, b })) << "in tab order";

    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(std::nullopt);
    EXPECT_FALSE(state->confirmQuit());
    EXPECT_EQ(state->documentsWithUnsavedText(), (QStringList { a, b }));

    // a goes elsewhere; b is put off once more, which keeps the program running.
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(tree.filePath("rescued.md"));
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueAlertAnswer(QStringLiteral("Decide Later"));
    EXPECT_FALSE(state->confirmQuit());
    EXPECT_EQ(tree.read("rescued.md"), "alpha, typed\n");
    EXPECT_EQ(tree.read("b.md"), "theirs\n");
    EXPECT_EQ(state->documentsWithUnsavedText(), QStringList { b });

    // Taking the other program's version leaves nothing unsaved.
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueAlertAnswer(QStringLiteral("Load Disk Version"));
    EXPECT_TRUE(state->confirmQuit());
    EXPECT_EQ(prompts->alerts().size(), 2);
    EXPECT_EQ(state->currentFileContent(), "theirs\n");
    EXPECT_FALSE(QFileInfo::exists(a));
}

TEST_F(WorkspaceStateQuitTest, ADocumentSaveCannotWriteIsOfferedSaveAsOnly)
{
    QFile::remove(a);
    edit(a, "alpha, typed\n");
    edit(b, "mine\n");
    tree.write("b.md", "theirs\n");
    edit(b, "mine, more\n");
    // b's question about the other program's change is open beside its text.
    ASSERT_TRUE(state->activeDocument()->isDiskQuestionOpen());
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(tree.filePath("rescued.md"));
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    EXPECT_FALSE(state->confirmQuit());
    ASSERT_EQ(prompts->alerts().size(), 2);
    EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Save As...", "Don't Save", "Cancel" }));
    EXPECT_EQ(tree.read("rescued.md"), "alpha, typed\n");
    EXPECT_FALSE(QFileInfo::exists(a));
    // A file that is there keeps its Save.
    EXPECT_EQ(prompts->alerts()[1].buttons,
        (QStringList { "Save", "Save As...", "Don't Save", "Cancel" }));
    EXPECT_EQ(state->documentsWithUnsavedText(), QStringList { b });

    // Don't Save, now the second button.
    prompts->clearRecords();
    QFile::remove(b);
    prompts->queueAlertAnswer(QStringLiteral("Don't Save"));
    EXPECT_TRUE(state->confirmQuit());
    EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Save As...", "Don't Save", "Cancel" }));
    EXPECT_FALSE(QFileInfo::exists(b));
}

// Why a document could not be saved comes first, as a sentence of its own.
TEST_F(WorkspaceStateQuitTest, TheQuitQuestionGivesTheSaveErrorAsASentence)
{
    {
        // Files may not grow past 8 bytes for a moment: the write fails even for root.
        const test::FileSizeLimit limit(8);
        edit(a, "longer than eight bytes\n");
    }
    QFile::remove(b);
    edit(b, "bravo, typed\n");
    prompts->queueAlertAnswer(QStringLiteral("Don't Save"));
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    EXPECT_FALSE(state->confirmQuit());
    ASSERT_EQ(prompts->alerts().size(), 2);
    EXPECT_EQ(prompts->alerts().at(0).informativeText,
        "“a.md” was not saved: Could not write \"a.md\": File too large. "
        "Your changes will be lost if you don't save them.");
    // An error that is a sentence already gets no second full stop.
    const QString gone = prompts->alerts().at(1).informativeText;
    EXPECT_TRUE(gone.startsWith("“b.md” was not saved: ")) << gone.toStdString();
    EXPECT_TRUE(gone.endsWith(". Your changes will be lost if you don't save them."));
    EXPECT_FALSE(gone.contains("..")) << gone.toStdString();
}

} // namespace
} // namespace quillon::test
