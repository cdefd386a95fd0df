#include "WorkspaceTestSupport.h"

#include "workspace/FileNode.h"

#include <QJsonArray>
#include <QSignalSpy>

#include <limits>

namespace quillon::test {
namespace {

using WorkspaceStateSettingsTest = WorkspaceTest;

TEST_F(WorkspaceStateSettingsTest, FirstStartUsesDefaultsAndWritesNothing)
{
    auto state = makeState();
    EXPECT_EQ(state->editorFontSize(), 15);
    EXPECT_FALSE(state->isReadingMode());
    EXPECT_EQ(state->activeFileExtensions(), (QSet<QString> { "md", "markdown" }));
    EXPECT_FALSE(state->showHiddenFiles());
    EXPECT_TRUE(state->confirmFileDeletion());
    EXPECT_EQ(state->autoCommitIntervalMinutes(), 3);
    EXPECT_TRUE(state->autoPushAfterCommit());
    EXPECT_EQ(state->agentChatWidth(), 340);
    EXPECT_EQ(state->gitSyncState(), GitSyncState::noRepository());
    EXPECT_EQ(state->yamlValidationResult(), YAMLValidator::ValidationResult::noFrontmatter());
    EXPECT_EQ(state->agentBridge(), nullptr);
    EXPECT_EQ(state->gitHooks(), nullptr);
    for (const char* key :
        { "editorFontSize", "isReadingMode", "activeFileExtensions", "showHiddenFiles",
            "confirmFileDeletion", "autoCommitIntervalMinutes", "autoPushAfterCommit" })
        EXPECT_FALSE(UserDefaults::standard().contains(QString::fromLatin1(key))) << key;
}

TEST_F(WorkspaceStateSettingsTest, StoredValuesAreReadWithTheirFallbacks)
{
    UserDefaults& d = UserDefaults::standard();
    struct Case
    {
        const char* name;
        std::function<void()> store;
        std::function<void(WorkspaceState&)> check;
    };
    const Case cases[] = {
        { "font size 0 falls back", [&] { d.setDouble("editorFontSize", 0); },
            [](WorkspaceState& s) { EXPECT_EQ(s.editorFontSize(), 15); } },
        { "negative font size falls back", [&] { d.setDouble("editorFontSize", -3); },
            [](WorkspaceState& s) { EXPECT_EQ(s.editorFontSize(), 15); } },
        { "font size out of range falls back", [&] { d.setDouble("editorFontSize", 400); },
            [](WorkspaceState& s) { EXPECT_EQ(s.editorFontSize(), 15); } },
        { "infinite font size falls back", [&] { d.setString("editorFontSize", "inf"); },
            [](WorkspaceState& s) { EXPECT_EQ(s.editorFontSize(), 15); } },
        { "font size kept", [&] { d.setDouble("editorFontSize", 22); },
            [](WorkspaceState& s) { EXPECT_EQ(s.editorFontSize(), 22); } },
        { "non-string extension gives defaults",
            [&] {
                d.setJson("activeFileExtensions", QJsonArray { "txt", 3 });
            },
            [](WorkspaceState& s) {
                EXPECT_EQ(s.activeFileExtensions(), (QSet<QString> { "md", "markdown" }));
            } },
        { "empty extension array is kept", [&] { d.setStringList("activeFileExtensions", {}); },
            [](WorkspaceState& s) { EXPECT_TRUE(s.activeFileExtensions().isEmpty()); } },
        { "explicit false and zero are kept",
            [&] {
                d.setBool("confirmFileDeletion", false);
                d.setInt("autoCommitIntervalMinutes", 0);
                d.setBool("autoPushAfterCommit", false);
            },
            [](WorkspaceState& s) {
                EXPECT_FALSE(s.confirmFileDeletion());
                EXPECT_EQ(s.autoCommitIntervalMinutes(), 0);
                EXPECT_FALSE(s.autoPushAfterCommit());
                EXPECT_FALSE(s.autoCommitTimer().isActive());
            } },
        { "numbers and strings are converted",
            [&] {
                d.setString("editorFontSize", "18.5");
                d.setInt("isReadingMode", 1);
                d.setInt("confirmFileDeletion", 0);
                d.setString("autoCommitIntervalMinutes", "10");
                d.setString("autoPushAfterCommit", "NO");
                d.setString("showHiddenFiles", "YES");
            },
            [](WorkspaceState& s) {
                EXPECT_EQ(s.editorFontSize(), 18.5);
                EXPECT_TRUE(s.isReadingMode());
                EXPECT_FALSE(s.confirmFileDeletion());
                EXPECT_EQ(s.autoCommitIntervalMinutes(), 10);
                EXPECT_FALSE(s.autoPushAfterCommit());
                EXPECT_TRUE(s.showHiddenFiles());
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& key : d.keys())
            d.remove(key);
        c.store();
        auto state = makeState();
        c.check(*state);
    }
}

TEST_F(WorkspaceStateSettingsTest, SettersPersistAndAnnounceEveryAssignment)
{
    auto state = makeState();
    QSignalSpy fontSpy(state.get(), &WorkspaceState::editorFontSizeChanged);
    state->setEditorFontSize(18);
    state->setEditorFontSize(18);
    EXPECT_EQ(fontSpy.count(), 2);
    state->setIsReadingMode(true);
    state->setConfirmFileDeletion(false);
    state->setAutoPushAfterCommit(false);
    state->setActiveFileExtensions({ "txt" });

    UserDefaults& d = UserDefaults::standard();
    EXPECT_EQ(d.doubleValue("editorFontSize"), 18.0);
    EXPECT_EQ(d.boolValue("isReadingMode"), true);
    EXPECT_EQ(d.boolValue("confirmFileDeletion"), false);
    EXPECT_EQ(d.boolValue("autoPushAfterCommit"), false);
    EXPECT_EQ(d.stringListValue("activeFileExtensions"), QStringList { "txt" });

    reloadStandardDefaults();
    auto restarted = makeState();
    EXPECT_EQ(restarted->editorFontSize(), 18);
    EXPECT_TRUE(restarted->isReadingMode());
    EXPECT_FALSE(restarted->confirmFileDeletion());
    EXPECT_FALSE(restarted->autoPushAfterCommit());
    EXPECT_EQ(restarted->activeFileExtensions(), QSet<QString> { "txt" });
}

TEST_F(WorkspaceStateSettingsTest, AutoCommitIntervalRestartsTheTimer)
{
    auto state = makeState();
    ASSERT_TRUE(state->autoCommitTimer().isActive());
    EXPECT_EQ(state->autoCommitTimer().interval(), 3 * 60 * 1000);
    state->setAutoCommitIntervalMinutes(10);
    EXPECT_TRUE(state->autoCommitTimer().isActive());
    EXPECT_EQ(state->autoCommitTimer().interval(), 10 * 60 * 1000);
    EXPECT_EQ(UserDefaults::standard().intValue("autoCommitIntervalMinutes"), 10);
    state->setAutoCommitIntervalMinutes(0);
    EXPECT_FALSE(state->autoCommitTimer().isActive());

    // Minutes beyond what a timer can count (about 24 days) wait as long as it can.
    for (const int minutes : { 35792, std::numeric_limits<int>::max() }) {
        state->setAutoCommitIntervalMinutes(minutes);
        EXPECT_TRUE(state->autoCommitTimer().isActive()) << minutes;
        EXPECT_EQ(state->autoCommitTimer().interval(), std::numeric_limits<int>::max()) << minutes;
        EXPECT_EQ(state->autoCommitIntervalMinutes(), minutes);
    }
}

TEST_F(WorkspaceStateSettingsTest, FilterSettingsRebuildTheTree)
{
    tree.write("a.md", "# a\n");
    tree.write("b.txt", "b\n");
    tree.write(".hidden.md", "h\n");
    auto state = makeState();
    state->setFolderURL(tree.path());
    auto names = [&] {
        QStringList result;
        for (FileNode* child : state->rootNode()->children())
            result.append(child->name());
        return result;
    };
    EXPECT_EQ(names(), QStringList { "a.md" });
    state->setActiveFileExtensions({ "md", "txt" });
    EXPECT_EQ(names(), (QStringList { "a.md", "b.txt" }));
    state->setShowHiddenFiles(true);
    EXPECT_EQ(names(), (QStringList { ".hidden.md", "a.md", "b.txt" }));
}

TEST_F(WorkspaceStateSettingsTest, OpeningAndClosingAFolderDrivesGitAndTimers)
{
    installRecordingGitHooks();
    auto state = makeState();
    ASSERT_NE(state->gitHooks(), nullptr);
    state->setFolderURL(tree.path() + "/./");
    EXPECT_EQ(state->folderURL(), tree.path());
    EXPECT_TRUE(state->isExpanded(tree.path()));
    EXPECT_TRUE(state->expandedPaths().contains(tree.path()));
    ASSERT_NE(state->rootNode(), nullptr);
    EXPECT_EQ(state->recentEntities().value(0).url, tree.path());
    EXPECT_TRUE(state->recentEntities().value(0).isDirectory);
    EXPECT_EQ(gitCalls, QStringList { "checkStatus" });
    EXPECT_TRUE(state->fetchTimer().isActive());
    EXPECT_EQ(state->fetchTimer().interval(), 300 * 1000);

    state->setFolderURL(tree.path());
    EXPECT_EQ(gitCalls.count("checkStatus"), 2);
    EXPECT_EQ(state->recentEntities().size(), 1);

    state->setGitSyncState(GitSyncState::pendingSync(2));
    state->setFolderURL({});
    EXPECT_EQ(state->rootNode(), nullptr);
    EXPECT_TRUE(state->expandedPaths().isEmpty());
    EXPECT_EQ(state->gitSyncState(), GitSyncState::noRepository());
    EXPECT_FALSE(state->fetchTimer().isActive());
    EXPECT_FALSE(state->isExpanded(tree.path()));
}

TEST_F(WorkspaceStateSettingsTest, AChangeMadeOutsideRebuildsTheTree)
{
    tree.write("a.md", "# a\n");
    auto state = makeState();
    state->setFolderURL(tree.path());
    // Made before the watch is surely in place, then once it is.
    tree.write("b.md", "# b\n");
    EXPECT_TRUE(waitUntil([&] { return state->rootNode()->children().size() == 2; }));
    tree.write("sub/c.md", "# c\n");
    EXPECT_TRUE(waitUntil([&] { return state->rootNode()->children().size() == 3; }));
}

TEST_F(WorkspaceStateSettingsTest, WithoutGitHooksNothingPretendsToCheck)
{
    auto state = makeState();
    state->setFolderURL(tree.path());
    state->checkGitStatus();
    EXPECT_EQ(state->gitSyncState(), GitSyncState::noRepository());
}

TEST_F(WorkspaceStateSettingsTest, TheAttachedAgentBridgeLivesAsLongAsTheState)
{
    struct Bridge : WorkspaceAgentBridge
    {
        explicit Bridge(bool* destroyed)
            : m_destroyed(destroyed)
        {
        }
        ~Bridge() override { *m_destroyed = true; }
        bool isProcessing() const override { return false; }
        void cancelTask() override { }
        bool* m_destroyed;
    };
    bool destroyed = false;
    {
        auto state = makeState();
        QSignalSpy announced(state.get(), &WorkspaceState::agentBridgeChanged);
        auto bridge = std::make_unique<Bridge>(&destroyed);
        Bridge* attached = bridge.get();
        state->attachAgentBridge(std::move(bridge));
        EXPECT_EQ(state->agentBridge(), attached);
        EXPECT_EQ(announced.count(), 1);
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST_F(WorkspaceStateSettingsTest, DeferredRestoreDoesNothingOnceTheStateIsGone)
{
    UserDefaults::standard().setString("lastWorkspaceFolderPath", tree.path());
    {
        WorkspaceState state;
    }
    settle();
    EXPECT_EQ(UserDefaults::standard().stringValue("lastWorkspaceFolderPath"), tree.path());
}

} // namespace
} // namespace quillon::test
