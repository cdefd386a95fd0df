#pragma once

#include "support/TestSupport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillon::test {

// Runs the real git for test set-up (not through the code under test); fails the test on error.
QByteArray gitOk(const QString& folder, const QStringList& arguments);
// Runs git and returns its exit code.
int gitRun(const QString& folder, const QStringList& arguments, QByteArray* output = nullptr);

// Gives the test HOME a git identity and "main" as the first branch name.
void ensureGitIdentity();

// The processes of this program's process groups, read from /proc (zombies left out): what a
// process group that git runs in still holds.
struct ProcessInfo
{
    qint64 pid = 0;
    qint64 parent = 0;
    qint64 group = 0;
    QString command;
};
QList<ProcessInfo> liveProcesses();
// Commands of the live processes of `group`.
QStringList liveCommandsOfGroup(qint64 group);
// The groups led by a child of this program whose command is `command` ("git").
QList<qint64> childGroupsRunning(const QString& command);

// A bare remote and two clones of it ("alice" and "bob"), with one commit on main pushed.
class GitRemoteFixture
{
public:
    GitRemoteFixture();
    QString remote() const { return m_root.filePath(QStringLiteral("remote.git")); }
    QString alice() const { return m_root.filePath(QStringLiteral("alice")); }
    QString bob() const { return m_root.filePath(QStringLiteral("bob")); }
    QString root() const { return m_root.path(); }

    void write(const QString& clone, const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& clone, const QString& relative) const;
    // Stages everything, commits and pushes.
    void commitAndPush(const QString& clone, const QString& message) const;

private:
    TempTree m_root;
};

} // namespace quillon::test
