#include "editor/chrome/ViewModeToggle.h"

#include "editor/chrome/ChromeColors.h"
#include "editor/document/ViewModeTransitions.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPainter>

namespace quillon {

namespace {

// 11.5 points in the design; pixel sizes are whole.
constexpr int kFontSize = 12;
constexpr int kPadX = 8;
constexpr int kPadY = 5;
constexpr qreal kRadius = 6;

} // namespace

ToggleButton::ToggleButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    QFont f = font();
    f.setPixelSize(kFontSize);
    f.setWeight(QFont::Medium);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void ToggleButton::setLit(bool lit)
{
    m_isLit = lit;
    update();
}

void ToggleButton::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    update();
}

QColor ToggleButton::fillColor() const
{
    return ChromeColors::toggleFill(m_isDarkMode, m_isLit, m_isHovering);
}

QColor ToggleButton::textColor() const
{
    return ChromeColors::toggleText(m_isDarkMode, m_isLit);
}

QSize ToggleButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { metrics.horizontalAdvance(text()) + 2 * kPadX, metrics.height() + 2 * kPadY };
}

void ToggleButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor());
    painter.drawRoundedRect(QRectF(rect()), kRadius, kRadius);
    painter.setPen(textColor());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void ToggleButton::enterEvent(QEnterEvent* event)
{
    m_isHovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ToggleButton::leaveEvent(QEvent* event)
{
    m_isHovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

ViewModeToggle::ViewModeToggle(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("viewModeToggle"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_source = new ToggleButton(QStringLiteral("Source"), this);
    m_editor = new ToggleButton(QStringLiteral("Editor"), this);
    layout->addWidget(m_source, 0, Qt::AlignVCenter);
    layout->addWidget(m_editor, 0, Qt::AlignVCenter);
    connect(m_source, &QAbstractButton::clicked, this, [this] { clicked(true); });
    connect(m_editor, &QAbstractButton::clicked, this, [this] { clicked(false); });
    updateButtons();
}

void ViewModeToggle::setMode(EditorMode mode)
{
    m_mode = mode;
    updateButtons();
}

void ViewModeToggle::setDarkMode(bool dark)
{
    m_source->setDarkMode(dark);
    m_editor->setDarkMode(dark);
}

void ViewModeToggle::clicked(bool sourceButton)
{
    const EditorMode next = ViewModeTransitions::afterClick(
        m_mode, sourceButton ? EditorPane::Source : EditorPane::Blocks);
    if (next == m_mode)
        return;
    setMode(next);
    Q_EMIT modeChanged(next);
}

void ViewModeToggle::updateButtons()
{
    m_source->setLit(ViewModeTransitions::isShown(m_mode, EditorPane::Source));
    m_editor->setLit(ViewModeTransitions::isShown(m_mode, EditorPane::Blocks));
}

} // namespace quillon
