#include "support/TestSupport.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <sys/resource.h>

namespace quillon::test {

void clearSettings()
{
    UserDefaults& defaults = UserDefaults::standard();
    for (const QString& key : defaults.keys())
        defaults.remove(key);
    defaults.setBool(QStringLiteral("telemetryOptOut"), true);
}

ScriptedUserPrompts& resetSharedState()
{
    clearSettings();
    return ScriptedUserPrompts::installNew();
}

void reloadStandardDefaults()
{
    UserDefaults& defaults = UserDefaults::standard();
    const UserDefaults onDisk(defaults.filePath());
    for (const QString& key : defaults.keys())
        defaults.remove(key);
    for (const QString& key : onDisk.keys())
        defaults.setJson(key, onDisk.jsonValue(key));
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes)
{
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_savedCurrent = limit.rlim_cur;
    m_savedHandler = ::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_savedCurrent;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, m_savedHandler);
}

TempTree::TempTree()
    : m_dir(QDir::tempPath() + QStringLiteral("/quillon-test-XXXXXX"))
{
}

QString TempTree::filePath(const QString& relative) const
{
    return QDir(m_dir.path()).filePath(relative);
}

QString TempTree::write(const QString& relative, const QByteArray& bytes) const
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return full;
}

QString TempTree::mkdir(const QString& relative) const
{
    const QString full = filePath(relative);
    QDir().mkpath(full);
    return full;
}

QByteArray TempTree::read(const QString& relative) const
{
    QFile file(filePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace quillon::test
