#include "settings/GeneralTab.h"

#include "analytics/AnalyticsManager.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStyle.h"
#include "workspace/WorkspaceSettings.h"
#include "workspace/WorkspaceState.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

namespace S = SettingsStyle;

namespace {

QVBoxLayout* section(QVBoxLayout* column, const QString& title, QWidget* parent)
{
    auto* box = new QVBoxLayout();
    box->setSpacing(8);
    box->addWidget(S::sectionTitle(title, parent));
    column->addLayout(box);
    return box;
}

QCheckBox* checkBox(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setFont(S::font(12.5));
    return box;
}

void setChecked(QCheckBox* box, bool on)
{
    if (box->isChecked() == on)
        return;
    const QSignalBlocker blocker(box);
    box->setChecked(on);
}

} // namespace

GeneralTab::GeneralTab(WorkspaceState& workspace, AnalyticsManager& analytics, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_analyticsManager(analytics)
    , m_sizeLabel(new QLabel(this))
    , m_increase(new QToolButton(this))
    , m_decrease(new QToolButton(this))
    , m_reset(S::button(QStringLiteral("Reset (15pt)"), 11, this))
    , m_confirm(checkBox(QStringLiteral("Confirm before moving files to Trash"), this))
    , m_readingMode(checkBox(QStringLiteral("Hide markdown syntax tags in source view"), this))
    , m_analytics(checkBox(QStringLiteral("Send anonymous usage statistics (Beacon)"), this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    QVBoxLayout* fontSection = section(column, QStringLiteral("Editor Font Size"), this);
    auto* stepperRow = new QHBoxLayout();
    stepperRow->setSpacing(12);
    auto* stepper = new QHBoxLayout();
    stepper->setSpacing(4);
    m_sizeLabel->setFont(S::font(13));
    m_decrease->setArrowType(Qt::DownArrow);
    m_increase->setArrowType(Qt::UpArrow);
    m_decrease->setToolTip(QStringLiteral("Smaller"));
    m_increase->setToolTip(QStringLiteral("Larger"));
    stepper->addWidget(m_sizeLabel);
    stepper->addWidget(m_decrease);
    stepper->addWidget(m_increase);
    stepperRow->addLayout(stepper);
    stepperRow->addWidget(m_reset);
    stepperRow->addStretch(1);
    fontSection->addLayout(stepperRow);
    column->addWidget(S::divider(this));

    section(column, QStringLiteral("Safety & Confirmations"), this)->addWidget(m_confirm);
    column->addWidget(S::divider(this));
    section(column, QStringLiteral("Reading Mode"), this)->addWidget(m_readingMode);
    column->addWidget(S::divider(this));
    QVBoxLayout* privacy = section(column, QStringLiteral("Privacy & Analytics"), this);
    privacy->addWidget(m_analytics);
    privacy->addWidget(S::noteLabel(
        QStringLiteral("Helps us improve Quillon by sending anonymous feature usage. No personal "
                       "data or document content is ever collected."),
        this));

    connect(m_increase, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_decrease, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_reset, &QPushButton::clicked, this,
        [this] { m_workspace.setEditorFontSize(WorkspaceSettings::editorFontSize.defaultValue); });
    connect(m_confirm, &QCheckBox::toggled, this,
        [this](bool on) { m_workspace.setConfirmFileDeletion(on); });
    connect(m_readingMode, &QCheckBox::toggled, this,
        [this](bool on) { m_workspace.setIsReadingMode(on); });
    connect(m_analytics, &QCheckBox::toggled, this,
        [this](bool on) { m_analyticsManager.setTelemetryOptOut(!on); });

    connect(&workspace, &WorkspaceState::editorFontSizeChanged, this, &GeneralTab::refresh);
    connect(&workspace, &WorkspaceState::confirmFileDeletionChanged, this, &GeneralTab::refresh);
    connect(&workspace, &WorkspaceState::isReadingModeChanged, this, &GeneralTab::refresh);
    connect(&analytics, &AnalyticsManager::telemetryOptOutChanged, this, &GeneralTab::refresh);
    refresh();
}

void GeneralTab::step(int direction)
{
    if (SettingsRules::canStepFontSize(m_workspace.editorFontSize(), direction))
        m_workspace.setEditorFontSize(
            SettingsRules::steppedFontSize(m_workspace.editorFontSize(), direction));
}

void GeneralTab::refresh()
{
    const double size = m_workspace.editorFontSize();
    m_sizeLabel->setText(SettingsRules::fontSizeLabel(size));
    m_increase->setEnabled(SettingsRules::canStepFontSize(size, +1));
    m_decrease->setEnabled(SettingsRules::canStepFontSize(size, -1));
    setChecked(m_confirm, m_workspace.confirmFileDeletion());
    setChecked(m_readingMode, m_workspace.isReadingMode());
    setChecked(m_analytics, !m_analyticsManager.telemetryOptOut());
}

} // namespace quillon
