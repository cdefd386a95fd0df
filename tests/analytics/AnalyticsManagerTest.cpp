#include "AnalyticsTestHelpers.h"
#include "LoopbackServer.h"

#include "analytics/AnalyticsManager.h"
#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/SignalCache.h"
#include "analytics/beacon/SignalManager.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "analytics/beacon/TerminationSignals.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <utility>

using namespace quillon;

namespace {

QStringList receivedTypes(const test::LoopbackServer& server)
{
    QStringList types;
    for (const auto& request : server.requests())
        for (const QJsonValue& value : QJsonDocument::fromJson(request.body).array())
            types << value.toObject().value(QStringLiteral("type")).toString();
    return types;
}

void pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    test::waitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

} // namespace

TEST(AnalyticsEvent, NamesAndParameters)
{
    EXPECT_EQ(AnalyticsEvent::searchExecuted(0).params(),
        (QMap<QString, QString> { { "query_length", "0" } }));
    EXPECT_EQ(AnalyticsEvent::documentOpened(QString()).params(),
        (QMap<QString, QString> { { "source", "" } }));
    EXPECT_EQ(
        AnalyticsEvent::settingsTabOpened("General").name(), QStringLiteral("Settings.tabOpened"));
    EXPECT_TRUE(AnalyticsEvent::appLaunched().params().isEmpty());
    EXPECT_EQ(AnalyticsManager::describeParams({ { "source", "md" } }),
        QStringLiteral("[\"source\": \"md\"]"));
    EXPECT_EQ(AnalyticsManager::describeParams({}), QStringLiteral("[:]"));
}

// Opted out, nothing leaves the machine: no event, no session start, no new-install signal.
TEST(AnalyticsManager, OptedOutSendsNothingAtAll)
{
    if (AnalyticsManager::shared().isConfigured())
        GTEST_SKIP() << "the manager configures the client once per process";
    test::LoopbackServer server;
    const QByteArray savedURL = qgetenv("QUILLON_ANALYTICS_BASE_URL");
    qputenv("QUILLON_ANALYTICS_BASE_URL", server.baseURL().toString().toUtf8());

    AnalyticsManager& analytics = AnalyticsManager::shared();
    analytics.setTelemetryOptOut(true);
    analytics.configure(QString());
    const QString builtInID = analytics.appID();
    EXPECT_EQ(builtInID.size(), 36);
    EXPECT_EQ(builtInID, builtInID.toUpper());
    analytics.configure(QStringLiteral("OTHER"));
    EXPECT_EQ(analytics.appID(), builtInID);

    auto configuration = TelemetryManager::shared()->configuration();
    configuration->setTransmitInterval(0.05);
    analytics.track(AnalyticsEvent::appLaunched());
    pause(800); // past the deferred session start
    Beacon::requestImmediateSync();
    pause(300);
    EXPECT_EQ(server.requestCount(), 0);

    analytics.setTelemetryOptOut(false);
    analytics.track(AnalyticsEvent::documentOpened(QStringLiteral("md")));
    Beacon::requestImmediateSync();
    ASSERT_TRUE(test::waitUntil([&] { return !receivedTypes(server).isEmpty(); }));
    EXPECT_EQ(receivedTypes(server), QStringList { "Document.opened" });

    TelemetryManager::terminate();
    if (savedURL.isEmpty())
        qunsetenv("QUILLON_ANALYTICS_BASE_URL");
    else
        qputenv("QUILLON_ANALYTICS_BASE_URL", savedURL);
}

TEST(TerminationSignals, SigtermQuitsCleanlyAndSavesTheCache)
{
    // The first signal re-arms the default action, so a second one would end the process.
    static bool raised = false;
    if (std::exchange(raised, true))
        GTEST_SKIP() << "SIGTERM is handled once per process";
    ASSERT_TRUE(TerminationSignals::install());
    test::TempTree tree;
    auto configuration = std::make_shared<TelemetryManagerConfiguration>(
        QStringLiteral("APP"), std::nullopt, QUrl(QStringLiteral("http://127.0.0.1:1")));
    configuration->setLogHandler(std::nullopt);
    configuration->setAnalyticsDisabled(true);
    SignalManager manager(configuration, tree.filePath("cache"));
    manager.signalCache().push(test::makeRecord(1));
    manager.signalCache().push(test::makeRecord(2));

    QTimer::singleShot(50, qApp, [] { std::raise(SIGTERM); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();

    SignalCache saved(std::nullopt, 100, tree.filePath("cache"));
    EXPECT_EQ(saved.count(), 2);
}
