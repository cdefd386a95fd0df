#pragma once

#include "git/GitStatusResult.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>

namespace quillon {

// Pure readers of what git printed. Each takes the captured bytes of one run.
namespace GitOutputParser {

// `git status --porcelain=v1 -b -z`: NUL-terminated records, paths verbatim. Paths that are not
// valid UTF-8 are still counted (with replacement characters), never dropped.
GitStatusResult parseStatus(const QByteArray& output);

// Fills the branch fields of `result` from a branch line without its leading "## ".
void parseBranchLine(QByteArrayView line, GitStatusResult& result);

// `git symbolic-ref --short -q HEAD` or `git rev-parse --abbrev-ref HEAD`: the trimmed name, or
// "main" when git named none (detached head, failure).
QString parseBranchName(const QByteArray& output);

// `git config --get remote.origin.url`: the trimmed address, none when empty.
std::optional<QString> parseRemoteURL(const QByteArray& output);

// `git rev-parse --is-inside-work-tree`.
bool parseIsInsideWorkTree(const QByteArray& output);

// `git ls-files -u -z`: the index stages (1 base, 2 ours, 3 theirs) listed.
QSet<int> parseUnmergedStages(const QByteArray& output);

// Whether git's standard error (printed under LC_ALL=C) says the remote refused the credentials,
// as opposed to any other failure of a network command.
bool isAuthenticationFailure(const QString& stderrText);

} // namespace GitOutputParser

} // namespace quillon
