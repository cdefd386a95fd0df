#include "support/ScriptedUserPrompts.h"

namespace quillon {

namespace {

int lastButton(const UserPrompts::Alert& alert)
{
    return alert.buttons.isEmpty() ? 0 : int(alert.buttons.size()) - 1;
}

std::optional<QString> takeAnswer(std::deque<std::optional<QString>>& queue)
{
    if (queue.empty())
        return std::nullopt;
    const bool chosen = queue.front().has_value();
    const QString path = queue.front().value_or(QString());
    queue.pop_front();
    if (!chosen)
        return std::nullopt;
    return path;
}

} // namespace

ScriptedUserPrompts& ScriptedUserPrompts::installNew()
{
    auto prompts = std::make_unique<ScriptedUserPrompts>();
    ScriptedUserPrompts& ref = *prompts;
    install(std::move(prompts));
    return ref;
}

int ScriptedUserPrompts::runAlert(const Alert& alert)
{
    m_alerts.append(alert);
    int answer = lastButton(alert);
    if (!m_alertAnswers.empty()) {
        const auto choose = std::move(m_alertAnswers.front());
        m_alertAnswers.pop_front();
        answer = choose(alert);
    } else if (m_alertHandler) {
        answer = m_alertHandler(alert);
    }
    return answer;
}

std::optional<QString> ScriptedUserPrompts::runSavePanel(const SavePanel& panel)
{
    m_savePanels.append(panel);
    return takeAnswer(m_saveAnswers);
}

std::optional<QString> ScriptedUserPrompts::runOpenPanel(const OpenPanel& panel)
{
    m_openPanels.append(panel);
    return takeAnswer(m_openAnswers);
}

void ScriptedUserPrompts::queueAlertAnswer(int buttonIndex)
{
    m_alertAnswers.push_back([buttonIndex](const Alert&) { return buttonIndex; });
}

void ScriptedUserPrompts::queueAlertAnswer(const QString& buttonTitle)
{
    m_alertAnswers.push_back([buttonTitle](const Alert& alert) {
        const qsizetype index = alert.buttons.indexOf(buttonTitle);
        return index >= 0 ? int(index) : lastButton(alert);
    });
}

void ScriptedUserPrompts::queueSavePanelAnswer(std::optional<QString> path)
{
    m_saveAnswers.push_back(std::move(path));
}

void ScriptedUserPrompts::queueOpenPanelAnswer(std::optional<QString> path)
{
    m_openAnswers.push_back(std::move(path));
}

void ScriptedUserPrompts::setAlertHandler(std::function<int(const Alert&)> handler)
{
    m_alertHandler = std::move(handler);
}

void ScriptedUserPrompts::clearRecords()
{
    m_alerts.clear();
    m_savePanels.clear();
    m_openPanels.clear();
}

} // namespace quillon
