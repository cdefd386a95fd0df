#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

#include "analytics/AnalyticsEvent.h"

namespace quillon {

// The application's entry to usage analytics: starts the analytics client once and turns each
// application event into one signal, unless the user opted out ("telemetryOptOut").
class AnalyticsManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool telemetryOptOut READ telemetryOptOut WRITE setTelemetryOptOut NOTIFY
            telemetryOptOutChanged)

public:
    static AnalyticsManager& shared();

    // Starts the analytics client once; later calls do nothing. An empty argument keeps the
    // built-in application identifier.
    void configure(const QString& appID = {});
    // Sends one event unless the user opted out. Safe from any thread; returns at once.
    void track(const AnalyticsEvent& event);

    bool telemetryOptOut() const;
    void setTelemetryOptOut(bool optOut);

    QString appID() const;
    bool isConfigured() const;

    // The textual form of a parameter dictionary used in log lines: ["source": "md"], [:].
    static QString describeParams(const QMap<QString, QString>& params);

Q_SIGNALS:
    void telemetryOptOutChanged();

private:
    AnalyticsManager();
    void applyOptOutToClient(bool optOut);

    mutable QMutex m_mutex;
    QString m_appID;
    bool m_isConfigured = false;
};

} // namespace quillon
