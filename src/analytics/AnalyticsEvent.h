#pragma once

#include <QMap>
#include <QString>

namespace quillon {

// The application's own usage events. Each becomes one analytics signal with string parameters.
class AnalyticsEvent
{
public:
    enum class Kind {
        DocumentOpened,
        TemplateUsed,
        GitSyncExecuted,
        AgentTaskTriggered,
        SearchExecuted,
        ExportExecuted,
        SettingsTabOpened,
        AppLaunched,
        DocumentCreated,
    };

    static AnalyticsEvent documentOpened(const QString& source)
    {
        return { Kind::DocumentOpened, source };
    }
    static AnalyticsEvent templateUsed(const QString& name) { return { Kind::TemplateUsed, name }; }
    static AnalyticsEvent gitSyncExecuted(const QString& action)
    {
        return { Kind::GitSyncExecuted, action };
    }
    static AnalyticsEvent agentTaskTriggered(const QString& command)
    {
        return { Kind::AgentTaskTriggered, command };
    }
    static AnalyticsEvent searchExecuted(qint64 queryLength)
    {
        return { Kind::SearchExecuted, QString::number(queryLength) };
    }
    static AnalyticsEvent exportExecuted(const QString& format)
    {
        return { Kind::ExportExecuted, format };
    }
    static AnalyticsEvent settingsTabOpened(const QString& tab)
    {
        return { Kind::SettingsTabOpened, tab };
    }
    static AnalyticsEvent appLaunched() { return { Kind::AppLaunched, {} }; }
    static AnalyticsEvent documentCreated() { return { Kind::DocumentCreated, {} }; }

    Kind kind() const { return m_kind; }
    // The signal name, e.g. "Document.opened".
    QString name() const;
    // The signal parameters; empty for events without payload.
    QMap<QString, QString> params() const;

    bool operator==(const AnalyticsEvent&) const = default;

private:
    AnalyticsEvent(Kind kind, QString payload)
        : m_kind(kind)
        , m_payload(std::move(payload))
    {
    }

    Kind m_kind;
    QString m_payload;
};

} // namespace quillon
