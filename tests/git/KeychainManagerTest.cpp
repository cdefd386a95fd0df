#include "git/KeychainManager.h"
#include "platform/SecretStore.h"
#include "support/SecretStoreMemory.h"

#include <gtest/gtest.h>

#include <QUuid>
#include <QtGlobal>

using namespace quillon;

namespace {

class KeychainLogic : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store = std::make_shared<SecretStoreMemory>();
        KeychainManager::setStore(m_store);
    }
    void TearDown() override { KeychainManager::setStore(nullptr); }
    std::shared_ptr<SecretStoreMemory> m_store;
};

} // namespace

TEST(KeychainHost, ExtractsTheBareHost)
{
    EXPECT_EQ(KeychainManager::extractHost("https://me:pw@git.example.com:8443/team/r.git"),
        "git.example.com");
    EXPECT_EQ(KeychainManager::extractHost("ssh://git@example.org/r.git"), "example.org");
    EXPECT_EQ(
        KeychainManager::extractHost("git@example.org:team/r.git"), "git@example.org:team/r.git");
    EXPECT_EQ(KeychainManager::extractHost(""), "git-server");
}

TEST_F(KeychainLogic, SavingTwiceKeepsOneItemWithTheSecondToken)
{
    EXPECT_TRUE(KeychainManager::saveToken("one", "h.example"));
    EXPECT_TRUE(KeychainManager::saveToken("two", "h.example"));
    EXPECT_EQ(KeychainManager::getToken("h.example"), QString("two"));
    EXPECT_EQ(KeychainManager::getAllSavedHosts(), QStringList { "h.example" });
    EXPECT_EQ(m_store->itemCount(), 1);
}

TEST_F(KeychainLogic, HostsAreSortedAndDeletingAMissingHostSucceeds)
{
    EXPECT_TRUE(KeychainManager::getAllSavedHosts().isEmpty());
    KeychainManager::saveToken("z", "zeta.example");
    KeychainManager::saveToken("a", "alpha.example");
    EXPECT_EQ(
        KeychainManager::getAllSavedHosts(), (QStringList { "alpha.example", "zeta.example" }));
    EXPECT_TRUE(KeychainManager::deleteToken("nobody.example"));
    EXPECT_TRUE(KeychainManager::deleteToken("zeta.example"));
    EXPECT_FALSE(KeychainManager::getToken("zeta.example").has_value());
    // Items of another service are not ours.
    m_store->store("org.other.app", "beta.example", "x");
    EXPECT_FALSE(KeychainManager::getToken("beta.example").has_value());
    EXPECT_EQ(KeychainManager::getAllSavedHosts(), QStringList { "alpha.example" });
}

// Against the real Secret Service (gnome-keyring in a private D-Bus session, see scripts/test).
TEST(KeychainSecretService, StoresReplacesListsAndDeletesTokens)
{
    if (qEnvironmentVariableIsEmpty("QUILLON_KEYRING_TESTS"))
        GTEST_SKIP() << "QUILLON_KEYRING_TESTS is not set";
    KeychainManager::setStore(SecretStore::system());
    const QString suffix = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    const QString hostB = "b-" + suffix + ".example";
    const QString hostA = "a-" + suffix + ".example";

    ASSERT_TRUE(KeychainManager::saveToken("first", hostB));
    ASSERT_TRUE(KeychainManager::saveToken("secöndé", hostB));
    ASSERT_TRUE(KeychainManager::saveToken("other", hostA));
    EXPECT_EQ(KeychainManager::getToken(hostB), QString("secöndé"));
    const QStringList hosts = KeychainManager::getAllSavedHosts();
    EXPECT_EQ(hosts.count(hostB), 1);
    EXPECT_LT(hosts.indexOf(hostA), hosts.indexOf(hostB));
    EXPECT_TRUE(hosts.indexOf(hostA) >= 0);

    // Another program's item for the same account under another service is not ours.
    SecretStore::system()->store("org.other.app", "c-" + suffix, "x");
    EXPECT_FALSE(KeychainManager::getToken("c-" + suffix).has_value());

    EXPECT_TRUE(KeychainManager::deleteToken(hostB));
    EXPECT_TRUE(KeychainManager::deleteToken(hostB));
    EXPECT_FALSE(KeychainManager::getToken(hostB).has_value());
    EXPECT_TRUE(KeychainManager::deleteToken(hostA));
    SecretStore::system()->remove("org.other.app", "c-" + suffix);
    KeychainManager::setStore(nullptr);
}

// The keyring unreachable for one save (its session bus gone): the save says so, and the token
// stored before is the one found afterwards.
TEST(KeychainSecretService, AFailedSaveKeepsTheOldToken)
{
    if (qEnvironmentVariableIsEmpty("QUILLON_KEYRING_TESTS"))
        GTEST_SKIP() << "QUILLON_KEYRING_TESTS is not set";
    KeychainManager::setStore(SecretStore::system());
    const QString host = "f-" + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    ASSERT_TRUE(KeychainManager::saveToken("old", host));
    {
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("XDG_RUNTIME_DIR");
        EXPECT_FALSE(KeychainManager::saveToken("new", host));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    EXPECT_EQ(KeychainManager::getToken(host), QString("old"));
    EXPECT_EQ(KeychainManager::getAllSavedHosts().count(host), 1);
    EXPECT_TRUE(KeychainManager::deleteToken(host));
    KeychainManager::setStore(nullptr);
}
