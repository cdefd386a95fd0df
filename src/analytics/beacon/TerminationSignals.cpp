#include "analytics/beacon/TerminationSignals.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSocketNotifier>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillon {

namespace {

int g_pipe[2] = { -1, -1 };

void onSignal(int signalNumber)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the main thread does the rest.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    // A second signal ends the process at once, should the clean quit hang.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signalNumber, &fallback, nullptr);
}

} // namespace

bool TerminationSignals::install()
{
    static QMutex mutex;
    static bool installed = false;
    QMutexLocker lock(&mutex);
    QCoreApplication* app = QCoreApplication::instance();
    if (installed || !app || QThread::currentThread() != app->thread())
        return installed;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;

    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char buffer[64];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) { }
        QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    installed = true;
    return true;
}

} // namespace quillon
