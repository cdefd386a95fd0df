#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillon {

// What the default signal parameters need to know about the machine, the running program and
// the user's preferences. current() reads them from the system (call it on the main thread);
// tests fill one in by hand.
struct DeviceFacts
{
    QString operatingSystem; // "Linux"
    int majorVersion = 0; // of the kernel release, e.g. 6 of 6.1.0-18-amd64
    int minorVersion = 0;
    int patchVersion = 0;
    QString architecture; // "x86_64", "arm64"
    std::optional<QString> hardwareModel; // the DMI product name or device-tree model
    QString machineName; // uname's machine field, used without a hardware model
    std::optional<QString> appVersion;
    std::optional<QString> buildNumber;
    std::optional<QString> receiptPath; // where a store receipt would live; none here
    QString localeIdentifier; // "en_US"
    std::optional<QString> regionCode;
    std::optional<QString> languageCode;
    QStringList preferredLanguages;
    QString colorScheme = QStringLiteral("N/A"); // "Light", "Dark" or "N/A"
    std::optional<double> screenHeight;
    std::optional<double> screenWidth;
    std::optional<double> screenScaleFactor;
    QString layoutDirection = QStringLiteral("N/A"); // "leftToRight", "rightToLeft" or "N/A"
    std::optional<QString> extensionIdentifier;
    // Present when the system exposes accessibility display settings.
    std::optional<QMap<QString, bool>> accessibility;

    static DeviceFacts current();
    // The first NUL-terminated piece of a model file's bytes, trimmed; none when empty.
    static std::optional<QString> modelFromBytes(const QByteArray& bytes);
};

} // namespace quillon
