#include "app/StartupProbe.h"

#include "app/ContentView.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace quillon {

namespace {
// Quiet this long after the last paint counts as settled.
constexpr qint64 kSettleNs = 700'000'000;

qint64 monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

qint64 peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
} // namespace

void StartupProbe::installFromEnvironment()
{
    const QByteArray mode = qgetenv("QUILLON_PAINT_PROBE");
    if (mode != "first" && mode != "settled")
        return;
    auto* probe = new StartupProbe(mode == "first" ? Mode::First : Mode::Settled);
    probe->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(probe);
    if (qEnvironmentVariableIsSet("QUILLON_PAINT_PROBE_PANELS")) {
        // Every panel on screen, for the memory figure.
        QTimer::singleShot(0, probe, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* window = qobject_cast<ContentView*>(w)) {
                    window->workspace().setIsAgentChatOpen(true);
                    window->workspace().setIsLocalSearchVisible(true);
                    window->setSidebarVisible(true);
                }
            }
        });
    }
}

StartupProbe::StartupProbe(Mode mode)
    : m_mode(mode)
{
    if (mode == Mode::Settled) {
        auto* timer = new QTimer(this);
        timer->setInterval(25);
        connect(timer, &QTimer::timeout, this, &StartupProbe::check);
        timer->start();
    }
}

bool StartupProbe::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint && !m_reported) {
        m_painted = true;
        // The paint and the flush to the window finish before the queued call runs.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_lastPaintNs = monotonicNs();
                if (m_mode == Mode::First)
                    report();
            },
            Qt::QueuedConnection);
    }
    return false;
}

void StartupProbe::check()
{
    if (m_painted && m_lastPaintNs > 0 && monotonicNs() - m_lastPaintNs > kSettleNs)
        report();
}

void StartupProbe::report()
{
    if (m_reported)
        return;
    m_reported = true;
    std::printf("paint-ns %lld rss-kb %lld\n", static_cast<long long>(m_lastPaintNs),
        static_cast<long long>(peakRssKb()));
    std::fflush(stdout);
    QCoreApplication::quit();
}

} // namespace quillon
