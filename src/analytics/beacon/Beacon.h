#pragma once

#include <QMap>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

class TelemetryManagerConfiguration;
class UserDefaults;

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

    // The client's settings suite, named from the application identifier; null while no
    // manager is installed.
    static UserDefaults* customDefaults();

    static const QSet<QString>& reservedKeysLowercased();
    // Prefix of the client's queue labels and settings suite name; ends with a dot.
    static QString reverseDNSPrefix();

    // Keys that do not begin with "Beacon." get the prefix (when set).
    static Parameters prefixedKeys(
        const Parameters& parameters, const std::optional<QString>& prefix);
};

} // namespace quillon
