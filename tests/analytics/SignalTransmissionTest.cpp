#include "AnalyticsTestHelpers.h"
#include "LoopbackServer.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/CryptoHashing.h"
#include "analytics/beacon/SignalCache.h"
#include "analytics/beacon/SignalManager.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <limits>
#include <thread>

using namespace quillon;
using Reply = test::LoopbackServer::Reply;

namespace {

QJsonArray bodyOf(const test::LoopbackServer::Request& request)
{
    return QJsonDocument::fromJson(request.body).array();
}

QStringList typesIn(const test::LoopbackServer::Request& request)
{
    QStringList types;
    for (const QJsonValue& value : bodyOf(request))
        types << value.toObject().value(QStringLiteral("type")).toString();
    return types;
}

class SignalTransmissionTest : public ::testing::Test
{
protected:
    std::shared_ptr<TelemetryManagerConfiguration> makeConfiguration(
        const QUrl& baseURL, double interval = 0.05)
    {
        auto configuration = std::make_shared<TelemetryManagerConfiguration>(
            QStringLiteral("APP-ID"), QStringLiteral("pepper"), baseURL);
        configuration->setLogHandler(log.handler());
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setSessionStatsEnabled(false);
        configuration->setTransmitInterval(interval);
        configuration->setMaxBackoffInterval(interval * 4);
        return configuration;
    }

    void writeCacheFile(int count)
    {
        QJsonArray array;
        for (int i = 1; i <= count; ++i)
            array.append(test::makeRecord(i).toCacheJson());
        tree.write("cache", QJsonDocument(array).toJson());
    }

    void TearDown() override { TelemetryManager::terminate(); }

    test::TempTree tree;
    test::LoopbackServer server;
    test::LogCollector log;
};

} // namespace

TEST_F(SignalTransmissionTest, PostsTheRecordAsJsonToTheIngestPath)
{
    auto configuration = makeConfiguration(server.baseURL());
    TelemetryManager::initialize(configuration, tree.filePath("cache"));
    Beacon::signal(QStringLiteral("Document.opened"), { { "source", "md" } }, 1.5);
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() == 1; }));

    const auto request = server.requests().first();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.path, QByteArray("/v2/"));
    EXPECT_EQ(request.headers.value("content-type"), QByteArray("application/json"));
    const QJsonArray body = bodyOf(request);
    ASSERT_EQ(body.size(), 1);
    const QJsonObject record = body.first().toObject();
    EXPECT_EQ(record.value("type").toString(), QStringLiteral("Document.opened"));
    EXPECT_EQ(record.value("appID").toString(), QStringLiteral("APP-ID"));
    EXPECT_EQ(record.value("floatValue").toDouble(), 1.5);
    EXPECT_EQ(record.value("isTestMode").toString(), QStringLiteral("false"));
    EXPECT_EQ(record.value("payload").toObject().value("source").toString(), QStringLiteral("md"));
    EXPECT_EQ(record.value("payload").toObject().value("Beacon.Device.platform").toString(),
        QStringLiteral("Linux"));
    const QString sessionID = record.value("sessionID").toString();
    EXPECT_EQ(sessionID.size(), 36);
    EXPECT_EQ(sessionID, sessionID.toUpper());
    EXPECT_FALSE(QUuid::fromString(sessionID).isNull());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+0000$"))
            .match(record.value("receivedAt").toString())
            .hasMatch());
    const QString clientUser = record.value("clientUser").toString();
    EXPECT_EQ(clientUser, TelemetryManager::shared()->hashedDefaultUser());

    // A restart keeps the stored user, so the next run reports the same client.
    TelemetryManager::initialize(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    Beacon::signal(QStringLiteral("Again"), {}, std::nullopt, QString());
    Beacon::signal(QStringLiteral("Again"));
    ASSERT_TRUE(test::waitUntil([&] {
        int records = 0;
        for (const auto& r : server.requests())
            records += int(bodyOf(r).size());
        return records == 3;
    }));
    QStringList users;
    for (const auto& r : server.requests().mid(1))
        for (const QJsonValue& v : bodyOf(r))
            users << v.toObject().value("clientUser").toString();
    // An empty custom user is hashed as given, not replaced by the stored user.
    EXPECT_TRUE(users.contains(CryptoHashing::sha256(QString(), QStringLiteral("pepper"))));
    EXPECT_TRUE(users.contains(clientUser));
}

TEST_F(SignalTransmissionTest, SendsCachedRecordsInBatchesOfAHundred)
{
    writeCacheFile(250);
    SignalManager manager(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() == 3; }));
    QList<qsizetype> sizes;
    for (const auto& request : server.requests())
        sizes << bodyOf(request).size();
    EXPECT_EQ(sizes, (QList<qsizetype> { 100, 100, 50 }));
    EXPECT_EQ(typesIn(server.requests().first()).first(), QStringLiteral("Signal.1"));
}

TEST_F(SignalTransmissionTest, RejectedBatchIsDroppedAndBackOffReset)
{
    writeCacheFile(3);
    server.script({ Reply::withStatus(413) });
    SignalManager manager(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return manager.sendCompletions() >= 3; }));
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(manager.consecutiveFailures(), 0);
    EXPECT_EQ(manager.signalCache().count(), 0);
    EXPECT_TRUE(log.linesAt(LogHandler::LogLevel::error)
                    .contains("Dropping 3 signal(s): rejected by server Payload Too Large (413)"));
}

TEST_F(SignalTransmissionTest, RetryableFailuresKeepTheBatchAndDoubleTheDelay)
{
    writeCacheFile(3);
    server.script({ Reply::withStatus(500), Reply::withStatus(429) });
    auto configuration = makeConfiguration(server.baseURL(), 0.2);
    configuration->setMaxBackoffInterval(0.5);
    SignalManager manager(configuration, tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() == 3; }));
    ASSERT_TRUE(test::waitUntil([&] { return manager.scheduledDelays().size() >= 4; }));

    EXPECT_EQ(typesIn(server.requests()[0]), typesIn(server.requests()[2]));
    EXPECT_EQ(manager.scheduledDelays().mid(0, 4), (QList<double> { 0.2, 0.4, 0.5, 0.2 }));
    EXPECT_EQ(manager.consecutiveFailures(), 0);

    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains("DEBUG: Current signal cache count: 3"));
    EXPECT_EQ(lines.count("INFO: Sending 3 signals leaving a cache of 0 signals"), 3);
    EXPECT_TRUE(lines.contains("DEBUG: Failed to send events (status 500), will try again later"));
    EXPECT_TRUE(lines.contains("DEBUG: Failed to send events (status 429), will try again later"));
    EXPECT_TRUE(log.linesAt(LogHandler::LogLevel::error).isEmpty());
}

TEST_F(SignalTransmissionTest, DroppedConnectionRequeuesTheBatch)
{
    writeCacheFile(2);
    server.script({ Reply::dropped() });
    SignalManager manager(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() >= 2; }));
    ASSERT_TRUE(test::waitUntil([&] { return manager.signalCache().count() == 0; }));
    EXPECT_EQ(typesIn(server.requests().last()), (QStringList { "Signal.1", "Signal.2" }));
}

TEST_F(SignalTransmissionTest, UnreachableServiceKeepsRecordsAcrossARestart)
{
    const test::RefusingPort nobody;
    auto configuration = makeConfiguration(QUrl(nobody.url()));
    {
        TelemetryManager::initialize(configuration, tree.filePath("cache"));
        Beacon::signal(QStringLiteral("First"));
        Beacon::signal(QStringLiteral("Second"));
        auto* manager = dynamic_cast<SignalManager*>(&TelemetryManager::shared()->signalManager());
        ASSERT_TRUE(test::waitUntil([&] { return manager->consecutiveFailures() >= 2; }));
        manager->appWillTerminate();
        TelemetryManager::terminate();
    }
    ASSERT_TRUE(QFile::exists(tree.filePath("cache")));

    SignalManager restarted(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() >= 1; }));
    // A failed batch goes behind what was queued meanwhile, so either order may come out.
    QStringList types = typesIn(server.requests().first());
    types.sort();
    EXPECT_EQ(types, (QStringList { "First", "Second" }));
}

TEST_F(SignalTransmissionTest, BatchInFlightIsSavedAtQuit)
{
    writeCacheFile(3);
    server.script({ Reply::slow(1500) });
    SignalManager manager(makeConfiguration(server.baseURL()), tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() == 1; }));
    manager.appWillTerminate();

    SignalCache saved(std::nullopt, 100, tree.filePath("cache"));
    EXPECT_EQ(saved.count(), 3);
}

TEST_F(SignalTransmissionTest, NonFiniteFloatValueIsRejectedAlone)
{
    auto configuration = makeConfiguration(server.baseURL());
    TelemetryManager::initialize(configuration, tree.filePath("cache"));
    Beacon::signal(QStringLiteral("Bad"), {}, std::numeric_limits<double>::infinity());
    Beacon::signal(QStringLiteral("Good"), {}, 2.0);
    ASSERT_TRUE(test::waitUntil([&] { return server.requestCount() == 1; }));
    EXPECT_EQ(typesIn(server.requests().first()), QStringList { "Good" });
    EXPECT_FALSE(log.linesAt(LogHandler::LogLevel::error).isEmpty());
}

TEST_F(SignalTransmissionTest, DisabledAnalyticsSendNothing)
{
    writeCacheFile(2);
    auto configuration = makeConfiguration(server.baseURL());
    configuration->setAnalyticsDisabled(true);
    SignalManager manager(configuration, tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return manager.sendCompletions() >= 5; }));
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(manager.signalCache().count(), 2);
}

TEST_F(SignalTransmissionTest, EndpointThatDoesNotParseKeepsTheRecordsAndBacksOff)
{
    writeCacheFile(2);
    auto configuration = std::make_shared<TelemetryManagerConfiguration>(
        QStringLiteral("APP-ID"), std::nullopt, server.baseURL(), QStringLiteral("bad space"));
    configuration->setLogHandler(log.handler());
    configuration->setTransmitInterval(0.05);
    configuration->setMaxBackoffInterval(0.2);
    SignalManager manager(configuration, tree.filePath("cache"));
    ASSERT_TRUE(test::waitUntil([&] { return manager.consecutiveFailures() >= 4; }));
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(manager.signalCache().count(), 2);
    // The loop starts from no failures after its first attempt.
    EXPECT_EQ(manager.scheduledDelays().mid(1, 4), (QList<double> { 0.05, 0.1, 0.2, 0.2 }));
    EXPECT_TRUE(log.linesAt(LogHandler::LogLevel::error)
                    .contains("Unable to construct signal API URL for namespace bad space"));
}

// The last holder of a manager may be another thread, with signals still on their way through
// the main thread: they must neither reach the freed manager nor be needed by it.
TEST_F(SignalTransmissionTest, ManagerReleasedOnAnotherThreadWithSignalsOnTheirWay)
{
    for (int round = 0; round < 3; ++round) {
        TelemetryManager::initialize(makeConfiguration(server.baseURL()), tree.filePath("cache"));
        std::shared_ptr<TelemetryManager> held = TelemetryManager::shared();
        TelemetryManager::terminate();
        std::thread worker([manager = std::move(held)]() mutable {
            for (int i = 0; i < 20; ++i)
                manager->signalManager().processSignal(QStringLiteral("Late"), {}, std::nullopt,
                    std::nullopt, manager->configuration());
            manager.reset();
        });
        worker.join();
        test::waitUntil([] { return false; }, 100);
    }
}
