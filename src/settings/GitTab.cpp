#include "settings/GitTab.h"

#include "settings/HostRow.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsSession.h"
#include "settings/SettingsStyle.h"
#include "workspace/WorkspaceSettings.h"
#include "workspace/WorkspaceState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quillon {

namespace S = SettingsStyle;

GitTab::GitTab(WorkspaceState& workspace, SettingsSession& session, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_session(session)
    , m_interval(new QComboBox(this))
    , m_autoPush(
          new QCheckBox(QStringLiteral("Automatically push to remote origin after commit"), this))
    , m_refresh(S::button(QStringLiteral("Refresh"), 11, this))
    , m_empty(new QLabel(QStringLiteral("No saved remote integrations yet."), this))
    , m_rows(new QWidget(this))
    , m_rowsLayout(new QVBoxLayout(m_rows))
    , m_host(new QLineEdit(this))
    , m_token(new QLineEdit(this))
    , m_save(S::button(QStringLiteral("Save Token"), 12, this))
    , m_message(S::messageLabel(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    auto* commit = new QVBoxLayout();
    commit->setSpacing(8);
    commit->addWidget(S::sectionTitle(QStringLiteral("Background Auto-Commit"), this));
    auto* intervalRow = new QHBoxLayout();
    auto* intervalLabel = new QLabel(QStringLiteral("Auto-commit interval:"), this);
    intervalLabel->setFont(S::font(12.5));
    for (int minutes : WorkspaceSettings::autoCommitIntervalChoices)
        m_interval->addItem(SettingsRules::intervalLabel(minutes), minutes);
    m_interval->setFixedWidth(130);
    intervalRow->addWidget(intervalLabel);
    intervalRow->addWidget(m_interval);
    intervalRow->addStretch(1);
    commit->addLayout(intervalRow);
    m_autoPush->setFont(S::font(12.5));
    commit->addSpacing(2);
    commit->addWidget(m_autoPush);
    column->addLayout(commit);
    column->addWidget(S::divider(this));

    auto* hosts = new QVBoxLayout();
    hosts->setSpacing(10);
    auto* header = new QHBoxLayout();
    header->addWidget(S::sectionTitle(QStringLiteral("Saved Git Remote Integrations"), this));
    header->addStretch(1);
    header->addWidget(m_refresh);
    hosts->addLayout(header);
    hosts->addWidget(S::noteLabel(
        QStringLiteral("Stored Personal Access Tokens (PAT) in the system keyring:"), this));
    m_empty->setFont(S::font(12));
    S::setTextColour(m_empty, S::note());
    m_empty->setContentsMargins(0, 4, 0, 4);
    hosts->addWidget(m_empty);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(4);
    hosts->addWidget(m_rows);

    auto* form = new QVBoxLayout();
    form->setSpacing(6);
    form->addSpacing(6);
    auto* formTitle = new QLabel(QStringLiteral("Add New Remote Integration"), this);
    formTitle->setFont(S::font(12, QFont::DemiBold));
    form->addWidget(formTitle);
    auto* formRow = new QHBoxLayout();
    formRow->setSpacing(8);
    m_host->setPlaceholderText(QStringLiteral("Git server host (e.g. git.example.com)"));
    m_host->setFont(S::font(12));
    m_token->setPlaceholderText(QStringLiteral("PAT Token"));
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setFont(S::font(12));
    formRow->addWidget(m_host, 3);
    formRow->addWidget(m_token, 2);
    formRow->addWidget(m_save);
    form->addLayout(formRow);
    form->addWidget(m_message);
    hosts->addLayout(form);
    column->addLayout(hosts);

    connect(m_interval, &QComboBox::activated, this, [this](int index) {
        m_workspace.setAutoCommitIntervalMinutes(m_interval->itemData(index).toInt());
    });
    connect(m_autoPush, &QCheckBox::toggled, this,
        [this](bool on) { m_workspace.setAutoPushAfterCommit(on); });
    connect(m_refresh, &QPushButton::clicked, &session, &SettingsSession::refreshHosts);
    connect(m_host, &QLineEdit::textEdited, &session, &SettingsSession::setNewHostText);
    connect(m_token, &QLineEdit::textEdited, &session, &SettingsSession::setNewTokenText);
    connect(m_save, &QPushButton::clicked, &session, &SettingsSession::saveNewToken);

    connect(&workspace, &WorkspaceState::autoCommitIntervalMinutesChanged, this,
        &GitTab::refreshSettings);
    connect(
        &workspace, &WorkspaceState::autoPushAfterCommitChanged, this, &GitTab::refreshSettings);
    connect(&session, &SettingsSession::savedHostsChanged, this, &GitTab::refreshHosts);
    connect(&session, &SettingsSession::formChanged, this, &GitTab::refreshForm);
    refreshSettings();
    refreshHosts();
    refreshForm();
}

void GitTab::setDarkMode(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    refreshHosts();
}

void GitTab::refreshSettings()
{
    const int minutes = m_workspace.autoCommitIntervalMinutes();
    const int index = m_interval->findData(minutes);
    // A stored interval the menu does not offer is shown, not replaced.
    m_interval->setPlaceholderText(index < 0 ? SettingsRules::intervalLabel(minutes) : QString());
    m_interval->setCurrentIndex(index);
    const QSignalBlocker blocker(m_autoPush);
    m_autoPush->setChecked(m_workspace.autoPushAfterCommit());
}

void GitTab::refreshHosts()
{
    // A row may be the one whose button is being handled: it goes once that is over.
    while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    const QStringList hosts = m_session.savedHosts();
    for (const QString& host : hosts) {
        auto* row = new HostRow(host, m_dark, m_rows);
        connect(row, &HostRow::editRequested, &m_session, &SettingsSession::beginEdit);
        connect(row, &HostRow::deleteRequested, &m_session, &SettingsSession::deleteHost);
        m_rowsLayout->addWidget(row);
    }
    m_empty->setVisible(hosts.isEmpty());
    m_rows->setVisible(!hosts.isEmpty());
}

void GitTab::refreshForm()
{
    if (m_host->text() != m_session.newHostText())
        m_host->setText(m_session.newHostText());
    if (m_token->text() != m_session.newTokenText())
        m_token->setText(m_session.newTokenText());
    m_save->setEnabled(m_session.canSaveNewToken());
    S::showMessage(m_message, m_session.saveMessage());
}

QStringList GitTab::shownHosts() const
{
    QStringList hosts;
    for (int i = 0; i < m_rowsLayout->count(); ++i) {
        if (auto* row = qobject_cast<HostRow*>(m_rowsLayout->itemAt(i)->widget()))
            hosts << row->host();
    }
    return hosts;
}

HostRow* GitTab::row(const QString& host) const
{
    for (int i = 0; i < m_rowsLayout->count(); ++i) {
        auto* row = qobject_cast<HostRow*>(m_rowsLayout->itemAt(i)->widget());
        if (row && row->host() == host)
            return row;
    }
    return nullptr;
}

QPushButton* GitTab::editButton(const QString& host) const
{
    HostRow* found = row(host);
    return found ? found->editButton() : nullptr;
}

QPushButton* GitTab::deleteButton(const QString& host) const
{
    HostRow* found = row(host);
    return found ? found->deleteButton() : nullptr;
}

} // namespace quillon
