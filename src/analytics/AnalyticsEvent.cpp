#include "analytics/AnalyticsEvent.h"

namespace quillon {

QString AnalyticsEvent::name() const
{
    switch (m_kind) {
    case Kind::DocumentOpened:
        return QStringLiteral("Document.opened");
    case Kind::TemplateUsed:
        return QStringLiteral("Template.used");
    case Kind::GitSyncExecuted:
        return QStringLiteral("Git.syncExecuted");
    case Kind::AgentTaskTriggered:
        return QStringLiteral("Agent.taskTriggered");
    case Kind::SearchExecuted:
        return QStringLiteral("Search.executed");
    case Kind::ExportExecuted:
        return QStringLiteral("Export.executed");
    case Kind::SettingsTabOpened:
        return QStringLiteral("Settings.tabOpened");
    case Kind::AppLaunched:
        return QStringLiteral("App.launched");
    case Kind::DocumentCreated:
        return QStringLiteral("Document.created");
    }
    return {};
}

QMap<QString, QString> AnalyticsEvent::params() const
{
    switch (m_kind) {
    case Kind::DocumentOpened:
        return { { QStringLiteral("source"), m_payload } };
    case Kind::TemplateUsed:
        return { { QStringLiteral("template_name"), m_payload } };
    case Kind::GitSyncExecuted:
        return { { QStringLiteral("action"), m_payload } };
    case Kind::AgentTaskTriggered:
        return { { QStringLiteral("command"), m_payload } };
    case Kind::SearchExecuted:
        return { { QStringLiteral("query_length"), m_payload } };
    case Kind::ExportExecuted:
        return { { QStringLiteral("format"), m_payload } };
    case Kind::SettingsTabOpened:
        return { { QStringLiteral("tab"), m_payload } };
    case Kind::AppLaunched:
    case Kind::DocumentCreated:
        return {};
    }
    return {};
}

} // namespace quillon
