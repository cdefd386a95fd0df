#include "analytics/beacon/Beacon.h"

#include "analytics/beacon/DefaultSignalPayload.h"
#include "analytics/beacon/DurationSignalTracker.h"
#include "analytics/beacon/ErrorCategory.h"
#include "analytics/beacon/IdentifiableError.h"
#include "analytics/beacon/NavigationStatus.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <cmath>

namespace quillon {

namespace {

// The preset's own parameters, with the caller's laid over them.
Beacon::Parameters merged(Beacon::Parameters own, const Beacon::Parameters& caller)
{
    for (auto it = caller.cbegin(); it != caller.cend(); ++it)
        own.insert(it.key(), it.value());
    return own;
}

} // namespace

QString rawValue(ErrorCategory category)
{
    switch (category) {
    case ErrorCategory::thrownException:
        return QStringLiteral("thrown-exception");
    case ErrorCategory::userInput:
        return QStringLiteral("user-input");
    case ErrorCategory::appState:
        return QStringLiteral("app-state");
    }
    return {};
}

std::optional<ErrorCategory> errorCategoryFromRawValue(const QString& raw)
{
    for (ErrorCategory category :
        { ErrorCategory::thrownException, ErrorCategory::userInput, ErrorCategory::appState })
        if (rawValue(category) == raw)
            return category;
    return std::nullopt;
}

NavigationStatus& NavigationStatus::shared()
{
    static NavigationStatus status;
    return status;
}

std::optional<QString> NavigationStatus::previousNavigationPath() const
{
    QMutexLocker lock(&m_mutex);
    return m_previousNavigationPath;
}

void NavigationStatus::setPreviousNavigationPath(const std::optional<QString>& path)
{
    QMutexLocker lock(&m_mutex);
    m_previousNavigationPath = path;
}

QString NavigationStatus::exchange(const QString& destination)
{
    QMutexLocker lock(&m_mutex);
    const QString previous = m_previousNavigationPath.value_or(QString());
    m_previousNavigationPath = destination;
    return previous;
}

void Beacon::startDurationSignal(
    const QString& name, const Parameters& parameters, bool includeBackgroundTime)
{
    DurationSignalTracker::shared().startTracking(name, parameters, includeBackgroundTime);
}

void Beacon::cancelDurationSignal(const QString& name)
{
    DurationSignalTracker::shared().stopTracking(name);
}

void Beacon::stopAndSendDurationSignal(const QString& name, const Parameters& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    const std::optional<DurationSignalTracker::Result> result
        = DurationSignalTracker::shared().stopTracking(name);
    if (!result)
        return;
    internalSignal(name,
        merged(merged({ { QStringLiteral("Beacon.Signal.durationInSeconds"),
                          durationText(result->duration) } },
                   result->parameters),
            parameters),
        floatValue, customUserID);
}

QString Beacon::durationText(double seconds)
{
    return DefaultSignalPayload::decimalText(std::floor(seconds * 1000.0) / 1000.0);
}

void Beacon::acquiredUser(const QString& channel, const Parameters& parameters,
    const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Acquisition.userAcquired"),
        merged({ { QStringLiteral("Beacon.Acquisition.channel"), channel } }, parameters),
        std::nullopt, customUserID);
}

void Beacon::leadStarted(
    const QString& leadID, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Acquisition.leadStarted"),
        merged({ { QStringLiteral("Beacon.Acquisition.leadID"), leadID } }, parameters),
        std::nullopt, customUserID);
}

void Beacon::leadConverted(
    const QString& leadID, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Acquisition.leadConverted"),
        merged({ { QStringLiteral("Beacon.Acquisition.leadID"), leadID } }, parameters),
        std::nullopt, customUserID);
}

void Beacon::onboardingCompleted(
    const Parameters& parameters, const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Activation.onboardingCompleted"), parameters,
        std::nullopt, customUserID);
}

void Beacon::coreFeatureUsed(const QString& featureName, const Parameters& parameters,
    const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Activation.coreFeatureUsed"),
        merged({ { QStringLiteral("Beacon.Activation.featureName"), featureName } }, parameters),
        std::nullopt, customUserID);
}

void Beacon::referralSent(qint64 receiversCount, const std::optional<QString>& kind,
    const Parameters& parameters, const std::optional<QString>& customUserID)
{
    Parameters own
        = { { QStringLiteral("Beacon.Referral.receiversCount"), QString::number(receiversCount) } };
    if (kind)
        own.insert(QStringLiteral("Beacon.Referral.kind"), *kind);
    internalSignal(QStringLiteral("Beacon.Referral.sent"), merged(own, parameters), std::nullopt,
        customUserID);
}

void Beacon::userRatingSubmitted(qint64 rating, const std::optional<QString>& comment,
    const Parameters& parameters, const std::optional<QString>& customUserID)
{
    if (rating < 0 || rating > 10) {
        if (const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared())
            manager->configuration()->log(
                LogHandler::LogLevel::error, QStringLiteral("Rating must be between 0 and 10"));
        return;
    }
    Parameters own = { { QStringLiteral("Beacon.Referral.ratingValue"), QString::number(rating) } };
    if (comment)
        own.insert(QStringLiteral("Beacon.Referral.ratingComment"), *comment);
    internalSignal(QStringLiteral("Beacon.Referral.userRatingSubmitted"), merged(own, parameters),
        std::nullopt, customUserID);
}

void Beacon::paywallShown(
    const QString& reason, const Parameters& parameters, const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Revenue.paywallShown"),
        merged({ { QStringLiteral("Beacon.Revenue.paywallShowReason"), reason } }, parameters),
        std::nullopt, customUserID);
}

void Beacon::errorOccurred(const QString& id, std::optional<ErrorCategory> category,
    const std::optional<QString>& message, const Parameters& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    Parameters own = { { QStringLiteral("Beacon.Error.id"), id } };
    if (category)
        own.insert(QStringLiteral("Beacon.Error.category"), rawValue(*category));
    if (message)
        own.insert(QStringLiteral("Beacon.Error.message"), *message);
    internalSignal(
        QStringLiteral("Beacon.Error.occurred"), merged(own, parameters), floatValue, customUserID);
}

void Beacon::errorOccurred(const IdentifiableError& error, ErrorCategory category,
    const Parameters& parameters, std::optional<double> floatValue,
    const std::optional<QString>& customUserID)
{
    errorOccurred(
        error.id(), category, error.localizedDescription(), parameters, floatValue, customUserID);
}

void Beacon::errorOccurred(const IdentifiableError& error, ErrorCategory category,
    const std::optional<QString>& message, const Parameters& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    errorOccurred(error.id(), category, message, parameters, floatValue, customUserID);
}

void Beacon::navigationPathChanged(
    const QString& from, const QString& to, const std::optional<QString>& customUserID)
{
    NavigationStatus::shared().setPreviousNavigationPath(to);
    sendNavigation(from, to, customUserID);
}

void Beacon::navigationPathChanged(const QString& to, const std::optional<QString>& customUserID)
{
    sendNavigation(NavigationStatus::shared().exchange(to), to, customUserID);
}

void Beacon::navigate(
    const QString& from, const QString& to, const std::optional<QString>& customUserID)
{
    navigationPathChanged(from, to, customUserID);
}

void Beacon::navigate(const QString& to, const std::optional<QString>& customUserID)
{
    navigationPathChanged(to, customUserID);
}

void Beacon::sendNavigation(
    const QString& from, const QString& to, const std::optional<QString>& customUserID)
{
    internalSignal(QStringLiteral("Beacon.Navigation.pathChanged"),
        { { QStringLiteral("Beacon.Navigation.schemaVersion"), QStringLiteral("1") },
            { QStringLiteral("Beacon.Navigation.identifier"), from + QStringLiteral(" -> ") + to },
            { QStringLiteral("Beacon.Navigation.sourcePath"), from },
            { QStringLiteral("Beacon.Navigation.destinationPath"), to } },
        std::nullopt, customUserID);
}

} // namespace quillon
