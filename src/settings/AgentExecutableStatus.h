#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace quillon {

class AgentProcessBridge;

// Whether the assistant can find its agent: the executable the chosen engine would run, and what
// is wrong with a custom path that cannot stand in for it.
struct AgentExecutableStatus
{
    std::optional<QString> executable;
    QString customPathProblem; // empty when the custom path is unset or usable

    bool found() const { return executable.has_value(); }
    // "Binary Found: <path>" or the not-found text.
    QString text() const;

    // Resolves now (this may run /usr/bin/which, bounded by its time-out).
    static AgentExecutableStatus of(const AgentProcessBridge& bridge);
};

// Keeps an AgentExecutableStatus current: resolved when made, again at once when the engine
// changes, and shortly after the custom path stops changing, so typing a path runs no lookup per
// key and painting runs none at all.
class AgentExecutableStatusWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int pathSettleMs = 300;

    explicit AgentExecutableStatusWatcher(
        const AgentProcessBridge& bridge, QObject* parent = nullptr);

    const AgentExecutableStatus& status() const { return m_status; }
    int resolveCount() const { return m_resolveCount; }

Q_SIGNALS:
    void statusChanged();

private:
    void resolve();

    const AgentProcessBridge& m_bridge;
    AgentExecutableStatus m_status;
    QTimer m_pathSettle;
    int m_resolveCount = 0;
};

} // namespace quillon
