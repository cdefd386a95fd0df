#include "app/TopBar.h"

#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"
#include "ui/TabButton.h"
#include "workspace/IconForExtension.h"
#include "workspace/WorkspaceState.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVariantAnimation>

namespace quillon {

TopBar::TopBar(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
{
    setFixedHeight(kHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 1);
    row->setSpacing(0);

    auto* inset = new QWidget(this);
    inset->setFixedWidth(kLeadingTabInset);
    auto* insetRow = new QHBoxLayout(inset);
    insetRow->setContentsMargins(10, 0, 0, 0);
    m_sidebarToggle = new QToolButton(inset);
    m_sidebarToggle->setAutoRaise(true);
    m_sidebarToggle->setFixedSize(28, 28);
    m_sidebarToggle->setToolTip(QStringLiteral("Show or Hide the Sidebar"));
    insetRow->addWidget(m_sidebarToggle);
    insetRow->addStretch();
    row->addWidget(inset);
    connect(m_sidebarToggle, &QToolButton::clicked, this, &TopBar::sidebarToggleRequested);

    m_strip = new QScrollArea(this);
    m_strip->setFrameShape(QFrame::NoFrame);
    m_strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setWidgetResizable(true);
    // A click on a tab leaves the keys to the editors: the strip has no keys of its own.
    m_strip->setFocusPolicy(Qt::NoFocus);
    m_strip->viewport()->setAutoFillBackground(false);
    m_tabRow = new QWidget(m_strip);
    m_tabLayout = new QHBoxLayout(m_tabRow);
    m_tabLayout->setContentsMargins(0, 0, 0, 0);
    m_tabLayout->setSpacing(0);
    m_tabLayout->setSizeConstraint(QLayout::SetMinimumSize);
    m_tabLayout->addStretch();
    m_strip->setWidget(m_tabRow);
    m_tabRow->setAutoFillBackground(false); // setWidget turned it on: the bar shows through
    row->addWidget(m_strip, 1);
    row->addStretch();

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(10, 0, 12, 0);
    controls->setSpacing(10);
    m_viewModeSlot = new QWidget(this);
    auto* slotLayout = new QHBoxLayout(m_viewModeSlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(m_viewModeSlot);
    m_assistant
        = new PillToggleButton(QStringLiteral("sparkles"), QStringLiteral("Assistant"), this);
    m_assistant->setToolTip(QStringLiteral("Toggle AI Assistant Panel (Ctrl+Shift+A)"));
    controls->addWidget(m_assistant);
    m_theme = new ThemeToggleButton(this);
    controls->addWidget(m_theme);
    row->addLayout(controls);

    connect(m_assistant, &PillToggleButton::clicked, this, &TopBar::assistantToggleRequested);
    connect(m_theme, &ThemeToggleButton::clicked, this, &TopBar::themeToggleRequested);

    m_scroll = new QVariantAnimation(this);
    m_scroll->setDuration(200);
    m_scroll->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_scroll, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& v) { m_strip->horizontalScrollBar()->setValue(v.toInt()); });

    connect(&workspace, &WorkspaceState::openTabsChanged, this, &TopBar::rebuildTabs);
    connect(&workspace, &WorkspaceState::activeTabURLChanged, this, &TopBar::updateActive);
    connect(&workspace, &WorkspaceState::isAgentChatOpenChanged, this,
        [this] { m_assistant->setOn(m_workspace.isAgentChatOpen()); });
    m_lastActive = workspace.activeTabURL();
    rebuildTabs();
    updateSidebarIcon();
}

void TopBar::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    for (TabButton* t : tabs())
        t->setDarkMode(dark);
    m_assistant->setDarkMode(dark);
    m_theme->setDarkMode(dark);
    updateSidebarIcon();
    update();
}

void TopBar::updateSidebarIcon()
{
    m_sidebarToggle->setIcon(SymbolIcons::icon(QStringLiteral("sidebar.left"), 16,
        m_isDarkMode ? AppColors::gray() : AppColors::grey(0.4)));
}

QList<TabButton*> TopBar::tabs() const
{
    QList<TabButton*> out;
    for (int i = 0; i < m_tabLayout->count(); ++i) {
        if (auto* t = qobject_cast<TabButton*>(m_tabLayout->itemAt(i)->widget()))
            out.append(t);
    }
    return out;
}

TabButton* TopBar::tab(const QString& path) const
{
    for (TabButton* t : tabs()) {
        if (t->property("path").toString() == path)
            return t;
    }
    return nullptr;
}

void TopBar::rebuildTabs()
{
    const QStringList paths = m_workspace.openTabs();
    QHash<QString, TabButton*> existing;
    for (TabButton* t : tabs()) {
        m_tabLayout->removeWidget(t);
        existing.insert(t->property("path").toString(), t);
    }
    int index = 0;
    for (const QString& path : paths) {
        TabButton* t = existing.take(path);
        if (!t) {
            const QFileInfo info(path);
            t = new TabButton(info.fileName(), iconForExtension(info.suffix()), m_tabRow);
            t->setProperty("path", path);
            t->setDarkMode(m_isDarkMode);
            connect(t, &TabButton::selectRequested, this,
                [this, path] { Q_EMIT tabSelectRequested(path); });
            connect(t, &TabButton::closeRequested, this,
                [this, path] { Q_EMIT tabCloseRequested(path); });
        }
        t->setActive(m_workspace.isTabActive(path));
        m_tabLayout->insertWidget(index++, t);
    }
    qDeleteAll(existing);
    m_strip->setVisible(!paths.isEmpty());
    m_viewModeSlot->setVisible(!paths.isEmpty());
}

void TopBar::updateActive()
{
    for (TabButton* t : tabs())
        t->setActive(m_workspace.isTabActive(t->property("path").toString()));
    const QString active = m_workspace.activeTabURL();
    if (!active.isEmpty() && active != m_lastActive)
        scrollToActive();
    m_lastActive = active;
}

void TopBar::scrollToActive()
{
    // After the strip has laid out a tab that may have just been added.
    QMetaObject::invokeMethod(
        this,
        [this] {
            TabButton* t = tab(m_workspace.activeTabURL());
            if (!t)
                return;
            m_tabRow->layout()->activate();
            QScrollBar* bar = m_strip->horizontalScrollBar();
            const int target = t->geometry().center().x() - m_strip->viewport()->width() / 2;
            m_scroll->stop();
            m_scroll->setStartValue(bar->value());
            m_scroll->setEndValue(qBound(bar->minimum(), target, bar->maximum()));
            m_scroll->start();
        },
        Qt::QueuedConnection);
}

void TopBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), AppColors::topBarBackground(m_isDarkMode));
    p.fillRect(QRect(0, height() - 1, width(), 1), AppColors::topBarRule(m_isDarkMode));
}

} // namespace quillon
