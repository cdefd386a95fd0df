#include "analytics/beacon/DefaultSignalPayload.h"

#include "analytics/beacon/Clock.h"
#include "analytics/beacon/SessionManager.h"

#include <QLocale>
#include <QRegularExpression>

namespace quillon {

namespace {

const QRegularExpression& separators()
{
    static const QRegularExpression re(QStringLiteral("[-_]"));
    return re;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString orNA(const std::optional<double>& value)
{
    return value ? DefaultSignalPayload::decimalText(*value) : QStringLiteral("N/A");
}

} // namespace

QString DefaultSignalPayload::decimalText(double value)
{
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString DefaultSignalPayload::timeZoneText(int offsetSeconds)
{
    const int magnitude = std::abs(offsetSeconds);
    QString text = QStringLiteral("UTC") + (offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QString::number(magnitude / 3600);
    const int minutes = (magnitude % 3600) / 60;
    if (minutes != 0)
        text += QStringLiteral(":%1").arg(minutes, 2, 10, QLatin1Char('0'));
    return text;
}

QMap<QString, QString> DefaultSignalPayload::calendarParameters(
    const QDateTime& now, const QTimeZone& zone)
{
    const QDateTime local = now.toTimeZone(zone);
    const QDate date = local.date();
    const int dayOfWeek = date.dayOfWeek(); // Monday 1 ... Sunday 7
    return {
        { QStringLiteral("Beacon.Calendar.dayOfMonth"), QString::number(date.day()) },
        { QStringLiteral("Beacon.Calendar.dayOfWeek"), QString::number(dayOfWeek) },
        { QStringLiteral("Beacon.Calendar.dayOfYear"), QString::number(date.dayOfYear()) },
        { QStringLiteral("Beacon.Calendar.weekOfYear"), QString::number(date.weekNumber()) },
        { QStringLiteral("Beacon.Calendar.isWeekend"), boolText(dayOfWeek >= 6) },
        { QStringLiteral("Beacon.Calendar.monthOfYear"), QString::number(date.month()) },
        { QStringLiteral("Beacon.Calendar.quarterOfYear"),
            QString::number((date.month() + 2) / 3) },
        { QStringLiteral("Beacon.Calendar.hourOfDay"), QString::number(local.time().hour() + 1) },
    };
}

QString DefaultSignalPayload::region(const DeviceFacts& facts)
{
    if (facts.regionCode)
        return *facts.regionCode;
    return facts.localeIdentifier.split(separators()).last();
}

QString DefaultSignalPayload::appLanguage(const DeviceFacts& facts)
{
    if (facts.languageCode)
        return *facts.languageCode;
    return facts.localeIdentifier.split(separators()).first();
}

QString DefaultSignalPayload::preferredLanguage(const DeviceFacts& facts)
{
    const QString first = facts.preferredLanguages.isEmpty() ? QStringLiteral("zz-ZZ")
                                                             : facts.preferredLanguages.first();
    return first.split(separators()).first();
}

int DefaultSignalPayload::countISODatesOnOrAfter(
    const QStringList& dates, const QString& cutoffISODate)
{
    int count = 0;
    for (const QString& date : dates)
        if (date.compare(cutoffISODate) >= 0)
            ++count;
    return count;
}

QMap<QString, QString> DefaultSignalPayload::parameters()
{
    return parameters(
        DeviceFacts::current(), Clock::now(), Clock::timeZone(), SessionManager::shared());
}

QMap<QString, QString> DefaultSignalPayload::parameters(const DeviceFacts& facts,
    const QDateTime& now, const QTimeZone& zone, const SessionManager& sessions)
{
    const QString os = facts.operatingSystem;
    const QString major = QString::number(facts.majorVersion);
    const QString majorMinor = major + QLatin1Char('.') + QString::number(facts.minorVersion);
    const QString majorSystemVersion = os + QLatin1Char(' ') + major;
    const QString majorMinorSystemVersion = os + QLatin1Char(' ') + majorMinor;
    const QString systemVersion
        = majorMinorSystemVersion + QLatin1Char('.') + QString::number(facts.patchVersion);
    const QString appVersion = facts.appVersion.value_or(QStringLiteral("0"));
    const QString buildNumber = facts.buildNumber.value_or(QStringLiteral("0"));
    bool isTestFlight = false;
    if (facts.receiptPath)
        isTestFlight = facts.receiptPath->contains(QStringLiteral("sandboxReceipt"));
    const QString modelName = facts.hardwareModel.value_or(facts.machineName);
    const QString region = DefaultSignalPayload::region(facts);
    const QString language = appLanguage(facts);
    const QString preferred = preferredLanguage(facts);
    const QString zoneText = timeZoneText(zone.offsetFromUtc(now));
    const QString sdkVersion = QString::fromLatin1(telemetryClientVersion);

    QMap<QString, QString> result = {
        { QStringLiteral("platform"), os },
        { QStringLiteral("systemVersion"), systemVersion },
        { QStringLiteral("majorSystemVersion"), majorSystemVersion },
        { QStringLiteral("majorMinorSystemVersion"), majorMinorSystemVersion },
        { QStringLiteral("appVersion"), appVersion },
        { QStringLiteral("buildNumber"), buildNumber },
        { QStringLiteral("isSimulator"), QStringLiteral("false") },
        { QStringLiteral("isDebug"), QStringLiteral("false") },
        { QStringLiteral("isTestFlight"), boolText(isTestFlight) },
        { QStringLiteral("isAppStore"), boolText(!isTestFlight) },
        { QStringLiteral("modelName"), modelName },
        { QStringLiteral("architecture"), facts.architecture },
        { QStringLiteral("operatingSystem"), os },
        { QStringLiteral("targetEnvironment"), QStringLiteral("native") },
        { QStringLiteral("locale"), facts.localeIdentifier },
        { QStringLiteral("region"), region },
        { QStringLiteral("appLanguage"), language },
        { QStringLiteral("preferredLanguage"), preferred },
        { QStringLiteral("telemetryClientVersion"), sdkVersion },
        { QStringLiteral("Beacon.AppInfo.buildNumber"), buildNumber },
        { QStringLiteral("Beacon.AppInfo.version"), appVersion },
        { QStringLiteral("Beacon.AppInfo.versionAndBuildNumber"),
            appVersion + QStringLiteral(" (build ") + buildNumber + QLatin1Char(')') },
        { QStringLiteral("Beacon.Device.architecture"), facts.architecture },
        { QStringLiteral("Beacon.Device.modelName"), modelName },
        { QStringLiteral("Beacon.Device.operatingSystem"), os },
        { QStringLiteral("Beacon.Device.orientation"), QStringLiteral("Fixed") },
        { QStringLiteral("Beacon.Device.platform"), os },
        { QStringLiteral("Beacon.Device.screenResolutionHeight"), orNA(facts.screenHeight) },
        { QStringLiteral("Beacon.Device.screenResolutionWidth"), orNA(facts.screenWidth) },
        { QStringLiteral("Beacon.Device.screenScaleFactor"), orNA(facts.screenScaleFactor) },
        { QStringLiteral("Beacon.Device.systemMajorMinorVersion"), majorMinorSystemVersion },
        { QStringLiteral("Beacon.Device.systemMajorVersion"), majorSystemVersion },
        { QStringLiteral("Beacon.Device.systemVersion"), systemVersion },
        { QStringLiteral("Beacon.Device.timeZone"), zoneText },
        { QStringLiteral("Beacon.RunContext.isAppStore"), boolText(!isTestFlight) },
        { QStringLiteral("Beacon.RunContext.isDebug"), QStringLiteral("false") },
        { QStringLiteral("Beacon.RunContext.isSimulator"), QStringLiteral("false") },
        { QStringLiteral("Beacon.RunContext.isTestFlight"), boolText(isTestFlight) },
        { QStringLiteral("Beacon.RunContext.language"), language },
        { QStringLiteral("Beacon.RunContext.locale"), facts.localeIdentifier },
        { QStringLiteral("Beacon.RunContext.targetEnvironment"), QStringLiteral("native") },
        { QStringLiteral("Beacon.SDK.name"), QStringLiteral("CppSDK") },
        { QStringLiteral("Beacon.SDK.nameAndVersion"), QStringLiteral("CppSDK ") + sdkVersion },
        { QStringLiteral("Beacon.SDK.version"), sdkVersion },
        { QStringLiteral("Beacon.UserPreference.colorScheme"), facts.colorScheme },
        { QStringLiteral("Beacon.UserPreference.language"), preferred },
        { QStringLiteral("Beacon.UserPreference.layoutDirection"), facts.layoutDirection },
        { QStringLiteral("Beacon.UserPreference.region"), region },
    };

    if (facts.accessibility) {
        result.insert(QStringLiteral("Beacon.Accessibility.isReduceMotionEnabled"),
            boolText(facts.accessibility->value(QStringLiteral("reduceMotion"))));
        result.insert(QStringLiteral("Beacon.Accessibility.isInvertColorsEnabled"),
            boolText(facts.accessibility->value(QStringLiteral("InvertColors"))));
    }
    result.insert(calendarParameters(now, zone));
    if (facts.extensionIdentifier) {
        result.insert(QStringLiteral("extensionIdentifier"), *facts.extensionIdentifier);
        result.insert(
            QStringLiteral("Beacon.RunContext.extensionIdentifier"), *facts.extensionIdentifier);
    }

    const QStringList days = sessions.distinctDaysUsed();
    const QString cutoff
        = now.addSecs(-2592000).toTimeZone(QTimeZone::utc()).date().toString(Qt::ISODate);
    result.insert(QStringLiteral("Beacon.Acquisition.firstSessionDate"),
        sessions.storedFirstSessionDate().value_or(
            now.toTimeZone(zone).date().toString(Qt::ISODate)));
    result.insert(QStringLiteral("Beacon.Retention.averageSessionSeconds"),
        QString::number(sessions.averageSessionSeconds()));
    result.insert(
        QStringLiteral("Beacon.Retention.distinctDaysUsed"), QString::number(days.size()));
    result.insert(QStringLiteral("Beacon.Retention.distinctDaysUsedLastMonth"),
        QString::number(countISODatesOnOrAfter(days, cutoff)));
    result.insert(QStringLiteral("Beacon.Retention.totalSessionsCount"),
        QString::number(sessions.totalSessionsCount()));
    if (const std::optional<qint64> previous = sessions.previousSessionSeconds())
        result.insert(
            QStringLiteral("Beacon.Retention.previousSessionSeconds"), QString::number(*previous));
    return result;
}

} // namespace quillon
