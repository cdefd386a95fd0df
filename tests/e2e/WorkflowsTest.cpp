// Searching the project, syncing with a remote through a conflict, asking the assistant,
// changing settings and opting out of analytics, each as a user does it in the window.
#include "E2EHarness.h"

#include "agent/AgentProcessBridge.h"
#include "agent/SupportedAgentEngine.h"
#include "agent/ui/AgentChatView.h"
#include "agent/ui/PromptField.h"
#include "analytics/AnalyticsManager.h"
#include "analytics/LoopbackServer.h"
#include "app/SheetPresenter.h"
#include "app/TopBar.h"
#include "editor/chrome/DiskQuestionBar.h"
#include "editor/chrome/ViewModeToggle.h"
#include "git/GitTestRepos.h"
#include "git/KeychainManager.h"
#include "git/ui/GitConflictModalView.h"
#include "settings/FileTypesTab.h"
#include "settings/GeneralTab.h"
#include "settings/SettingsView.h"
#include "sidebar/SearchField.h"
#include "sidebar/SearchResultsView.h"
#include "sidebar/SidebarButton.h"
#include "support/SecretStoreMemory.h"
#include "ui/TabButton.h"
#include "workspace/WorkspaceSettings.h"

#include <QCheckBox>
#include <QDateTime>
#include <QListView>
#include <QPushButton>
#include <QToolButton>

using namespace quillon;
using namespace quillon::test;

namespace {

QPushButton* buttonNamed(QWidget* root, const QString& objectNameOrText)
{
    for (QPushButton* b : root->findChildren<QPushButton*>())
        if (b->objectName() == objectNameOrText || b->text() == objectNameOrText)
            return b;
    return nullptr;
}

void openFolderByKeys(
    EndToEndTest* test, ScriptedUserPrompts& prompts, QWidget* window, const QString& folder)
{
    Q_UNUSED(test);
    prompts.queueOpenPanelAnswer(folder);
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    waitUntil([] { return false; }, 300);
}

TEST_F(EndToEndTest, ProjectSearchOpensTheHitWithItsLineSelected)
{
    tree.write("a.md", "# A\n\nnothing here\n");
    const QString hit = tree.write("sub/b.md", "# B\n\nfirst line\nthe zebra crossing\nlast\n");
    start();
    openFolderByKeys(this, *prompts, window.get(), tree.path());

    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QLineEdit* field = sidebar()->searchField()->lineEdit();
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClicks(field, QStringLiteral("zebra"));
    QListView* results = sidebar()->searchResults()->list();
    ASSERT_TRUE(
        waitUntil([&] { return results->model()->rowCount() > 0 && results->isVisible(); }));
    QModelIndex first = results->model()->index(0, 0);
    for (int row = 0; row < results->model()->rowCount(); ++row) {
        const QModelIndex i = results->model()->index(row, 0);
        if (i.flags() & Qt::ItemIsSelectable) {
            first = i;
            break;
        }
    }
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualRect(first).center());
    ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == hit; }));
    // The hit's line is selected with its line break, in both panes.
    const QString line = QStringLiteral("the zebra crossing") + QChar(QChar::ParagraphSeparator);
    ASSERT_TRUE(waitUntil([&] {
        return blocks()->textView()->textCursor().selectedText() == line;
    })) << blocks()->textView()->textCursor().selectedText().toStdString();
    EXPECT_EQ(source()->textView()->textCursor().selectedText(), line);
}

TEST_F(EndToEndTest, AHiddenSourcePaneSelectsTheHitsLineOfItsDocumentWhenShown)
{
    // The document open before the hit has a line 5 too, in another place.
    const QString before = tree.write("a.md", "# A\n\nsecond\nthird\nfourth\n");
    const QString hit = tree.write("b.md", "# B\n\nfirst\nsecond\nthird line zebra\n");
    start();
    openFolderByKeys(this, *prompts, window.get(), tree.path());
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(before); }, 5000));
    auto* toggle = window->slot(ContentView::Slot::ViewModeToggle)->findChild<ViewModeToggle*>();
    ASSERT_NE(toggle, nullptr);
    // Editor only: the source pane goes off screen.
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    settle();
    ASSERT_FALSE(source()->isVisible());

    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(sidebar()->searchField()->lineEdit(), QStringLiteral("zebra"));
    QListView* results = sidebar()->searchResults()->list();
    ASSERT_TRUE(
        waitUntil([&] { return results->model()->rowCount() > 0 && results->isVisible(); }));
    QModelIndex row;
    for (int i = 0; i < results->model()->rowCount() && !row.isValid(); ++i)
        if (results->model()->index(i, 0).flags() & Qt::ItemIsSelectable)
            row = results->model()->index(i, 0);
    ASSERT_TRUE(row.isValid());
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualRect(row).center());
    ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == hit; }));
    const QString line = QStringLiteral("third line zebra") + QChar(QChar::ParagraphSeparator);
    ASSERT_TRUE(
        waitUntil([&] { return blocks()->textView()->textCursor().selectedText() == line; }));

    // Shown again, the source pane has the hit's line of the hit's document selected.
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    settle();
    ASSERT_TRUE(source()->isVisible());
    EXPECT_EQ(source()->text(), ws().currentFileContent());
    EXPECT_EQ(source()->textView()->textCursor().selectedText().toStdString(), line.toStdString());
    EXPECT_EQ(readFile(hit), "# B\n\nfirst\nsecond\nthird line zebra\n");
}

TEST_F(EndToEndTest, ConnectSyncAndResolveAConflictWithTheRemote)
{
    std::shared_ptr<SecretStoreMemory> memory;
    if (qEnvironmentVariableIsEmpty("QUILLON_KEYRING_TESTS")) {
        memory = std::make_shared<SecretStoreMemory>();
        KeychainManager::setStore(memory);
    }
    GitRemoteFixture repos;
    const QString address = QStringLiteral("https://git.example.com/team/notes.git");
    // The https address leads to the local bare remote, so the token travels as it would.
    gitOk(repos.root(), { "config", "--global", "url." + repos.remote() + ".insteadOf", address });
    const QString carol = repos.root() + "/carol";

    start();
    QTest::mouseClick(sidebar()->connectGitButton(), Qt::LeftButton);
    settle();
    auto* connect
        = qobject_cast<QDialog*>(window->sheets().dialog(SheetPresenter::Sheet::ConnectGit));
    ASSERT_NE(connect, nullptr);
    QTest::keyClicks(connect->findChild<QLineEdit*>("repositoryURL"), address);
    QTest::keyClicks(connect->findChild<QLineEdit*>("token"), QStringLiteral(" e2e-token "));
    prompts->queueOpenPanelAnswer(carol);
    QTest::mouseClick(buttonNamed(connect, "Browse..."), Qt::LeftButton);
    QTest::mouseClick(buttonNamed(connect, "cloneAndOpen"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return ws().folderURL() == carol; }, 30000));
    QApplication::setActiveWindow(window.get()); // what the window manager does as a sheet closes
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("e2e-token"));

    // An edit in the block editor, then Sync Now: Alice receives it.
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(carol + "/README.md"); }));
    QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, QPoint(60, 15));
    QTest::keyClick(blocks()->textView(), Qt::Key_End);
    type(blocks()->textView(), QStringLiteral(" by Carol"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(
        waitUntil([&] { return ws().gitSyncState().kind == GitSyncState::Kind::Synced; }, 30000))
        << int(ws().gitSyncState().kind) << " " << ws().gitSyncState().message.toStdString()
        << " content " << ws().currentFileContent().toStdString();
    gitOk(repos.alice(), { "pull", "-q" });
    EXPECT_EQ(repos.read(repos.alice(), "README.md"), "# Notes by Carol\n");

    // Alice and Carol change the same line; Alice's change reaches the remote first.
    repos.write(repos.alice(), "README.md", "# Notes by Alice\n");
    repos.commitAndPush(repos.alice(), "Alice");
    QTest::keyClick(blocks()->textView(), Qt::Key_End);
    type(blocks()->textView(), QStringLiteral(" again"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(waitUntil(
        [&] { return window->sheets().dialog(SheetPresenter::Sheet::ConflictGit); }, 30000));
    auto* conflict = qobject_cast<GitConflictModalView*>(
        window->sheets().dialog(SheetPresenter::Sheet::ConflictGit));
    ASSERT_NE(conflict, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !conflict->isLoadingVersions(); }, 20000));
    EXPECT_EQ(conflict->oursText(), "# Notes by Carol again\n");
    EXPECT_EQ(conflict->theirsText(), "# Notes by Alice\n");
    QTest::mouseClick(buttonNamed(conflict, "Keep Mine (Local)"), Qt::LeftButton);
    QPushButton* complete = buttonNamed(conflict, "Complete Merge");
    ASSERT_TRUE(waitUntil([&] { return complete->isEnabled(); }, 20000));
    QTest::mouseClick(complete, Qt::LeftButton);
    ASSERT_TRUE(waitUntil(
        [&] { return !window->sheets().dialog(SheetPresenter::Sheet::ConflictGit); }, 20000));
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(
        waitUntil([&] { return ws().gitSyncState().kind == GitSyncState::Kind::Synced; }, 30000));

    gitOk(repos.alice(), { "pull", "-q" });
    EXPECT_EQ(repos.read(repos.alice(), "README.md"), "# Notes by Carol again\n");
    EXPECT_EQ(readFile(carol + "/README.md"), "# Notes by Carol again\n");
    EXPECT_EQ(ws().currentFileContent(), "# Notes by Carol again\n");
    // Alice's version is not lost: it is in the history both clones share.
    EXPECT_TRUE(gitOk(repos.alice(), { "log", "--all", "-p" }).contains("Notes by Alice"));
    KeychainManager::deleteToken("git.example.com");
    KeychainManager::setStore(nullptr);
}

class AssistantEndToEndTest : public EndToEndTest
{
protected:
    // Starts the window with an agent that rewrites notes.md, on the document's folder, with the
    // document open.
    void startWithEditingAgentOn(const QString& document)
    {
        const QString agent = QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-agent-edit.sh");
        UserDefaults::standard().setString(
            QStringLiteral("agentEngineRaw"), SupportedAgentEngine::customCLI(agent).storedValue());
        UserDefaults::standard().setString(QStringLiteral("agentCustomBinaryPath"), agent);
        start();
        openFolderByKeys(this, *prompts, window.get(), tree.path());
        ASSERT_TRUE(waitUntil([&] { return clickTreeRow(document); }));
    }
};

TEST_F(AssistantEndToEndTest, TheAssistantsEditReloadsTheOpenDocument)
{
    const QString notes = tree.write("notes.md", "my notes\n");
    startWithEditingAgentOn(notes);

    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    auto* chat = window->slot(ContentView::Slot::Assistant)->findChild<AgentChatView*>();
    ASSERT_NE(chat, nullptr);
    ASSERT_TRUE(chat->isVisible());
    QTest::keyClicks(chat->promptField(), QStringLiteral("please edit my notes"));
    QTest::keyClick(chat->promptField(), Qt::Key_Return);
    AgentProcessBridge* bridge = window->agentBridge();
    ASSERT_TRUE(waitUntil(
        [&] { return bridge->messages().size() >= 2 && !bridge->isProcessing(); }, 20000));
    EXPECT_TRUE(bridge->messages().constLast().text.contains("Wrote notes.md"));
    ASSERT_TRUE(waitUntil([&] { return ws().currentFileContent() == "changed by the agent\n"; }));
    EXPECT_TRUE(prompts->alerts().isEmpty())
        << "a document without edits is reloaded, not asked about";
    EXPECT_EQ(readFile(notes), "changed by the agent\n");
}

TEST_F(AssistantEndToEndTest, TheAssistantAsksBeforeReplacingTextThatIsNotOnDisk)
{
    const QString notes = tree.write("notes.md", "my notes\n");
    startWithEditingAgentOn(notes);

    // The disk refuses to grow the file for a moment, so what the user types stays unsaved.
    {
        const FileSizeLimit limit(8);
        QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, QPoint(60, 15));
        QTest::keyClick(blocks()->textView(), Qt::Key_End);
        type(blocks()->textView(), QStringLiteral(" draft"));
        ASSERT_TRUE(waitUntil([&] { return !ws().lastSaveError().isEmpty(); }));
    }
    ASSERT_EQ(readFile(notes), "my notes\n");

    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    auto* chat = window->slot(ContentView::Slot::Assistant)->findChild<AgentChatView*>();
    ASSERT_NE(chat, nullptr);
    QTest::keyClicks(chat->promptField(), QStringLiteral("please edit my notes"));
    QTest::keyClick(chat->promptField(), Qt::Key_Return);
    AgentProcessBridge* bridge = window->agentBridge();
    ASSERT_TRUE(waitUntil(
        [&] { return bridge->messages().size() >= 2 && !bridge->isProcessing(); }, 20000));
    // Asked beside the text, not overwritten: the decision is put off, and both versions live.
    auto* question = window->findChild<DiskQuestionBar*>();
    ASSERT_TRUE(waitUntil([&] { return question && question->isVisible(); }));
    EXPECT_TRUE(prompts->alerts().isEmpty());
    QTest::mouseClick(question->laterButton(), Qt::LeftButton);
    settle(300);
    EXPECT_FALSE(question->isVisible());
    EXPECT_EQ(ws().currentFileContent(), "my notes draft\n");
    EXPECT_EQ(readFile(notes), "changed by the agent\n");
}

TEST_F(EndToEndTest, SettingsChangedInTheSheetSurviveARestart)
{
    start();
    const bool wasDark = window->isDarkMode();
    QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
    settle();
    auto* sheet
        = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->generalTab()->increaseButton(), Qt::LeftButton);
    QTest::mouseClick(sheet->generalTab()->increaseButton(), Qt::LeftButton);
    EXPECT_EQ(ws().editorFontSize(), 17);
    sheet->fileTypesTab()->extensionField()->setFocus();
    QTest::keyClicks(sheet->fileTypesTab()->extensionField(), QStringLiteral("rst"));
    QTest::mouseClick(sheet->fileTypesTab()->addButton(), Qt::LeftButton);
    ASSERT_TRUE(ws().activeFileExtensions().contains("rst"));
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(ws().showingSettingsModal());
    auto* theme = window->topBar()->themeToggle();
    QTest::mouseClick(theme, Qt::LeftButton);
    EXPECT_NE(window->isDarkMode(), wasDark);

    restart();
    EXPECT_EQ(ws().editorFontSize(), 17);
    EXPECT_TRUE(ws().activeFileExtensions().contains("rst"));
    EXPECT_NE(window->isDarkMode(), wasDark);
}

TEST_F(EndToEndTest, OptedOutInTheSheetNothingIsSentForTheRestOfTheRun)
{
    LoopbackServer server;
    qputenv("QUILLON_ANALYTICS_BASE_URL", server.baseURL().toString().toUtf8());
    UserDefaults::standard().setBool(QStringLiteral("telemetryOptOut"), false);
    AnalyticsManager::shared().configure();
    tree.write("a.md", "# A\n");
    start();
    openFolderByKeys(this, *prompts, window.get(), tree.path());
    QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
    settle();
    auto* sheet
        = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    QCheckBox* analytics = sheet->generalTab()->analyticsBox();
    ASSERT_TRUE(analytics->isChecked());
    QTest::mouseClick(analytics, Qt::LeftButton);
    ASSERT_TRUE(
        UserDefaults::standard().boolValue(QStringLiteral("telemetryOptOut")).value_or(false));
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    settle(500);
    const int before = server.requestCount();

    // Things that send events when opted in.
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(tree.filePath("a.md")); }));
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(sidebar()->searchField()->lineEdit(), QStringLiteral("A"));
    QTest::mouseClick(sidebar()->newFileButton(), Qt::LeftButton);
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    quit();
    waitUntil([] { return false; }, 3000);
    EXPECT_EQ(server.requestCount(), before);
    qunsetenv("QUILLON_ANALYTICS_BASE_URL");
}

} // namespace
