#pragma once

// One editor program under test, quillon or a peer editor, started on documents on the
// benchmark's X server: with a home, settings and a session bus of its own (a bus on which
// nothing can be started, so no keyring, accessibility or settings service joins in), its window
// at the same size as every other editor's, and stopped again however it behaves.

#include "program/XSession.h"

#include <QDir>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quillon::bench {

enum class EditorKind { Quillon, FeatherPad, Gedit };

struct EditorSpec
{
    EditorKind kind;
    QString name;
    QString binary;

    bool isPeer() const { return kind != EditorKind::Quillon; }
};

// Quillon (at `quillonBinary`) and the peer editors installed, as far as QUILLON_BENCH_EDITORS
// (a comma-separated list of names; all by default) asks for them.
std::vector<EditorSpec> editorsToRun(const QString& quillonBinary);

// Every editor's window is this size.
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 820;

class EditorRun
{
public:
    // Runs keep their homes and logs under `workDir`.
    EditorRun(XSession& x, const EditorSpec& spec, const QDir& workDir);
    EditorRun(const EditorRun&) = delete;
    EditorRun& operator=(const EditorRun&) = delete;
    ~EditorRun();

    // Starts the program on `documents` (more than one: all in tabs, the first one shown) and
    // waits for its main window to map. False, with `failure()` saying why, if it did not.
    bool start(const QStringList& documents);
    void stop();

    const EditorSpec& spec() const { return m_spec; }
    Window window() const { return m_window; }
    qint64 pid() const { return m_pid; }
    // When the program was started, in the session's clock.
    double startedAt() const { return m_startedAt; }
    QString failure() const { return m_failure; }

    struct Memory
    {
        double peakMb = 0; // VmHWM
        double currentMb = 0; // VmRSS
    };
    // The main process's resident memory; none once it has gone.
    std::optional<Memory> memory() const;
    // The processor time the main process (all its threads) has used, in ms.
    double cpuMs() const;

    // Gives the window the keyboard and puts the caret into the text by a click (in quillon's
    // block editor, or its source pane).
    void focusEditingView(bool sourcePane = false);
    // Where the window shows the first lines of its document: in Quillon both panes' tops.
    QRect firstLines();
    // Shows the tab at `index` (from 0, in the tab bar's order) the way a user would: a click on
    // the tab in quillon, the keys that step to the next or previous tab in the peers.
    void showTab(int index);
    // Moves the pointer over the tab at `index` where a click shows it.
    void pointAtTab(int index);
    // The window's title: the peers name the document shown in it.
    QString title();

private:
    QProcessEnvironment environment(const QString& home) const;
    void writeSettings(const QString& home, const QStringList& documents) const;
    QStringList arguments(const QStringList& documents) const;
    bool startBus(const QString& home);
    QPoint tabPosition(int index) const;

    XSession& m_x;
    EditorSpec m_spec;
    QDir m_workDir;
    QProcess m_program;
    QProcess m_bus;
    QString m_busAddress;
    Window m_window = 0;
    qint64 m_pid = 0;
    double m_startedAt = 0;
    int m_shownTab = 0;
    QString m_failure;
};

} // namespace quillon::bench
