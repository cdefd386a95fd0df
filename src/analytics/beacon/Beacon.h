#pragma once

#include <QMap>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

class IdentifiableError;
class TelemetryManagerConfiguration;
class UserDefaults;
struct StoreTransaction;
enum class ErrorCategory;

// The public entry of the analytics client. Every call is a no-op while no manager is installed.
class Beacon
{
public:
    using Parameters = QMap<QString, QString>;

    static void initialize(std::shared_ptr<TelemetryManagerConfiguration> config);
    static void terminate();

    // A signal of the application: prefixes applied, reserved names warned about.
    static void signal(const QString& name, const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);
    // A signal of the client itself, sent under its name exactly as given.
    static void internalSignal(const QString& name, const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);

    static void requestImmediateSync();
    static void updateDefaultUserID(const std::optional<QString>& user);
    static void generateNewSession();

    // Duration signals: the elapsed seconds go out under "Beacon.Signal.durationInSeconds".
    static void startDurationSignal(
        const QString& name, const Parameters& parameters = {}, bool includeBackgroundTime = false);
    static void cancelDurationSignal(const QString& name);
    static void stopAndSendDurationSignal(const QString& name, const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);
    // Seconds rounded down to milliseconds, e.g. "1.234", "2.0".
    static QString durationText(double seconds);

    // Presets, sent under their own names and keys; the caller's parameters win on a clash.
    static void acquiredUser(const QString& channel, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void leadStarted(const QString& leadID, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void leadConverted(const QString& leadID, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void onboardingCompleted(const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void coreFeatureUsed(const QString& featureName, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void referralSent(qint64 receiversCount,
        const std::optional<QString>& kind = std::nullopt, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    // Ratings outside 0...10 are not sent; the problem is logged.
    static void userRatingSubmitted(qint64 rating,
        const std::optional<QString>& comment = std::nullopt, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);
    static void paywallShown(const QString& reason, const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);

    static void errorOccurred(const QString& id,
        std::optional<ErrorCategory> category = std::nullopt,
        const std::optional<QString>& message = std::nullopt, const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);
    // The message is the error's description.
    static void errorOccurred(const IdentifiableError& error, ErrorCategory category,
        const Parameters& parameters = {}, std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);
    static void errorOccurred(const IdentifiableError& error, ErrorCategory category,
        const std::optional<QString>& message, const Parameters& parameters = {},
        std::optional<double> floatValue = std::nullopt,
        const std::optional<QString>& customUserID = std::nullopt);

    static void navigationPathChanged(const QString& from, const QString& to,
        const std::optional<QString>& customUserID = std::nullopt);
    // From the last destination (empty when none).
    static void navigationPathChanged(
        const QString& to, const std::optional<QString>& customUserID = std::nullopt);
    static void navigate(const QString& from, const QString& to,
        const std::optional<QString>& customUserID = std::nullopt);
    static void navigate(
        const QString& to, const std::optional<QString>& customUserID = std::nullopt);

    // A completed store purchase: a free trial start (also handed to the trial tracker) or a
    // paid purchase with its price in US dollars.
    static void purchaseCompleted(const StoreTransaction& transaction,
        const Parameters& parameters = {},
        const std::optional<QString>& customUserID = std::nullopt);

    // The client's settings suite, named from the application identifier; null while no
    // manager is installed.
    static UserDefaults* customDefaults();

    static const QSet<QString>& reservedKeysLowercased();
    // Prefix of the client's queue labels and settings suite name; ends with a dot.
    static QString reverseDNSPrefix();

    // Keys that do not begin with "Beacon." get the prefix (when set).
    static Parameters prefixedKeys(
        const Parameters& parameters, const std::optional<QString>& prefix);

private:
    static void sendNavigation(
        const QString& from, const QString& to, const std::optional<QString>& customUserID);
    static void reportFreeTrial(const StoreTransaction& transaction, const Parameters& parameters,
        const std::optional<QString>& customUserID);
    static void reportPaidPurchase(const StoreTransaction& transaction,
        const Parameters& parameters, const std::optional<QString>& customUserID);
};

} // namespace quillon
