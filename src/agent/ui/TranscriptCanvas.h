#pragma once

#include "agent/ui/WrappedTextLayout.h"

#include <QList>
#include <QSet>
#include <QUuid>
#include <QWidget>

namespace quillon {

class AgentProcessBridge;
struct ChatMessage;

// The assistant's transcript, painted: one row per message of the bridge (attachment line,
// bubble, pills), or the welcome view while there is none. Reads the bridge's messages when told
// they changed; keeps only geometry, never a copy of their text, so an answer of megabytes grows
// at the cost of its new part. Rows are not interactive and show all text as plain text.
class TranscriptCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit TranscriptCanvas(const AgentProcessBridge& bridge, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    // Lays the canvas out for a new width (its height follows the rows).
    void setContentWidth(int width);

    // The message at index changed (or was added); applied at the next sync().
    void messageChanged(int index);
    // Brings the rows up to the bridge's messages, laying out new text for at most about
    // layoutBudgetMs. Returns true when the number of rows changed.
    bool sync();
    // True when text is left to lay out: another sync() goes on with it.
    bool hasPendingLayout() const { return !m_dirty.isEmpty(); }

    static constexpr int layoutBudgetMs = 15;

    int rowCount() const { return int(m_rows.size()); }
    // The row's rectangle in canvas coordinates (the whole row, attachment line to pills).
    QRect rowRect(int index) const;
    // Where the bubble of a row is drawn, in canvas coordinates.
    QRectF bubbleRect(int index) const;

    static constexpr int inset = 14;
    static constexpr int rowSpacing = 14;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Row
    {
        QUuid id;
        bool fromUser = false;
        QString contextTitle; // empty without an attachment line
        bool hasContext = false;
        WrappedTextLayout text;
        qsizetype textLength = -1;
        QString tail; // the last few characters, to tell an extended text from a new one
        QList<QPair<QString, QString>> pills; // icon name, title
        qreal top = 0;
        qreal height = 0;
    };
    // Returns false when the deadline stopped the text's layout before its end.
    bool layOutRow(Row& row, const ChatMessage& message, bool textOnlyAppended,
        const QDeadlineTimer& deadline);
    qreal rowHeight(const Row& row) const;
    void stackRows();
    qreal textWidth() const;
    QSizeF pillSize(const QString& title) const;
    void paintRow(QPainter& painter, const Row& row, const ChatMessage& message, const QRect& clip);
    void paintWelcome(QPainter& painter);
    qreal welcomeHeight() const;

    const AgentProcessBridge& m_bridge;
    bool m_dark = false;
    int m_width = 340;
    QList<Row> m_rows;
    QSet<int> m_dirty;
    bool m_relayoutAll = true;
};

} // namespace quillon
