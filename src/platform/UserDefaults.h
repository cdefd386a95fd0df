#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace quillon {

// Typed key-value settings, one JSON file per suite under $XDG_CONFIG_HOME/quillon/.
// Every set writes the whole suite atomically, so a crash never leaves half a file.
// Values keep their type: bool, number, string, array, data (bytes) and date.
// Thread-safe; the standard suite and named suites are process-wide objects.
class UserDefaults
{
public:
    // The program's own settings ("editorFontSize", "recentEntities", ...).
    static UserDefaults& standard();
    // A named suite, e.g. the analytics client's statistics. Created on first use.
    static UserDefaults& suite(const QString& name);

    explicit UserDefaults(const QString& filePath);

    QString filePath() const { return m_filePath; }

    bool contains(const QString& key) const;
    void remove(const QString& key);
    // Keys currently stored, in no particular order.
    QStringList keys() const;

    void setBool(const QString& key, bool value);
    void setInt(const QString& key, qint64 value);
    void setDouble(const QString& key, double value);
    void setString(const QString& key, const QString& value);
    void setStringList(const QString& key, const QStringList& value);
    void setData(const QString& key, const QByteArray& value);
    void setDate(const QString& key, const QDateTime& value);
    // Any JSON value (arrays of objects, dictionaries) stored as is.
    void setJson(const QString& key, const QJsonValue& value);

    // Each getter returns nullopt when the key is absent or holds a value of another type.
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> intValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QStringList> stringListValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    std::optional<QDateTime> dateValue(const QString& key) const;
    QJsonValue jsonValue(const QString& key) const; // Undefined when absent

    // The reason the last write failed, empty when it succeeded.
    QString lastWriteError() const;

    // Holds the suite's writes back while it lives and writes once as it ends, if anything
    // changed: for several values set together, each of which would write the whole suite.
    class Batch
    {
    public:
        explicit Batch(UserDefaults& defaults);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        UserDefaults& m_defaults;
    };

private:
    void load();
    void storeLocked(const QString& key, const QJsonValue& value);
    void saveLocked();

    QString m_filePath;
    mutable QMutex m_mutex;
    QJsonObject m_values;
    QString m_lastWriteError;
    int m_batches = 0; // batches under way: writes wait for the last to end
    bool m_unsaved = false;
};

} // namespace quillon
