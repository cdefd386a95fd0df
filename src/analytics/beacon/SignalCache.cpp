#include "analytics/beacon/SignalCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace quillon {

SignalCache::SignalCache(
    std::optional<LogHandler> logHandler, int cacheLimit, const QString& filePath)
    : m_logHandler(std::move(logHandler))
    , m_cacheLimit(std::max(cacheLimit, 0))
    , m_filePath(filePath.isEmpty() ? defaultFilePath() : filePath)
{
    QWriteLocker lock(&m_lock);
    loadFromDiskLocked();
}

QString SignalCache::defaultFilePath()
{
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (caches.isEmpty())
        return {};
    return QDir(caches).filePath(QStringLiteral("quillon/telemetrysignalcache"));
}

void SignalCache::log(LogHandler::LogLevel level, const QString& message) const
{
    if (m_logHandler)
        m_logHandler->log(level, message);
}

void SignalCache::push(const SignalPostBody& signal)
{
    QWriteLocker lock(&m_lock);
    m_cachedSignals.append(signal);
    trimToCacheLimitLocked();
}

void SignalCache::push(const QList<SignalPostBody>& signals)
{
    QWriteLocker lock(&m_lock);
    m_cachedSignals.append(signals);
    trimToCacheLimitLocked();
}

QList<SignalPostBody> SignalCache::pop()
{
    QWriteLocker lock(&m_lock);
    const qsizetype n
        = std::min<qsizetype>(m_cachedSignals.size(), maximumNumberOfSignalsToPopAtOnce);
    QList<SignalPostBody> batch = m_cachedSignals.mid(0, n);
    m_cachedSignals.remove(0, n);
    return batch;
}

int SignalCache::count() const
{
    QReadLocker lock(&m_lock);
    return int(m_cachedSignals.size());
}

void SignalCache::trimToCacheLimitLocked()
{
    if (m_cachedSignals.size() > m_cacheLimit)
        m_cachedSignals.remove(0, m_cachedSignals.size() - m_cacheLimit);
}

void SignalCache::loadFromDiskLocked()
{
    if (m_filePath.isEmpty()) {
        log(LogHandler::LogLevel::error,
            QStringLiteral("Failed to get disk cache url from FileManager."));
        return;
    }
    log(LogHandler::LogLevel::info,
        QStringLiteral("Loading Telemetry cache from: ")
            + QUrl::fromLocalFile(m_filePath).toString());
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    file.close();
    QFile::remove(m_filePath);

    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isArray())
        return;
    QList<SignalPostBody> loaded;
    int unreadable = 0;
    for (const QJsonValue& element : document.array()) {
        const std::optional<SignalPostBody> body
            = element.isObject() ? SignalPostBody::fromCacheJson(element.toObject()) : std::nullopt;
        if (body)
            loaded.append(*body);
        else
            ++unreadable;
    }
    if (unreadable > 0)
        log(LogHandler::LogLevel::error,
            QStringLiteral("Skipped %1 unreadable cached signals").arg(unreadable));
    log(LogHandler::LogLevel::info, QStringLiteral("Loaded %1 signals").arg(loaded.size()));
    m_cachedSignals.append(loaded);
    trimToCacheLimitLocked();
}

void SignalCache::backupCache()
{
    QWriteLocker lock(&m_lock);
    QList<SignalPostBody> toSave = m_savedSignals + m_cachedSignals;
    if (toSave.size() > m_cacheLimit)
        toSave.remove(0, toSave.size() - m_cacheLimit);

    QJsonArray array;
    for (const SignalPostBody& body : std::as_const(toSave))
        array.append(body.toCacheJson());
    const QByteArray data = QJsonDocument(array).toJson(QJsonDocument::Compact);

    const auto fail = [this] {
        log(LogHandler::LogLevel::error, QStringLiteral("Error saving Telemetry cache"));
    };
    if (m_filePath.isEmpty())
        return fail();
    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return fail();
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return fail();

    log(LogHandler::LogLevel::info,
        QStringLiteral("Saved Telemetry cache %1 bytes of %2 signals")
            .arg(data.size())
            .arg(toSave.size()));
    m_savedSignals = toSave;
    m_cachedSignals.clear();
}

} // namespace quillon
