// The full window with two open 1 MB documents: time from switching to the other tab until the
// window has repainted and settled (no repaint for a while), on the display in use (offscreen
// unless QT_QPA_PLATFORM says otherwise).
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "platform/UserPrompts.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace quillon;

namespace {

QString makeDocument(qsizetype bytes, int seed)
{
    QString doc;
    int section = 0;
    while (doc.size() < bytes) {
        doc += QStringLiteral("## Part %1 of %2\n\n| Name | Value |\n|---|---:|\n")
                   .arg(section)
                   .arg(seed);
        for (int r = 0; r < 5; ++r)
            doc += QStringLiteral("| row %1 | %2 |\n").arg(r).arg(r * section + seed);
        doc += QStringLiteral("\n```cpp\nint f(int x) { return x * 2; }\n```\n\n");
        for (int p = 0; p < 20; ++p)
            doc += QStringLiteral("A paragraph with **bold**, *italic*, `code` and a "
                                  "[link](https://example.org) that wraps in the column.\n\n"
                                  "- item\n- [ ] task\n\n> quote\n\n");
        ++section;
    }
    return doc;
}

// Cancels every panel and answers every alert with its last button: nothing here asks.
class SilentPrompts : public UserPrompts
{
public:
    int runAlert(const Alert& alert) override { return int(alert.buttons.size()) - 1; }
    std::optional<QString> runSavePanel(const SavePanel&) override { return std::nullopt; }
    std::optional<QString> runOpenPanel(const OpenPanel&) override { return std::nullopt; }
};

// Counts paints anywhere in the application.
class PaintClock : public QObject
{
public:
    QElapsedTimer clock;
    qint64 firstPaintMs = -1;
    qint64 lastPaintMs = -1;
    QHash<QByteArray, int> painted;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            lastPaintMs = clock.elapsed();
            if (firstPaintMs < 0)
                firstPaintMs = lastPaintMs;
            if (qEnvironmentVariableIsSet("BENCH_PAINT_DEBUG"))
                fprintf(stderr, "%lld %s\n", (long long)lastPaintMs,
                    watched->metaObject()->className());
        }
        return false;
    }
};

struct Window
{
    QTemporaryDir home;
    QString a, b;
    SilentPrompts prompts;
    std::unique_ptr<ContentView> view;

    Window()
    {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toUtf8());
        a = home.path() + QStringLiteral("/a.md");
        b = home.path() + QStringLiteral("/b.md");
        for (const auto& [path, seed] : { std::pair { a, 1 }, std::pair { b, 2 } }) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(makeDocument(1000 * 1000, seed).toUtf8());
        }
        view = std::make_unique<ContentView>(prompts);
        view->resize(1400, 900);
        view->show();
        settle();
        view->workspace().openFile(a);
        view->workspace().openFile(b);
        settle();
    }

    // Runs the event loop until nothing has painted for 300 ms; returns the last paint's time
    // after `start` (ms), or -1 when nothing painted.
    static qint64 settle(PaintClock* paints = nullptr)
    {
        QElapsedTimer quiet;
        quiet.start();
        qint64 seen = paints ? paints->lastPaintMs : 0;
        while (quiet.elapsed() < 300) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (paints && paints->lastPaintMs != seen) {
                seen = paints->lastPaintMs;
                quiet.restart();
            }
        }
        return paints ? paints->lastPaintMs : -1;
    }
};

// Argument 0: both editors side by side (the default); 1: the block editor alone.
void BM_SwitchBetweenTwo1MBTabs(benchmark::State& state)
{
    Window window;
    if (state.range(0) == 1) {
        window.view->editorArea()->setMode(EditorMode::Blocks);
        Window::settle();
    }
    PaintClock paints;
    QApplication::instance()->installEventFilter(&paints);
    bool toA = true;
    double firstPaint = 0;
    for (auto _ : state) {
        paints.lastPaintMs = -1;
        paints.firstPaintMs = -1;
        paints.clock.start();
        window.view->workspace().selectTab(toA ? window.a : window.b);
        const qint64 settled = Window::settle(&paints);
        if (settled < 0) {
            state.SkipWithError("the switch painted nothing");
            break;
        }
        state.SetIterationTime(double(settled) / 1000.0);
        firstPaint += double(paints.firstPaintMs);
        toA = !toA;
    }
    QApplication::instance()->removeEventFilter(&paints);
    state.counters["first_paint_ms"] = firstPaint / double(state.iterations());
}

} // namespace

BENCHMARK(BM_SwitchBetweenTwo1MBTabs)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
