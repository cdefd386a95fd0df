#include "workspace/RecentEntity.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace quillon {

namespace {

// Dates are stored as seconds since the reference date 2001-01-01 00:00:00 UTC.
constexpr double kReferenceDateUnixSeconds = 978307200.0;

const QString kId = QStringLiteral("id");
const QString kUrl = QStringLiteral("url");
const QString kIsDirectory = QStringLiteral("isDirectory");
const QString kLastOpened = QStringLiteral("lastOpened");

} // namespace

RecentEntity RecentEntity::make(const QString& url, bool isDirectory)
{
    return { QUuid::createUuid(), url, isDirectory, QDateTime::currentDateTimeUtc() };
}

QByteArray RecentEntity::encodeList(const QList<RecentEntity>& entities)
{
    QJsonArray array;
    for (const RecentEntity& e : entities) {
        QJsonObject o;
        o.insert(kId, e.id.toString(QUuid::WithoutBraces).toUpper());
        o.insert(kUrl, QUrl::fromLocalFile(e.url).toString(QUrl::FullyEncoded));
        o.insert(kIsDirectory, e.isDirectory);
        o.insert(
            kLastOpened, e.lastOpened.toMSecsSinceEpoch() / 1000.0 - kReferenceDateUnixSeconds);
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<RecentEntity>> RecentEntity::decodeList(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<RecentEntity> result;
    for (const QJsonValue& value : doc.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject o = value.toObject();
        const QJsonValue id = o.value(kId), url = o.value(kUrl), dir = o.value(kIsDirectory),
                         opened = o.value(kLastOpened);
        if (!id.isString() || !url.isString() || !dir.isBool() || !opened.isDouble())
            return std::nullopt;
        const QUuid uuid = QUuid::fromString(id.toString());
        const QUrl fileUrl(url.toString(), QUrl::StrictMode);
        if (uuid.isNull() || !fileUrl.isValid() || !fileUrl.isLocalFile())
            return std::nullopt;
        QString path = fileUrl.toLocalFile();
        if (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        const double seconds = opened.toDouble() + kReferenceDateUnixSeconds;
        result.append({ uuid, path, dir.toBool(),
            QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0), Qt::UTC) });
    }
    return result;
}

} // namespace quillon
