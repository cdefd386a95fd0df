#include "program/Editor.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace quillon::bench {

namespace {

// Quillon's tabs sit in its top bar (40 pixels high, under a menu bar of about 21), after the
// sidebar button's inset of 48 pixels; a tab is 100 pixels wide unless its file name needs more,
// which names as short as "1.md" never do.
constexpr int kQuillonFirstTabX = 48;
constexpr int kQuillonTabWidth = 100;
constexpr int kQuillonTabRowY = 21 + 40 / 2;
// The editor column starts right of the sidebar (240 pixels wide in a new home); the source pane
// takes its left half, the block editor its right half.
constexpr int kQuillonSidebarWidth = 240;

// A session bus that only carries messages: with no service directories nothing can be started
// on it.
const char* const kBusConfig
    = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// A program the benchmark starts ends with it, however the benchmark ends.
void endWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

std::vector<EditorSpec> editorsToRun(const QString& quillonBinary)
{
    const std::vector<EditorSpec> all {
        { EditorKind::Quillon, QStringLiteral("quillon"), quillonBinary },
        { EditorKind::FeatherPad, QStringLiteral("featherpad"),
            QStringLiteral("/usr/bin/featherpad") },
        { EditorKind::Gedit, QStringLiteral("gedit"), QStringLiteral("/usr/bin/gedit") },
    };
    const QStringList wanted
        = qEnvironmentVariable("QUILLON_BENCH_EDITORS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    std::vector<EditorSpec> editors;
    for (const EditorSpec& e : all) {
        if (!wanted.isEmpty() && !wanted.contains(e.name))
            continue;
        if (!QFileInfo(e.binary).isExecutable()) {
            if (e.isPeer())
                std::printf("%s is not installed: its column stays empty\n", qPrintable(e.name));
            continue;
        }
        editors.push_back(e);
    }
    return editors;
}

EditorRun::EditorRun(XSession& x, const EditorSpec& spec, const QDir& workDir)
    : m_x(x)
    , m_spec(spec)
    , m_workDir(workDir)
{
    endWithParent(m_program);
    endWithParent(m_bus);
}

EditorRun::~EditorRun()
{
    stop();
}

bool EditorRun::start(const QStringList& documents)
{
    static int runs = 0;
    const QString home = m_workDir.filePath(QStringLiteral("%1-%2").arg(m_spec.name).arg(++runs));
    QDir().mkpath(home);
    writeSettings(home, documents);
    if (!startBus(home))
        return false;

    m_program.setProcessEnvironment(environment(home));
    m_program.setWorkingDirectory(home);
    if (m_spec.isPeer()) {
        // Their warnings are not ours to read; they stay in the run's folder.
        m_program.setStandardOutputFile(home + QStringLiteral("/output.log"));
        m_program.setStandardErrorFile(home + QStringLiteral("/output.log"), QIODevice::Append);
    } else {
        m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program.setStandardOutputFile(QProcess::nullDevice());
    }
    m_startedAt = m_x.now();
    m_program.start(m_spec.binary, arguments(documents));
    if (!m_program.waitForStarted(5000)) {
        m_failure = QStringLiteral("could not start %1").arg(m_spec.binary);
        return false;
    }
    m_pid = m_program.processId();
    const std::optional<Window> window = m_x.waitForWindow(m_pid, m_startedAt, 60000);
    if (!window) {
        m_failure = QStringLiteral("no window appeared");
        return false;
    }
    m_window = *window;
    const QRect g = m_x.geometry(m_window);
    if (g.width() != kWindowWidth || g.height() != kWindowHeight) {
        // Counted from here on, the figures include the resize.
        std::printf("  (%s came up %dx%d; resized to %dx%d)\n", qPrintable(m_spec.name), g.width(),
            g.height(), kWindowWidth, kWindowHeight);
        m_x.resize(m_window, kWindowWidth, kWindowHeight);
    }
    m_shownTab = 0;
    return true;
}

void EditorRun::stop()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        if (!m_program.waitForFinished(3000)) {
            m_program.kill();
            m_program.waitForFinished(3000);
        }
    }
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        if (!m_bus.waitForFinished(2000)) {
            m_bus.kill();
            m_bus.waitForFinished(2000);
        }
    }
    m_window = 0;
}

bool EditorRun::startBus(const QString& home)
{
    const QString config = home + QStringLiteral("/bus.conf");
    writeFile(config, kBusConfig);
    m_bus.setProcessChannelMode(QProcess::SeparateChannels);
    m_bus.setStandardErrorFile(QProcess::nullDevice());
    m_bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
            QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1") });
    if (!m_bus.waitForStarted(5000)) {
        m_failure = QStringLiteral("could not start dbus-daemon");
        return false;
    }
    while (!m_bus.canReadLine() && m_bus.waitForReadyRead(5000)) { }
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    if (m_busAddress.isEmpty()) {
        m_failure = QStringLiteral("dbus-daemon gave no address");
        return false;
    }
    return true;
}

QProcessEnvironment EditorRun::environment(const QString& home) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SESSION_MANAGER"));
    env.insert(QStringLiteral("DISPLAY"), m_x.displayName());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    // A home of its own for each run: no session, recent files or cursor positions of an
    // earlier run are restored.
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(
        runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Usage events of a benchmark go nowhere: to a closed port of this machine.
    if (m_spec.kind == EditorKind::Quillon)
        env.insert(
            QStringLiteral("QUILLON_ANALYTICS_BASE_URL"), QStringLiteral("http://127.0.0.1:9/"));
    if (m_spec.kind == EditorKind::Gedit) {
        env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
        // Settings from a file in the home, not from a settings service.
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    return env;
}

void EditorRun::writeSettings(const QString& home, const QStringList& documents) const
{
    switch (m_spec.kind) {
    case EditorKind::Quillon: {
        if (documents.size() < 2)
            return; // the one document comes on the command line
        // Quillon opens one path from its command line; more tabs come from the session it
        // restores.
        const QJsonObject session {
            { QStringLiteral("lastOpenTabPaths"), QJsonArray::fromStringList(documents) },
            { QStringLiteral("lastActiveTabPath"), documents.first() },
        };
        writeFile(home + QStringLiteral("/.config/quillon/standard.json"),
            QJsonDocument(session).toJson());
        return;
    }
    case EditorKind::FeatherPad:
        writeFile(home + QStringLiteral("/.config/featherpad/fp.conf"),
            QStringLiteral("[window]\nsize=@Size(%1 %2)\nstartSize=@Size(%1 %2)\n")
                .arg(kWindowWidth)
                .arg(kWindowHeight)
                .toUtf8());
        return;
    case EditorKind::Gedit:
        // The size gedit keeps leaves out its own header bar and the 5-pixel frame it draws
        // without a window manager. Its plugins (spell checking, file browser, document
        // statistics, mode lines, sorting) stay off: the editor itself is measured.
        writeFile(home + QStringLiteral("/.config/glib-2.0/settings/keyfile"),
            QStringLiteral("[org/gnome/gedit/state/window]\nsize=(%1, %2)\n\n"
                           "[org/gnome/gedit/plugins]\nactive-plugins=@as []\n")
                .arg(kWindowWidth - 10)
                .arg(kWindowHeight - 56)
                .toUtf8());
        return;
    }
}

QStringList EditorRun::arguments(const QStringList& documents) const
{
    if (m_spec.kind == EditorKind::Quillon)
        return documents.size() == 1 ? documents : QStringList();
    // A process of its own, not a window of an instance already running.
    return QStringList { QStringLiteral("--standalone") } + documents;
}

std::optional<EditorRun::Memory> EditorRun::memory() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_pid));
    if (m_pid <= 0 || !status.open(QIODevice::ReadOnly))
        return std::nullopt;
    Memory memory;
    bool found = false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const double mb = fields.at(1).toDouble() / 1024.0;
        if (fields.at(0) == "VmHWM:") {
            memory.peakMb = mb;
            found = true;
        } else if (fields.at(0) == "VmRSS:") {
            memory.currentMb = mb;
        }
    }
    return found ? std::optional(memory) : std::nullopt;
}

double EditorRun::cpuMs() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
    if (m_pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command's name, which is in parentheses and may hold spaces; user
    // and system time are the 14th and 15th of all.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    static const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / ticksPerSecond;
}

void EditorRun::focusEditingView(bool sourcePane)
{
    m_x.focus(m_window);
    const QRect g = m_x.geometry(m_window);
    // Quillon: just under the top bar, amid the editor column's right half (the block editor)
    // or its left half (the source pane); the peers: amid their text.
    const int column = g.width() - kQuillonSidebarWidth;
    const int x = m_spec.isPeer()
        ? g.width() / 2
        : kQuillonSidebarWidth + (sourcePane ? column / 4 : column * 3 / 4);
    const int y = m_spec.isPeer() ? g.height() / 2 : 120;
    m_x.click(m_window, x, y);
}

QRect EditorRun::firstLines()
{
    const QRect g = m_x.geometry(m_window);
    if (m_spec.isPeer())
        return { 60, 120, g.width() - 120, 240 };
    // Below the tab row, clear of the sidebar and the scroll bars.
    return { kQuillonSidebarWidth + 10, 80, g.width() - kQuillonSidebarWidth - 40, 240 };
}

QPoint EditorRun::tabPosition(int index) const
{
    // The middle of the tab, clear of its close mark.
    return { kQuillonFirstTabX + index * kQuillonTabWidth + kQuillonTabWidth / 2, kQuillonTabRowY };
}

void EditorRun::pointAtTab(int index)
{
    if (m_spec.kind == EditorKind::Quillon)
        m_x.pointAt(m_window, tabPosition(index).x(), tabPosition(index).y());
}

void EditorRun::showTab(int index)
{
    if (m_spec.kind == EditorKind::Quillon) {
        m_x.click(m_window, tabPosition(index).x(), tabPosition(index).y());
        m_shownTab = index;
        return;
    }
    // In the text, Ctrl+PageDown moves the caret in both; these are their keys for the next and
    // the previous tab.
    const bool gedit = m_spec.kind == EditorKind::Gedit;
    for (; m_shownTab != index; m_shownTab += index > m_shownTab ? 1 : -1) {
        const bool forward = index > m_shownTab;
        if (gedit)
            m_x.chord({ XK_Control_L, XK_Alt_L }, forward ? XK_Page_Down : XK_Page_Up);
        else
            m_x.chord(XK_Alt_L, forward ? XK_Right : XK_Left);
    }
}

QString EditorRun::title()
{
    return m_x.windowName(m_window);
}

} // namespace quillon::bench
