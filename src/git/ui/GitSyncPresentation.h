#pragma once

#include "workspace/GitSyncState.h"

#include <QColor>
#include <QDateTime>
#include <QString>

namespace quillon {

// What the sync pill shows for a git state, and what a click on it does. Pure: the widget paints
// the result and forwards the action.
struct GitSyncPresentation
{
    enum class Action {
        Sync,
        ActivateGit,
        OpenConnectDialog,
        OpenConflictDialog,
        ShowInstallHelp,
        None
    };

    QColor dotColor;
    QString title;
    // Empty: no detail is shown.
    QString detail;
    // A spinner stands in for the dot.
    bool spinner = false;
    Action action = Action::None;

    bool operator==(const GitSyncPresentation&) const = default;

    static GitSyncPresentation of(const GitSyncState& state, bool darkMode,
        const QDateTime& now = QDateTime::currentDateTime());

    // "Just now" under a minute (also for a moment in the future), then "<m>m ago" and, from an
    // hour on, "<h>h ago" without rolling hours into days.
    static QString timeAgoString(const QDateTime& from, const QDateTime& now);

    // The command that installs git, and the texts of the alert that offers it.
    static QString installCommand();
    static QString installAlertTitle();
    static QString installAlertMessage();
};

} // namespace quillon
