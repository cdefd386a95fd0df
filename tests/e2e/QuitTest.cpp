// Quitting or closing a tab with text that is not on disk, Save As with no document open, and New
// File where no folder is left: each through the keys and clicks a user would use, with the files
// checked.
#include "E2EHarness.h"

#include "editor/chrome/DiskQuestionBar.h"
#include "editor/chrome/StatusBarView.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSessionManager>
#include <QToolButton>

using namespace quillon;
using namespace quillon::test;

namespace {

class QuitTest : public EndToEndTest
{
protected:
    // The window on the folder, with the document open in the block editor.
    void startOn(const QString& folder, const QString& document)
    {
        start();
        prompts->queueOpenPanelAnswer(folder);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        settle(300);
        ASSERT_EQ(ws().folderURL(), folder);
        openByKeys(document);
    }

    void openByKeys(const QString& document)
    {
        prompts->queueOpenPanelAnswer(document);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        settle();
        ASSERT_EQ(ws().activeTabURL(), document);
    }

    // Clicks into the first line of the block editor and types at its end.
    void typeAtEnd(const QString& text)
    {
        ASSERT_NE(blocks(), nullptr);
        QWidget* input = blocks()->textView();
        QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 15));
        QTest::keyClick(input, Qt::Key_End);
        type(input, text);
        ws().flushPendingWrites();
        settle();
    }

    void pressQuit()
    {
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        settle();
    }

    // What the status bar says is wrong with the active document.
    QString problemShown() const
    {
        auto* status = window->slot(ContentView::Slot::StatusBar)->findChild<StatusBarView*>();
        if (!status || status->problemLabel()->isHidden())
            return {};
        return status->problemLabel()->text();
    }

    QStringList questionsAsked() const
    {
        QStringList messages;
        for (const UserPrompts::Alert& alert : prompts->alerts())
            messages.append(alert.message);
        return messages;
    }
};

TEST_F(QuitTest, TextOfADeletedFileIsAskedAboutAndKeptUntilTheUserDecides)
{
    const QString notes = tree.write("notes.md", "# Notes\n");
    const QString other = tree.write("other.md", "# Other\n");
    // A document of the program's temporary folder is written as typed; quitting leaves it there.
    const QString scratchDir = QDir::tempPath() + "/quillon";
    QDir().mkpath(scratchDir);
    // Named for this run: other runs of the suite may share the temporary folder.
    const QString scratch = scratchDir
        + QStringLiteral("/e2e-quit-scratch-%1.md").arg(QCoreApplication::applicationPid());
    {
        QFile file(scratch);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    startOn(tree.path(), other);
    typeAtEnd(QStringLiteral(" typed"));
    openByKeys(scratch);
    typeAtEnd(QStringLiteral("scratch words"));
    openByKeys(notes);
    typeAtEnd(QStringLiteral(" saved"));
    ASSERT_EQ(readFile(notes), "# Notes saved\n");
    // Another program deletes the file; what is typed next has nowhere to go.
    ASSERT_TRUE(QFile::remove(notes));
    typeAtEnd(QStringLiteral(" unsaved"));
    ASSERT_TRUE(ws().lastSaveError().contains("no longer exists"));

    // Cancel: the program keeps running with the text. Only the text not on disk is asked about.
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    pressQuit();
    ASSERT_EQ(prompts->alerts().size(), 1);
    const UserPrompts::Alert asked = prompts->alerts().at(0);
    EXPECT_EQ(asked.message, "Do you want to save the changes to “notes.md”?");
    EXPECT_TRUE(asked.informativeText.contains("no longer exists"))
        << asked.informativeText.toStdString();
    // Save could not write it (the file is gone and is never made again): it is not offered.
    EXPECT_EQ(asked.buttons, (QStringList { "Save As...", "Don't Save", "Cancel" }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ws().currentFileContent(), "# Notes saved unsaved\n");
    EXPECT_FALSE(QFileInfo::exists(notes));

    // Save As...: the document's own text goes to the chosen file, then the program ends.
    prompts->clearRecords();
    const QString rescued = tree.filePath("rescued.md");
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(rescued);
    pressQuit();
    ASSERT_EQ(prompts->savePanels().size(), 1);
    EXPECT_EQ(prompts->savePanels().at(0).proposedName, "notes.md");
    EXPECT_EQ(readFile(rescued), "# Notes saved unsaved\n");
    EXPECT_FALSE(QFileInfo::exists(notes));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(readFile(other), "# Other typed\n");
    EXPECT_EQ(readFile(scratch), "scratch words");
    QFile::remove(scratch);
}

TEST_F(QuitTest, ClosingTheTabOfADeletedFileOffersSaveAsAndKeepsTheTextUntilItIsWritten)
{
    const QString notes = tree.write("notes.md", "# Notes\n");
    const QString other = tree.write("other.md", "# Other\n");
    startOn(tree.path(), other);
    openByKeys(notes);
    typeAtEnd(QStringLiteral(" saved"));
    ASSERT_TRUE(QFile::remove(notes));
    typeAtEnd(QStringLiteral(" unsaved"));

    // The save panel cancelled: nothing is closed and nothing is lost.
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(std::nullopt);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    settle();
    ASSERT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(prompts->alerts()[0].message, "Do you want to save changes?");
    EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Save As...", "Don't Save", "Cancel" }));
    EXPECT_EQ(prompts->savePanels().size(), 1);
    EXPECT_EQ(ws().openTabs(), (QStringList { other, notes }));
    EXPECT_EQ(ws().activeTabURL(), notes);
    EXPECT_EQ(ws().currentFileContent(), "# Notes saved unsaved\n");
    EXPECT_FALSE(QFileInfo::exists(notes));

    // A file chosen: the text goes there and the tab closes; nothing is left to ask about.
    const QString rescued = tree.filePath("rescued.md");
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(rescued);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_EQ(readFile(rescued), "# Notes saved unsaved\n");
    EXPECT_EQ(ws().openTabs(), QStringList { other });
    EXPECT_FALSE(QFileInfo::exists(notes));
    prompts->clearRecords();
    pressQuit();
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QuitTest, DontSaveQuitsWithoutWritingAndCancelOnTheNextDocumentStopsTheQuit)
{
    const QString a = tree.write("a.md", "# A\n");
    const QString b = tree.write("b.md", "# B\n");
    startOn(tree.path(), a);
    typeAtEnd(QStringLiteral(" one"));
    openByKeys(b);
    typeAtEnd(QStringLiteral(" two"));
    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(QFile::remove(b));
    openByKeys(a);
    typeAtEnd(QStringLiteral(" lost"));
    openByKeys(b);
    typeAtEnd(QStringLiteral(" kept"));

    // Closed as the window's close button closes it: one question per document, in tab order.
    prompts->queueAlertAnswer(QStringLiteral("Don't Save"));
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    EXPECT_FALSE(window->close());
    settle();
    EXPECT_EQ(questionsAsked(),
        (QStringList { "Do you want to save the changes to “a.md”?",
            "Do you want to save the changes to “b.md”?" }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ws().currentFileContent(), "# B two kept\n");
    ws().selectTab(a);
    EXPECT_EQ(ws().currentFileContent(), "# A one\n") << "what was not saved is dropped";

    // The dropped text is not asked about again.
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Don't Save"));
    QCloseEvent close;
    QApplication::sendEvent(window.get(), &close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_EQ(questionsAsked(), QStringList { "Do you want to save the changes to “b.md”?" });
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(QFileInfo::exists(b));
}

TEST_F(QuitTest, SaveOnAFullDiskKeepsTheProgramRunningUntilTheTextIsWritten)
{
    const QString notes = tree.write("notes.md", "# Notes\n");
    startOn(tree.path(), notes);
    {
        // The disk refuses to grow the file: typing, then Save at Quit, both fail.
        const FileSizeLimit limit(8);
        typeAtEnd(QStringLiteral(" draft"));
        ASSERT_TRUE(ws().lastSaveError().contains("File too large"));
        prompts->queueAlertAnswer(QStringLiteral("Save"));
        pressQuit();
        EXPECT_EQ(prompts->alerts().size(), 1);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(problemShown().contains("File too large")) << problemShown().toStdString();
        EXPECT_EQ(ws().currentFileContent(), "# Notes draft\n");
    }
    EXPECT_EQ(readFile(notes), "# Notes\n");

    // With room again, Save writes the text and the program ends.
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    pressQuit();
    EXPECT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(readFile(notes), "# Notes draft\n");
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QuitTest, AChangeByAnotherProgramPutOffUntilLaterIsAskedAboutAtQuit)
{
    const QString notes = tree.write("notes.md", "# Notes\n");
    startOn(tree.path(), notes);
    typeAtEnd(QStringLiteral(" mine"));
    tree.write("notes.md", "# Theirs\n");
    typeAtEnd(QStringLiteral(" more"));
    settle(100);
    auto* question = window->findChild<DiskQuestionBar*>();
    ASSERT_TRUE(question && question->isVisible());
    QTest::mouseClick(question->laterButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(question->isVisible());
    EXPECT_TRUE(prompts->alerts().isEmpty());
    ASSERT_EQ(readFile(notes), "# Theirs\n");

    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    pressQuit();
    EXPECT_EQ(questionsAsked(), QStringList { "Do you want to save the changes to “notes.md”?" });
    EXPECT_TRUE(prompts->alerts().at(0).informativeText.contains("changed by another program"));
    EXPECT_TRUE(window->isVisible());

    // Save asks once more about the other program's version; keeping mine writes it.
    prompts->clearRecords();
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueAlertAnswer(QStringLiteral("Keep My Version"));
    pressQuit();
    EXPECT_EQ(prompts->alerts().size(), 2);
    EXPECT_EQ(readFile(notes), "# Notes mine more\n");
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QuitTest, TheEndOfTheDesktopSessionAsksAndCancelKeepsItRunning)
{
    const QString notes = tree.write("notes.md", "# Notes\n");
    startOn(tree.path(), notes);
    ASSERT_TRUE(QFile::remove(notes));
    typeAtEnd(QStringLiteral(" unsaved"));

    int cancelled = 0;
    int released = 0;
    bool mayAsk = false;
    const ContentView::SessionEnd session { [&] { return mayAsk; }, [&] { ++released; },
        [&] { ++cancelled; } };

    // A session manager that lets nobody ask is not cancelled behind the user's back; the
    // application's own one (offscreen) is such a one.
    window->commitSessionData(session);
    if (auto* manager = qApp->findChild<QSessionManager*>())
        Q_EMIT qApp->commitDataRequest(*manager);
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(cancelled, 0);
    EXPECT_TRUE(window->isVisible());

    mayAsk = true;
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    window->commitSessionData(session);
    EXPECT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(released, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ws().currentFileContent(), "# Notes unsaved\n");

    const QString rescued = tree.filePath("rescued.md");
    prompts->queueAlertAnswer(QStringLiteral("Save As..."));
    prompts->queueSavePanelAnswer(rescued);
    window->commitSessionData(session);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(readFile(rescued), "# Notes unsaved\n");

    // The session manager then ends the program by closing its window: nothing is left to ask.
    prompts->clearRecords();
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(QuitTest, SaveAsWithNoDocumentOpenProposesANameNotTakenYet)
{
    const QString untitled = tree.write("Untitled.md", "# Keep me\n");
    start();
    prompts->queueOpenPanelAnswer(tree.path());
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    ASSERT_TRUE(ws().activeTabURL().isEmpty());

    prompts->queueSavePanelAnswer(std::nullopt);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    ASSERT_EQ(prompts->savePanels().size(), 1);
    const UserPrompts::SavePanel panel = prompts->savePanels().at(0);
    EXPECT_EQ(panel.proposedName, "Untitled 1.md");
    EXPECT_EQ(panel.directory, tree.path());

    // Taking the proposal leaves the file of that other name alone.
    prompts->queueSavePanelAnswer(QDir(panel.directory).filePath(panel.proposedName));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(readFile(untitled), "# Keep me\n");
    EXPECT_TRUE(QFileInfo::exists(tree.filePath("Untitled 1.md")));
}

TEST_F(QuitTest, NewFileWhereTheFolderIsGoneSaysSoInTheTree)
{
    tree.write("notes/a.md", "# A\n");
    const QString folder = tree.filePath("notes");
    start();
    prompts->queueOpenPanelAnswer(folder);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    ASSERT_EQ(ws().folderURL(), folder);
    // Another program moves the whole folder away.
    ASSERT_TRUE(QDir().rename(folder, tree.filePath("moved")));
    settle(300);

    QTest::mouseClick(sidebar()->newFileButton(), Qt::LeftButton);
    settle();
    const QString notice = sidebar()->fileTree()->notice();
    EXPECT_TRUE(notice.contains("no longer exists")) << notice.toStdString();
    EXPECT_TRUE(ws().activeTabURL().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(QDir(tree.filePath("moved")).entryList(QDir::Files), QStringList { "a.md" });
}

} // namespace
