#pragma once

#include "git/GitError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

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
    // Pathspecs are read literally, unless the run's pathspecs are all the program's own and
    // use magic (an exclusion). Paths from the user never go into such a run.
    bool pathspecMagic = false;
    // Longest time the run may take before it is stopped; 0 waits for as long as git runs.
    int timeoutMs = 0;
    // Set by the user to stop the run (a clone the user cancelled); checked while git runs.
    std::shared_ptr<const std::atomic<bool>> cancelled;
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
    // The run was stopped because the user cancelled it.
    bool cancelled = false;

    bool succeeded() const { return started && exitCode == 0; }
    // The failure of a run that did not succeed: processFailed, or launchFailed.
    GitError error() const;
};

} // namespace quillon
