#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/Clock.h"
#include "analytics/beacon/DurationSignalTracker.h"
#include "analytics/beacon/ErrorCategory.h"
#include "analytics/beacon/IdentifiableError.h"
#include "analytics/beacon/NavigationStatus.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quillon;

namespace {

using Params = QMap<QString, QString>;

class PresetsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        now = QDateTime(QDate(2024, 6, 10), QTime(9, 0), QTimeZone::utc());
        Clock::setForTesting([this] { return now; }, QTimeZone::utc());
        const test::RecordingTelemetry telemetry = test::installRecordingTelemetry(log.handler());
        configuration = telemetry.configuration;
        calls = telemetry.calls;
        NavigationStatus::shared().setPreviousNavigationPath(std::nullopt);
    }
    void TearDown() override
    {
        TelemetryManager::terminate();
        Clock::resetForTesting();
    }

    test::RecordingSignalManager::Call last() const
    {
        QMutexLocker lock(&calls->mutex);
        return calls->calls.isEmpty() ? test::RecordingSignalManager::Call {} : calls->calls.last();
    }
    qsizetype count() const
    {
        QMutexLocker lock(&calls->mutex);
        return calls->calls.size();
    }

    QDateTime now;
    test::LogCollector log;
    std::shared_ptr<TelemetryManagerConfiguration> configuration;
    test::RecordingSignalManager* calls = nullptr;
};

} // namespace

TEST(DurationSignalTracker, MeasuresActiveTimeOnlyWhenAsked)
{
    QDateTime now(QDate(2024, 6, 10), QTime(9, 0), QTimeZone::utc());
    Clock::setForTesting([&] { return now; }, QTimeZone::utc());
    DurationSignalTracker tracker;
    tracker.startTracking("active", { { "k", "v" } }, false);
    tracker.startTracking("wall", {}, true);
    now = now.addSecs(5);
    tracker.handleDidEnterBackgroundNotification();
    now = now.addSecs(10);
    tracker.handleDidEnterBackgroundNotification(); // the later time wins
    now = now.addSecs(20);
    tracker.handleWillEnterForegroundNotification();
    tracker.handleWillEnterForegroundNotification(); // without a background: no change
    now = now.addSecs(10);

    const auto active = tracker.stopTracking("active");
    ASSERT_TRUE(active.has_value());
    EXPECT_DOUBLE_EQ(active->duration, 25.0);
    EXPECT_EQ(active->parameters, (Params { { "k", "v" } }));
    EXPECT_DOUBLE_EQ(tracker.stopTracking("wall")->duration, 45.0);
    EXPECT_FALSE(tracker.stopTracking("active").has_value());

    tracker.startTracking("again", {}, true);
    now = now.addSecs(5);
    tracker.startTracking("again", {}, true);
    now = now.addSecs(2);
    EXPECT_DOUBLE_EQ(tracker.stopTracking("again")->duration, 2.0);
    Clock::resetForTesting();
}

TEST_F(PresetsTest, DurationSignalCarriesMillisecondsAndMergedParameters)
{
    EXPECT_EQ(Beacon::durationText(1.23456), QStringLiteral("1.234"));
    EXPECT_EQ(Beacon::durationText(2.0), QStringLiteral("2.0"));
    EXPECT_EQ(Beacon::durationText(0.25), QStringLiteral("0.25"));

    Beacon::startDurationSignal("Import", { { "from", "start" }, { "shared", "start" } });
    now = now.addMSecs(1500);
    Beacon::stopAndSendDurationSignal("Import", { { "shared", "stop" } });
    EXPECT_EQ(last().name, QStringLiteral("Import"));
    EXPECT_EQ(last().parameters,
        (Params { { "Beacon.Signal.durationInSeconds", "1.5" }, { "from", "start" },
            { "shared", "stop" } }));

    Beacon::stopAndSendDurationSignal("Import");
    Beacon::startDurationSignal("Cancelled");
    Beacon::cancelDurationSignal("Cancelled");
    Beacon::stopAndSendDurationSignal("Cancelled");
    EXPECT_EQ(count(), 1);
}

TEST_F(PresetsTest, PresetParametersAndCallerOverrides)
{
    configuration->setDefaultSignalPrefix("App.");
    configuration->setDefaultParameterPrefix("p.");
    Beacon::acquiredUser("ads");
    EXPECT_EQ(last().name, QStringLiteral("Beacon.Acquisition.userAcquired"));
    EXPECT_EQ(last().parameters, (Params { { "Beacon.Acquisition.channel", "ads" } }));
    Beacon::acquiredUser("ads", { { "Beacon.Acquisition.channel", "mail" } });
    EXPECT_EQ(last().parameters.value("Beacon.Acquisition.channel"), QStringLiteral("mail"));

    Beacon::referralSent(3);
    EXPECT_EQ(last().parameters, (Params { { "Beacon.Referral.receiversCount", "3" } }));
    Beacon::userRatingSubmitted(0, QString());
    EXPECT_EQ(last().parameters,
        (Params {
            { "Beacon.Referral.ratingValue", "0" }, { "Beacon.Referral.ratingComment", "" } }));
    Beacon::userRatingSubmitted(10);
    EXPECT_EQ(last().parameters, (Params { { "Beacon.Referral.ratingValue", "10" } }));
    const qsizetype sent = count();
    Beacon::userRatingSubmitted(-1);
    Beacon::userRatingSubmitted(11);
    EXPECT_EQ(count(), sent);
    EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error),
        (QStringList { "Rating must be between 0 and 10", "Rating must be between 0 and 10" }));

    configuration->setAnalyticsDisabled(true);
    Beacon::paywallShown("limit");
    Beacon::onboardingCompleted();
    EXPECT_EQ(count(), sent);
}

TEST_F(PresetsTest, ErrorPresets)
{
    Beacon::errorOccurred("E1");
    EXPECT_EQ(last().name, QStringLiteral("Beacon.Error.occurred"));
    EXPECT_EQ(last().parameters, (Params { { "Beacon.Error.id", "E1" } }));

    const AnyIdentifiableError wrapped
        = AnyIdentifiableError::with(std::runtime_error("disk full"), "save-failed");
    Beacon::errorOccurred(wrapped, ErrorCategory::appState);
    EXPECT_EQ(last().parameters,
        (Params { { "Beacon.Error.id", "save-failed" }, { "Beacon.Error.category", "app-state" },
            { "Beacon.Error.message", "disk full" } }));
    Beacon::errorOccurred(wrapped, ErrorCategory::userInput, std::nullopt,
        { { "Beacon.Error.category", "mine" } }, 2.0);
    EXPECT_EQ(last().parameters,
        (Params { { "Beacon.Error.id", "save-failed" }, { "Beacon.Error.category", "mine" } }));
    EXPECT_EQ(last().floatValue, 2.0);

    EXPECT_EQ(errorCategoryFromRawValue("user-input"), ErrorCategory::userInput);
    EXPECT_FALSE(errorCategoryFromRawValue("User-Input").has_value());
}

TEST_F(PresetsTest, NavigationRemembersTheLastDestination)
{
    Beacon::navigationPathChanged(QStringLiteral("A"));
    EXPECT_EQ(last().name, QStringLiteral("Beacon.Navigation.pathChanged"));
    EXPECT_EQ(last().parameters,
        (Params { { "Beacon.Navigation.schemaVersion", "1" },
            { "Beacon.Navigation.identifier", " -> A" }, { "Beacon.Navigation.sourcePath", "" },
            { "Beacon.Navigation.destinationPath", "A" } }));
    Beacon::navigate(QStringLiteral("B"));
    EXPECT_EQ(last().parameters.value("Beacon.Navigation.identifier"), QStringLiteral("A -> B"));
    Beacon::navigationPathChanged(QStringLiteral("X"), QStringLiteral("Y"));
    Beacon::navigationPathChanged(QStringLiteral("Y"));
    EXPECT_EQ(last().parameters.value("Beacon.Navigation.identifier"), QStringLiteral("Y -> Y"));
    EXPECT_EQ(NavigationStatus::shared().previousNavigationPath(), QStringLiteral("Y"));
}
