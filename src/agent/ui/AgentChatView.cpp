#include "agent/ui/AgentChatView.h"

#include "agent/AgentProcessBridge.h"
#include "agent/ui/AgentChatPalette.h"
#include "agent/ui/AgentContext.h"
#include "agent/ui/ContextChip.h"
#include "agent/ui/PromptField.h"
#include "agent/ui/StreamThrottle.h"
#include "agent/ui/TranscriptCanvas.h"
#include "analytics/AnalyticsEvent.h"
#include "workspace/WorkspaceState.h"

#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

namespace P = AgentChatPalette;

namespace {

void setFill(QWidget* widget, const QColor& color)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
}

// A scroll bar drawn in the panel's appearance over the fill it sits on, whatever the window
// around the panel (or the field's style sheet) would give it.
void setScrollBarColours(QScrollBar* bar, bool dark, const QColor& background)
{
    QPalette palette = AppColors::palette(dark);
    palette.setColor(QPalette::Window, background);
    bar->setPalette(palette);
}

void setTextColour(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QToolButton* makeRoundButton(QWidget* parent, const QString& tooltip)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIconSize(QSize(22, 22));
    button->setToolTip(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    return button;
}

} // namespace

AgentChatView::AgentChatView(
    AgentProcessBridge& bridge, WorkspaceState& workspace, Tracker track, QWidget* parent)
    : QWidget(parent)
    , m_bridge(bridge)
    , m_workspace(workspace)
    , m_track(std::move(track))
    , m_throttle(new StreamThrottle(StreamThrottle::defaultIntervalMs, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_header = buildHeader();
    column->addWidget(m_header);
    column->addWidget(makeDivider());

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_canvas = new TranscriptCanvas(bridge);
    m_scroll->setWidget(m_canvas);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->viewport()->installEventFilter(this);
    column->addWidget(m_scroll, 1);

    column->addWidget(makeDivider());
    m_inputArea = buildInputArea();
    column->addWidget(m_inputArea);

    connect(&bridge, &AgentProcessBridge::messageUpdated, this, [this](int index) {
        m_canvas->messageChanged(index);
        m_throttle->markDirty();
    });
    connect(m_throttle, &StreamThrottle::flush, this, &AgentChatView::flushTranscript);
    connect(
        &bridge, &AgentProcessBridge::isProcessingChanged, this, &AgentChatView::refreshButtons);
    connect(&bridge, &AgentProcessBridge::currentEngineChanged, this,
        &AgentChatView::refreshEngineBadge);
    connect(&workspace, &WorkspaceState::activeTabURLChanged, this, [this] {
        if (isVisible() && m_workspace.activeTabURL() != m_contextTabURL)
            updateAutoContext();
    });

    auto* sendShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    sendShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(sendShortcut, &QShortcut::activated, this, [this] {
        if (m_send->isVisible() && m_send->isEnabled())
            sendPrompt();
    });

    m_canvas->sync();
    refreshEngineBadge();
    refreshButtons();
    applyColours();
}

AgentChatView::~AgentChatView() = default;

QWidget* AgentChatView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(8);
    m_headerIcon = new QLabel(header);
    m_headerTitle = new QLabel(QStringLiteral("AI Assistant"), header);
    m_headerTitle->setFont(P::font(13, QFont::DemiBold));
    m_badge = new QLabel(header);
    m_badge->setTextFormat(Qt::PlainText);
    m_badge->setFont(P::font(10, QFont::Medium));
    row->addWidget(m_headerIcon);
    row->addWidget(m_headerTitle);
    row->addStretch(1);
    row->addWidget(m_badge);
    return header;
}

QWidget* AgentChatView::makeDivider()
{
    auto* divider = new QWidget(this);
    divider->setFixedHeight(1);
    m_dividers.append(divider);
    return divider;
}

QWidget* AgentChatView::buildInputArea()
{
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    m_chip = new ContextChip(area);
    m_chip->hide();
    connect(m_chip, &ContextChip::removeRequested, this, [this] {
        m_attachedContext.reset();
        showAttachedContext();
    });
    column->addWidget(m_chip);

    auto* row = new QHBoxLayout();
    row->setSpacing(8);
    m_promptBox = new QWidget(area);
    m_promptBox->installEventFilter(this);
    auto* boxLayout = new QVBoxLayout(m_promptBox);
    boxLayout->setContentsMargins(8, 8, 8, 8);
    m_prompt = new PromptField(m_promptBox);
    m_prompt->setFont(P::font(12.5));
    m_prompt->setPlaceholderText(QStringLiteral("Ask assistant to edit or write..."));
    m_prompt->viewport()->setAutoFillBackground(false);
    m_prompt->setAutoFillBackground(false);
    m_prompt->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    boxLayout->addWidget(m_prompt);
    row->addWidget(m_promptBox, 1, Qt::AlignBottom);

    m_send = makeRoundButton(area, QStringLiteral("Send prompt (Enter / Ctrl+Enter)"));
    m_stop = makeRoundButton(area, QStringLiteral("Cancel task"));
    m_stop->setIcon(
        QIcon(SymbolIcons::pixmap(QStringLiteral("stop.circle.fill"), 22, P::red(), 2)));
    row->addWidget(m_send, 0, Qt::AlignBottom);
    row->addWidget(m_stop, 0, Qt::AlignBottom);
    column->addLayout(row);

    connect(m_prompt, &PromptField::submitted, this, &AgentChatView::sendPrompt);
    connect(m_prompt, &QPlainTextEdit::textChanged, this, &AgentChatView::refreshButtons);
    connect(m_send, &QToolButton::clicked, this, &AgentChatView::sendPrompt);
    connect(m_stop, &QToolButton::clicked, this, [this] { m_bridge.cancelTask(); });
    return area;
}

void AgentChatView::setDarkMode(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    applyColours();
}

void AgentChatView::applyColours()
{
    setFill(this, P::panelBackground(m_dark));
    setFill(m_header, P::headerBackground(m_dark));
    setFill(m_inputArea, P::inputBackground(m_dark));
    for (QWidget* divider : std::as_const(m_dividers))
        setFill(divider, P::divider(m_dark));
    m_headerIcon->setPixmap(SymbolIcons::pixmap(
        QStringLiteral("sparkles"), 13, P::accent(m_dark), devicePixelRatioF()));
    setTextColour(m_headerTitle, P::primaryText(m_dark));
    setTextColour(m_prompt, P::primaryText(m_dark));
    QPalette promptPalette = m_prompt->palette();
    promptPalette.setColor(QPalette::PlaceholderText, P::secondaryText(m_dark));
    m_prompt->setPalette(promptPalette);
    setScrollBarColours(m_prompt->verticalScrollBar(), m_dark, P::inputBackground(m_dark));
    m_badge->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border-radius: 8px;"
                                          " padding: 3px 6px; }")
                               .arg(P::badgeFill(m_dark).name(QColor::HexArgb),
                                   P::secondaryText(m_dark).name(QColor::HexArgb)));
    m_chip->setDarkMode(m_dark);
    m_canvas->setDarkMode(m_dark);
    refreshButtons();
    update();
}

void AgentChatView::refreshEngineBadge()
{
    m_badge->setText(m_bridge.currentEngine().displayName());
}

void AgentChatView::refreshButtons()
{
    const bool busy = m_bridge.isProcessing();
    m_stop->setVisible(busy);
    m_send->setVisible(!busy);
    const bool blank = AgentContext::isBlankPrompt(m_prompt->text());
    m_send->setEnabled(!blank);
    const QColor colour = blank ? P::gray(0.4) : P::accent(m_dark);
    if (colour == m_sendIconColour)
        return;
    m_sendIconColour = colour;
    const QPixmap icon = SymbolIcons::pixmap(QStringLiteral("arrow.up.circle.fill"), 22, colour, 2);
    QIcon sendIcon;
    // The disabled look is ours (gray 40%), not the style's.
    sendIcon.addPixmap(icon, QIcon::Normal);
    sendIcon.addPixmap(icon, QIcon::Disabled);
    m_send->setIcon(sendIcon);
}

void AgentChatView::sendPrompt()
{
    // A prompt submitted while the agent works stays in the field, to be sent once it is done.
    if (m_bridge.isProcessing())
        return;
    const QString prompt = m_prompt->text();
    m_prompt->clear();
    if (m_track)
        m_track(AnalyticsEvent::agentTaskTriggered(QStringLiteral("send_prompt")));
    m_bridge.sendTask(prompt, m_attachedContext, m_workspace.folderURL());
}

void AgentChatView::updateAutoContext()
{
    m_contextTabURL = m_workspace.activeTabURL();
    m_attachedContext
        = AgentContext::fromActiveTab(m_contextTabURL, m_workspace.currentFileContent());
    showAttachedContext();
}

void AgentChatView::showAttachedContext()
{
    if (m_attachedContext)
        m_chip->setContext(m_attachedContext->title, m_attachedContext->isSelection);
    m_chip->setVisible(m_attachedContext.has_value());
}

void AgentChatView::flushTranscript()
{
    const bool added = m_canvas->sync();
    const bool pending = m_canvas->hasPendingLayout();
    if (pending)
        m_throttle->markDirty();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    bar->setRange(0, std::max(0, m_canvas->height() - m_scroll->viewport()->height()));
    if (added && m_canvas->rowCount() > 0) {
        // New messages bring the newest into view; text streaming into a message does not scroll.
        m_anchorRow = m_canvas->rowCount() - 1;
        const QRect last = m_canvas->rowRect(m_anchorRow);
        bar->setValue(last.bottom() + TranscriptCanvas::inset - m_scroll->viewport()->height());
        m_anchorOffset = last.top() - bar->value();
    } else if (m_anchorRow >= 0 && m_anchorRow < m_canvas->rowCount()) {
        // Rows above it may still be growing as their text is laid out: the newest stays put.
        bar->setValue(m_canvas->rowRect(m_anchorRow).top() - m_anchorOffset);
    }
    if (!pending)
        m_anchorRow = -1;
}

void AgentChatView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_prompt->setFocus();
    }
    updateAutoContext();
}

bool AgentChatView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize) {
        m_canvas->setContentWidth(m_scroll->viewport()->width());
        if (m_canvas->hasPendingLayout())
            m_throttle->markDirty();
    } else if (watched == m_promptBox && event->type() == QEvent::Paint) {
        QPainter painter(m_promptBox);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(m_promptBox->rect()), 8, 8);
        painter.fillPath(path, P::promptFill(m_dark));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillon
