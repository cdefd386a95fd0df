// The program as a user feels it: starts the quillon binary on an X server of its own, opens a
// large document, presses keys through XTest and times each one to the repaint it causes (the
// window's first X damage event after the key). Prints open-to-settled, key-to-repaint and
// caret-to-repaint figures next to their goals; it never fails on a slow figure. The editor column
// shows both panes (the default); the "source" cases type in the source pane on the left, the
// "find next" case steps through ten thousand matches with Return in the find bar.
//
// Usage: bench_program [path/to/quillon] (default: the binary of this build tree).
// QUILLON_BENCH_DISPLAY picks the display number of the X server it starts (default 97),
// QUILLON_BENCH_CASE runs only the cases whose name holds it, QUILLON_BENCH_ROUNDS sets the keys
// per measurement (default 60).
#include "BenchDocuments.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <sys/select.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using Clock = QElapsedTimer;

struct Session
{
    Display* display = nullptr;
    int damageEvent = 0;
    int damageError = 0;
};

// Waits up to `timeoutMs` for the next damage notification; its arrival in ms since `clock`
// started, none on timeout. Other events are dropped.
std::optional<double> nextDamage(Session& s, Damage damage, const Clock& clock, int timeoutMs)
{
    const qint64 deadline = clock.nsecsElapsed() + qint64(timeoutMs) * 1000000;
    const int fd = ConnectionNumber(s.display);
    while (true) {
        while (XPending(s.display) > 0) {
            XEvent event;
            XNextEvent(s.display, &event);
            if (event.type == s.damageEvent + XDamageNotify) {
                const double at = clock.nsecsElapsed() / 1e6;
                XDamageSubtract(s.display, damage, None, None);
                XFlush(s.display);
                return at;
            }
        }
        const qint64 left = deadline - clock.nsecsElapsed();
        if (left <= 0)
            return std::nullopt;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        timeval tv { long(left / 1000000000), long((left / 1000) % 1000000) };
        select(fd + 1, &fds, nullptr, nullptr, &tv);
    }
}

// Drops damage until the window has been quiet for `quietMs`; the time of the last damage seen.
std::optional<double> settle(Session& s, Damage damage, const Clock& clock, int quietMs)
{
    std::optional<double> last;
    while (const auto at = nextDamage(s, damage, clock, quietMs))
        last = at;
    return last;
}

Window findWindow(Display* display, Window parent, const QString& titlePart)
{
    Window root = 0;
    Window parentReturn = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parentReturn, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes)
            || attributes.map_state != IsViewable)
            continue;
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (QString::fromUtf8(name).contains(titlePart))
                found = children[i];
            XFree(name);
        }
        if (!found)
            found = findWindow(display, children[i], titlePart);
    }
    if (children)
        XFree(children);
    return found;
}

struct Figures
{
    double median = 0;
    double p95 = 0;
    double max = 0;
    int missed = 0;
};

Figures figuresOf(std::vector<double> samples, int missed)
{
    Figures f;
    f.missed = missed;
    if (samples.empty())
        return f;
    std::sort(samples.begin(), samples.end());
    f.median = samples[samples.size() / 2];
    f.p95 = samples[std::min(samples.size() - 1, size_t(double(samples.size()) * 0.95))];
    f.max = samples.back();
    return f;
}

// Presses and releases each key in turn, timing press to the first damage.
void printFigures(const char* what, const Figures& f, double goal)
{
    std::printf(
        "%-22s %-16s  median %6.2f  p95 %6.2f  max %6.2f ms  missed %d  (goal p95 < %.0f)\n", "",
        what, f.median, f.p95, f.max, f.missed, goal);
    std::fflush(stdout);
}

Figures timeKeys(Session& s, Damage damage, const std::vector<KeySym>& keys, int rounds)
{
    std::vector<double> samples;
    int missed = 0;
    Clock clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        const KeyCode code = XKeysymToKeycode(s.display, keys[size_t(i) % keys.size()]);
        settle(s, damage, clock, 40);
        const double pressed = clock.nsecsElapsed() / 1e6;
        XTestFakeKeyEvent(s.display, code, True, CurrentTime);
        XFlush(s.display);
        const auto painted = nextDamage(s, damage, clock, 2000);
        XTestFakeKeyEvent(s.display, code, False, CurrentTime);
        XFlush(s.display);
        if (painted)
            samples.push_back(*painted - pressed);
        else
            ++missed;
    }
    settle(s, damage, clock, 100);
    return figuresOf(samples, missed);
}

void chord(Display* display, KeySym modifier, KeySym key)
{
    const KeyCode m = XKeysymToKeycode(display, modifier);
    const KeyCode k = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, m, True, CurrentTime);
    XTestFakeKeyEvent(display, k, True, CurrentTime);
    XTestFakeKeyEvent(display, k, False, CurrentTime);
    XTestFakeKeyEvent(display, m, False, CurrentTime);
    XFlush(display);
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

void typeText(Display* display, const char* text)
{
    for (const char* c = text; *c; ++c) {
        const KeyCode code = XKeysymToKeycode(display, KeySym(*c));
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    XFlush(display);
}

// Ten thousand matches of "needle" spread through a generated document.
QString documentWithMatches(qsizetype bytes)
{
    QString doc = quillon::bench::generatedDocument(bytes, 100);
    const qsizetype step = doc.size() / 10'000;
    for (qsizetype i = 10'000; i > 0; --i)
        doc.insert(i * step - step / 2, QStringLiteral(" needle "));
    return doc;
}

void runCase(
    Session& s, const QString& binary, const QString& displayName, const QDir& dir, const Case& c)
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

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Settings of its own for each case: no session of an earlier case is restored.
    const QString home = QFileInfo(path).completeBaseName();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(home + QStringLiteral("-config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(home + QStringLiteral("-data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(home + QStringLiteral("-cache")));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());

    Clock clock;
    clock.start();
    program.start(binary, { path });
    if (!program.waitForStarted(5000)) {
        std::printf("%-22s could not start %s\n", c.name, qPrintable(binary));
        return;
    }
    // The window, as soon as it exists; its damage from then on.
    Window window = 0;
    while (!window && clock.elapsed() < 20000) {
        window = findWindow(s.display, DefaultRootWindow(s.display), QStringLiteral("Quillon"));
        if (!window)
            QThread::msleep(2);
    }
    if (!window) {
        std::printf("%-22s no window appeared\n", c.name);
        program.kill();
        program.waitForFinished();
        return;
    }
    const Damage damage = XDamageCreate(s.display, window, XDamageReportNonEmpty);
    XFlush(s.display);
    // Settled: the window has shown the document and then stayed unchanged for 400 ms (less
    // than the caret's blink).
    std::optional<double> settled;
    while (!settled && clock.elapsed() < 30000)
        settled = settle(s, damage, clock, 400);
    const double openMs = settled.value_or(-1);

    XWindowAttributes attributes;
    XGetWindowAttributes(s.display, window, &attributes);
    XSetInputFocus(s.display, window, RevertToParent, CurrentTime);
    // The source pane is the left half of the editor column.
    const int clickX = attributes.x
        + (c.action == Action::TypeInSource ? attributes.width / 4 : attributes.width / 2);
    XTestFakeMotionEvent(s.display, -1, clickX, attributes.y + 120, CurrentTime);
    XTestFakeButtonEvent(s.display, 1, True, CurrentTime);
    XTestFakeButtonEvent(s.display, 1, False, CurrentTime);
    chord(s.display, XK_Control_L, XK_Home);
    XTestFakeKeyEvent(s.display, XKeysymToKeycode(s.display, XK_Down), True, CurrentTime);
    XTestFakeKeyEvent(s.display, XKeysymToKeycode(s.display, XK_Down), False, CurrentTime);
    XFlush(s.display);
    settle(s, damage, clock, 300);

    // Typing near the start of the document, where the most text follows every keystroke;
    // then the caret between lines of all kinds near the top.
    const int rounds = qEnvironmentVariableIntValue("QUILLON_BENCH_ROUNDS") > 0
        ? qEnvironmentVariableIntValue("QUILLON_BENCH_ROUNDS")
        : 60;
    std::printf("%-22s open to settled %8.1f ms (goal < %.0f)\n", c.name, openMs, c.openGoal);
    if (c.action == Action::FindNext) {
        chord(s.display, XK_Control_L, XK_f);
        settle(s, damage, clock, 200);
        typeText(s.display, "needle");
        settle(s, damage, clock, 400);
        printFigures("find next", timeKeys(s, damage, { XK_Return }, rounds), c.keyGoal);
    } else {
        printFigures("key to repaint", timeKeys(s, damage, { XK_a, XK_s, XK_d, XK_space }, rounds),
            c.keyGoal);
        printFigures("caret to repaint",
            timeKeys(s, damage, { XK_Down, XK_Down, XK_Down, XK_Up }, rounds), c.keyGoal);
    }
    XDamageDestroy(s.display, damage);
    XFlush(s.display);
    program.kill();
    program.waitForFinished(5000);
}

} // namespace

int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0; // a window that went away between two requests
}

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
    const QString number = qEnvironmentVariable("QUILLON_BENCH_DISPLAY", QStringLiteral("97"));
    const QString displayName = QStringLiteral(":") + number;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(QStringLiteral("Xvfb"),
        { displayName, QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("1400x900x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp") });
    Session s;
    for (int i = 0; i < 100 && !s.display; ++i) {
        QThread::msleep(50);
        s.display = XOpenDisplay(qPrintable(displayName));
    }
    if (!s.display) {
        std::printf("no X server on %s\n", qPrintable(displayName));
        return 0;
    }
    XSetErrorHandler(ignoreXErrors);
    int major = 0;
    int minor = 0;
    int eventBase = 0;
    int errorBase = 0;
    if (!XTestQueryExtension(s.display, &eventBase, &errorBase, &major, &minor)
        || !XDamageQueryExtension(s.display, &s.damageEvent, &s.damageError)) {
        std::printf("the X server lacks XTest or Damage\n");
        return 0;
    }

    QTemporaryDir dir;
    const QDir where(dir.path());
    using namespace quillon::bench;
    const std::vector<Case> cases {
        { "generated 1 MB", generatedDocument(1 << 20, 100), 400, 8 },
        { "real shapes 1 MB", realShapesDocument(1 << 20), 400, 8 },
        { "generated 10 MB", generatedDocument(10 << 20, 1000), 2000, 16 },
        { "real shapes 10 MB", realShapesDocument(10 << 20), 2000, 16 },
        { "source both 1 MB", generatedDocument(1 << 20, 100), 400, 25, Action::TypeInSource },
        { "source both 10 MB", generatedDocument(10 << 20, 1000), 2000, 25, Action::TypeInSource },
        { "find next 1 MB", documentWithMatches(1 << 20), 400, 16, Action::FindNext },
    };
    const QString only = qEnvironmentVariable("QUILLON_BENCH_CASE");
    for (const Case& c : cases)
        if (only.isEmpty() || QString::fromLatin1(c.name).contains(only))
            runCase(s, binary, displayName, where, c);

    XCloseDisplay(s.display);
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
