#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace quillon {

// One analytics signal as it is sent and as it is cached.
struct SignalPostBody
{
    QDateTime receivedAt;
    QString appID;
    QString clientUser;
    QString sessionID;
    QString type;
    std::optional<double> floatValue;
    QMap<QString, QString> payload;
    QString isTestMode; // "true" or "false", always text

    bool operator==(const SignalPostBody& other) const = default;

    // The record as sent: receivedAt as "yyyy-MM-ddTHH:mm:ss+0000" in GMT.
    QJsonObject toWireJson() const;
    // The record as cached: receivedAt as seconds since 2001-01-01 UTC, with its fraction.
    QJsonObject toCacheJson() const;
    // Nothing when a required key is missing or has the wrong type.
    static std::optional<SignalPostBody> fromCacheJson(const QJsonObject& object);

    // The request body of one transmission: a compact JSON array of wire records. Fails (with
    // the reason in error) when a record carries a float value that is not finite.
    static std::optional<QByteArray> encodeBatch(
        const QList<SignalPostBody>& batch, QString* error = nullptr);

    QString description() const;
};

} // namespace quillon
