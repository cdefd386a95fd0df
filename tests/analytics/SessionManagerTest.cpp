#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/Clock.h"
#include "analytics/beacon/DefaultSignalPayload.h"
#include "analytics/beacon/SessionManager.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "platform/UserDefaults.h"

#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace quillon;

namespace {

class SessionManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        now = QDateTime(QDate(2024, 6, 10), QTime(9, 0), QTimeZone::utc());
        Clock::setForTesting([this] { return now; }, QTimeZone::utc());
        store = std::make_unique<UserDefaults>(tree.filePath("suite.json"));
    }
    void TearDown() override
    {
        Clock::resetForTesting();
        TelemetryManager::terminate();
    }

    void storeSessions(const QList<QPair<QDateTime, qint64>>& sessions)
    {
        QJsonArray array;
        for (const auto& [start, duration] : sessions)
            array.append(QJsonObject { { "st", start.toSecsSinceEpoch() }, { "dn", duration } });
        store->setData("recentSessions", QJsonDocument(array).toJson());
    }

    QList<qint64> storedDurations()
    {
        QList<qint64> result;
        const QJsonArray array
            = QJsonDocument::fromJson(store->dataValue("recentSessions").value_or(QByteArray()))
                  .array();
        for (const QJsonValue& value : array)
            result.append(value.toObject().value("dn").toInteger());
        return result;
    }

    test::TempTree tree;
    QDateTime now;
    std::unique_ptr<UserDefaults> store;
};

} // namespace

TEST_F(SessionManagerTest, RetentionFiguresFromRecordedSessions)
{
    store->setInt("deletedSessionsCount", 4);
    storeSessions({ { now.addDays(-3), 30 }, { now.addDays(-2), 60 }, { now.addDays(-1), 5 } });
    SessionManager sessions(store.get());
    EXPECT_EQ(sessions.averageSessionSeconds(), 45);
    EXPECT_EQ(sessions.previousSessionSeconds(), 60);
    EXPECT_EQ(sessions.totalSessionsCount(), 7);
    sessions.waitForPersistence();

    storeSessions({ { now.addDays(-1), 12 } });
    SessionManager single(store.get());
    EXPECT_EQ(single.averageSessionSeconds(), 12);
    EXPECT_FALSE(single.previousSessionSeconds().has_value());
}

TEST_F(SessionManagerTest, NinetyDayWindowIsCountedOnceAcrossShortRuns)
{
    const qint64 window = 7776000;
    storeSessions({ { now.addSecs(-window), 10 }, { now.addSecs(-window + 1), 20 } });
    {
        SessionManager sessions(store.get());
        EXPECT_EQ(sessions.averageSessionSeconds(), 20);
        EXPECT_EQ(sessions.totalSessionsCount(), 2);
        sessions.waitForPersistence();
    }
    EXPECT_EQ(store->intValue("deletedSessionsCount"), 1);
    EXPECT_EQ(storedDurations(), QList<qint64> { 20 });

    // A second run that ends before persisting anything must not count the drop again.
    {
        SessionManager sessions(store.get());
        sessions.waitForPersistence();
    }
    EXPECT_EQ(store->intValue("deletedSessionsCount"), 1);
}

TEST_F(SessionManagerTest, FirstStartIsReportedWithTodaysDate)
{
    test::RecordingSignalManager* calls = test::installRecordingTelemetry().calls;

    SessionManager sessions(store.get());
    sessions.startNewSession();
    sessions.waitForPersistence();
    const auto installs = calls->callsNamed("Beacon.Acquisition.newInstallDetected");
    ASSERT_EQ(installs.size(), 1);
    EXPECT_EQ(installs.first().parameters,
        (QMap<QString, QString> { { "Beacon.Acquisition.firstSessionDate", "2024-06-10" } }));
    EXPECT_EQ(store->stringValue("firstSessionDate"), QStringLiteral("2024-06-10"));
    EXPECT_EQ(sessions.distinctDaysUsed(), QStringList { "2024-06-10" });

    // Under a second of activity nothing is recorded, so another start is again a first start.
    now = now.addMSecs(500);
    sessions.startNewSession();
    EXPECT_EQ(calls->callsNamed("Beacon.Acquisition.newInstallDetected").size(), 2);

    now = now.addSecs(3);
    sessions.updateSessionDuration();
    sessions.startNewSession();
    EXPECT_EQ(calls->callsNamed("Beacon.Acquisition.newInstallDetected").size(), 2);

    // Same day again: the day is listed once; the next day is added.
    sessions.waitForPersistence();
    {
        SessionManager again(store.get());
        again.waitForPersistence();
    }
    EXPECT_EQ(store->stringListValue("distinctDaysUsed"), QStringList { "2024-06-10" });
    now = now.addDays(1);
    {
        SessionManager nextDay(store.get());
        nextDay.waitForPersistence();
    }
    EXPECT_EQ(
        store->stringListValue("distinctDaysUsed"), (QStringList { "2024-06-10", "2024-06-11" }));
}

TEST_F(SessionManagerTest, InactiveTimeIsNotCounted)
{
    storeSessions({ { now.addDays(-1), 12 } });
    SessionManager sessions(store.get());
    sessions.startNewSession();
    now = now.addMSecs(10400);
    sessions.handleDidEnterBackgroundNotification();
    EXPECT_FALSE(sessions.isCounting());
    now = now.addSecs(60);
    sessions.handleWillEnterForegroundNotification();
    sessions.handleWillEnterForegroundNotification();
    EXPECT_TRUE(sessions.isCounting());
    now = now.addSecs(5);
    sessions.updateSessionDuration();
    sessions.waitForPersistence();
    EXPECT_EQ(storedDurations(), (QList<qint64> { 12, 15 }));
    EXPECT_EQ(sessions.previousSessionSeconds(), 12);
}

TEST_F(SessionManagerTest, RetentionReachesTheDefaultParameters)
{
    storeSessions({ { now.addDays(-2), 30 }, { now.addDays(-1), 60 } });
    store->setStringList("distinctDaysUsed", { "2024-05-01", "2024-05-11", "2024-06-09" });
    store->setString("firstSessionDate", "2024-05-01");
    SessionManager sessions(store.get());
    sessions.waitForPersistence();
    DeviceFacts facts;
    const auto parameters
        = DefaultSignalPayload::parameters(facts, now, QTimeZone::utc(), sessions);
    EXPECT_EQ(parameters.value("Beacon.Acquisition.firstSessionDate"), "2024-05-01");
    EXPECT_EQ(parameters.value("Beacon.Retention.distinctDaysUsed"), "4");
    // 30 days before 2024-06-10 is 2024-05-11, which counts.
    EXPECT_EQ(parameters.value("Beacon.Retention.distinctDaysUsedLastMonth"), "3");
    EXPECT_EQ(parameters.value("Beacon.Retention.previousSessionSeconds"), "30");
    EXPECT_EQ(parameters.value("Beacon.Retention.totalSessionsCount"), "2");
}
