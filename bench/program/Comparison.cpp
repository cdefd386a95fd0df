#include "program/Comparison.h"

#include "BenchDocuments.h"
#include "program/Measures.h"

#include <QFile>
#include <QSaveFile>

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <thread>

namespace quillon::bench {

namespace {

const std::vector<KeySym> kLetters { XK_a, XK_s, XK_d, XK_f };
const std::vector<KeySym> kCaretMoves { XK_Down, XK_Down, XK_Down, XK_Up };

// A document is written afresh before each editor opens it: what one editor saved does not reach
// the next.
struct Document
{
    QString path;
    QByteArray bytes;
};

Document makeDocument(const QDir& dir, const QString& name, const QString& text)
{
    return { dir.filePath(name), text.toUtf8() };
}

struct Context
{
    XSession& x;
    QDir dir;
    ComparisonTable& table;
};

void report(const char* caseName, const EditorSpec& editor, const QString& text)
{
    std::printf("%-22s %-11s %s\n", caseName, qPrintable(editor.name), qPrintable(text));
    std::fflush(stdout);
}

QString msText(std::optional<double> ms, bool atLeast = false)
{
    if (!ms)
        return QStringLiteral("-");
    return (atLeast ? QStringLiteral(">") : QString()) + QString::number(*ms, 'f', 1)
        + QStringLiteral(" ms");
}

QString stallText(const Stall& stall)
{
    return stall.longestMs ? msText(stall.longestMs, stall.cutShort)
                           : QStringLiteral("- (no answer to pings)");
}

QString keysText(const Figures& f)
{
    return QStringLiteral("median %1  p95 %2  max %3 ms (%4 keys, %5 missed)")
        .arg(f.median, 0, 'f', 2)
        .arg(f.p95, 0, 'f', 2)
        .arg(f.max, 0, 'f', 2)
        .arg(f.samples)
        .arg(f.missed);
}

QString openText(const OpenFigures& open)
{
    if (!open.firstPaint)
        return QStringLiteral("no paint within a minute, longest stall %1")
            .arg(stallText(open.stall));
    return QStringLiteral("first paint %1, settled %2, longest stall %3")
        .arg(msText(open.firstPaint), msText(open.settled, open.settledCutShort),
            stallText(open.stall));
}

// Writes the documents and starts the editor on them; none, with the reason printed, if it did
// not come up.
std::unique_ptr<EditorRun> startOn(Context& c, const EditorSpec& editor,
    const std::vector<Document>& documents, const char* caseName)
{
    QStringList paths;
    for (const Document& d : documents) {
        QFile file(d.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(d.bytes) != d.bytes.size()) {
            report(caseName, editor, QStringLiteral("could not write %1").arg(d.path));
            return nullptr;
        }
        paths.append(d.path);
    }
    auto run = std::make_unique<EditorRun>(c.x, editor, c.dir);
    if (!run->start(paths)) {
        report(caseName, editor, run->failure());
        return nullptr;
    }
    return run;
}

// One start's first paint varies by some ten milliseconds with what else the machine does: the
// figure is the median of this many starts, the measured one and starts made before it and
// stopped at their first paint.
constexpr int kStartsForFirstPaint = 5;

std::vector<double> firstPaintsBefore(Context& c, const EditorSpec& editor,
    const std::vector<Document>& documents, const char* caseName)
{
    std::vector<double> paints;
    for (int i = 1; i < kStartsForFirstPaint; ++i) {
        const auto run = startOn(c, editor, documents, caseName);
        if (!run)
            break;
        if (const auto painted = c.x.nextDamage(run->window(), 60000))
            paints.push_back(*painted - run->startedAt());
    }
    return paints;
}

// `open` with its first paint the median of its own and those of the starts before it.
OpenFigures withMedianFirstPaint(OpenFigures open, std::vector<double> paints)
{
    if (!open.firstPaint)
        return open;
    paints.push_back(*open.firstPaint);
    std::sort(paints.begin(), paints.end());
    open.firstPaint = paints[paints.size() / 2];
    return open;
}

QByteArray rowKey(const char* prefix, const char* size, const char* suffix = "")
{
    return QByteArray(prefix) + size + suffix;
}

// Opens a document of one size, then times keys with the caret near its top and at its end, caret
// moves and steps of the mouse wheel; at 1 and 10 MB also the open, the memory and the stalls.
void compareTyping(Context& c, const EditorSpec& editor, const char* caseName, const char* size,
    const Document& document)
{
    const bool opening = qstrcmp(size, "100k") != 0;
    const std::vector<double> paints
        = opening ? firstPaintsBefore(c, editor, { document }, caseName) : std::vector<double> {};
    const auto run = startOn(c, editor, { document }, caseName);
    if (!run)
        return;
    OpenFigures open = measureOpen(c.x, *run);
    // Memory once the program has finished what the open started, painted or not.
    waitUntilIdle(c.x, *run);
    const auto memory = run->memory();
    if (opening) {
        open = withMedianFirstPaint(open, paints);
        report(caseName, editor,
            openText(open)
                + QStringLiteral(", RSS %1 MB (peak %2)")
                      .arg(memory ? memory->currentMb : 0, 0, 'f', 1)
                      .arg(memory ? memory->peakMb : 0, 0, 'f', 1));
        c.table.setValue(rowKey("open-", size, "-paint"), editor.name, open.firstPaint);
        c.table.setValue(
            rowKey("open-", size, "-settled"), editor.name, open.settled, open.settledCutShort);
        c.table.setStall(rowKey("stall-open-", size), editor.name, open.stall);
        if (memory)
            c.table.setValue(rowKey("rss-", size, "-peak"), editor.name, memory->peakMb);
        if (memory && qstrcmp(size, "10m") == 0)
            c.table.setValue("rss-10m", editor.name, memory->currentMb, open.settledCutShort);
    }

    const int rounds = roundsFor(editor);
    run->focusEditingView();
    c.x.chord(XK_Control_L, XK_Home);
    c.x.press(XK_Down);
    waitUntilIdle(c.x, *run, 300, 20000);
    const Figures top = timeKeys(c.x, run->window(), kLetters, rounds);
    report(caseName, editor, QStringLiteral("key, caret at top:  ") + keysText(top));
    c.table.setKeys(rowKey("key-", size, "-top"), editor.name, top);
    // Lines that come and go move every line below them.
    const Figures breaks = timeKeys(c.x, run->window(), { XK_Return, XK_BackSpace }, rounds);
    report(caseName, editor, QStringLiteral("Return/Backspace:   ") + keysText(breaks));
    c.table.setKeys(rowKey("breaks-", size), editor.name, breaks);
    // Moving the caret and scrolling should cost the same whatever the document's length.
    const Figures caret = timeKeys(c.x, run->window(), kCaretMoves, rounds);
    report(caseName, editor, QStringLiteral("caret Down/Up:      ") + keysText(caret));
    c.table.setKeys(rowKey("caret-", size), editor.name, caret);
    const Figures wheel = timeWheelSteps(c.x, run->window(), rounds);
    report(caseName, editor, QStringLiteral("wheel steps:        ") + keysText(wheel));
    c.table.setKeys(rowKey("wheel-", size), editor.name, wheel);
    // The end of a long document may take a while to lay out.
    c.x.chord(XK_Control_L, XK_End);
    waitUntilIdle(c.x, *run, 400, 20000);
    const Figures end = timeKeys(c.x, run->window(), kLetters, rounds);
    report(caseName, editor, QStringLiteral("key, caret at end:  ") + keysText(end));
    c.table.setKeys(rowKey("key-", size, "-end"), editor.name, end);

    if (opening) {
        c.x.chord(XK_Control_L, XK_Home);
        const Stall typing = typingStall(c.x, *run);
        report(caseName, editor,
            QStringLiteral("30 keys at the top: longest stall ") + stallText(typing));
        c.table.setStall(rowKey("stall-type-", size), editor.name, typing);
    }
}

void compareSmall(Context& c, const EditorSpec& editor, const char* caseName)
{
    const Document document = makeDocument(
        c.dir, QStringLiteral("small.md"), quillon::bench::generatedDocument(2048, 1));
    const std::vector<double> paints = firstPaintsBefore(c, editor, { document }, caseName);
    const auto run = startOn(c, editor, { document }, caseName);
    if (!run)
        return;
    const OpenFigures open = withMedianFirstPaint(measureOpen(c.x, *run), paints);
    report(caseName, editor, openText(open));
    c.table.setValue("open-2k-paint", editor.name, open.firstPaint);
}

// A document that opens and is typed into: the memory it takes at its peak and the longest the
// window stops answering.
void compareStalls(Context& c, const EditorSpec& editor, const char* caseName, const char* size,
    const Document& document)
{
    const auto run = startOn(c, editor, { document }, caseName);
    if (!run)
        return;
    const OpenFigures open = measureOpen(c.x, *run);
    waitUntilIdle(c.x, *run);
    const auto memory = run->memory();
    report(caseName, editor,
        openText(open)
            + QStringLiteral(", peak RSS %1 MB").arg(memory ? memory->peakMb : 0, 0, 'f', 1));
    c.table.setStall(rowKey("stall-open-", size), editor.name, open.stall);
    if (memory && qstrcmp(size, "21m") == 0)
        c.table.setValue("rss-21m-peak", editor.name, memory->peakMb, open.settledCutShort);
    run->focusEditingView();
    c.x.chord(XK_Control_L, XK_Home);
    const Stall typing = typingStall(c.x, *run);
    report(
        caseName, editor, QStringLiteral("30 keys at the top: longest stall ") + stallText(typing));
    c.table.setStall(rowKey("stall-type-", size), editor.name, typing);
}

bool appendLine(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write("\nA line another program added.\n") > 0;
}

// As most programs save: the whole file written anew and put in the old one's place.
bool changeNearTop(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = in.readAll();
    const qsizetype at = bytes.indexOf("first item");
    if (at < 0)
        return false;
    bytes.replace(at, 10, "item changed elsewhere");
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

// Runs `change`, another program's write, on a thread of its own while the session goes on
// pinging: an answer that came while this process was busy writing 10 MB would count the write
// as the editor's stall.
bool changeMeanwhile(XSession& x, const std::function<bool()>& change)
{
    std::atomic_bool done { false };
    bool ok = false;
    std::thread writer([&] {
        ok = change();
        done = true;
    });
    while (!done)
        x.idle(1);
    writer.join();
    return ok;
}

// With 10 MB open and settled, the longest the window stops answering for each of: the caret
// to the end and back in either pane, a zoom in and out, a search stepped through, and another
// program changing the file.
void compareStallsAt10m(Context& c, const EditorSpec& editor, const char* caseName)
{
    const Document document = makeDocument(
        c.dir, QStringLiteral("stalls.md"), quillon::bench::generatedDocument(10 << 20, 1000));
    const auto run = startOn(c, editor, { document }, caseName);
    if (!run)
        return;
    measureOpen(c.x, *run);
    waitUntilIdle(c.x, *run, 500, 60000);
    const auto measure = [&](const char* row, const char* what, const std::function<void()>& act) {
        const Stall stall = stallDuring(c.x, *run, act);
        report(caseName, editor, QLatin1String(what) + QStringLiteral(": ") + stallText(stall));
        c.table.setStall(row, editor.name, stall);
    };
    const auto keys = [&](KeySym key) { return [&c, key] { c.x.chord(XK_Control_L, key); }; };
    for (const bool source : { false, true }) {
        if (source && editor.isPeer())
            break;
        run->focusEditingView(source);
        waitUntilIdle(c.x, *run);
        measure(source ? "stall-end-source" : "stall-end", "Ctrl+End", keys(XK_End));
        measure(source ? "stall-home-source" : "stall-home", "Ctrl+Home", keys(XK_Home));
    }
    if (!editor.isPeer()) {
        measure("stall-zoom", "zoom in, zoom out", [&] {
            c.x.chord(XK_Control_L, XK_equal);
            waitUntilIdle(c.x, *run);
            c.x.chord(XK_Control_L, XK_minus);
        });
        // "row" is in every table, five thousand times in all.
        measure("stall-find", "find, 3 x next", [&] {
            c.x.chord(XK_Control_L, XK_f);
            c.x.idle(200);
            c.x.typeText("row");
            for (int i = 0; i < 3; ++i) {
                waitUntilIdle(c.x, *run);
                c.x.press(XK_Return);
            }
        });
        c.x.press(XK_Escape);
        waitUntilIdle(c.x, *run);
    }
    // The watcher gathers changes for a moment before it tells.
    measure("stall-append", "a line appended elsewhere", [&] {
        if (!changeMeanwhile(c.x, [&] { return appendLine(document.path); }))
            report(caseName, editor, QStringLiteral("could not append to the file"));
        c.x.idle(1000);
    });
    measure("stall-change", "a line changed elsewhere", [&] {
        if (!changeMeanwhile(c.x, [&] { return changeNearTop(document.path); }))
            report(caseName, editor, QStringLiteral("could not change the file"));
        c.x.idle(1000);
    });
}

// The resident memory with `document` alone open, once the editor is idle; the editor ends
// before the next run starts.
std::optional<double> rssWithOne(
    Context& c, const EditorSpec& editor, const Document& document, const char* caseName)
{
    const auto run = startOn(c, editor, { document }, caseName);
    if (!run)
        return std::nullopt;
    measureOpen(c.x, *run);
    waitUntilIdle(c.x, *run);
    const auto memory = run->memory();
    return memory ? std::optional(memory->currentMb) : std::nullopt;
}

// Six tabs of 1 MB, each shown in turn: the memory after each; then switching between the last
// two; then closing all but one, and the memory left. Quillon restores the six as its last session
// and reads a tab's document when it is first shown; the peers read every file on their command
// line at once, so their first figure comes from a run with the first document alone.
void compareTabs(Context& c, const EditorSpec& editor, const char* caseName)
{
    constexpr int kTabs = 6;
    const QString text = quillon::bench::generatedDocument(1 << 20, 100);
    std::vector<Document> documents;
    for (int i = 1; i <= kTabs; ++i)
        // Names this short keep quillon's tabs at their narrowest, where the benchmark clicks.
        documents.push_back(makeDocument(c.dir, QStringLiteral("%1.md").arg(i), text));

    std::vector<std::optional<double>> rss(kTabs);
    if (editor.isPeer())
        rss[0] = rssWithOne(c, editor, documents.front(), caseName);
    const auto run = startOn(c, editor, documents, caseName);
    if (!run)
        return;
    measureOpen(c.x, *run);
    // A peer reads its files one after another, and takes no tab keys until it is done.
    waitUntilIdle(c.x, *run, 500, 60000);
    if (const auto memory = run->memory(); memory && !editor.isPeer())
        rss[0] = memory->currentMb;
    // The keys that switch tabs go to the window with the keyboard.
    c.x.focus(run->window());
    c.x.idle(300);
    std::set<QString> titles { run->title() };
    for (int i = 1; i < kTabs; ++i) {
        run->showTab(i);
        waitUntilIdle(c.x, *run);
        titles.insert(run->title());
        if (const auto memory = run->memory(); memory && (!editor.isPeer() || i == kTabs - 1))
            rss[size_t(i)] = memory->currentMb;
    }
    // A peer names the document shown in its title: a title that did not change means the
    // keys did not switch tabs.
    if (editor.isPeer() && int(titles.size()) < kTabs) {
        report(caseName, editor,
            QStringLiteral("showed %1 different documents of %2: its tab keys did not work")
                .arg(titles.size())
                .arg(kTabs));
        return;
    }
    QString line = QStringLiteral("RSS MB by tabs shown:");
    for (int i = 0; i < kTabs; ++i) {
        line += QLatin1Char(' ')
            + (rss[size_t(i)] ? QString::number(*rss[size_t(i)], 'f', 1) : QStringLiteral("-"));
        c.table.setValue(rowKey("tabs-", QByteArray::number(i + 1)), editor.name, rss[size_t(i)]);
    }
    if (rss.front() && rss.back())
        c.table.setValue("tab-added", editor.name, (*rss.back() - *rss.front()) / (kTabs - 1));
    // The first four shown all keep their views.
    constexpr int kKept = 4;
    if (rss.front() && rss[kKept - 1])
        c.table.setValue("tab-kept", editor.name, (*rss[kKept - 1] - *rss.front()) / (kKept - 1));
    report(caseName, editor, line);

    const Figures switches = timeTabSwitches(c.x, *run, kTabs - 2, kTabs - 1, 20, 150);
    report(caseName, editor, QStringLiteral("tab switch to settled: ") + keysText(switches));
    c.table.setKeys("tab-switch", editor.name, switches);

    // Closing all but one, from the one shown: what the closed ones held should come back.
    for (int i = 1; i < kTabs; ++i) {
        c.x.chord(XK_Control_L, XK_w);
        waitUntilIdle(c.x, *run);
    }
    waitUntilIdle(c.x, *run, 1000);
    const auto closed = run->memory();
    if (!closed)
        return;
    c.table.setValue("tabs-closed", editor.name, closed->currentMb);
    QString closedLine = QStringLiteral("RSS MB after closing %1 of them: %2")
                             .arg(kTabs - 1)
                             .arg(closed->currentMb, 0, 'f', 1);
    if (rss.front()) {
        const double rise = (closed->currentMb - *rss.front()) / *rss.front() * 100;
        c.table.setValue("tabs-closed-rise", editor.name, rise);
        closedLine += QStringLiteral(" (%1% over one tab)").arg(rise, 0, 'f', 1);
    }
    report(caseName, editor, closedLine);
}

struct ComparisonCase
{
    const char* name;
    std::function<void(Context&, const EditorSpec&, const char*)> run;
};

} // namespace

void runComparisons(XSession& x, const std::vector<EditorSpec>& editors, const QDir& workDir,
    const QString& only, ComparisonTable& table)
{
    using quillon::bench::generatedDocument;
    Context c { x, workDir, table };
    const auto typing = [](const char* size, qsizetype bytes, int tables) {
        return [=](Context& c, const EditorSpec& e, const char* name) {
            compareTyping(c, e, name, size,
                makeDocument(c.dir, QStringLiteral("typing.md"), generatedDocument(bytes, tables)));
        };
    };
    // Notes dense with small tables, and the same text with no tables in it.
    const auto tableDense = [](const char* size, qsizetype bytes, bool withTables) {
        return [=](Context& c, const EditorSpec& e, const char* name) {
            compareTyping(c, e, name, size,
                makeDocument(c.dir, QStringLiteral("notes.md"),
                    quillon::bench::tableDenseDocument(bytes, withTables)));
        };
    };
    const std::vector<ComparisonCase> cases {
        { "compare 2 KB", compareSmall },
        { "compare 100 KB", typing("100k", 100 << 10, 10) },
        { "compare 1 MB", typing("1m", 1 << 20, 100) },
        { "compare 10 MB", typing("10m", 10 << 20, 1000) },
        { "compare tables 1 MB", tableDense("t1m", 1 << 20, true) },
        { "compare tables 1 MB plain", tableDense("p1m", 1 << 20, false) },
        { "compare tables 10 MB", tableDense("t10m", 10 << 20, true) },
        { "compare tables 10 MB plain", tableDense("p10m", 10 << 20, false) },
        { "compare 21 MB",
            [](Context& c, const EditorSpec& e, const char* name) {
                compareStalls(c, e, name, "21m",
                    makeDocument(
                        c.dir, QStringLiteral("huge.md"), generatedDocument(21 << 20, 2100)));
            } },
        { "compare one line 2 MB",
            [](Context& c, const EditorSpec& e, const char* name) {
                compareStalls(c, e, name, "line",
                    makeDocument(c.dir, QStringLiteral("line.md"), oneLineDocument(2 << 20)));
            } },
        { "compare tabs 1 MB", compareTabs },
        { "compare stalls 10 MB", compareStallsAt10m },
    };
    for (const ComparisonCase& cc : cases) {
        if (!only.isEmpty() && !QString::fromLatin1(cc.name).contains(only))
            continue;
        for (const EditorSpec& editor : editors)
            cc.run(c, editor, cc.name);
    }
}

void printComparisonNotes(const std::vector<EditorSpec>& editors)
{
    std::printf("Each editor: its own process, home and session bus (with no services to start), "
                "a %dx%d window, keys through XTest.\n",
        kWindowWidth, kWindowHeight);
    for (const EditorSpec& e : editors) {
        if (e.kind == EditorKind::FeatherPad)
            std::printf("featherpad: --standalone, its defaults (it highlights syntax only in "
                        "files up to 2 MB); tabs by Alt+Right/Left.\n");
        if (e.kind == EditorKind::Gedit)
            std::printf("gedit: --standalone, settings from a key file, no plugins (spell "
                        "checking, file browser, ...); tabs by Ctrl+Alt+PageDown/PageUp.\n");
    }
    std::printf("Memory: VmRSS/VmHWM of the main process once it has been idle for 500 ms. "
                "Stalls: the longest wait for an answer to _NET_WM_PING, sent every 10 ms.\n");
    std::fflush(stdout);
}

} // namespace quillon::bench
