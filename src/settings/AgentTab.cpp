#include "settings/AgentTab.h"

#include "agent/AgentProcessBridge.h"
#include "settings/AgentExecutableStatus.h"
#include "settings/SettingsStyle.h"
#include "ui/SymbolIcons.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quillon {

namespace S = SettingsStyle;

namespace {

// The engines the picker offers, in menu order.
QList<QPair<QString, SupportedAgentEngine>> pickerEntries()
{
    return { { QStringLiteral("Claude Code CLI"), SupportedAgentEngine::claudeCode() },
        { QStringLiteral("Aider CLI"), SupportedAgentEngine::aider() },
        { QStringLiteral("Ollama (llama3)"),
            SupportedAgentEngine::ollama(QStringLiteral("llama3")) } };
}

// Paints the status box's rounded fill behind its row.
class StatusBox : public QWidget
{
public:
    explicit StatusBox(QWidget* parent)
        : QWidget(parent)
    {
    }
    bool dark = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(path, S::rowFill(dark));
    }
};

} // namespace

AgentTab::AgentTab(AgentProcessBridge& bridge, QWidget* parent)
    : QWidget(parent)
    , m_bridge(bridge)
    , m_engine(new QComboBox(this))
    , m_statusBox(new StatusBox(this))
    , m_statusIcon(new QLabel(m_statusBox))
    , m_statusText(new QLabel(m_statusBox))
    , m_problem(new QLabel(this))
    , m_path(new QLineEdit(this))
    , m_watcher(new AgentExecutableStatusWatcher(bridge, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    auto* engine = new QVBoxLayout();
    engine->setSpacing(8);
    engine->addWidget(S::sectionTitle(QStringLiteral("AI Agent Subprocess Engine"), this));
    engine->addWidget(S::noteLabel(
        QStringLiteral(
            "Select the CLI tool executed by Quillon in the background for document tasks."),
        this));
    auto* pickerRow = new QHBoxLayout();
    pickerRow->setContentsMargins(0, 4, 0, 0);
    auto* pickerLabel = new QLabel(QStringLiteral("Active Engine:"), this);
    auto* picker = new QWidget(this);
    auto* pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->addWidget(pickerLabel);
    pickerLayout->addWidget(m_engine, 1);
    picker->setFixedWidth(220);
    for (const auto& entry : pickerEntries())
        m_engine->addItem(entry.first);
    pickerRow->addWidget(picker);
    pickerRow->addStretch(1);
    engine->addLayout(pickerRow);
    column->addLayout(engine);
    column->addWidget(S::divider(this));

    auto* status = new QVBoxLayout();
    status->setSpacing(8);
    status->addWidget(S::sectionTitle(QStringLiteral("Executable Path Status"), this));
    auto* statusRow = new QHBoxLayout(m_statusBox);
    statusRow->setContentsMargins(8, 8, 8, 8);
    statusRow->setSpacing(8);
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setWordWrap(true);
    m_statusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusRow->addWidget(m_statusIcon, 0, Qt::AlignTop);
    statusRow->addWidget(m_statusText, 1);
    status->addWidget(m_statusBox);
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    m_problem->setFont(S::font(11.5));
    S::setTextColour(m_problem, S::warning());
    status->addWidget(m_problem);
    auto* pathRow = new QHBoxLayout();
    pathRow->setContentsMargins(0, 6, 0, 0);
    pathRow->setSpacing(8);
    m_path->setPlaceholderText(QStringLiteral("Custom binary path (e.g. /usr/local/bin/claude)"));
    m_path->setFont(S::monospaceFont(12));
    pathRow->addWidget(m_path);
    status->addLayout(pathRow);
    column->addLayout(status);

    connect(m_engine, &QComboBox::activated, this,
        [this](int index) { m_bridge.setEngine(pickerEntries().at(index).second); });
    connect(m_path, &QLineEdit::textEdited, &bridge, &AgentProcessBridge::setCustomBinaryPath);
    connect(&bridge, &AgentProcessBridge::currentEngineChanged, this, &AgentTab::refreshEngine);
    connect(&bridge, &AgentProcessBridge::customBinaryPathChanged, this, &AgentTab::refreshEngine);
    connect(
        m_watcher, &AgentExecutableStatusWatcher::statusChanged, this, &AgentTab::refreshStatus);
    refreshEngine();
    refreshStatus();
}

void AgentTab::setDarkMode(bool dark)
{
    m_dark = dark;
    static_cast<StatusBox*>(m_statusBox)->dark = dark;
    m_statusBox->update();
    refreshStatus();
}

void AgentTab::refreshEngine()
{
    int selected = -1;
    const auto entries = pickerEntries();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).second == m_bridge.currentEngine())
            selected = int(i);
    }
    m_engine->setCurrentIndex(selected);
    if (m_path->text() != m_bridge.customBinaryPath())
        m_path->setText(m_bridge.customBinaryPath());
}

void AgentTab::refreshStatus()
{
    const AgentExecutableStatus& status = m_watcher->status();
    const bool found = status.found();
    m_statusIcon->setPixmap(
        SymbolIcons::pixmap(found ? QStringLiteral("checkmark.circle.fill")
                                  : QStringLiteral("exclamationmark.triangle.fill"),
            14, found ? S::success() : S::warning(), devicePixelRatioF()));
    m_statusText->setText(status.text());
    m_statusText->setFont(found ? S::monospaceFont(12) : S::font(12));
    S::setTextColour(m_statusText, found ? palette().color(QPalette::WindowText) : S::warning());
    m_problem->setText(status.customPathProblem);
    m_problem->setVisible(!status.customPathProblem.isEmpty());
}

} // namespace quillon
