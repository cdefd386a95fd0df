// The assistant panel while an agent prints 5 MB as fast as it can: the longest stall of the
// event loop (the gap between ticks of a 5 ms timer beyond its interval), how far the process grew
// above its idle size, how long the answer took to arrive in full and to be laid out in the
// transcript, and how much of it the transcript holds.
#include "agent/AgentProcessBridge.h"
#include "agent/ui/AgentChatView.h"
#include "agent/ui/PromptField.h"
#include "agent/ui/TranscriptCanvas.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <unistd.h>

using namespace quillon;

namespace {

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0
                             : 0;
}

void BM_AgentFloodsThePanel(benchmark::State& state)
{
    const qint64 bytes = state.range(0);
    qputenv("FAKE_AGENT_BYTES", QByteArray::number(bytes));
    for (auto _ : state) {
        QTemporaryDir folder;
        WorkspaceState workspace;
        workspace.setFolderURL(folder.path());
        AgentProcessBridge bridge(&workspace);
        bridge.setEngine(SupportedAgentEngine::customCLI(
            QStringLiteral(QUILLON_SOURCE_DIR "/tests/scripts/fake-agent-megabytes.sh")));
        AgentChatView panel(bridge, workspace, {});
        panel.resize(380, 800);
        panel.show();
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        const double idle = residentMegabytes();

        double peak = idle;
        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(5);
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            peak = std::max(peak, residentMegabytes());
        });

        QElapsedTimer clock;
        clock.start();
        sinceTick.start();
        ticker.start();
        panel.promptField()->setPlainText(QStringLiteral("Explain everything"));
        bridge.sendTask(panel.promptField()->text(), std::nullopt, folder.path());
        while (bridge.isProcessing() || bridge.messages().constLast().actionPills.size() != 1
            || bridge.messages().constLast().actionPills.constFirst().title
                != QStringLiteral("Task Completed"))
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double seconds = clock.elapsed() / 1000.0;
        // The transcript lays out what arrived over the next turns of the event loop.
        do {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        } while (panel.transcript()->hasPendingLayout());
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        const double shownSeconds = clock.elapsed() / 1000.0;
        ticker.stop();

        const qsizetype held = bridge.messages().constLast().text.toUtf8().size();
        state.counters["longest_stall_ms"] = double(std::max<qint64>(0, longestGap - 5));
        state.counters["growth_MB"] = peak - idle;
        state.counters["idle_MB"] = idle;
        state.counters["answer_s"] = seconds;
        state.counters["shown_s"] = shownSeconds;
        state.counters["held_bytes"] = double(held);
        state.counters["held_all"] = held >= bytes ? 1 : 0;
        state.counters["transcript_px"] = panel.transcript()->height();
    }
}

} // namespace

BENCHMARK(BM_AgentFloodsThePanel)
    ->Arg(5 * 1024 * 1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
