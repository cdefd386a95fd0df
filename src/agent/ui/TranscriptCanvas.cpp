#include "agent/ui/TranscriptCanvas.h"

#include "agent/AgentProcessBridge.h"
#include "agent/ui/AgentChatPalette.h"

#include "ui/SymbolIcons.h"
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

namespace P = AgentChatPalette;

constexpr qreal stackSpacing = 6;
constexpr qreal bubbleInsetX = 11;
constexpr qreal bubbleInsetY = 8;
constexpr qreal bubbleRadius = 10;
constexpr qreal pillInsetX = 8;
constexpr qreal pillInsetY = 4;
constexpr qreal pillSpacing = 4;
constexpr qreal pillIconSize = 11;
constexpr qreal pillIconGap = 6;
constexpr qreal attachmentIconSize = 10;

const QFont& bubbleFont()
{
    static const QFont font = P::font(12.5);
    return font;
}
const QFont& smallFont()
{
    static const QFont font = P::font(10, QFont::Medium);
    return font;
}
const QFont& pillFont()
{
    static const QFont font = P::font(11, QFont::Medium);
    return font;
}

QString welcomeTitle()
{
    return QStringLiteral("Quillon AI Assistant");
}
QString welcomeText()
{
    return QStringLiteral("Ask questions or request edits to your document. Code & Markdown "
                          "updates will apply in real time.");
}

// The end of a text, kept to notice a text that was replaced rather than extended.
constexpr int tailCheckLength = 16;

QPainterPath rounded(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

TranscriptCanvas::TranscriptCanvas(const AgentProcessBridge& bridge, QWidget* parent)
    : QWidget(parent)
    , m_bridge(bridge)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::NoFocus);
}

void TranscriptCanvas::setDarkMode(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    update();
}

void TranscriptCanvas::setContentWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    m_relayoutAll = true;
    sync();
}

void TranscriptCanvas::messageChanged(int index)
{
    m_dirty.insert(index);
}

qreal TranscriptCanvas::textWidth() const
{
    return std::max<qreal>(m_width - 2 * inset - 2 * bubbleInsetX, 20);
}

bool TranscriptCanvas::sync()
{
    const QList<ChatMessage>& messages = m_bridge.messages();
    const int before = int(m_rows.size());
    if (m_relayoutAll) {
        m_rows.clear();
        m_relayoutAll = false;
    }
    while (m_rows.size() > messages.size())
        m_rows.removeLast();
    for (qsizetype i = m_rows.size(); i < messages.size(); ++i) {
        m_rows.append(Row());
        m_dirty.insert(int(i));
    }
    // A long answer arriving in one piece is laid out over several turns of the event loop.
    const QDeadlineTimer deadline(layoutBudgetMs, Qt::PreciseTimer);
    QList<int> dirty = m_dirty.values();
    std::sort(dirty.begin(), dirty.end());
    m_dirty.clear();
    for (int index : std::as_const(dirty)) {
        if (index < 0 || index >= m_rows.size())
            continue;
        Row& row = m_rows[index];
        const ChatMessage& message = messages.at(index);
        const bool sameMessage = row.id == message.id && row.textLength >= 0
            && row.textLength <= message.text.size()
            && QStringView(message.text).mid(row.textLength - row.tail.size(), row.tail.size())
                == row.tail;
        if (!layOutRow(row, message, sameMessage, deadline))
            m_dirty.insert(index);
    }
    stackRows();
    update();
    return before != int(m_rows.size());
}

bool TranscriptCanvas::layOutRow(
    Row& row, const ChatMessage& message, bool textOnlyAppended, const QDeadlineTimer& deadline)
{
    if (row.id != message.id) {
        row.text.setFont(bubbleFont());
        row.id = message.id;
    }
    row.text.setWidth(textWidth());
    row.fromUser = message.sender == MessageSender::user;
    row.hasContext = message.contextPill.has_value();
    row.contextTitle = row.hasContext ? message.contextPill->title : QString();
    row.pills.clear();
    for (const ActionPillStatus& pill : message.actionPills)
        row.pills.append({ pill.iconName, pill.title });
    const bool complete = row.text.update(message.text, textOnlyAppended, deadline);
    row.textLength = row.text.length();
    const qsizetype tailStart = std::max<qsizetype>(0, row.textLength - tailCheckLength);
    row.tail = message.text.mid(tailStart, row.textLength - tailStart);
    row.height = rowHeight(row);
    return complete;
}

QSizeF TranscriptCanvas::pillSize(const QString& title) const
{
    const QFontMetricsF metrics(pillFont());
    return QSizeF(pillInsetX * 2 + pillIconSize + pillIconGap + metrics.horizontalAdvance(title),
        pillInsetY * 2 + std::max(metrics.height(), pillIconSize));
}

qreal TranscriptCanvas::rowHeight(const Row& row) const
{
    qreal height = 0;
    if (row.hasContext)
        height += std::max(QFontMetricsF(smallFont()).height(), attachmentIconSize) + stackSpacing;
    const qreal textHeight = row.textLength == 0 ? 0 : row.text.height();
    height += textHeight + 2 * bubbleInsetY;
    if (!row.pills.isEmpty()) {
        height += stackSpacing;
        for (const auto& pill : row.pills)
            height += pillSize(pill.second).height();
        height += pillSpacing * (row.pills.size() - 1);
    }
    return height;
}

qreal TranscriptCanvas::welcomeHeight() const
{
    QFont title = P::font(14, QFont::Bold);
    QFont text = P::font(11.5);
    const QRectF bounds = QFontMetricsF(text).boundingRect(
        QRectF(0, 0, std::max(m_width - 2 * inset - 20, 20), 10000),
        Qt::AlignHCenter | Qt::TextWordWrap, welcomeText());
    return 20 + 20 + 32 + 12 + QFontMetricsF(title).height() + 12 + bounds.height() + 20;
}

void TranscriptCanvas::stackRows()
{
    qreal y = inset;
    for (Row& row : m_rows) {
        row.top = y;
        y += row.height + rowSpacing;
    }
    const qreal content = m_rows.isEmpty() ? welcomeHeight() : y - rowSpacing;
    resize(m_width, int(std::ceil(content + inset)));
}

QRect TranscriptCanvas::rowRect(int index) const
{
    const Row& row = m_rows.at(index);
    return QRectF(inset, row.top, m_width - 2 * inset, row.height).toAlignedRect();
}

QRectF TranscriptCanvas::bubbleRect(int index) const
{
    const Row& row = m_rows.at(index);
    qreal y = row.top;
    if (row.hasContext)
        y += std::max(QFontMetricsF(smallFont()).height(), attachmentIconSize) + stackSpacing;
    const qreal textHeight = row.textLength == 0 ? 0 : row.text.height();
    const qreal width = row.text.naturalWidth() + 2 * bubbleInsetX;
    const qreal x = row.fromUser ? m_width - inset - width : inset;
    return QRectF(x, y, width, textHeight + 2 * bubbleInsetY);
}

void TranscriptCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_rows.isEmpty()) {
        paintWelcome(painter);
        return;
    }
    const QRect clip = event->rect();
    const QList<ChatMessage>& messages = m_bridge.messages();
    auto it = std::lower_bound(m_rows.cbegin(), m_rows.cend(), clip.top(),
        [](const Row& row, int y) { return row.top + row.height < y; });
    for (; it != m_rows.cend() && it->top <= clip.bottom(); ++it) {
        const int index = int(it - m_rows.cbegin());
        // Rows are brought up to date in sync(); a message added since waits for it.
        if (index < messages.size() && messages.at(index).id == it->id)
            paintRow(painter, *it, messages.at(index), clip);
    }
}

void TranscriptCanvas::paintRow(
    QPainter& painter, const Row& row, const ChatMessage& message, const QRect& clip)
{
    const qreal dpr = devicePixelRatioF();
    const qreal right = m_width - inset;
    qreal y = row.top;
    if (row.hasContext) {
        const QFontMetricsF metrics(smallFont());
        const qreal lineHeight = std::max(metrics.height(), attachmentIconSize);
        const qreal width = attachmentIconSize + 4 + metrics.horizontalAdvance(row.contextTitle);
        const qreal x = row.fromUser ? right - width : inset;
        painter.drawPixmap(QPointF(x, y + (lineHeight - attachmentIconSize) / 2),
            SymbolIcons::pixmap(QStringLiteral("paperclip"), attachmentIconSize, P::gray(), dpr));
        painter.setFont(smallFont());
        painter.setPen(P::gray());
        painter.drawText(QRectF(x + attachmentIconSize + 4, y, width, lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, row.contextTitle);
        y += lineHeight + stackSpacing;
    }

    const int index = int(&row - m_rows.constData());
    const QRectF bubble = bubbleRect(index);
    painter.setPen(Qt::NoPen);
    painter.setBrush(row.fromUser ? P::userBubble(m_dark) : P::otherBubble(m_dark));
    painter.drawPath(rounded(bubble, bubbleRadius));
    if (row.textLength > 0 && bubble.intersects(clip)) {
        const QColor textColor
            = row.fromUser ? P::userBubbleText(m_dark) : P::otherBubbleText(m_dark);
        row.text.paint(painter, bubble.topLeft() + QPointF(bubbleInsetX, bubbleInsetY), clip,
            message.text, textColor);
    }
    y = bubble.bottom();

    if (row.pills.isEmpty())
        return;
    y += stackSpacing;
    qreal listWidth = 0;
    for (const auto& pill : row.pills)
        listWidth = std::max(listWidth, pillSize(pill.second).width());
    const qreal listX = row.fromUser ? right - listWidth : inset;
    painter.setFont(pillFont());
    for (const auto& pill : row.pills) {
        const QSizeF size = pillSize(pill.second);
        const QRectF box(QPointF(listX, y), size);
        painter.setPen(Qt::NoPen);
        painter.setBrush(P::pillFill(m_dark));
        painter.drawPath(rounded(box, 5));
        painter.drawPixmap(QPointF(box.left() + pillInsetX, box.center().y() - pillIconSize / 2),
            SymbolIcons::pixmap(pill.first, pillIconSize, P::accent(m_dark), dpr));
        painter.setPen(P::secondaryText(m_dark));
        painter.drawText(QRectF(box.left() + pillInsetX + pillIconSize + pillIconGap, box.top(),
                             size.width(), size.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, pill.second);
        y += size.height() + pillSpacing;
    }
}

void TranscriptCanvas::paintWelcome(QPainter& painter)
{
    const qreal dpr = devicePixelRatioF();
    qreal y = inset + 20 + 20;
    const qreal centre = m_width / 2.0;
    painter.drawPixmap(QPointF(centre - 16, y),
        SymbolIcons::pixmap(QStringLiteral("sparkles"), 32, P::accent(m_dark), dpr));
    y += 32 + 12;
    const QFont title = P::font(14, QFont::Bold);
    painter.setFont(title);
    painter.setPen(P::primaryText(m_dark));
    const qreal titleHeight = QFontMetricsF(title).height();
    painter.drawText(QRectF(inset, y, m_width - 2 * inset, titleHeight),
        Qt::AlignHCenter | Qt::TextSingleLine, welcomeTitle());
    y += titleHeight + 12;
    painter.setFont(P::font(11.5));
    painter.setPen(P::gray());
    painter.drawText(QRectF(inset + 10, y, m_width - 2 * inset - 20, height() - y),
        Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, welcomeText());
}

} // namespace quillon
