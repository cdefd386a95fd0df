#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/Clock.h"
#include "analytics/beacon/DefaultSignalPayload.h"
#include "analytics/beacon/SessionManager.h"
#include "platform/UserDefaults.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

DeviceFacts sampleFacts()
{
    DeviceFacts facts;
    facts.operatingSystem = QStringLiteral("Linux");
    facts.majorVersion = 6;
    facts.minorVersion = 1;
    facts.patchVersion = 18;
    facts.architecture = QStringLiteral("x86_64");
    facts.machineName = QStringLiteral("x86_64");
    facts.localeIdentifier = QStringLiteral("en_US");
    facts.regionCode = QStringLiteral("US");
    facts.languageCode = QStringLiteral("en");
    facts.preferredLanguages = { QStringLiteral("de-CH") };
    return facts;
}

QDateTime at(const QString& isoWithOffset)
{
    return QDateTime::fromString(isoWithOffset, Qt::ISODate);
}

} // namespace

TEST(DefaultSignalPayload, TimeZoneTexts)
{
    const QList<QPair<int, QString>> cases = {
        { -5 * 3600, "UTC-5" },
        { 5 * 3600 + 1800, "UTC+5:30" },
        { -(3 * 3600 + 1800), "UTC-3:30" },
        { 0, "UTC+0" },
        { 5 * 3600 + 2700, "UTC+5:45" },
        { 14 * 3600, "UTC+14" },
    };
    for (const auto& [offset, expected] : cases)
        EXPECT_EQ(DefaultSignalPayload::timeZoneText(offset), expected) << offset;
}

TEST(DefaultSignalPayload, TimeZoneComesFromTheInjectedZoneAtThatMoment)
{
    const QDateTime now = at("2024-07-01T12:00:00Z");
    const auto zoneText = [&](const char* zone) {
        return DefaultSignalPayload::parameters(
            sampleFacts(), now, QTimeZone(zone), SessionManager(nullptr))
            .value("Beacon.Device.timeZone");
    };
    EXPECT_EQ(zoneText("America/New_York"), QStringLiteral("UTC-4")); // summer time
    EXPECT_EQ(zoneText("Asia/Kolkata"), QStringLiteral("UTC+5:30"));
    EXPECT_EQ(zoneText("Asia/Kathmandu"), QStringLiteral("UTC+5:45"));
}

TEST(DefaultSignalPayload, CalendarValuesAtWeekAndYearBoundaries)
{
    struct Case
    {
        QDateTime now;
        QByteArray zone;
        QMap<QString, QString> expected;
    };
    const QList<Case> cases = {
        // Sunday 00:15 local.
        { at("2024-06-02T00:15:00Z"), "UTC",
            { { "dayOfWeek", "7" }, { "isWeekend", "true" }, { "hourOfDay", "1" },
                { "dayOfMonth", "2" } } },
        // Friday 23:30 local.
        { at("2024-05-31T23:30:00Z"), "UTC",
            { { "dayOfWeek", "5" }, { "isWeekend", "false" }, { "hourOfDay", "24" },
                { "quarterOfYear", "2" } } },
        // 03:30 GMT on a Monday is still Sunday evening five hours west.
        { at("2024-03-04T03:30:00Z"), "UTC-05:00",
            { { "dayOfWeek", "7" }, { "dayOfMonth", "3" }, { "hourOfDay", "23" },
                { "monthOfYear", "3" } } },
        // Last day of a leap year; its week already belongs to the next year.
        { at("2024-12-31T12:00:00Z"), "UTC",
            { { "dayOfYear", "366" }, { "weekOfYear", "1" }, { "quarterOfYear", "4" },
                { "dayOfWeek", "2" } } },
        // New Year's Day in the last week of the old year.
        { at("2027-01-01T08:00:00Z"), "UTC",
            { { "dayOfYear", "1" }, { "weekOfYear", "53" }, { "monthOfYear", "1" },
                { "dayOfWeek", "5" } } },
    };
    for (const Case& c : cases) {
        const QMap<QString, QString> calendar
            = DefaultSignalPayload::calendarParameters(c.now, QTimeZone(c.zone));
        EXPECT_EQ(calendar.size(), 8);
        for (auto it = c.expected.cbegin(); it != c.expected.cend(); ++it)
            EXPECT_EQ(calendar.value("Beacon.Calendar." + it.key()), it.value())
                << qPrintable(c.now.toString(Qt::ISODate)) << " " << qPrintable(it.key());
    }
}

TEST(DefaultSignalPayload, FallbacksForMissingFacts)
{
    DeviceFacts facts = sampleFacts();
    facts.regionCode.reset();
    facts.languageCode.reset();
    facts.preferredLanguages.clear();
    facts.appVersion.reset();
    facts.buildNumber = QStringLiteral("42");
    const auto parameters = DefaultSignalPayload::parameters(
        facts, at("2024-07-01T12:00:00Z"), QTimeZone::utc(), SessionManager(nullptr));

    EXPECT_EQ(parameters.value("region"), QStringLiteral("US"));
    EXPECT_EQ(parameters.value("appLanguage"), QStringLiteral("en"));
    EXPECT_EQ(parameters.value("preferredLanguage"), QStringLiteral("zz"));
    EXPECT_EQ(parameters.value("Beacon.UserPreference.language"), QStringLiteral("zz"));
    EXPECT_EQ(
        parameters.value("Beacon.AppInfo.versionAndBuildNumber"), QStringLiteral("0 (build 42)"));
    EXPECT_EQ(parameters.value("Beacon.Device.screenResolutionWidth"), QStringLiteral("N/A"));
    EXPECT_EQ(parameters.value("modelName"), QStringLiteral("x86_64"));
    EXPECT_EQ(parameters.value("isAppStore"), QStringLiteral("true"));
    EXPECT_EQ(parameters.value("systemVersion"), QStringLiteral("Linux 6.1.18"));
    // No store: no sessions, a first-session date of today, no previous session.
    EXPECT_EQ(
        parameters.value("Beacon.Acquisition.firstSessionDate"), QStringLiteral("2024-07-01"));
    EXPECT_EQ(parameters.value("Beacon.Retention.averageSessionSeconds"), QStringLiteral("-1"));
    EXPECT_FALSE(parameters.contains("Beacon.Retention.previousSessionSeconds"));
    EXPECT_FALSE(parameters.contains("Beacon.Accessibility.isReduceMotionEnabled"));
    EXPECT_EQ(parameters.size(), 61);

    facts.localeIdentifier = QStringLiteral("fr");
    facts.preferredLanguages = { QStringLiteral("de-CH") };
    facts.screenWidth = 1117.5;
    facts.screenScaleFactor = 2;
    const auto single = DefaultSignalPayload::parameters(
        facts, at("2024-07-01T12:00:00Z"), QTimeZone::utc(), SessionManager(nullptr));
    EXPECT_EQ(single.value("region"), QStringLiteral("fr"));
    EXPECT_EQ(single.value("appLanguage"), QStringLiteral("fr"));
    EXPECT_EQ(single.value("preferredLanguage"), QStringLiteral("de"));
    EXPECT_EQ(single.value("Beacon.Device.screenResolutionWidth"), QStringLiteral("1117.5"));
    EXPECT_EQ(single.value("Beacon.Device.screenScaleFactor"), QStringLiteral("2.0"));
}

TEST(DefaultSignalPayload, ModelFileIsCutAtItsFirstNul)
{
    EXPECT_EQ(DeviceFacts::modelFromBytes(QByteArray("Raspberry Pi 4\0junk", 19)),
        QStringLiteral("Raspberry Pi 4"));
    EXPECT_FALSE(DeviceFacts::modelFromBytes(QByteArray("\0", 1)).has_value());
}

TEST(DefaultSignalPayload, CurrentFactsGiveAFullMap)
{
    const auto parameters = DefaultSignalPayload::parameters();
    EXPECT_GE(parameters.size(), 61);
    EXPECT_EQ(parameters.value("platform"), QStringLiteral("Linux"));
    EXPECT_FALSE(parameters.value("modelName").isEmpty());
}

TEST(DefaultSignalPayload, DaysUsedLastMonthCountsTheCutoffDay)
{
    EXPECT_EQ(DefaultSignalPayload::countISODatesOnOrAfter(
                  { "2024-05-01", "2024-05-20", "2024-06-02" }, "2024-05-20"),
        2);
}
