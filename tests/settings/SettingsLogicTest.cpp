#include "agent/AgentProcessBridge.h"
#include "analytics/AnalyticsEvent.h"
#include "git/KeychainManager.h"
#include "platform/UserDefaults.h"
#include "settings/AgentExecutableStatus.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsSession.h"
#include "support/SecretStoreMemory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include <cmath>
#include <limits>

namespace quillon {
namespace {

namespace R = SettingsRules;

TEST(SettingsRules, FontSizeStepsWithinItsRangeAndShowsWholePoints)
{
    EXPECT_EQ(R::fontSizeLabel(14.5), QStringLiteral("14 pt"));
    EXPECT_EQ(R::steppedFontSize(14.5, +1), 15.5);
    EXPECT_EQ(R::fontSizeLabel(R::steppedFontSize(14.5, +1)), QStringLiteral("15 pt"));
    EXPECT_EQ(R::steppedFontSize(14.5, -1), 13.5);
    EXPECT_EQ(R::steppedFontSize(36, +1), 36);
    EXPECT_EQ(R::steppedFontSize(35.5, +1), 36);
    EXPECT_EQ(R::steppedFontSize(10, -1), 10);
    EXPECT_FALSE(R::canStepFontSize(36, +1));
    EXPECT_TRUE(R::canStepFontSize(36, -1));
    EXPECT_FALSE(R::canStepFontSize(10, -1));
    // Sizes no control could have made read as 15, and step from there.
    for (double odd : { std::numeric_limits<double>::quiet_NaN(),
             std::numeric_limits<double>::infinity(), 1e300, -4.0, 3.0, 400.0 }) {
        EXPECT_EQ(R::fontSizeLabel(odd), QStringLiteral("15 pt")) << odd;
        EXPECT_EQ(R::steppedFontSize(odd, +1), 16) << odd;
    }
}

TEST(SettingsRules, TrimmingKeepsOrDropsLineBreaksAsAsked)
{
    EXPECT_EQ(R::trimSpaces(QStringLiteral("\u00A0 \tab c\t ")), QStringLiteral("ab c"));
    EXPECT_EQ(R::trimSpaces(QStringLiteral(" \nx\n ")), QStringLiteral("\nx\n"));
    EXPECT_EQ(
        R::trimSpacesAndLineBreaks(QStringLiteral(" \r\nx y\n\u2028")), QStringLiteral("x y"));
}

TEST(SettingsRules, ExtensionsAreTrimmedAndLowerCasedButNotOtherwiseChanged)
{
    EXPECT_EQ(R::extensionToAdd(QStringLiteral(" TOML ")), QStringLiteral("toml"));
    EXPECT_EQ(R::extensionToAdd(QStringLiteral(".Toml")), QStringLiteral(".toml"));
    EXPECT_FALSE(R::canAddExtension(QStringLiteral("  \t")));
    EXPECT_TRUE(R::canAddExtension(QStringLiteral("\n\n")));
    EXPECT_FALSE(R::extensionToAdd(QStringLiteral("\n\n")).has_value());
    EXPECT_EQ(R::presetExtensions().size(), 8);
}

TEST(SettingsRules, HostsAndTokensWithControlCharactersAreRefused)
{
    EXPECT_EQ(R::checkHost(QStringLiteral("  https://me@git.example.com:8443/r.git\n")).text,
        QStringLiteral("git.example.com"));
    EXPECT_TRUE(R::checkHost(QStringLiteral(" git.example.com\t")).usable());
    EXPECT_EQ(R::checkToken(QStringLiteral("\n ab cd \r\n")).text, QStringLiteral("ab cd"));
    for (const QString& bad : { QStringLiteral("ab\ncd"), QStringLiteral("ab\u0007cd"),
             QStringLiteral("ab\u2028cd"), QStringLiteral("a\rb") }) {
        EXPECT_FALSE(R::checkToken(bad).usable()) << bad.toStdString();
        EXPECT_FALSE(R::checkToken(bad).error.isEmpty());
        EXPECT_FALSE(R::checkHost(bad).usable());
    }
    EXPECT_FALSE(R::checkToken(QStringLiteral(" \n ")).usable());
    EXPECT_TRUE(R::checkToken(QStringLiteral(" \n ")).error.isEmpty());
    EXPECT_EQ(R::intervalLabel(0), QStringLiteral("Disabled"));
    EXPECT_EQ(R::intervalLabel(1), QStringLiteral("1 minute"));
    EXPECT_EQ(R::intervalLabel(7), QStringLiteral("7 minutes"));
}

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = std::make_shared<SecretStoreMemory>();
        KeychainManager::setStore(store);
    }
    void TearDown() override { KeychainManager::setStore(nullptr); }

    std::shared_ptr<SecretStoreMemory> store;
    QList<AnalyticsEvent> tracked;
    SettingsSession session { [this](const AnalyticsEvent& e) { tracked.append(e); } };
};

TEST_F(SessionTest, EveryTabTapIsReportedButOpeningIsNot)
{
    EXPECT_EQ(session.selectedTab(), SettingsSession::Tab::general);
    EXPECT_TRUE(tracked.isEmpty());
    session.selectTab(SettingsSession::Tab::general);
    session.selectTab(SettingsSession::Tab::git);
    session.selectTab(SettingsSession::Tab::git);
    EXPECT_EQ(tracked,
        (QList<AnalyticsEvent> { AnalyticsEvent::settingsTabOpened("General"),
            AnalyticsEvent::settingsTabOpened("Git & Integrations"),
            AnalyticsEvent::settingsTabOpened("Git & Integrations") }));
    EXPECT_EQ(SettingsSession::tabFromTitle("Agent AI"), SettingsSession::Tab::agent);
    EXPECT_FALSE(SettingsSession::tabFromTitle("agent ai").has_value());
}

TEST_F(SessionTest, SavingAddsTheHostOnceAndClearsTheForm)
{
    session.setNewHostText(QStringLiteral(" https://git.example.com/team/r.git "));
    session.setNewTokenText(QStringLiteral(" tok en "));
    ASSERT_TRUE(session.canSaveNewToken());
    EXPECT_TRUE(session.saveNewToken());
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("tok en"));
    EXPECT_EQ(session.newHostText(), QString());
    EXPECT_EQ(session.newTokenText(), QString());
    session.setNewHostText(QStringLiteral("git.example.com"));
    session.setNewTokenText(QStringLiteral("second"));
    session.setNewHostText(QStringLiteral("a.example"));
    session.saveNewToken();
    session.setNewHostText(QStringLiteral("git.example.com"));
    session.setNewTokenText(QStringLiteral("second"));
    session.saveNewToken();
    EXPECT_EQ(session.savedHosts(), (QStringList { "a.example", "git.example.com" }));
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("second"));
}

TEST_F(SessionTest, ARefusedSaveKeepsTheOldTokenAndTheTypedTextAndSaysSo)
{
    KeychainManager::saveToken("old", "h.example");
    store->setFailWrites(true);
    session.setNewHostText(QStringLiteral("h.example"));
    session.setNewTokenText(QStringLiteral("new"));
    EXPECT_FALSE(session.saveNewToken());
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("old"));
    EXPECT_EQ(session.newHostText(), QStringLiteral("h.example"));
    EXPECT_EQ(session.newTokenText(), QStringLiteral("new"));
    EXPECT_TRUE(session.saveMessage().contains("could not be saved"));
    EXPECT_EQ(session.savedHosts(), QStringList { "h.example" });

    // The edit sheet stays open with its text, and the old token stays.
    session.beginEdit(QStringLiteral("h.example"));
    EXPECT_EQ(session.editTokenText(), QStringLiteral("old"));
    session.setEditTokenText(QStringLiteral("newer"));
    session.updateEditedToken();
    EXPECT_TRUE(session.showEditTokenModal());
    EXPECT_EQ(session.editTokenText(), QStringLiteral("newer"));
    EXPECT_TRUE(session.editMessage().contains("could not be saved"));
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("old"));

    store->setFailWrites(false);
    session.updateEditedToken();
    EXPECT_FALSE(session.showEditTokenModal());
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("newer"));
    // A later successful save clears the message.
    session.setNewHostText(QStringLiteral("h.example"));
    session.setNewTokenText(QStringLiteral("x"));
    session.saveNewToken();
    EXPECT_EQ(session.saveMessage(), QString());
}

TEST_F(SessionTest, TheEditSheetIgnoresBlankTokensAndRefusesBrokenOnes)
{
    KeychainManager::saveToken("old", "h.example");
    session.beginEdit(QStringLiteral("h.example"));
    session.setEditTokenText(QStringLiteral("  "));
    session.updateEditedToken();
    EXPECT_FALSE(session.showEditTokenModal());
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("old"));

    session.beginEdit(QStringLiteral("h.example"));
    session.setEditTokenText(QStringLiteral("ab\ncd"));
    session.updateEditedToken();
    EXPECT_TRUE(session.showEditTokenModal());
    EXPECT_FALSE(session.editMessage().isEmpty());
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("old"));
    session.cancelEdit();
    session.beginEdit(QStringLiteral("gone.example"));
    EXPECT_EQ(session.editTokenText(), QString());
    EXPECT_EQ(session.editMessage(), QString());
}

TEST(AgentExecutableStatus, FollowsTheEngineAtOnceAndThePathOnceTypingStops)
{
    for (const char* key : { "agentEngineRaw", "agentOllamaModel", "agentCustomBinaryPath" })
        UserDefaults::standard().remove(QString::fromLatin1(key));
    test::TempTree tree;
    AgentProcessBridge bridge(nullptr);
    bridge.setEngine(SupportedAgentEngine::customCLI(tree.filePath("nowhere")));
    AgentExecutableStatusWatcher watcher(bridge);
    EXPECT_EQ(watcher.resolveCount(), 1);
    EXPECT_FALSE(watcher.status().found());
    EXPECT_EQ(watcher.status().text(),
        QStringLiteral("Not Found on PATH. Install CLI or set custom binary path below."));
    EXPECT_TRUE(watcher.status().customPathProblem.contains("does not exist"));

    const QString script = tree.write("agent.sh", "#!/bin/sh\necho hi\n");
    QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
    bridge.setEngine(SupportedAgentEngine::aider());
    EXPECT_EQ(watcher.resolveCount(), 2);
    QString typed;
    for (QChar c : script) {
        typed += c;
        bridge.setCustomBinaryPath(typed);
    }
    EXPECT_EQ(watcher.resolveCount(), 2);
    ASSERT_TRUE(test::waitUntil([&] { return watcher.resolveCount() == 3; }));
    EXPECT_EQ(watcher.status().text(), QStringLiteral("Binary Found: ") + script);
    EXPECT_EQ(watcher.status().customPathProblem, QString());

    bridge.setCustomBinaryPath(tree.path());
    ASSERT_TRUE(test::waitUntil([&] { return watcher.resolveCount() == 4; }));
    EXPECT_TRUE(watcher.status().customPathProblem.contains("not an executable file"));
    QTest::qWait(AgentExecutableStatusWatcher::pathSettleMs + 50);
    EXPECT_EQ(watcher.resolveCount(), 4);
}

} // namespace
} // namespace quillon
