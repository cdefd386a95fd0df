#pragma once

// The benchmark's own X server and what it sees of the programs on it: every top-level window
// from its creation on (so that the first paint after it maps is not missed), each window's damage
// in order of arrival, and the answers to _NET_WM_PING, by which a window shows that its main loop
// is running. Times are milliseconds since the session started. It also presses keys and clicks
// through XTest.

#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QString>

#include <deque>
#include <initializer_list>
#include <map>
#include <optional>

// The X types this interface names, declared as Xlib declares them: Xlib's macros (None, Bool,
// Status, ...) would break Qt headers included after this one.
struct _XDisplay;
typedef struct _XDisplay Display;
union _XEvent;
typedef union _XEvent XEvent;
typedef unsigned long XID;
typedef XID Window;
typedef XID KeySym;
typedef XID Damage;
typedef unsigned long Atom;

namespace quillon::bench {

class XSession
{
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    ~XSession();

    // Starts Xvfb on display `number` and connects to it; prints why not and returns false on
    // failure.
    bool start(const QString& number, int width, int height);
    QString displayName() const { return m_displayName; }
    Display* display() const { return m_display; }
    double now() const { return double(m_clock.nsecsElapsed()) / 1e6; }

    // The first window of process `pid` created after `since` that maps, is no pop-up and is at
    // least 300 × 200 (a window that names no process is taken too); none on time-out.
    std::optional<Window> waitForWindow(qint64 pid, double since, int timeoutMs);
    double mappedAt(Window window) const;

    // The arrival of the window's next damage (the oldest not yet taken); none on time-out.
    std::optional<double> nextDamage(Window window, int timeoutMs);
    // Takes damage until the window has been quiet for `quietMs`: the arrival of the last damage
    // taken, none if nothing was painted. Gives up after `capMs` (`capped` says so).
    std::optional<double> settle(
        Window window, int quietMs, int capMs = 20000, bool* capped = nullptr);
    // Waits for the window to be quiet for `quietMs` (at most `capMs`), forgetting its damage.
    void quieten(Window window, int quietMs, int capMs = 5000);

    // Whether the window lists _NET_WM_PING in WM_PROTOCOLS.
    bool answersPing(Window window);
    // Sends the window a ping every `intervalMs` while the session waits for anything.
    void startPinging(Window window, int intervalMs = 10);
    // Stops pinging: the longest time between a ping sent and its answer, a ping still unanswered
    // counting until now; none if no ping was answered.
    std::optional<double> stopPinging();

    // Waits `ms` while still taking events (and pinging).
    void idle(int ms);

    QString windowName(Window window);
    QRect geometry(Window window);
    // The pixels of `area` of the window as the server holds them (empty if it cannot read them).
    QByteArray pixels(Window window, const QRect& area);
    void resize(Window window, int width, int height);

    void focus(Window window);
    void press(KeySym key);
    void chord(KeySym modifier, KeySym key);
    void chord(std::initializer_list<KeySym> modifiers, KeySym key);
    void typeText(const char* text);
    // Moves the pointer to (x, y) in the window's coordinates.
    void pointAt(Window window, int x, int y);
    // A left click at (x, y) in the window's coordinates.
    void click(Window window, int x, int y);

private:
    struct TopLevel
    {
        Damage damage = 0;
        double createdAt = 0;
        double mappedAt = -1;
        std::deque<double> damageArrivals;
    };

    // Takes the events that have arrived, or waits for one until `until`; false on time-out.
    bool pump(double until);
    void handle(XEvent& event);
    void sendPingIfDue();
    void answered(long sequence);
    qint64 windowPid(Window window);

    QProcess m_server;
    QString m_displayName;
    Display* m_display = nullptr;
    Window m_root = 0;
    int m_damageEvent = 0;
    QElapsedTimer m_clock;
    std::map<Window, TopLevel> m_topLevels;
    Atom m_wmProtocols = 0;
    Atom m_netWmPing = 0;
    Atom m_netWmPid = 0;
    Atom m_netWmName = 0;
    Atom m_utf8String = 0;

    Window m_pinged = 0;
    int m_pingInterval = 10;
    double m_nextPingAt = 0;
    long m_pingSequence = 0;
    std::map<long, double> m_pingsInFlight;
    std::optional<double> m_longestPing;
    bool m_pingAnswered = false;
};

} // namespace quillon::bench
