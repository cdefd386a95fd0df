// Start-up of the real binary, launched as a user would: time from launch to the window's first
// paint on the start page and with a 1 MB document, time to the last paint once everything has
// settled, and the peak resident memory with that document and every panel shown. With a display
// (DISPLAY set) it runs on X and also times, for comparison, how long featherpad or gedit take to
// map their window on the same file when installed.
//
// Run: build/release/bench/bench_startup [--benchmark_filter=...]; QUILLON_BIN overrides the
// binary (default: the quillon built beside this benchmark).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <ctime>
#include <optional>

namespace {

qint64 monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

QString makeDocument(qsizetype bytes)
{
    QString doc;
    int section = 0;
    while (doc.size() < bytes) {
        doc += QStringLiteral("## Section %1\n\n| Name | Value |\n|------|------:|\n").arg(section);
        for (int r = 0; r < 5; ++r)
            doc += QStringLiteral("| row %1 | %2 |\n").arg(r).arg(r * section);
        doc += QStringLiteral("\n```cpp\nint f(int x) { return x * 2; }\n```\n\n");
        for (int p = 0; p < 20; ++p)
            doc += QStringLiteral("A paragraph with **bold**, *italic*, `code` and a "
                                  "[link](https://example.org) that wraps in the column.\n\n"
                                  "- item\n- [ ] task\n\n> quote\n\n");
        ++section;
    }
    return doc;
}

struct Files
{
    QTemporaryDir dir;
    QString small, big, folder;
    Files()
    {
        folder = dir.path() + QStringLiteral("/notes");
        QDir().mkpath(folder);
        small = folder + QStringLiteral("/small.md");
        big = folder + QStringLiteral("/big.md");
        QFile s(small);
        s.open(QIODevice::WriteOnly);
        s.write("# Notes\n\nA *small* file with a [link](https://example.org).\n\n- one\n- two\n");
        QFile b(big);
        b.open(QIODevice::WriteOnly);
        b.write(makeDocument(1000 * 1000).toUtf8());
    }
};

Files& files()
{
    static Files f;
    return f;
}

QString quillonBinary()
{
    const QString fromEnv = qEnvironmentVariable("QUILLON_BIN");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/app/quillon");
}

bool onX()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

struct Launch
{
    double seconds = -1;
    double rssMB = -1;
};

// Starts quillon with the probe and returns launch-to-report time and its peak memory.
Launch runQuillon(const QStringList& args, const char* probe, bool panels)
{
    QTemporaryDir home; // a first start: no session, no settings
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("QUILLON_ANALYTICS_BASE_URL"), QStringLiteral("http://127.0.0.1:9/"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
        onX() ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QUILLON_PAINT_PROBE"), QString::fromLatin1(probe));
    if (panels)
        env.insert(QStringLiteral("QUILLON_PAINT_PROBE_PANELS"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 start = monotonicNs();
    process.start(quillonBinary(), args);
    Launch result;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts.at(0) == "paint-ns") {
            result.seconds = double(parts.at(1).toLongLong() - start) / 1e9;
            result.rssMB = parts.at(3).toDouble() / 1024.0;
        }
    }
    return result;
}

void reportLaunches(
    benchmark::State& state, const QStringList& args, const char* probe, bool panels)
{
    double rss = 0;
    for (auto _ : state) {
        const Launch launch = runQuillon(args, probe, panels);
        if (launch.seconds < 0) {
            state.SkipWithError("quillon did not report a paint");
            return;
        }
        state.SetIterationTime(launch.seconds);
        rss = std::max(rss, launch.rssMB);
    }
    state.counters["peak_rss_MB"] = rss;
}

void BM_FirstPaint_StartPage(benchmark::State& state)
{
    reportLaunches(state, {}, "first", false);
}

void BM_FirstPaint_SmallDocument(benchmark::State& state)
{
    reportLaunches(state, { files().small }, "first", false);
}

void BM_FirstPaint_1MBDocument(benchmark::State& state)
{
    reportLaunches(state, { files().big }, "first", false);
}

void BM_Settled_1MBDocument_AllPanels(benchmark::State& state)
{
    reportLaunches(state, { files().big }, "settled", true);
}

// Launch to the first visible window of an editor on the file (X only): the same measure for
// quillon and for the others.
void BM_OtherEditor_WindowShown(benchmark::State& state, const char* program, bool big)
{
    const QString name = QString::fromLatin1(program);
    const QString path = name == QStringLiteral("quillon") ? quillonBinary()
                                                           : QStandardPaths::findExecutable(name);
    if (path.isEmpty() || !onX()) {
        state.SkipWithError("not installed, or no display");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        env.insert(
            QStringLiteral("QUILLON_ANALYTICS_BASE_URL"), QStringLiteral("http://127.0.0.1:9/"));
        // This process runs offscreen; the editors measured must not inherit that.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess process;
        process.setProcessEnvironment(env);
        const qint64 start = monotonicNs();
        process.start(path, { big ? files().big : files().small });
        process.waitForStarted();
        const QString pid = QString::number(process.processId());
        qint64 shown = 0;
        while (monotonicNs() - start < 20'000'000'000) {
            QProcess search;
            search.start(QStringLiteral("xdotool"),
                { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), pid });
            search.waitForFinished();
            if (!search.readAllStandardOutput().trimmed().isEmpty()) {
                shown = monotonicNs();
                break;
            }
            QThread::msleep(5);
        }
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        if (shown == 0) {
            state.SkipWithError("no window appeared");
            return;
        }
        state.SetIterationTime(double(shown - start) / 1e9);
    }
}

} // namespace

BENCHMARK(BM_FirstPaint_StartPage)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaint_SmallDocument)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaint_1MBDocument)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Settled_1MBDocument_AllPanels)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherEditor_WindowShown, quillon_small, "quillon", false)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherEditor_WindowShown, quillon_1MB, "quillon", true)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherEditor_WindowShown, featherpad_small, "featherpad", false)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherEditor_WindowShown, featherpad_1MB, "featherpad", true)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OtherEditor_WindowShown, gedit_1MB, "gedit", true)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
