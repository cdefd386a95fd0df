#pragma once

#include "agent/ContextPill.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QScrollArea;
class QToolButton;

namespace quillon {

class AgentProcessBridge;
class AnalyticsEvent;
class ContextChip;
class PromptField;
class StreamThrottle;
class TranscriptCanvas;
class WorkspaceState;

// The assistant panel: a header naming the engine, the transcript of the agent bridge, the
// attached-context chip and the prompt field with send and stop.
//
// Reads: the bridge's messages, isProcessing and currentEngine; the workspace's activeTabURL,
// currentFileContent and folderURL. Writes: nothing of the workspace; sends and cancels through
// the bridge, and reports each send through `track`.
//
// Streaming output repaints the transcript at most every ~30 ms. The attachment follows the
// active tab while the panel is shown; edits to the document do not change it.
class AgentChatView : public QWidget
{
    Q_OBJECT
public:
    using Tracker = std::function<void(const AnalyticsEvent&)>;

    AgentChatView(AgentProcessBridge& bridge, WorkspaceState& workspace, Tracker track,
        QWidget* parent = nullptr);
    ~AgentChatView() override;

    void setDarkMode(bool dark);
    bool darkMode() const { return m_dark; }

    const std::optional<ContextPill>& attachedContext() const { return m_attachedContext; }

    PromptField* promptField() const { return m_prompt; }
    QToolButton* sendButton() const { return m_send; }
    QToolButton* stopButton() const { return m_stop; }
    ContextChip* contextChip() const { return m_chip; }
    TranscriptCanvas* transcript() const { return m_canvas; }
    QScrollArea* transcriptScrollArea() const { return m_scroll; }
    QLabel* engineBadge() const { return m_badge; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildInputArea();
    QWidget* makeDivider();
    void sendPrompt();
    void updateAutoContext();
    void showAttachedContext();
    void refreshEngineBadge();
    void refreshButtons();
    void applyColours();
    void flushTranscript();

    AgentProcessBridge& m_bridge;
    WorkspaceState& m_workspace;
    Tracker m_track;
    bool m_dark = false;
    std::optional<ContextPill> m_attachedContext;
    QString m_contextTabURL;
    bool m_shownOnce = false;
    int m_anchorRow = -1; // the newest row, kept in place while older rows are laid out
    int m_anchorOffset = 0;
    QColor m_sendIconColour; // the send icon is drawn again only when its colour changes

    QWidget* m_header = nullptr;
    QLabel* m_headerIcon = nullptr;
    QLabel* m_headerTitle = nullptr;
    QLabel* m_badge = nullptr;
    QList<QWidget*> m_dividers;
    QScrollArea* m_scroll = nullptr;
    TranscriptCanvas* m_canvas = nullptr;
    QWidget* m_inputArea = nullptr;
    ContextChip* m_chip = nullptr;
    QWidget* m_promptBox = nullptr;
    PromptField* m_prompt = nullptr;
    QToolButton* m_send = nullptr;
    QToolButton* m_stop = nullptr;
    StreamThrottle* m_throttle = nullptr;
};

} // namespace quillon
