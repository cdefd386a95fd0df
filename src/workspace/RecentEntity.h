#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace quillon {

// A recently opened file or folder, as the start page and the sidebar list it.
struct RecentEntity
{
    QUuid id;
    QString url; // absolute standardized path
    bool isDirectory = false;
    QDateTime lastOpened;

    static RecentEntity make(const QString& url, bool isDirectory);

    // The stored JSON array: keys "id", "url" (a file URL), "isDirectory" and "lastOpened"
    // (seconds since 2001-01-01 00:00:00 UTC).
    static QByteArray encodeList(const QList<RecentEntity>& entities);
    // nullopt when the data is not such an array or any record lacks a key or has a wrong type.
    static std::optional<QList<RecentEntity>> decodeList(const QByteArray& data);

    bool operator==(const RecentEntity&) const = default;
};

} // namespace quillon
