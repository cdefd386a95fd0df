#pragma once

#include "platform/UserPrompts.h"

#include <deque>
#include <functional>

namespace quillon {

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
