#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace quillon {

class AgentExecutableStatusWatcher;
class AgentProcessBridge;

// The Agent AI tab: the engine picker, whether the agent's executable is found, and the custom
// executable path.
//
// Reads: the bridge's currentEngine and customBinaryPath. Writes: setEngine() and
// setCustomBinaryPath(). The status is resolved when the tab is made, when the engine changes and
// once a typed path settles, never while painting.
class AgentTab : public QWidget
{
    Q_OBJECT
public:
    explicit AgentTab(AgentProcessBridge& bridge, QWidget* parent = nullptr);

    QComboBox* enginePicker() const { return m_engine; }
    QLabel* statusText() const { return m_statusText; }
    QLabel* statusIcon() const { return m_statusIcon; }
    QLabel* customPathProblem() const { return m_problem; }
    QLineEdit* pathField() const { return m_path; }
    const AgentExecutableStatusWatcher& statusWatcher() const { return *m_watcher; }

    void setDarkMode(bool dark);

private:
    void refreshEngine();
    void refreshStatus();

    AgentProcessBridge& m_bridge;
    bool m_dark = false;
    QComboBox* m_engine;
    QWidget* m_statusBox;
    QLabel* m_statusIcon;
    QLabel* m_statusText;
    QLabel* m_problem;
    QLineEdit* m_path;
    AgentExecutableStatusWatcher* m_watcher;
};

} // namespace quillon
