#include "app/Updater.h"
#include "platform/UserPrompts.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

namespace quillon::test {
namespace {

// Answers every request with one fixed HTTP response.
class FeedServer : public QObject
{
public:
    explicit FeedServer(QByteArray body, int status = 200)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this, body, status] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, body, status] {
                socket->readAll();
                socket->write("HTTP/1.1 " + QByteArray::number(status)
                    + " X\r\nContent-Type: application/json\r\nContent-Length: "
                    + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(m_server.serverPort()));
    }

private:
    QTcpServer m_server;
};

class UpdaterTest : public ::testing::Test
{
protected:
    void SetUp() override { prompts = &ScriptedUserPrompts::installNew(); }

    // Runs one check against `feed` and returns the alert it showed.
    UserPrompts::Alert check(const QUrl& feed, const QString& ours = QStringLiteral("1.2.0"))
    {
        Updater updater(feed, ours, *prompts);
        EXPECT_FALSE(updater.canCheckForUpdates()); // until the event loop runs
        EXPECT_TRUE(waitUntil([&] { return updater.canCheckForUpdates(); }));
        QSignalSpy done(&updater, &Updater::finished);
        updater.checkForUpdates();
        if (feed.host() == QStringLiteral("127.0.0.1")) {
            EXPECT_FALSE(updater.canCheckForUpdates()); // while the check runs
            updater.checkForUpdates(); // ignored
        }
        EXPECT_TRUE(waitUntil([&] { return done.count() > 0; }, 10000));
        EXPECT_EQ(done.count(), 1);
        EXPECT_TRUE(updater.canCheckForUpdates());
        EXPECT_EQ(prompts->alerts().size(), 1);
        return prompts->alerts().value(0);
    }

    ScriptedUserPrompts* prompts = nullptr;
};

TEST_F(UpdaterTest, NewerVersionInTheFeedIsOfferedWithItsLink)
{
    FeedServer server(R"([{"version":"1.10.0","url":"https://example.org/q-1.10.deb"},
                          {"version":"1.9.3","url":"https://example.org/q-1.9.deb"}])");
    const UserPrompts::Alert alert = check(server.url());
    EXPECT_EQ(alert.message, QStringLiteral("Quillon 1.10.0 is available."));
    EXPECT_EQ(alert.informativeText, QStringLiteral("https://example.org/q-1.10.deb"));
    EXPECT_FALSE(alert.warning);
}

TEST_F(UpdaterTest, SameOrOlderVersionIsUpToDate)
{
    FeedServer server(R"({"version":"1.2","url":"https://example.org/q.deb"})");
    EXPECT_EQ(check(server.url()).message, QStringLiteral("Quillon is up to date."));
}

TEST_F(UpdaterTest, MalformedFeedAndServerErrorsAreFailuresShownToTheUser)
{
    FeedServer garbage("<html>not a feed</html>");
    UserPrompts::Alert alert = check(garbage.url());
    EXPECT_TRUE(alert.warning);
    EXPECT_TRUE(alert.message.startsWith(QStringLiteral("Could not check for updates")));

    prompts->clearRecords();
    FeedServer missing("{}", 404);
    EXPECT_TRUE(check(missing.url()).warning);
}

TEST_F(UpdaterTest, ServerDownIsAFailure)
{
    const RefusingPort nobody;
    const UserPrompts::Alert alert = check(QUrl(nobody.url(QStringLiteral("/feed"))));
    EXPECT_TRUE(alert.warning);
}

TEST_F(UpdaterTest, QuittingDuringACheckOnlyReleasesTheUpdater)
{
    // A feed server that takes the request and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    auto updater = std::make_unique<Updater>(
        QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(silent.serverPort())),
        QStringLiteral("1.2.0"), *prompts);
    ASSERT_TRUE(waitUntil([&] { return updater->canCheckForUpdates(); }));
    QSignalSpy done(updater.get(), &Updater::finished);
    updater->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return silent.hasPendingConnections(); }, 10000));
    ASSERT_EQ(done.count(), 0);

    updater.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count(), 0);
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(UpdaterTest, WithoutAFeedUpdatesComeFromThePackageManager)
{
    const UserPrompts::Alert alert = check(QUrl());
    EXPECT_EQ(alert.message,
        QStringLiteral("This build has no update feed: updates come from your package manager."));
    // A plain-http feed on another host is refused rather than trusted.
    prompts->clearRecords();
    EXPECT_TRUE(check(QUrl(QStringLiteral("http://updates.example.org/feed"))).warning);
}

TEST(UpdaterVersionsTest, ComparedNumberByNumber)
{
    EXPECT_LT(Updater::compareVersions(QStringLiteral("1.9"), QStringLiteral("1.10")), 0);
    EXPECT_EQ(Updater::compareVersions(QStringLiteral("1.2"), QStringLiteral("1.2.0")), 0);
    EXPECT_GT(Updater::compareVersions(QStringLiteral("2"), QStringLiteral("1.99.99")), 0);
    // Entries without a usable version are skipped, not taken as 0.
    EXPECT_EQ(Updater::evaluateFeed(R"([{"version":"beta"},{"version":"0.3"}])", "0.1").version,
        QStringLiteral("0.3"));
}

} // namespace
} // namespace quillon::test
