#pragma once

#include "git/GitError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quillon {

// One run of git: its arguments, working folder and the settings it gets through the environment.
struct GitInvocation
{
    QStringList arguments;
    // Empty: the program's current folder.
    QString workingDirectory;
    // Configuration given to this run only, through GIT_CONFIG_COUNT/KEY_n/VALUE_n, so that
    // secrets never appear on a command line.
    QList<QPair<QString, QString>> config;
    // For read-only runs (status) that must not take the index lock from the user's own git.
    bool noOptionalLocks = false;
    // Longest time the run may take before it is stopped; 0 waits for as long as git runs.
    int timeoutMs = 0;
};

// What one run produced.
struct GitRunResult
{
    bool started = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    // Why git could not be started, when it could not.
    QString launchError;
    // The run exceeded its time limit and was stopped; `standardError` says so.
    bool timedOut = false;

    bool succeeded() const { return started && exitCode == 0; }
    // The failure of a run that did not succeed: processFailed, or launchFailed.
    GitError error() const;
};

} // namespace quillon
