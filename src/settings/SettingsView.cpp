#include "settings/SettingsView.h"

#include "settings/AgentTab.h"
#include "settings/FileTypesTab.h"
#include "settings/GeneralTab.h"
#include "settings/GitTab.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsTabButton.h"
#include "settings/TokenEditSheet.h"
#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

namespace S = SettingsStyle;

SettingsView::SettingsView(WorkspaceState& workspace, AgentProcessBridge& agentBridge,
    AnalyticsManager& analytics, Tracker track, QWidget* parent)
    : QDialog(parent)
    , m_session(std::move(track))
{
    setWindowTitle(QStringLiteral("Settings"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(540, 440);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* tabBar = new QHBoxLayout();
    tabBar->setContentsMargins(16, 14, 16, 10);
    // Tighter than the sheet's other rows: the titles are wider in the desktop's fonts.
    tabBar->setSpacing(6);
    for (SettingsSession::Tab tab : SettingsSession::tabs()) {
        auto* button = new SettingsTabButton(
            SettingsSession::title(tab), SettingsSession::symbol(tab), this);
        connect(
            button, &SettingsTabButton::clicked, this, [this, tab] { m_session.selectTab(tab); });
        m_tabButtons.insert(tab, button);
        tabBar->addWidget(button);
    }
    tabBar->addStretch(1);
    m_close = new QToolButton(this);
    m_close->setAutoRaise(true);
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setIconSize(QSize(14, 14));
    m_close->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    m_close->setIcon(SymbolIcons::icon(QStringLiteral("xmark.circle.fill"), 14, AppColors::gray()));
    connect(m_close, &QToolButton::clicked, this, &QDialog::reject);
    tabBar->addWidget(m_close);
    column->addLayout(tabBar);
    column->addWidget(S::divider(this));

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(m_scroll);
    auto* contentColumn = new QVBoxLayout(content);
    contentColumn->setContentsMargins(20, 20, 20, 20);
    contentColumn->setSpacing(18);
    m_general = new GeneralTab(workspace, analytics, content);
    m_fileTypes = new FileTypesTab(workspace, m_session, content);
    m_git = new GitTab(workspace, m_session, content);
    m_agent = new AgentTab(agentBridge, content);
    for (QWidget* page : { static_cast<QWidget*>(m_general), static_cast<QWidget*>(m_fileTypes),
             static_cast<QWidget*>(m_git), static_cast<QWidget*>(m_agent) })
        contentColumn->addWidget(page);
    contentColumn->addStretch(1);
    m_scroll->setWidget(content);
    m_scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    column->addWidget(m_scroll, 1);

    connect(&m_session, &SettingsSession::selectedTabChanged, this, &SettingsView::showSelectedTab);
    connect(&m_session, &SettingsSession::editChanged, this, &SettingsView::followTokenSheet);
    m_session.refreshHosts();
    showSelectedTab();
    applyColours();
}

SettingsView::~SettingsView() = default;

QWidget* SettingsView::tabPage(SettingsSession::Tab tab) const
{
    switch (tab) {
    case SettingsSession::Tab::general:
        return m_general;
    case SettingsSession::Tab::fileTypes:
        return m_fileTypes;
    case SettingsSession::Tab::git:
        return m_git;
    case SettingsSession::Tab::agent:
        return m_agent;
    }
    return nullptr;
}

void SettingsView::setDarkMode(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    applyColours();
}

void SettingsView::applyColours()
{
    QPalette palette = AppColors::palette(m_dark);
    palette.setColor(QPalette::Window, S::sheetBackground(m_dark));
    setPalette(palette);
    const QList<QWidget*> dividers = findChildren<QWidget*>(QStringLiteral("settingsDivider"));
    for (QWidget* rule : dividers) {
        QPalette rulePalette = rule->palette();
        rulePalette.setColor(QPalette::Window, S::divider(m_dark));
        rule->setPalette(rulePalette);
    }
    // The style outlines a check box in its window colour darkened, which all but vanishes on
    // the dark sheet; there the boxes carry a lighter window colour of their own.
    QPalette boxPalette;
    if (m_dark)
        boxPalette.setColor(QPalette::Window, AppColors::grey(0.6));
    for (QCheckBox* box : findChildren<QCheckBox*>())
        box->setPalette(boxPalette);
    for (SettingsTabButton* button : std::as_const(m_tabButtons))
        button->setDarkMode(m_dark);
    m_git->setDarkMode(m_dark);
    m_agent->setDarkMode(m_dark);
    if (m_tokenSheet)
        m_tokenSheet->setPalette(palette);
    update();
}

void SettingsView::showSelectedTab()
{
    const SettingsSession::Tab selected = m_session.selectedTab();
    for (SettingsSession::Tab tab : SettingsSession::tabs()) {
        m_tabButtons.value(tab)->setSelected(tab == selected);
        tabPage(tab)->setVisible(tab == selected);
    }
}

TokenEditSheet* SettingsView::tokenSheet() const
{
    return m_tokenSheet.data();
}

void SettingsView::followTokenSheet()
{
    if (m_session.showEditTokenModal() && !m_tokenSheet) {
        m_tokenSheet = new TokenEditSheet(m_session, this);
        m_tokenSheet->setAttribute(Qt::WA_DeleteOnClose);
        m_tokenSheet->setPalette(palette());
        m_tokenSheet->open();
    } else if (!m_session.showEditTokenModal() && m_tokenSheet) {
        // Closed from its own button handler: it goes once that handler is over.
        TokenEditSheet* sheet = m_tokenSheet;
        m_tokenSheet = nullptr;
        sheet->hide();
        sheet->deleteLater();
    }
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), S::sheetBackground(m_dark));
}

} // namespace quillon
