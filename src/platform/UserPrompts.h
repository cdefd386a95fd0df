#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace quillon {

// What the program asks the user in modal alerts and open/save panels. The window installs the
// widget implementation at start; tests install a ScriptedUserPrompts and give the answers.
// Main thread only.
class UserPrompts
{
public:
    struct Alert
    {
        QString message;
        QString informativeText;
        QStringList buttons;
        bool warning = false;
    };
    struct SavePanel
    {
        QString title;
        QString prompt;
        QString proposedName;
        QString directory;
        QStringList nameFilters;
        bool canCreateDirectories = true;
    };
    struct OpenPanel
    {
        QString title;
        QString directory;
        bool chooseFiles = true;
        bool chooseDirectories = false;
        QStringList nameFilters;
    };

    virtual ~UserPrompts() = default;
    virtual int runAlert(const Alert& alert) = 0; // index of the chosen button (0-based)
    virtual std::optional<QString> runSavePanel(const SavePanel&)
        = 0; // chosen path, nullopt = cancelled
    virtual std::optional<QString> runOpenPanel(const OpenPanel&) = 0;

    // The installed one; until something is installed, a ScriptedUserPrompts that answers every
    // alert with its last button and cancels every panel.
    static UserPrompts& current();
    static void install(std::unique_ptr<UserPrompts> prompts);
};

// Prompts answered from queues, recording every question asked. With an empty queue an alert is
// answered with its last button (usually "Cancel") and a panel is cancelled.
class ScriptedUserPrompts : public UserPrompts
{
public:
    // Installs a fresh instance and returns it (it stays owned by UserPrompts).
    static ScriptedUserPrompts& installNew();

    int runAlert(const Alert& alert) override;
    std::optional<QString> runSavePanel(const SavePanel& panel) override;
    std::optional<QString> runOpenPanel(const OpenPanel& panel) override;

    void queueAlertAnswer(int buttonIndex);
    // Answers the next alert with the button of this title; the last button when it has none.
    void queueAlertAnswer(const QString& buttonTitle);
    void queueSavePanelAnswer(std::optional<QString> path);
    void queueOpenPanelAnswer(std::optional<QString> path);
    // Called for alerts when the queue is empty (e.g. to act while the "modal" alert is up).
    void setAlertHandler(std::function<int(const Alert&)> handler);

    const QList<Alert>& alerts() const { return m_alerts; }
    const QList<SavePanel>& savePanels() const { return m_savePanels; }
    const QList<OpenPanel>& openPanels() const { return m_openPanels; }
    void clearRecords();

private:
    std::deque<std::function<int(const Alert&)>> m_alertAnswers;
    std::deque<std::optional<QString>> m_saveAnswers;
    std::deque<std::optional<QString>> m_openAnswers;
    std::function<int(const Alert&)> m_alertHandler;
    QList<Alert> m_alerts;
    QList<SavePanel> m_savePanels;
    QList<OpenPanel> m_openPanels;
};

} // namespace quillon
