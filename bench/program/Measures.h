#pragma once

// What the program benchmark times, each from outside the program: a key to the repaint it
// causes, opening to the first paint and to a quiet window, a tab switch to its last repaint, and
// the longest time the window leaves pings unanswered.

#include "program/Editor.h"
#include "program/XSession.h"

#include <functional>
#include <optional>
#include <vector>

namespace quillon::bench {

struct Figures
{
    double median = 0;
    double p95 = 0;
    double max = 0;
    int samples = 0;
    int missed = 0;
};

Figures figuresOf(std::vector<double> samples, int missed);

// The keys to press per measurement (QUILLON_BENCH_ROUNDS, 60 by default); half as many for a
// peer editor, which is there to compare with.
int roundsFor(const EditorSpec& editor);

// Presses each key in turn, `rounds` presses in all, each once the window has been quiet for
// 40 ms, and times the press to the window's first damage after it. Stops early once
// `budgetMs` have passed: an editor that takes seconds a key does not hold up the run.
Figures timeKeys(
    XSession& x, Window window, const std::vector<KeySym>& keys, int rounds, int budgetMs = 30000);
// The same with steps of the mouse wheel wherever the pointer is: three down, one up, in turn.
Figures timeWheelSteps(XSession& x, Window window, int rounds, int budgetMs = 30000);

// The longest wait for an answer to pings sent every 10 ms; none when the window takes no pings.
struct Stall
{
    std::optional<double> longestMs;
    bool cutShort = false; // the window had not settled when the measurement gave up
};

// Takes the window's damage until it has been quiet for `quietMs` while the program was all
// but idle (under 5 % of a processor): a program may go on reading a file or styling text without
// painting. The arrival of the last damage taken; gives up after `capMs` (`cutShort` says so).
std::optional<double> settleIdle(
    XSession& x, EditorRun& run, int quietMs, int capMs, bool* cutShort = nullptr);

// Waits as settleIdle does; false if the program did not settle within `capMs`.
bool waitUntilIdle(XSession& x, EditorRun& run, int quietMs = 500, int capMs = 30000);

struct OpenFigures
{
    std::optional<double> firstPaint; // from the start of the program
    std::optional<double> settled; // the last damage before settling (400 ms), from the start
    bool settledCutShort = false;
    Stall stall; // from the window's mapping until it settled
};

// Opening as it goes on after `run.start()`: the first paint and the settled window, the window
// pinged all the while; `afterFirstPaint`, where given, is done once it painted. Gives up on
// settling after `capMs`.
OpenFigures measureOpen(XSession& x, EditorRun& run, int capMs = 60000,
    const std::function<void()>& afterFirstPaint = {});

// Types `count` plain letters `intervalMs` apart where the caret is and waits for the window to
// settle (at most `capMs`), pinging it all the while.
Stall typingStall(
    XSession& x, EditorRun& run, int count = 30, int intervalMs = 50, int capMs = 20000);

// Does `act` and waits for the window to settle (at most `capMs`), pinging it all the while.
Stall stallDuring(XSession& x, EditorRun& run, const std::function<void()>& act, int capMs = 20000);

// A key pressed while a document opens: Return at the top of it, `delayMs` after the window's
// first paint. Shown: the first change of the document's first lines after the key (a line
// pushed down moves far more pixels than the caret's blink); on disk: the file grown by it.
struct KeyWhileOpening
{
    OpenFigures open; // its stall that of the whole opening, the key's handling included
    std::optional<double> shown; // from the key
    std::optional<double> onDisk; // from the key
};
KeyWhileOpening keyWhileOpening(
    XSession& x, EditorRun& run, const QString& path, int delayMs, int capMs = 60000);

// Switches `rounds` times between the tabs at `a` and `b` (`b` shown at first), timing each
// switch from its click or key to the last damage before the window stays quiet for `quietMs`.
Figures timeTabSwitches(XSession& x, EditorRun& run, int a, int b, int rounds, int quietMs);

} // namespace quillon::bench
