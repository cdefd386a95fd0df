#pragma once

#include "git/GitError.h"

#include <QLoggingCategory>
#include <QString>

namespace quillon {

// The git integration's log lines ("quillon.git"): the reasons of git failures whose outcome the
// user sees only as a state (a sync error, a failed activation) or not at all.
Q_DECLARE_LOGGING_CATEGORY(lcGit)

// One warning line: what failed, in which folder, and why in git's own words.
void logGitFailure(const QString& what, const QString& folder, const QString& reason);
void logGitFailure(const QString& what, const QString& folder, const GitError& error);

} // namespace quillon
