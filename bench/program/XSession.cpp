#include "program/XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <sys/prctl.h>
#include <sys/select.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace quillon::bench {

namespace {

int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0; // a window that went away between two requests
}

constexpr int kMinWindowWidth = 300;
constexpr int kMinWindowHeight = 200;
// Damage nobody takes is not kept without end.
constexpr size_t kMaxQueuedDamage = 100000;

} // namespace

XSession::~XSession()
{
    if (m_display)
        XCloseDisplay(m_display);
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }
}

bool XSession::start(const QString& number, int width, int height)
{
    m_displayName = QStringLiteral(":") + number;
    m_server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(QStringLiteral("Xvfb"),
        { m_displayName, QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("%1x%2x24").arg(width).arg(height), QStringLiteral("-nolisten"),
            QStringLiteral("tcp") });
    if (!m_server.waitForStarted(5000)) {
        std::printf("could not start Xvfb\n");
        return false;
    }
    for (int i = 0; i < 100 && !m_display; ++i) {
        if (m_server.waitForFinished(50))
            break;
        m_display = XOpenDisplay(qPrintable(m_displayName));
    }
    // An X server that was there already answers too, but then Xvfb gives up on the display.
    if (!m_display || m_server.waitForFinished(200)) {
        std::printf("could not start an X server on %s (is the display in use?)\n",
            qPrintable(m_displayName));
        return false;
    }
    XSetErrorHandler(ignoreXErrors);
    int major = 0;
    int minor = 0;
    int eventBase = 0;
    int errorBase = 0;
    int damageError = 0;
    if (!XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor)
        || !XDamageQueryExtension(m_display, &m_damageEvent, &damageError)) {
        std::printf("the X server lacks XTest or Damage\n");
        return false;
    }
    m_root = DefaultRootWindow(m_display);
    m_wmProtocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
    m_netWmPing = XInternAtom(m_display, "_NET_WM_PING", False);
    m_netWmPid = XInternAtom(m_display, "_NET_WM_PID", False);
    m_netWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8String = XInternAtom(m_display, "UTF8_STRING", False);
    // New top-level windows, their mapping and the answers to pings, which come back to the root
    // with one of these masks: GTK's with SubstructureNotify, Qt's with StructureNotify (both
    // also with SubstructureRedirect, which only a window manager may select).
    XSelectInput(m_display, m_root, SubstructureNotifyMask | StructureNotifyMask);
    XFlush(m_display);
    m_clock.start();
    return true;
}

bool XSession::pump(double until)
{
    const int fd = ConnectionNumber(m_display);
    while (true) {
        sendPingIfDue();
        bool handled = false;
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            handle(event);
            handled = true;
        }
        if (handled)
            return true;
        const double t = now();
        if (t >= until)
            return false;
        double wait = until - t;
        if (m_pinged)
            wait = std::clamp(m_nextPingAt - t, 0.0, wait);
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        const long micros = long(wait * 1000);
        timeval tv { micros / 1000000, micros % 1000000 };
        select(fd + 1, &fds, nullptr, nullptr, &tv);
    }
}

void XSession::handle(XEvent& event)
{
    const double t = now();
    if (event.type == m_damageEvent + XDamageNotify) {
        const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
        XDamageSubtract(m_display, notify.damage, None, None);
        const auto it = m_topLevels.find(notify.drawable);
        if (it != m_topLevels.end() && it->second.mappedAt >= 0
            && it->second.damageArrivals.size() < kMaxQueuedDamage)
            it->second.damageArrivals.push_back(t);
        return;
    }
    switch (event.type) {
    case CreateNotify:
        // Watched from its creation: a damage object made once the window maps could come after
        // the program has already painted it.
        if (event.xcreatewindow.parent == m_root && !event.xcreatewindow.override_redirect) {
            TopLevel& top = m_topLevels[event.xcreatewindow.window];
            top.createdAt = t;
            top.damage
                = XDamageCreate(m_display, event.xcreatewindow.window, XDamageReportNonEmpty);
        }
        break;
    case MapNotify:
        if (const auto it = m_topLevels.find(event.xmap.window);
            it != m_topLevels.end() && it->second.mappedAt < 0) {
            it->second.mappedAt = t;
            it->second.damageArrivals.clear();
        }
        break;
    case DestroyNotify:
        // The server frees the damage object with its window.
        m_topLevels.erase(event.xdestroywindow.window);
        break;
    case ClientMessage:
        if (event.xclient.message_type == m_wmProtocols && event.xclient.format == 32
            && Atom(event.xclient.data.l[0]) == m_netWmPing
            && Window(event.xclient.data.l[2]) == m_pinged)
            answered(event.xclient.data.l[1]);
        break;
    default:
        break;
    }
}

std::optional<Window> XSession::waitForWindow(qint64 pid, double since, int timeoutMs)
{
    const double until = now() + timeoutMs;
    do {
        for (const auto& [window, top] : m_topLevels) {
            if (top.mappedAt < 0 || top.createdAt < since)
                continue;
            const QRect g = geometry(window);
            if (g.width() < kMinWindowWidth || g.height() < kMinWindowHeight)
                continue;
            const qint64 owner = windowPid(window);
            if (owner == 0 || owner == pid)
                return window;
        }
    } while (pump(until) || now() < until);
    return std::nullopt;
}

double XSession::mappedAt(Window window) const
{
    const auto it = m_topLevels.find(window);
    return it == m_topLevels.end() ? -1 : it->second.mappedAt;
}

std::optional<double> XSession::nextDamage(Window window, int timeoutMs)
{
    const double until = now() + timeoutMs;
    while (true) {
        const auto it = m_topLevels.find(window);
        if (it == m_topLevels.end())
            return std::nullopt;
        if (!it->second.damageArrivals.empty()) {
            const double at = it->second.damageArrivals.front();
            it->second.damageArrivals.pop_front();
            return at;
        }
        if (!pump(until))
            return std::nullopt;
    }
}

std::optional<double> XSession::settle(Window window, int quietMs, int capMs, bool* capped)
{
    const double start = now();
    std::optional<double> last;
    if (capped)
        *capped = false;
    while (true) {
        const auto it = m_topLevels.find(window);
        if (it == m_topLevels.end())
            return last;
        auto& arrivals = it->second.damageArrivals;
        if (!arrivals.empty()) {
            last = arrivals.back();
            arrivals.clear();
        }
        const double quietUntil = std::max(start, last.value_or(start)) + quietMs;
        const double t = now();
        if (t >= quietUntil)
            return last;
        if (t - start >= capMs) {
            if (capped)
                *capped = true;
            return last;
        }
        pump(std::min(quietUntil, start + capMs));
    }
}

void XSession::quieten(Window window, int quietMs, int capMs)
{
    settle(window, quietMs, capMs);
}

void XSession::idle(int ms)
{
    const double until = now() + ms;
    while (now() < until)
        pump(until);
}

bool XSession::answersPing(Window window)
{
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(m_display, window, &protocols, &count))
        return false;
    const bool found = std::find(protocols, protocols + count, m_netWmPing) != protocols + count;
    XFree(protocols);
    return found;
}

void XSession::startPinging(Window window, int intervalMs)
{
    m_pinged = window;
    m_pingInterval = intervalMs;
    m_nextPingAt = now();
    m_pingsInFlight.clear();
    m_longestPing.reset();
    m_pingAnswered = false;
    sendPingIfDue();
}

std::optional<double> XSession::stopPinging()
{
    // Answers already on their way are taken first.
    XSync(m_display, False);
    pump(now());
    const double t = now();
    for (const auto& [sequence, sentAt] : m_pingsInFlight)
        m_longestPing = std::max(m_longestPing.value_or(0), t - sentAt);
    m_pingsInFlight.clear();
    m_pinged = 0;
    // A window that never answered, however long it was pinged, says nothing about its stalls.
    return m_pingAnswered ? m_longestPing : std::nullopt;
}

void XSession::sendPingIfDue()
{
    if (!m_pinged || now() < m_nextPingAt)
        return;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_pinged;
    event.xclient.message_type = m_wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(m_netWmPing);
    // The time stamp field carries a sequence number, which the answer echoes.
    event.xclient.data.l[1] = ++m_pingSequence;
    event.xclient.data.l[2] = long(m_pinged);
    XSendEvent(m_display, m_pinged, False, NoEventMask, &event);
    XFlush(m_display);
    const double t = now();
    m_pingsInFlight.emplace(m_pingSequence, t);
    m_nextPingAt = t + m_pingInterval;
}

void XSession::answered(long sequence)
{
    // Answers come in order: one also answers any earlier ping still counted as in flight.
    const double t = now();
    m_pingAnswered = true;
    const auto end = m_pingsInFlight.upper_bound(sequence);
    for (auto it = m_pingsInFlight.begin(); it != end; ++it)
        m_longestPing = std::max(m_longestPing.value_or(0), t - it->second);
    m_pingsInFlight.erase(m_pingsInFlight.begin(), end);
}

qint64 XSession::windowPid(Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    qint64 pid = 0;
    if (XGetWindowProperty(m_display, window, m_netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
            &count, &after, &data)
            == Success
        && data) {
        if (format == 32 && count == 1)
            pid = qint64(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

QString XSession::windowName(Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QString name;
    if (XGetWindowProperty(m_display, window, m_netWmName, 0, 1024, False, m_utf8String, &type,
            &format, &count, &after, &data)
            == Success
        && data) {
        name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
        XFree(data);
    }
    if (name.isEmpty()) {
        char* fetched = nullptr;
        if (XFetchName(m_display, window, &fetched) && fetched) {
            name = QString::fromLocal8Bit(fetched);
            XFree(fetched);
        }
    }
    return name;
}

QRect XSession::geometry(Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window, &attributes))
        return {};
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_display, window, m_root, 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

QByteArray XSession::pixels(Window window, const QRect& area)
{
    XImage* image = XGetImage(m_display, window, area.x(), area.y(), unsigned(area.width()),
        unsigned(area.height()), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QByteArray bytes(image->data, qsizetype(image->bytes_per_line) * image->height);
    XDestroyImage(image);
    return bytes;
}

void XSession::resize(Window window, int width, int height)
{
    XResizeWindow(m_display, window, unsigned(width), unsigned(height));
    XFlush(m_display);
}

void XSession::focus(Window window)
{
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XFlush(m_display);
}

void XSession::press(KeySym key)
{
    const KeyCode code = XKeysymToKeycode(m_display, key);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    XFlush(m_display);
}

void XSession::chord(KeySym modifier, KeySym key)
{
    chord({ modifier }, key);
}

void XSession::chord(std::initializer_list<KeySym> modifiers, KeySym key)
{
    for (const KeySym m : modifiers)
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, m), True, CurrentTime);
    press(key);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m)
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, *m), False, CurrentTime);
    XFlush(m_display);
}

void XSession::typeText(const char* text)
{
    for (const char* c = text; *c; ++c) {
        const KeyCode code = XKeysymToKeycode(m_display, KeySym(*c));
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    }
    XFlush(m_display);
}

void XSession::pointAt(Window window, int x, int y)
{
    const QRect g = geometry(window);
    XTestFakeMotionEvent(m_display, -1, g.x() + x, g.y() + y, CurrentTime);
    XFlush(m_display);
}

void XSession::click(Window window, int x, int y)
{
    pointAt(window, x, y);
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XFlush(m_display);
}

} // namespace quillon::bench
