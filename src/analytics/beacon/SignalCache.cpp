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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

// The whole content of a regular file. Anything else at the path (a FIFO, a device, a folder)
// is not read: opening without blocking and checking the type first means nothing can hang here.
std::optional<QByteArray> readRegularFile(const QString& path)
{
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {
    };
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.readAll();
}

// The texts of the elements of a JSON array, split at its top-level commas without judging them,
// so one element the JSON reader refuses (a number out of range, say) costs only itself.
// Nothing when the text is not shaped like one array.
std::optional<QList<QByteArray>> arrayElementTexts(const QByteArray& text)
{
    QList<QByteArray> elements;
    int depth = 0;
    bool inString = false;
    qsizetype start = -1;
    bool closed = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (closed) {
            if (!QChar::isSpace(uchar(c)))
                return std::nullopt;
            continue;
        }
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth == 1 && c == '[')
                start = i + 1;
            else if (depth == 1)
                return std::nullopt;
        } else if (c == ']' || c == '}') {
            if (depth == 0)
                return std::nullopt;
            if (--depth == 0) {
                if (c != ']')
                    return std::nullopt;
                elements.append(text.mid(start, i - start));
                closed = true;
            }
        } else if (c == ',' && depth == 1) {
            elements.append(text.mid(start, i - start));
            start = i + 1;
        } else if (depth == 0 && !QChar::isSpace(uchar(c))) {
            return std::nullopt;
        }
    }
    if (!closed)
        return std::nullopt;
    if (elements.size() == 1 && elements.first().trimmed().isEmpty())
        elements.clear();
    return elements;
}

// The array's elements, each read on its own when the whole does not read; nothing when the text
// is no array at all. An element that cannot be read becomes an undefined value.
std::optional<QList<QJsonValue>> readArrayElements(const QByteArray& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (document.isArray()) {
        const QJsonArray array = document.array();
        return QList<QJsonValue>(array.begin(), array.end());
    }
    const std::optional<QList<QByteArray>> parts = arrayElementTexts(text);
    if (!parts)
        return std::nullopt;
    QList<QJsonValue> values;
    for (const QByteArray& part : *parts) {
        const QJsonDocument one = QJsonDocument::fromJson('[' + part + ']');
        values.append(one.isArray() && one.array().size() == 1 ? one.array().first()
                                                               : QJsonValue(QJsonValue::Undefined));
    }
    return values;
}

} // namespace

SignalCache::SignalCache(
    std::optional<LogHandler> logHandler, int cacheLimit, const QString& filePath)
    : m_logHandler(std::move(logHandler))
    , m_cacheLimit(std::max(cacheLimit, 0))
    , m_filePath(filePath.isEmpty() ? defaultFilePath() : filePath)
{
    m_loader = std::jthread([this] {
        {
            QWriteLocker lock(&m_lock);
            loadFromDiskLocked();
        }
        m_loaded.count_down();
    });
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
    m_loaded.wait();
    QWriteLocker lock(&m_lock);
    m_cachedSignals.append(signal);
    trimToCacheLimitLocked();
}

void SignalCache::push(const QList<SignalPostBody>& signals)
{
    m_loaded.wait();
    QWriteLocker lock(&m_lock);
    m_cachedSignals.append(signals);
    trimToCacheLimitLocked();
}

QList<SignalPostBody> SignalCache::pop()
{
    m_loaded.wait();
    QWriteLocker lock(&m_lock);
    const qsizetype n
        = std::min<qsizetype>(m_cachedSignals.size(), maximumNumberOfSignalsToPopAtOnce);
    QList<SignalPostBody> batch = m_cachedSignals.mid(0, n);
    m_cachedSignals.remove(0, n);
    return batch;
}

int SignalCache::count() const
{
    m_loaded.wait();
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
    const std::optional<QByteArray> data = readRegularFile(m_filePath);
    if (!data)
        return;
    QFile::remove(m_filePath);

    const std::optional<QList<QJsonValue>> elements = readArrayElements(*data);
    if (!elements)
        return;
    QList<SignalPostBody> loaded;
    int unreadable = 0;
    for (const QJsonValue& element : *elements) {
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
    m_loaded.wait();
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
