#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace quillon {

class HostRow;
class SettingsSession;
class WorkspaceState;

// The Git & Integrations tab: the auto-commit interval and auto-push, the hosts with a saved
// token (edit, delete, refresh) and the form that saves a new one.
//
// Reads and writes: WorkspaceState autoCommitIntervalMinutes and autoPushAfterCommit; the
// session's host list, form texts and token actions.
class GitTab : public QWidget
{
    Q_OBJECT
public:
    GitTab(WorkspaceState& workspace, SettingsSession& session, QWidget* parent = nullptr);

    QComboBox* intervalPicker() const { return m_interval; }
    QCheckBox* autoPushBox() const { return m_autoPush; }
    QPushButton* refreshButton() const { return m_refresh; }
    QLineEdit* hostField() const { return m_host; }
    QLineEdit* tokenField() const { return m_token; }
    QPushButton* saveButton() const { return m_save; }
    QLabel* emptyLabel() const { return m_empty; }
    QLabel* messageLabel() const { return m_message; }
    // The host rows shown, in order, and their buttons.
    QStringList shownHosts() const;
    QPushButton* editButton(const QString& host) const;
    QPushButton* deleteButton(const QString& host) const;

    void setDarkMode(bool dark);

private:
    HostRow* row(const QString& host) const;
    void refreshSettings();
    void refreshHosts();
    void refreshForm();

    WorkspaceState& m_workspace;
    SettingsSession& m_session;
    bool m_dark = false;
    QComboBox* m_interval;
    QCheckBox* m_autoPush;
    QPushButton* m_refresh;
    QLabel* m_empty;
    QWidget* m_rows;
    QVBoxLayout* m_rowsLayout;
    QLineEdit* m_host;
    QLineEdit* m_token;
    QPushButton* m_save;
    QLabel* m_message;
};

} // namespace quillon
