#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class SettingsSession;

// The small sheet that replaces the token of one saved host: its title, the masked token field
// (filled with the stored token), Cancel and the prominent Update. Shown while the session says
// so.
class TokenEditSheet : public QDialog
{
    Q_OBJECT
public:
    TokenEditSheet(SettingsSession& session, QWidget* parent);

    QLabel* titleLabel() const { return m_title; }
    QLineEdit* tokenField() const { return m_token; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* updateButton() const { return m_update; }
    QLabel* messageLabel() const { return m_message; }

private:
    void refresh();

    SettingsSession& m_session;
    QLabel* m_title;
    QLineEdit* m_token;
    QPushButton* m_cancel;
    QPushButton* m_update;
    QLabel* m_message;
};

} // namespace quillon
