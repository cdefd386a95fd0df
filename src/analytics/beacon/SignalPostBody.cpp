#include "analytics/beacon/SignalPostBody.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <cmath>

namespace quillon {

namespace {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of cached dates.
constexpr qint64 kReferenceDateOffsetMs = 978307200000LL;

QJsonObject baseObject(const SignalPostBody& body)
{
    QJsonObject object;
    object.insert(QStringLiteral("appID"), body.appID);
    object.insert(QStringLiteral("clientUser"), body.clientUser);
    object.insert(QStringLiteral("sessionID"), body.sessionID);
    object.insert(QStringLiteral("type"), body.type);
    if (body.floatValue)
        object.insert(QStringLiteral("floatValue"), *body.floatValue);
    QJsonObject payload;
    for (auto it = body.payload.cbegin(); it != body.payload.cend(); ++it)
        payload.insert(it.key(), it.value());
    object.insert(QStringLiteral("payload"), payload);
    object.insert(QStringLiteral("isTestMode"), body.isTestMode);
    return object;
}

// One JSON value in compact form (QJsonDocument only writes arrays and objects).
QByteArray compactValue(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// The record with its members in their declared order; QJsonObject would sort them by name.
QByteArray wireRecord(const SignalPostBody& body)
{
    const QJsonObject object = body.toWireJson();
    QByteArray out = "{";
    for (const char* key : { "receivedAt", "appID", "clientUser", "sessionID", "type", "floatValue",
             "payload", "isTestMode" }) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            continue;
        if (out.size() > 1)
            out += ',';
        out += '"';
        out += key;
        out += "\":";
        out += compactValue(value);
    }
    out += '}';
    return out;
}

} // namespace

QJsonObject SignalPostBody::toWireJson() const
{
    QJsonObject object = baseObject(*this);
    const QDateTime utc = receivedAt.toTimeZone(QTimeZone::utc());
    object.insert(QStringLiteral("receivedAt"),
        utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QStringLiteral("+0000"));
    return object;
}

QJsonObject SignalPostBody::toCacheJson() const
{
    QJsonObject object = baseObject(*this);
    object.insert(QStringLiteral("receivedAt"),
        double(receivedAt.toMSecsSinceEpoch() - kReferenceDateOffsetMs) / 1000.0);
    return object;
}

std::optional<SignalPostBody> SignalPostBody::fromCacheJson(const QJsonObject& object)
{
    const auto text = [&](const char* key, QString* out) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isString())
            return false;
        *out = value.toString();
        return true;
    };
    SignalPostBody body;
    const QJsonValue receivedAt = object.value(QStringLiteral("receivedAt"));
    // Far beyond any real date (about 126 million years), and far inside what milliseconds in
    // 64 bits can hold once the epoch offset is added.
    constexpr double kLatestMs = 4.0e18;
    const double ms = receivedAt.toDouble() * 1000.0;
    if (!receivedAt.isDouble() || !(std::fabs(ms) <= kLatestMs))
        return std::nullopt;
    body.receivedAt = QDateTime::fromMSecsSinceEpoch(
        qint64(std::llround(ms)) + kReferenceDateOffsetMs, QTimeZone::utc());
    if (!text("appID", &body.appID) || !text("clientUser", &body.clientUser)
        || !text("sessionID", &body.sessionID) || !text("type", &body.type)
        || !text("isTestMode", &body.isTestMode))
        return std::nullopt;
    const QJsonValue floatValue = object.value(QStringLiteral("floatValue"));
    if (floatValue.isDouble())
        body.floatValue = floatValue.toDouble();
    else if (!floatValue.isUndefined() && !floatValue.isNull())
        return std::nullopt;
    const QJsonValue payload = object.value(QStringLiteral("payload"));
    if (!payload.isObject())
        return std::nullopt;
    const QJsonObject members = payload.toObject();
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        body.payload.insert(it.key(), it.value().toString());
    }
    return body;
}

std::optional<QByteArray> SignalPostBody::encodeBatch(
    const QList<SignalPostBody>& batch, QString* error)
{
    QByteArray out = "[";
    for (const SignalPostBody& body : batch) {
        if (body.floatValue && !std::isfinite(*body.floatValue)) {
            if (error)
                *error = QStringLiteral("Float value of signal '%1' is not a finite number")
                             .arg(body.type);
            return std::nullopt;
        }
        if (out.size() > 1)
            out += ',';
        out += wireRecord(body);
    }
    out += ']';
    return out;
}

QString SignalPostBody::description() const
{
    return QString::fromUtf8(QJsonDocument(toWireJson()).toJson(QJsonDocument::Compact));
}

} // namespace quillon
