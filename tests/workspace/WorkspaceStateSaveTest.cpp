#include "WorkspaceTestSupport.h"

#include "platform/FileUtil.h"
#include "workspace/Document.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QUuid>

#include <functional>

namespace quillon::test {
namespace {

Document::DiskChoice choiceNamed(const char* name)
{
    const QString choice = QString::fromUtf8(name);
    if (choice == QLatin1String("Keep My Version"))
        return Document::DiskChoice::KeepMine;
    if (choice == QLatin1String("Load Disk Version"))
        return Document::DiskChoice::LoadDisk;
    return Document::DiskChoice::Later;
}

class WorkspaceStateSaveTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        installRecordingGitHooks();
        a = tree.write("a.md", "alpha\n");
        b = tree.write("b.md", "bravo\n");
        state = makeState();
    }

    // The user changes the active document's text in some view; queued questions are answered.
    void userTypes(const QString& text)
    {
        state->activeDocument()->applyUserText(text);
        state->flushPendingWrites();
        settle();
    }

    std::unique_ptr<WorkspaceState> state;
    QString a, b;
};

TEST_F(WorkspaceStateSaveTest, LoadingSwitchingAndClosingWriteNothing)
{
    const QByteArray bytes = "\xEF\xBB\xBFone\r\ntwo\r\n";
    const QString crlf = tree.write("crlf.md", bytes);
    const ino_t inode = inodeOf(crlf);
    state->openFile(crlf);
    EXPECT_EQ(state->currentFileContent(), "one\ntwo\n");
    state->openFile(b);
    state->selectTab(crlf);
    bool closed = false;
    state->closeTabWithConfirmation(crlf, [&](bool ok) { closed = ok; });
    EXPECT_TRUE(closed);
    state->closeTab(crlf);
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(tree.read("crlf.md"), bytes);
    EXPECT_EQ(inodeOf(crlf), inode);
    EXPECT_FALSE(gitCalls.contains("checkStatus"));
}

TEST_F(WorkspaceStateSaveTest, AnEditIsWrittenInTheFilesOwnLineEnds)
{
    const QString crlf = tree.write("crlf.md", "one\r\ntwo\r\n");
    state->setFolderURL(tree.path());
    state->openFile(crlf);
    gitCalls.clear();
    userTypes("one\nthree\n");
    EXPECT_EQ(tree.read("crlf.md"), "one\r\nthree\r\n");
    EXPECT_TRUE(state->lastSaveError().isEmpty());
    EXPECT_FALSE(state->hasUnsavedChanges(crlf));
    EXPECT_TRUE(gitCalls.contains("checkStatus"));

    // A file of mixed ends keeps the ends of the lines the user did not touch.
    const QString mixed = tree.write("mixed.md",
        "\xEF\xBB\xBF"
        "a\nb\r\nc\n");
    state->openFile(mixed);
    userTypes("aX\nb\nc\n");
    EXPECT_EQ(tree.read("mixed.md"),
        "\xEF\xBB\xBF"
        "aX\nb\r\nc\n");
}

TEST_F(WorkspaceStateSaveTest, AChangeOnDiskIsReloadedWhenThereAreNoLocalEdits)
{
    state->openFile(a);
    state->openFile(b);
    tree.write("a.md", "alpha from git\n");
    tree.write("b.md", "bravo from the agent\n");
    const ino_t inode = inodeOf(b);
    state->reloadOpenDocumentsFromDisk();
    EXPECT_EQ(state->currentFileContent(), "bravo from the agent\n");
    EXPECT_EQ(inodeOf(b), inode);
    state->selectTab(a);
    EXPECT_EQ(state->currentFileContent(), "alpha from git\n");
    EXPECT_TRUE(prompts->alerts().isEmpty());

    tree.write("a.md", "alpha again\n");
    state->saveCurrentFile();
    EXPECT_EQ(state->currentFileContent(), "alpha again\n");
    EXPECT_EQ(tree.read("a.md"), "alpha again\n");
}

TEST_F(WorkspaceStateSaveTest, AnotherProgramsChangeIsFollowedWhileTheDocumentIsOpen)
{
    state->setFolderURL(tree.path());
    state->openFile(a);
    state->openFile(b);
    waitUntil([] { return false; }, 300); // the watch is set up on a thread of its own
    tree.write("b.md", "bravo from elsewhere\n");
    tree.write("a.md", "alpha from elsewhere\n");
    ASSERT_TRUE(waitUntil([&] { return state->currentFileContent() == "bravo from elsewhere\n"; }));
    state->selectTab(a);
    EXPECT_EQ(state->currentFileContent(), "alpha from elsewhere\n");
    EXPECT_TRUE(prompts->alerts().isEmpty());

    // Text of the user's that is not on disk is never replaced without asking, and only once.
    state->setCurrentFileContent("alpha, mine\n");
    Document* doc = state->activeDocument();
    QSignalSpy asked(doc, &Document::diskQuestionChanged);
    tree.write("a.md", "alpha, theirs\n");
    ASSERT_TRUE(waitUntil([&] { return doc->diskQuestion().has_value(); }));
    doc->answerDiskQuestion(Document::DiskChoice::Later);
    tree.write("a.md", "alpha, theirs\n");
    waitUntil([] { return false; }, 500);
    EXPECT_FALSE(doc->diskQuestion().has_value());
    EXPECT_EQ(asked.count(), 2); // opened, answered
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(state->currentFileContent(), "alpha, mine\n");
    EXPECT_EQ(tree.read("a.md"), "alpha, theirs\n");
}

TEST_F(WorkspaceStateSaveTest, AFileNoFolderWatchCoversFollowsAnotherProgramsChanges)
{
    // Opened on its own, then outside the workspace folder: written in place, replaced by a
    // rename (as most programs save), and written in place again under its new inode.
    const auto followed = [&](const QByteArray& text) {
        return waitUntil([&] { return state->currentFileContent() == QString::fromUtf8(text); });
    };
    state->openFile(a);
    tree.write("a.md", "alpha, written in place\n");
    ASSERT_TRUE(followed("alpha, written in place\n"));
    tree.write("a.md.new", "alpha, renamed over\n");
    ASSERT_TRUE(QFile::remove(a) && QFile::rename(tree.path() + "/a.md.new", a));
    ASSERT_TRUE(followed("alpha, renamed over\n"));
    tree.write("a.md", "alpha, in place again\n");
    ASSERT_TRUE(followed("alpha, in place again\n"));

    state->setFolderURL(tree.mkdir("folder"));
    tree.write("a.md", "alpha, outside the folder\n");
    ASSERT_TRUE(followed("alpha, outside the folder\n"));
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(WorkspaceStateSaveTest, AChangeOnDiskUnderLocalEditsIsNeverOverwrittenSilently)
{
    struct Case
    {
        const char* answer;
        QByteArray fileAfter;
        QString textAfter;
        bool errorShown;
    };
    const Case cases[] = {
        { "Keep My Version", "mine\n", "mine\n", false },
        { "Load Disk Version", "theirs\n", "theirs\n", false },
        { "Decide Later", "theirs\n", "mine\n", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        tree.write("a.md", "alpha\n");
        state.reset();
        clearDefaults();
        state = makeState();
        state->openFile(a);
        tree.write("a.md", "theirs\n");
        prompts->clearRecords();
        userTypes("mine\n");
        Document* doc = state->activeDocument();
        ASSERT_TRUE(doc->diskQuestion().has_value());
        EXPECT_EQ(doc->diskQuestion()->message, "“a.md” was changed by another program.");
        EXPECT_EQ(tree.read("a.md"), "theirs\n") << "written before an answer";
        EXPECT_FALSE(state->lastSaveError().isEmpty()) << "not saved, and not said why";
        doc->answerDiskQuestion(choiceNamed(c.answer));
        state->flushPendingWrites();
        EXPECT_TRUE(prompts->alerts().isEmpty());
        EXPECT_EQ(tree.read("a.md"), c.fileAfter);
        EXPECT_EQ(state->currentFileContent(), c.textAfter);
        EXPECT_EQ(!state->lastSaveError().isEmpty(), c.errorShown);
    }
}

TEST_F(WorkspaceStateSaveTest, ShowingATabWithAPutOffWriteNeitherWritesNorAsksAgain)
{
    state->openFile(a);
    tree.write("a.md", "theirs\n");
    userTypes("mine\n");
    ASSERT_TRUE(state->activeDocument()->diskQuestion().has_value());
    state->activeDocument()->answerDiskQuestion(Document::DiskChoice::Later);

    state->openFile(b);
    state->selectTab(a);
    EXPECT_EQ(state->currentFileContent(), "mine\n");
    EXPECT_FALSE(state->activeDocument()->diskQuestion().has_value());
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(tree.read("a.md"), "theirs\n");

    // Closing with "Save" asks about the other program's change once, not once per showing.
    prompts->clearRecords();
    state->openFile(b);
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueAlertAnswer(QStringLiteral("Keep My Version"));
    std::optional<bool> result;
    state->closeTabWithConfirmation(a, [&](bool ok) { result = ok; });
    EXPECT_EQ(result, true);
    EXPECT_EQ(prompts->alerts().size(), 2);
    EXPECT_EQ(prompts->alerts()[1].message, "“a.md” was changed by another program.");
    EXPECT_EQ(tree.read("a.md"), "mine\n");
}

TEST_F(WorkspaceStateSaveTest, DecideLaterIsNotAskedAgainOnEveryKeystroke)
{
    state->openFile(a);
    tree.write("a.md", "theirs\n");
    Document* doc = state->activeDocument();
    QSignalSpy asked(doc, &Document::diskQuestionChanged);
    doc->applyUserText("m\n");
    doc->applyUserText("mi\n");
    EXPECT_EQ(asked.count(), 0) << "asked from inside an edit";
    userTypes("mine\n");
    ASSERT_TRUE(doc->diskQuestion().has_value());
    doc->answerDiskQuestion(Document::DiskChoice::Later);
    userTypes("mine.\n");
    EXPECT_FALSE(doc->diskQuestion().has_value());
    EXPECT_EQ(asked.count(), 2);
    EXPECT_FALSE(state->lastSaveError().isEmpty());

    // Another change on disk asks again; so does the Save command, in a box of its own.
    tree.write("a.md", "theirs again\n");
    userTypes("mine!\n");
    EXPECT_TRUE(doc->diskQuestion().has_value());
    prompts->queueAlertAnswer(QStringLiteral("Keep My Version"));
    state->saveCurrentFile();
    EXPECT_EQ(prompts->alerts().size(), 1);
    EXPECT_FALSE(doc->diskQuestion().has_value());
    EXPECT_EQ(tree.read("a.md"), "mine!\n");
    EXPECT_TRUE(state->lastSaveError().isEmpty());
}

TEST_F(WorkspaceStateSaveTest, ReloadAsksForADocumentWithUnsavedEdits)
{
    state->openFile(a);
    state->setCurrentFileContent("mine\n"); // not saved: nobody offered it for saving
    tree.write("a.md", "theirs\n");
    state->reloadOpenDocumentsFromDisk();
    // Asked beside the text, never in a modal box that a key could answer.
    EXPECT_TRUE(prompts->alerts().isEmpty());
    ASSERT_TRUE(state->activeDocument()->diskQuestion().has_value());
    EXPECT_EQ(state->currentFileContent(), "mine\n");
    EXPECT_EQ(tree.read("a.md"), "theirs\n");
    state->activeDocument()->answerDiskQuestion(Document::DiskChoice::LoadDisk);
    EXPECT_EQ(state->currentFileContent(), "theirs\n");
    EXPECT_FALSE(state->hasUnsavedChanges(a));
}

TEST_F(WorkspaceStateSaveTest, ADocumentThatIsNotUtf8IsShownAsAnErrorAndNeverWritten)
{
    const QByteArray latin1 = "caf\xE9\n";
    const QString bad = tree.write("latin1.md", latin1);
    state->openFile(bad);
    EXPECT_FALSE(state->documentError().isEmpty());
    EXPECT_EQ(state->currentFileContent(), "");
    state->setCurrentFileContent("typed over it\n");
    state->saveCurrentFile();
    EXPECT_EQ(tree.read("latin1.md"), latin1);
    EXPECT_FALSE(state->lastSaveError().isEmpty());

    state->openFile(a);
    EXPECT_TRUE(state->documentError().isEmpty());
    EXPECT_EQ(tree.read("latin1.md"), latin1);
}

TEST_F(WorkspaceStateSaveTest, ADeletedDocumentIsNotRecreated)
{
    state->openFile(a);
    QFile::remove(a);
    userTypes("still typing\n");
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(state->lastSaveError().contains("no longer exists"));
    EXPECT_EQ(state->currentFileContent(), "still typing\n");
    state->openFile(b);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(state->hasUnsavedChanges(a));
}

TEST_F(WorkspaceStateSaveTest, AFailedWriteSaysWhyAndStaysWithItsDocument)
{
    const QString failing = tree.write("big.md", "x\n");
    state->openFile(failing);
    {
        // Files may not grow past 8 bytes for a moment: the write fails even for root.
        const test::FileSizeLimit limit(8);
        userTypes("longer than eight bytes\n");
    }
    const QString expected = "“big.md” was not saved: Could not write \"big.md\": File too large";
    EXPECT_EQ(state->lastSaveError(), expected);
    EXPECT_EQ(tree.read("big.md"), "x\n");
    EXPECT_EQ(QDir(tree.path()).entryList(QDir::Hidden | QDir::Files),
        (QStringList { "a.md", "b.md", "big.md" }))
        << "no half-written file is left behind";

    // Another document saving fine does not clear it; it shows again with its document.
    state->openFile(a);
    EXPECT_TRUE(state->lastSaveError().isEmpty());
    userTypes("alpha, saved\n");
    EXPECT_EQ(tree.read("a.md"), "alpha, saved\n");
    EXPECT_TRUE(state->lastSaveError().isEmpty());
    EXPECT_EQ(state->saveError(failing), expected);
    state->selectTab(failing);
    EXPECT_EQ(state->lastSaveError(), expected);
    EXPECT_TRUE(state->hasUnsavedChanges(failing));
    userTypes("longer than eight bytes, now written\n");
    EXPECT_TRUE(state->lastSaveError().isEmpty());
    EXPECT_TRUE(state->saveError(failing).isEmpty());
}

TEST_F(WorkspaceStateSaveTest, CloseConfirmationAnswers)
{
    struct Case
    {
        const char* answer;
        bool mayClose;
        QByteArray fileAfter;
    };
    const Case cases[] = {
        { "Save", true, "edited\n" },
        { "Don't Save", true, "alpha\n" },
        { "Cancel", false, "alpha\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        tree.write("a.md", "alpha\n");
        state.reset();
        clearDefaults();
        state = makeState();
        state->openFile(a);
        state->setCurrentFileContent("edited\n");
        state->openFile(b);
        prompts->clearRecords();
        prompts->queueAlertAnswer(QString::fromUtf8(c.answer));
        std::optional<bool> result;
        state->closeTabWithConfirmation(a, [&](bool ok) { result = ok; });
        ASSERT_EQ(prompts->alerts().size(), 1);
        EXPECT_EQ(prompts->alerts()[0].message, "Do you want to save changes?");
        EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Save", "Don't Save", "Cancel" }));
        EXPECT_EQ(result, c.mayClose);
        EXPECT_EQ(tree.read("a.md"), c.fileAfter);
    }
}

TEST_F(WorkspaceStateSaveTest, ClosingADocumentSaveCannotWriteOffersSaveAs)
{
    const QByteArray latin1 = "caf\xE9\n";
    const QString unreadable = tree.write("latin1.md", latin1);
    struct Case
    {
        const char* what;
        QString path;
        std::function<void()> breakIt;
        bool fileRemains;
    };
    const Case cases[] = {
        { "deleted", a, [&] { QFile::remove(a); }, false },
        { "never read", unreadable, [] {}, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state->openFile(c.path);
        c.breakIt();
        userTypes("kept text\n");
        state->openFile(b);

        // The panel cancelled: the tab stays with its text, and no file is made or changed.
        prompts->clearRecords();
        prompts->queueAlertAnswer(QStringLiteral("Save As..."));
        prompts->queueSavePanelAnswer(std::nullopt);
        std::optional<bool> result;
        state->closeTabWithConfirmation(c.path, [&](bool ok) { result = ok; });
        ASSERT_EQ(prompts->alerts().size(), 1);
        EXPECT_EQ(
            prompts->alerts()[0].buttons, (QStringList { "Save As...", "Don't Save", "Cancel" }));
        EXPECT_TRUE(prompts->alerts()[0].informativeText.endsWith(
            "Your changes will be lost if you don't save them."));
        ASSERT_EQ(prompts->savePanels().size(), 1);
        EXPECT_EQ(prompts->savePanels()[0].proposedName, FileUtil::fileName(c.path));
        EXPECT_EQ(result, false);
        EXPECT_EQ(state->activeTabURL(), c.path);
        EXPECT_EQ(state->currentFileContent(), "kept text\n");
        EXPECT_EQ(QFileInfo::exists(c.path), c.fileRemains);
        if (c.fileRemains) {
            EXPECT_EQ(tree.read("latin1.md"), latin1);
        }

        // A file chosen: the text is written there and the tab may close.
        const QString rescued = tree.filePath(QString::fromLatin1(c.what) + " rescued.md");
        prompts->queueAlertAnswer(QStringLiteral("Save As..."));
        prompts->queueSavePanelAnswer(rescued);
        result.reset();
        state->closeTabWithConfirmation(c.path, [&](bool ok) { result = ok; });
        EXPECT_EQ(result, true);
        EXPECT_EQ(tree.read(FileUtil::fileName(rescued)), "kept text\n");
        EXPECT_EQ(QFileInfo::exists(c.path), c.fileRemains);
        if (c.fileRemains) {
            EXPECT_EQ(tree.read("latin1.md"), latin1);
        }
        state->closeTab(c.path);
    }
}

TEST_F(WorkspaceStateSaveTest, ARestoredTabThatWasNeverShownHasNoUnsavedChanges)
{
    UserDefaults::standard().setStringList("lastOpenTabPaths", { a, b });
    UserDefaults::standard().setString("lastActiveTabPath", b);
    state = makeState();
    ASSERT_EQ(state->openTabs(), (QStringList { a, b }));
    EXPECT_FALSE(state->hasUnsavedChanges(a));
    bool closed = false;
    state->closeTabWithConfirmation(a, [&](bool ok) { closed = ok; });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(WorkspaceStateSaveTest, TemporaryMeansInsideTheProgramsTemporaryFolder)
{
    const QString folder = WorkspaceState::temporaryDocumentsFolder();
    EXPECT_TRUE(state->isTemporaryFile(folder + "/draft.md"));
    EXPECT_TRUE(state->isTemporaryFile(folder + "/sub/../draft.md"));
    EXPECT_FALSE(state->isTemporaryFile(folder));
    EXPECT_FALSE(state->isTemporaryFile(folder + "-other/draft.md"));
    EXPECT_FALSE(state->isTemporaryFile(a));
}

class TemporaryDocumentTest : public WorkspaceStateSaveTest
{
protected:
    void SetUp() override
    {
        WorkspaceStateSaveTest::SetUp();
        QDir().mkpath(WorkspaceState::temporaryDocumentsFolder());
        draft = WorkspaceState::temporaryDocumentsFolder() + "/draft-"
            + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".md";
        QFile file(draft);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("draft words\n");
        file.close();
        UserDefaults::standard().setString("temp_" + draft, "x");
    }
    void TearDown() override
    {
        QFile::remove(draft);
        WorkspaceStateSaveTest::TearDown();
    }

    QString draft;
};

TEST_F(TemporaryDocumentTest, SaveOnCloseWritesTheDocumentsOwnTextThenRemovesIt)
{
    state->setFolderURL(tree.path());
    state->openFile(draft);
    state->openFile(b);
    const QString target = tree.filePath("kept.md");
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueSavePanelAnswer(target);
    std::optional<bool> result;
    state->closeTabWithConfirmation(draft, [&](bool ok) { result = ok; });
    EXPECT_EQ(result, true);
    EXPECT_EQ(tree.read("kept.md"), "draft words\n");
    EXPECT_FALSE(QFileInfo::exists(draft));
    EXPECT_FALSE(UserDefaults::standard().contains("temp_" + draft));
    EXPECT_EQ(state->openTabs(), (QStringList { b, target }));
    EXPECT_EQ(state->activeTabURL(), target);
    ASSERT_EQ(prompts->savePanels().size(), 1);
    EXPECT_EQ(prompts->savePanels()[0].title, "Save File");
    EXPECT_EQ(prompts->savePanels()[0].proposedName, QFileInfo(draft).fileName());
    EXPECT_EQ(prompts->savePanels()[0].directory, tree.path());
}

TEST_F(TemporaryDocumentTest, AFailedOrCancelledSaveKeepsTheTabAndTheFile)
{
    state->openFile(draft);
    for (const std::optional<QString>& answer :
        { std::optional<QString>(), std::optional<QString>(tree.filePath("missing/x.md")) }) {
        prompts->queueAlertAnswer(QStringLiteral("Save"));
        prompts->queueSavePanelAnswer(answer);
        std::optional<bool> result;
        state->closeTabWithConfirmation(draft, [&](bool ok) { result = ok; });
        EXPECT_EQ(result, false);
        EXPECT_TRUE(QFileInfo::exists(draft));
        EXPECT_EQ(state->openTabs(), QStringList { draft });
    }
    EXPECT_FALSE(state->lastSaveError().isEmpty());
}

TEST_F(TemporaryDocumentTest, AnUnreadableTemporaryFileIsNeverRemoved)
{
    const QByteArray latin1 = "caf\xE9\n";
    QFile file(draft);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(latin1);
    file.close();
    state->openFile(draft);
    ASSERT_FALSE(state->documentError().isEmpty());
    for (const char* answer : { "", "Don't Save" }) {
        SCOPED_TRACE(answer);
        if (*answer)
            prompts->queueAlertAnswer(QString::fromUtf8(answer));
        std::optional<bool> result;
        state->closeTabWithConfirmation(draft, [&](bool ok) { result = ok; });
        EXPECT_EQ(result, true);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), latin1);
        file.close();
    }
}

TEST_F(TemporaryDocumentTest, SaveAsWithoutAFolderOpensTheNewFilesFolder)
{
    state->openFile(draft);
    prompts->queueSavePanelAnswer(tree.filePath("new.md"));
    state->saveCurrentFile();
    EXPECT_EQ(tree.read("new.md"), "draft words\n");
    EXPECT_EQ(state->folderURL(), tree.path());
    EXPECT_EQ(state->openTabs(), QStringList { tree.filePath("new.md") });
}

TEST_F(WorkspaceStateSaveTest, SaveAsOntoItsOwnFileIsNoChangeByAnotherProgram)
{
    state->openFile(a);
    tree.write("a.md", "theirs\n");
    userTypes("mine\n");
    state->activeDocument()->answerDiskQuestion(Document::DiskChoice::Later);
    prompts->clearRecords();
    prompts->queueSavePanelAnswer(a);
    state->saveAs();
    EXPECT_EQ(tree.read("a.md"), "mine\n");
    EXPECT_FALSE(state->hasUnsavedChanges(a));
    userTypes("mine, more\n");
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(tree.read("a.md"), "mine, more\n");
}

TEST_F(WorkspaceStateSaveTest, SaveAsWithoutATabProposesUntitled)
{
    prompts->queueSavePanelAnswer(tree.filePath("Untitled.md"));
    state->saveAs();
    ASSERT_EQ(prompts->savePanels().size(), 1);
    EXPECT_EQ(prompts->savePanels()[0].proposedName, "Untitled.md");
    EXPECT_TRUE(QFileInfo::exists(tree.filePath("Untitled.md")));
    EXPECT_EQ(tree.read("Untitled.md"), "");
}

} // namespace
} // namespace quillon::test
