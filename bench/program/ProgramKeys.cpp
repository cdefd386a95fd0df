// The program as a user feels it: starts the quillon binary on an X server of its own, opens
// large documents, presses keys through XTest and times each one to the repaint it causes (the
// window's first X damage event after the key). Quillon's own cases print open-to-settled,
// key-to-repaint and caret-to-repaint figures next to their goals; the "compare" cases run the
// same documents in the peer editors installed (featherpad, gedit) and end in one table. It never
// fails on a slow figure. The editor column shows both panes (the default); the "source" cases
// type in the source pane on the left, the "find next" case steps through ten thousand matches
// with Return in the find bar.
//
// Usage: bench_program [path/to/quillon] (default: the binary of this build tree).
// QUILLON_BENCH_DISPLAY picks the display number of the X server it starts (default 97),
// QUILLON_BENCH_CASE runs only the cases whose name holds it, QUILLON_BENCH_ROUNDS sets the keys
// per measurement (default 60, half as many for a peer editor), QUILLON_BENCH_EDITORS lists the
// editors to compare (default "quillon,featherpad,gedit").
#include "BenchDocuments.h"
#include "program/Comparison.h"
#include "program/ComparisonTable.h"
#include "program/Editor.h"
#include "program/Measures.h"
#include "program/XSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <X11/keysym.h>

#include <cstdio>
#include <vector>

namespace {

using namespace quillon::bench;

void printFigures(const char* what, const Figures& f, double goal)
{
    std::printf(
        "%-22s %-16s  median %6.2f  p95 %6.2f  max %6.2f ms  missed %d  (goal p95 < %.0f)\n", "",
        what, f.median, f.p95, f.max, f.missed, goal);
    std::fflush(stdout);
}

enum class Action { TypeInMiddle, TypeInSource, FindNext };

struct Case
{
    const char* name;
    QString document;
    double openGoal;
    double keyGoal;
    Action action = Action::TypeInMiddle;
};

// Ten thousand matches of "needle" spread through a generated document.
QString documentWithMatches(qsizetype bytes)
{
    QString doc = generatedDocument(bytes, 100);
    const qsizetype step = doc.size() / 10'000;
    for (qsizetype i = 10'000; i > 0; --i)
        doc.insert(i * step - step / 2, QStringLiteral(" needle "));
    return doc;
}

void runCase(XSession& x, const EditorSpec& quillon, const QDir& dir, const Case& c)
{
    const QString path
        = dir.filePath(QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('-'))
            + QStringLiteral(".md"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::printf("%-22s could not write the document\n", c.name);
        return;
    }
    file.write(c.document.toUtf8());
    file.close();

    EditorRun run(x, quillon, dir);
    if (!run.start({ path })) {
        std::printf("%-22s %s\n", c.name, qPrintable(run.failure()));
        return;
    }
    // Settled: the window has shown the document and then stayed unchanged for 400 ms (less
    // than the caret's blink).
    const OpenFigures open = measureOpen(x, run, 30000);
    const Window window = run.window();
    run.focusEditingView(c.action == Action::TypeInSource);
    x.chord(XK_Control_L, XK_Home);
    x.press(XK_Down);
    x.quieten(window, 300);

    // Typing near the start of the document, where the most text follows every keystroke;
    // then the caret between lines of all kinds near the top.
    const int rounds = roundsFor(quillon);
    std::printf("%-22s open to settled %8.1f ms (goal < %.0f)\n", c.name, open.settled.value_or(-1),
        c.openGoal);
    if (c.action == Action::FindNext) {
        x.chord(XK_Control_L, XK_f);
        x.quieten(window, 200);
        x.typeText("needle");
        x.quieten(window, 400);
        printFigures("find next", timeKeys(x, window, { XK_Return }, rounds), c.keyGoal);
    } else {
        printFigures("key to repaint", timeKeys(x, window, { XK_a, XK_s, XK_d, XK_space }, rounds),
            c.keyGoal);
        printFigures("caret to repaint",
            timeKeys(x, window, { XK_Down, XK_Down, XK_Down, XK_Up }, rounds), c.keyGoal);
    }
}

// Return pressed at the top of a long document 0, 100 and 300 ms after the window first shows
// it, in a program started anew each time; the longest stall is that of the whole opening.
void runKeysWhileOpening(XSession& x, const EditorSpec& quillon, const QDir& dir)
{
    struct Opening
    {
        const char* name;
        QString document;
    };
    const std::vector<Opening> documents {
        { "21 MB", generatedDocument(21 << 20, 2100) },
        { "25 MB of tables", tableDenseDocument(25 << 20, true) },
        { "25 MB one line", oneLineDocument(25 << 20) },
    };
    for (const Opening& o : documents) {
        const QString path = dir.filePath(QStringLiteral("opening.md"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(o.document.toUtf8()) < 0) {
            std::printf("key while opening %s: could not write the document\n", o.name);
            continue;
        }
        file.close();
        for (const int delay : { 0, 100, 300 }) {
            EditorRun run(x, quillon, dir);
            if (!run.start({ path })) {
                std::printf("key while opening %s: %s\n", o.name, qPrintable(run.failure()));
                return;
            }
            const KeyWhileOpening f = keyWhileOpening(x, run, path, delay);
            std::printf("key while opening %-16s %3d ms after first paint (%6.1f ms): shown "
                        "%6.1f ms, on disk %6.1f ms (goals 50, 500), longest stall %6.1f ms%s\n",
                o.name, delay, f.open.firstPaint.value_or(-1), f.shown.value_or(-1),
                f.onDisk.value_or(-1), f.open.stall.longestMs.value_or(-1),
                f.open.stall.cutShort ? " (not settled)" : "");
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString binary = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QDir(QCoreApplication::applicationDirPath())
                                          .filePath(QStringLiteral("../src/app/quillon"));
    if (!QFileInfo(binary).isExecutable()) {
        std::printf("no program at %s\n", qPrintable(binary));
        return 0;
    }
    XSession x;
    // Room for every editor's window, which is made the same size in each.
    if (!x.start(qEnvironmentVariable("QUILLON_BENCH_DISPLAY", QStringLiteral("97")),
            kWindowWidth + 120, kWindowHeight + 80))
        return 0;

    QTemporaryDir dir;
    const QDir where(dir.path());
    const std::vector<EditorSpec> editors = editorsToRun(binary);
    const QString only = qEnvironmentVariable("QUILLON_BENCH_CASE");

    const auto quillon = std::find_if(
        editors.begin(), editors.end(), [](const EditorSpec& e) { return !e.isPeer(); });
    if (quillon != editors.end()) {
        const std::vector<Case> cases {
            { "generated 1 MB", generatedDocument(1 << 20, 100), 400, 8 },
            { "real shapes 1 MB", realShapesDocument(1 << 20), 400, 8 },
            { "generated 10 MB", generatedDocument(10 << 20, 1000), 2000, 16 },
            { "real shapes 10 MB", realShapesDocument(10 << 20), 2000, 16 },
            { "source both 1 MB", generatedDocument(1 << 20, 100), 400, 25, Action::TypeInSource },
            { "source both 10 MB", generatedDocument(10 << 20, 1000), 2000, 25,
                Action::TypeInSource },
            { "find next 1 MB", documentWithMatches(1 << 20), 400, 16, Action::FindNext },
        };
        for (const Case& c : cases)
            if (only.isEmpty() || QString::fromLatin1(c.name).contains(only))
                runCase(x, *quillon, where, c);
        if (only.isEmpty() || QStringLiteral("key while opening").contains(only))
            runKeysWhileOpening(x, *quillon, where);
    }

    std::vector<QString> names;
    for (const EditorSpec& e : editors)
        names.push_back(e.name);
    ComparisonTable table(names);
    runComparisons(x, editors, where, only, table);
    if (table.print())
        printComparisonNotes(editors);
    return 0;
}
