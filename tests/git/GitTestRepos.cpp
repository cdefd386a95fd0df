#include "git/GitTestRepos.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace quillon::test {

int gitRun(const QString& folder, const QStringList& arguments, QByteArray* output)
{
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/git"));
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    process.waitForFinished(-1);
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray gitOk(const QString& folder, const QStringList& arguments)
{
    QByteArray output;
    const int code = gitRun(folder, arguments, &output);
    EXPECT_EQ(code, 0) << "git " << arguments.join(' ').toStdString() << ": "
                       << output.toStdString();
    return output;
}

void ensureGitIdentity()
{
    const QString path = QDir::homePath() + QStringLiteral("/.gitconfig");
    if (QFileInfo::exists(path))
        return;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[user]\n\tname = Quillon Test\n\temail = test@quillon.invalid\n"
               "[init]\n\tdefaultBranch = main\n"
               "[advice]\n\tdetachedHead = false\n");
}

QList<ProcessInfo> liveProcesses()
{
    QList<ProcessInfo> processes;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (command) state parent group ...": the command may hold spaces and parentheses.
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() < 3 || fields[0] == "Z" || fields[0] == "X")
            continue;
        processes.append({ pid, fields[1].toLongLong(), fields[2].toLongLong(),
            QString::fromUtf8(text.mid(open + 1, close - open - 1)) });
    }
    return processes;
}

QStringList liveCommandsOfGroup(qint64 group)
{
    QStringList commands;
    for (const ProcessInfo& process : liveProcesses()) {
        if (process.group == group)
            commands.append(process.command);
    }
    return commands;
}

QList<qint64> childGroupsRunning(const QString& command)
{
    QList<qint64> groups;
    const qint64 self = QCoreApplication::applicationPid();
    for (const ProcessInfo& process : liveProcesses()) {
        if (process.parent == self && process.command == command && process.group == process.pid)
            groups.append(process.group);
    }
    return groups;
}

GitRemoteFixture::GitRemoteFixture()
{
    ensureGitIdentity();
    gitOk(root(),
        { QStringLiteral("init"), QStringLiteral("--bare"), QStringLiteral("-b"),
            QStringLiteral("main"), remote() });
    gitOk(root(), { QStringLiteral("clone"), QStringLiteral("-q"), remote(), alice() });
    write(alice(), QStringLiteral("README.md"), "# Notes\n");
    commitAndPush(alice(), QStringLiteral("First"));
    gitOk(root(), { QStringLiteral("clone"), QStringLiteral("-q"), remote(), bob() });
}

void GitRemoteFixture::write(
    const QString& clone, const QString& relative, const QByteArray& bytes) const
{
    const QString full = QDir(clone).filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray GitRemoteFixture::read(const QString& clone, const QString& relative) const
{
    QFile file(QDir(clone).filePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void GitRemoteFixture::commitAndPush(const QString& clone, const QString& message) const
{
    gitOk(clone, { QStringLiteral("add"), QStringLiteral("-A") });
    gitOk(clone, { QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message });
    gitOk(clone,
        { QStringLiteral("push"), QStringLiteral("-q"), QStringLiteral("-u"),
            QStringLiteral("origin"), QStringLiteral("main") });
}

} // namespace quillon::test
