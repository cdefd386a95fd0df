#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

#include <limits>
#include <map>

namespace quillon {

namespace {

Q_LOGGING_CATEGORY(lcDefaults, "quillon.defaults")

// Bytes and dates have no JSON type of their own; they are wrapped in a one-key object.
const QString kDataTag = QStringLiteral("$data");
const QString kDateTag = QStringLiteral("$date");

QString settingsFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("quillon"));
}

QString fileNameForSuite(const QString& name)
{
    QString safe;
    safe.reserve(name.size());
    for (QChar c : name)
        safe += (c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_') ? c : QChar(u'_');
    return safe + QStringLiteral(".json");
}

struct Registry
{
    QMutex mutex;
    std::map<QString, std::unique_ptr<UserDefaults>> suites;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

UserDefaults& UserDefaults::standard()
{
    return suite(QStringLiteral("standard"));
}

UserDefaults& UserDefaults::suite(const QString& name)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    auto& slot = r.suites[name];
    if (!slot)
        slot = std::make_unique<UserDefaults>(
            QDir(settingsFolder()).filePath(fileNameForSuite(name)));
    return *slot;
}

UserDefaults::UserDefaults(const QString& filePath)
    : m_filePath(filePath)
{
    load();
}

void UserDefaults::load()
{
    m_values = QJsonObject();
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qCWarning(lcDefaults) << "Ignoring unreadable settings file" << m_filePath
                              << error.errorString();
        return;
    }
    m_values = doc.object();
}

void UserDefaults::saveLocked()
{
    if (m_batches > 0) {
        m_unsaved = true;
        return;
    }
    m_unsaved = false;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastWriteError = file.errorString();
        qCWarning(lcDefaults) << "Cannot write settings" << m_filePath << m_lastWriteError;
        return;
    }
    file.write(QJsonDocument(m_values).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        m_lastWriteError = file.errorString();
        qCWarning(lcDefaults) << "Cannot write settings" << m_filePath << m_lastWriteError;
        return;
    }
    m_lastWriteError.clear();
}

UserDefaults::Batch::Batch(UserDefaults& defaults)
    : m_defaults(defaults)
{
    QMutexLocker lock(&m_defaults.m_mutex);
    ++m_defaults.m_batches;
}

UserDefaults::Batch::~Batch()
{
    QMutexLocker lock(&m_defaults.m_mutex);
    if (--m_defaults.m_batches == 0 && m_defaults.m_unsaved)
        m_defaults.saveLocked();
}

void UserDefaults::storeLocked(const QString& key, const QJsonValue& value)
{
    // The value the file already holds is not written again (a failed write is tried again).
    if (m_lastWriteError.isEmpty() && !m_unsaved && m_values.contains(key)
        && m_values.value(key) == value)
        return;
    m_values.insert(key, value);
    saveLocked();
}

bool UserDefaults::contains(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.contains(key);
}

void UserDefaults::remove(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    if (!m_values.contains(key))
        return;
    m_values.remove(key);
    saveLocked();
}

QStringList UserDefaults::keys() const
{
    QMutexLocker lock(&m_mutex);
    return m_values.keys();
}

void UserDefaults::setBool(const QString& key, bool value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, value);
}

void UserDefaults::setInt(const QString& key, qint64 value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, value);
}

void UserDefaults::setDouble(const QString& key, double value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, value);
}

void UserDefaults::setString(const QString& key, const QString& value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, value);
}

void UserDefaults::setStringList(const QString& key, const QStringList& value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, QJsonArray::fromStringList(value));
}

void UserDefaults::setData(const QString& key, const QByteArray& value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, QJsonObject { { kDataTag, QString::fromLatin1(value.toBase64()) } });
}

void UserDefaults::setDate(const QString& key, const QDateTime& value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, QJsonObject { { kDateTag, value.toUTC().toString(Qt::ISODateWithMs) } });
}

void UserDefaults::setJson(const QString& key, const QJsonValue& value)
{
    QMutexLocker lock(&m_mutex);
    storeLocked(key, value);
}

std::optional<bool> UserDefaults::boolValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

std::optional<qint64> UserDefaults::intValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isDouble())
        return std::nullopt;
    // Whole numbers are held exactly; others are cut toward zero, and a number no 64-bit integer
    // can hold (a hand-edited 1e300) reads as absent.
    const qint64 exact = v.toInteger(std::numeric_limits<qint64>::min());
    if (exact != std::numeric_limits<qint64>::min())
        return exact;
    const double d = v.toDouble();
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!(d >= -kLimit && d < kLimit))
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<double> UserDefaults::doubleValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

std::optional<QString> UserDefaults::stringValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<QStringList> UserDefaults::stringListValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            return std::nullopt;
        out << item.toString();
    }
    return out;
}

std::optional<QByteArray> UserDefaults::dataValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isObject() || !v.toObject().value(kDataTag).isString())
        return std::nullopt;
    return QByteArray::fromBase64(v.toObject().value(kDataTag).toString().toLatin1());
}

std::optional<QDateTime> UserDefaults::dateValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QJsonValue v = m_values.value(key);
    if (!v.isObject() || !v.toObject().value(kDateTag).isString())
        return std::nullopt;
    const QDateTime date
        = QDateTime::fromString(v.toObject().value(kDateTag).toString(), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QJsonValue UserDefaults::jsonValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.value(key);
}

QString UserDefaults::lastWriteError() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastWriteError;
}

} // namespace quillon
