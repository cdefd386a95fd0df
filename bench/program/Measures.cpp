#include "program/Measures.h"

#include <QFileInfo>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace quillon::bench {

namespace {

constexpr int kOpenQuietMs = 400;
constexpr int kKeyTimeoutMs = 2000;

} // namespace

Figures figuresOf(std::vector<double> samples, int missed)
{
    Figures f;
    f.missed = missed;
    f.samples = int(samples.size());
    if (samples.empty())
        return f;
    std::sort(samples.begin(), samples.end());
    f.median = samples[samples.size() / 2];
    f.p95 = samples[std::min(samples.size() - 1, size_t(double(samples.size()) * 0.95))];
    f.max = samples.back();
    return f;
}

int roundsFor(const EditorSpec& editor)
{
    const int asked = qEnvironmentVariableIntValue("QUILLON_BENCH_ROUNDS");
    const int rounds = asked > 0 ? asked : 60;
    return editor.isPeer() ? std::max(10, rounds / 2) : rounds;
}

namespace {

// Sends input `i` in turn (`send(i, true)`, then `send(i, false)` once the window has been
// damaged), each once the window has been quiet for 40 ms, and times each to that damage.
template <typename Send>
Figures timeInputs(XSession& x, Window window, int rounds, int budgetMs, const Send& send)
{
    std::vector<double> samples;
    int missed = 0;
    const double until = x.now() + budgetMs;
    for (int i = 0; i < rounds && x.now() < until; ++i) {
        x.quieten(window, 40);
        const double pressed = x.now();
        send(i, true);
        XFlush(x.display());
        const auto painted = x.nextDamage(window, kKeyTimeoutMs);
        send(i, false);
        XFlush(x.display());
        if (painted)
            samples.push_back(*painted - pressed);
        else
            ++missed;
    }
    x.quieten(window, 100);
    return figuresOf(samples, missed);
}

} // namespace

Figures timeKeys(
    XSession& x, Window window, const std::vector<KeySym>& keys, int rounds, int budgetMs)
{
    return timeInputs(x, window, rounds, budgetMs, [&](int i, bool down) {
        const KeyCode code = XKeysymToKeycode(x.display(), keys[size_t(i) % keys.size()]);
        XTestFakeKeyEvent(x.display(), code, down ? True : False, CurrentTime);
    });
}

Figures timeWheelSteps(XSession& x, Window window, int rounds, int budgetMs)
{
    // Buttons 4 and 5 are the wheel's steps up and down; a step is taken once the button is let
    // go, so both go at once.
    return timeInputs(x, window, rounds, budgetMs, [&](int i, bool down) {
        if (!down)
            return;
        const unsigned button = i % 4 == 3 ? 4 : 5;
        XTestFakeButtonEvent(x.display(), button, True, CurrentTime);
        XTestFakeButtonEvent(x.display(), button, False, CurrentTime);
    });
}

std::optional<double> settleIdle(
    XSession& x, EditorRun& run, int quietMs, int capMs, bool* cutShort)
{
    const double until = x.now() + capMs;
    std::optional<double> last;
    if (cutShort)
        *cutShort = false;
    while (true) {
        const double from = x.now();
        const double cpu = run.cpuMs();
        bool capped = false;
        if (const auto at = x.settle(run.window(), quietMs, int(until - from), &capped))
            last = at;
        if (capped || x.now() >= until) {
            if (cutShort)
                *cutShort = true;
            return last;
        }
        if (run.cpuMs() - cpu < 0.05 * (x.now() - from) + 10)
            return last;
    }
}

OpenFigures measureOpen(
    XSession& x, EditorRun& run, int capMs, const std::function<void()>& afterFirstPaint)
{
    OpenFigures f;
    const Window window = run.window();
    const bool pinged = x.answersPing(window);
    if (pinged)
        x.startPinging(window);
    if (const auto painted = x.nextDamage(window, capMs)) {
        f.firstPaint = *painted - run.startedAt();
        if (afterFirstPaint)
            afterFirstPaint();
        const auto last = settleIdle(x, run, kOpenQuietMs, capMs, &f.settledCutShort);
        f.settled = last.value_or(*painted) - run.startedAt();
    }
    if (pinged) {
        f.stall.longestMs = x.stopPinging();
        f.stall.cutShort = f.settledCutShort;
    }
    return f;
}

namespace {

// How many 32-bit pixels of two grabs of one area differ.
qsizetype differingPixels(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return std::numeric_limits<qsizetype>::max();
    qsizetype n = 0;
    for (qsizetype i = 0; i + 4 <= a.size(); i += 4)
        n += std::memcmp(a.constData() + i, b.constData() + i, 4) != 0;
    return n;
}

// More than a caret's blink (2 pixels by a line's height) can change.
constexpr qsizetype kMovedPixels = 400;

} // namespace

KeyWhileOpening keyWhileOpening(
    XSession& x, EditorRun& run, const QString& path, int delayMs, int capMs)
{
    KeyWhileOpening f;
    f.open = measureOpen(x, run, capMs, [&] {
        const Window window = run.window();
        x.focus(window);
        x.idle(delayMs);
        const QRect area = run.firstLines();
        const qint64 size = QFileInfo(path).size();
        const QByteArray before = x.pixels(window, area);
        const double pressed = x.now();
        x.press(XK_Return);
        while ((!f.shown || !f.onDisk) && x.now() - pressed < 5000) {
            x.idle(1);
            if (!f.shown && differingPixels(before, x.pixels(window, area)) > kMovedPixels)
                f.shown = x.now() - pressed;
            QFileInfo file(path);
            file.setCaching(false);
            if (!f.onDisk && file.size() > size)
                f.onDisk = x.now() - pressed;
        }
    });
    return f;
}

Stall stallDuring(XSession& x, EditorRun& run, const std::function<void()>& act, int capMs)
{
    Stall stall;
    const Window window = run.window();
    if (!x.answersPing(window))
        return stall;
    x.quieten(window, 100);
    x.startPinging(window);
    act();
    settleIdle(x, run, kOpenQuietMs, capMs, &stall.cutShort);
    stall.longestMs = x.stopPinging();
    return stall;
}

Stall typingStall(XSession& x, EditorRun& run, int count, int intervalMs, int capMs)
{
    static const char letters[] = "asdfghjkl";
    return stallDuring(
        x, run,
        [&] {
            for (int i = 0; i < count; ++i) {
                x.press(KeySym(letters[size_t(i) % (sizeof letters - 1)]));
                x.idle(intervalMs);
            }
        },
        capMs);
}

bool waitUntilIdle(XSession& x, EditorRun& run, int quietMs, int capMs)
{
    bool cutShort = false;
    settleIdle(x, run, quietMs, capMs, &cutShort);
    return !cutShort;
}

Figures timeTabSwitches(XSession& x, EditorRun& run, int a, int b, int rounds, int quietMs)
{
    std::vector<double> samples;
    int missed = 0;
    const Window window = run.window();
    for (int i = 0; i < rounds; ++i) {
        const int tab = i % 2 == 0 ? a : b;
        // The pointer's arrival repaints the tab under it: done before the clock starts.
        run.pointAtTab(tab);
        x.quieten(window, quietMs);
        const double switched = x.now();
        run.showTab(tab);
        const auto first = x.nextDamage(window, 5000);
        if (!first) {
            ++missed;
            continue;
        }
        samples.push_back(x.settle(window, quietMs, 10000).value_or(*first) - switched);
    }
    return figuresOf(samples, missed);
}

} // namespace quillon::bench
