#include "support/TestSupport.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

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

namespace {

// Capabilities are per thread; the raw calls change only the calling one.
bool capabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

constexpr unsigned int kOverrides
    = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

} // namespace

ObeyFilePermissions::ObeyFilePermissions()
{
    __user_cap_data_struct data[2] {};
    if (!capabilities(data, false))
        return;
    m_savedEffective = data[0].effective;
    if ((data[0].effective & kOverrides) == 0) {
        m_active = true;
        return;
    }
    data[0].effective &= ~kOverrides;
    m_changed = m_active = capabilities(data, true);
}

ObeyFilePermissions::~ObeyFilePermissions()
{
    __user_cap_data_struct data[2] {};
    if (m_changed && capabilities(data, false)) {
        data[0].effective = m_savedEffective;
        capabilities(data, true);
    }
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

RefusingPort::RefusingPort()
{
    // No SO_REUSEADDR: no other socket may share the port while this one holds it.
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        qFatal("RefusingPort: no loopback port could be held");
    m_port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

QString RefusingPort::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
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
