#include "editor/chrome/LocalSearchView.h"

#include "editor/chrome/ChromeColors.h"
#include "editor/chrome/LocalSearchSteps.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {

constexpr int kShadow = 8; // room around the bar for its shadow
constexpr qreal kRadius = 8;

} // namespace

GlyphButton::GlyphButton(ChromeGlyph::Shape shape, int size, int glyphSize, QWidget* parent)
    : QAbstractButton(parent)
    , m_shape(shape)
    , m_glyphSize(glyphSize)
{
    setFixedSize(size, size);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void GlyphButton::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void GlyphButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(
        (width() - m_glyphSize) / 2.0, (height() - m_glyphSize) / 2.0, m_glyphSize, m_glyphSize);
    ChromeGlyph::paint(painter, m_shape, box, m_color, m_weight);
}

LocalSearchView::LocalSearchView(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
{
    setObjectName(QStringLiteral("localSearchBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10 + kShadow, 6 + kShadow, 10 + kShadow, 6 + kShadow);
    layout->setSpacing(8);

    m_magnifier = new ChromeGlyph(ChromeGlyph::Shape::Magnifier, 14, this);
    layout->addWidget(m_magnifier);

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("localSearchField"));
    m_field->setPlaceholderText(QStringLiteral("Find in document..."));
    m_field->setFrame(false);
    m_field->setFixedWidth(180);
    QFont fieldFont = m_field->font();
    fieldFont.setPixelSize(12);
    m_field->setFont(fieldFont);
    m_field->installEventFilter(this);
    layout->addWidget(m_field);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("localSearchCount"));
    m_count->setMinimumWidth(50);
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont countFont = m_count->font();
    countFont.setPixelSize(11);
    countFont.setWeight(QFont::Medium);
    m_count->setFont(countFont);
    layout->addWidget(m_count);

    auto* steps = new QHBoxLayout;
    steps->setSpacing(2);
    m_previous = new GlyphButton(ChromeGlyph::Shape::ChevronUp, 22, 11, this);
    m_previous->setToolTip(QStringLiteral("Previous match (Shift+Enter)"));
    m_next = new GlyphButton(ChromeGlyph::Shape::ChevronDown, 22, 11, this);
    m_next->setToolTip(QStringLiteral("Next match (Enter)"));
    for (GlyphButton* button : { m_previous, m_next }) {
        button->setWeight(1.6);
        steps->addWidget(button);
    }
    layout->addLayout(steps);

    m_rule = new QWidget(this);
    m_rule->setFixedSize(1, 14);
    m_rule->setAutoFillBackground(true);
    layout->addWidget(m_rule);

    m_close = new GlyphButton(ChromeGlyph::Shape::Cross, 20, 10, this);
    m_close->setToolTip(QStringLiteral("Close search (Esc)"));
    m_close->setWeight(1.3);
    layout->addWidget(m_close);

    connect(m_previous, &QAbstractButton::clicked, this, &LocalSearchView::previousRequested);
    connect(m_next, &QAbstractButton::clicked, this, &LocalSearchView::nextRequested);
    connect(m_close, &QAbstractButton::clicked, this, &LocalSearchView::closeRequested);
    // Every keystroke is the query at once, untrimmed.
    connect(m_field, &QLineEdit::textEdited, this,
        [this](const QString& text) { m_workspace.setLocalSearchQuery(text); });
    for (auto signal :
        { &WorkspaceState::localSearchQueryChanged, &WorkspaceState::currentLocalMatchIndexChanged,
            &WorkspaceState::totalLocalMatchCountChanged })
        connect(&workspace, signal, this, &LocalSearchView::updateFromWorkspace);

    setAttribute(Qt::WA_TranslucentBackground);
    updateFromWorkspace();
    updateColors();
}

void LocalSearchView::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    updateColors();
    update();
}

void LocalSearchView::updateFromWorkspace()
{
    // Only a query changed elsewhere is copied in, so typing keeps the field's caret.
    if (m_field->text() != m_workspace.localSearchQuery())
        m_field->setText(m_workspace.localSearchQuery());
    const int total = m_workspace.totalLocalMatchCount();
    m_count->setVisible(!m_workspace.localSearchQuery().isEmpty());
    m_count->setText(LocalSearchSteps::countText(m_workspace.currentLocalMatchIndex(), total));
    m_previous->setEnabled(total != 0);
    m_next->setEnabled(total != 0);
    updateColors();
}

void LocalSearchView::updateColors()
{
    const bool dark = m_isDarkMode;
    const bool none = m_workspace.totalLocalMatchCount() < 1;
    auto setText = [](QWidget* widget, const QColor& color) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        palette.setColor(QPalette::Base, Qt::transparent);
        widget->setPalette(palette);
    };
    setText(m_field, ChromeColors::contrast(dark));
    QPalette fieldPalette = m_field->palette();
    fieldPalette.setColor(QPalette::PlaceholderText, ChromeColors::secondary(dark));
    m_field->setPalette(fieldPalette);
    setText(m_count, none ? ChromeColors::red(dark) : ChromeColors::secondary(dark));
    m_magnifier->setColor(ChromeColors::secondary(dark));
    const QColor step = none ? ChromeColors::gray() : ChromeColors::contrast(dark);
    m_previous->setColor(step);
    m_next->setColor(step);
    m_close->setColor(ChromeColors::secondary(dark));
    QPalette rule = m_rule->palette();
    rule.setColor(QPalette::Window, ChromeColors::findBarOutline(dark));
    m_rule->setPalette(rule);
}

bool LocalSearchView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                Q_EMIT previousRequested();
            else
                Q_EMIT nextRequested();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Q_EMIT closeRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LocalSearchView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateFromWorkspace();
    m_field->setFocus(Qt::OtherFocusReason);
    // The query kept from before is selected: Enter finds it again, typing replaces it.
    m_field->selectAll();
}

void LocalSearchView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = QRectF(rect()).adjusted(kShadow, kShadow, -kShadow, -kShadow);
    // A soft shadow 3 pixels below the bar, fading out over the margin.
    for (int i = kShadow; i > 0; --i) {
        QColor shadow = ChromeColors::findBarShadow();
        shadow.setAlphaF(float(shadow.alphaF() * 0.22 * (kShadow - i + 1) / kShadow));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shadow);
        painter.drawRoundedRect(bar.adjusted(-i / 2.0, -i / 2.0 + 3, i / 2.0, i / 2.0 + 3),
            kRadius + i / 2.0, kRadius + i / 2.0);
    }
    QPainterPath path;
    path.addRoundedRect(bar, kRadius, kRadius);
    painter.fillPath(path, ChromeColors::findBarBackground(m_isDarkMode));
    painter.setPen(QPen(ChromeColors::findBarOutline(m_isDarkMode), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace quillon
