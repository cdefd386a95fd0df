#include "settings/TokenEditSheet.h"

#include "settings/SettingsSession.h"
#include "settings/SettingsStyle.h"
#include "ui/ProminentButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

namespace S = SettingsStyle;

TokenEditSheet::TokenEditSheet(SettingsSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_title(new QLabel(this))
    , m_token(new QLineEdit(this))
    , m_cancel(S::button(QStringLiteral("Cancel"), 13, this))
    , m_update(new ProminentButton(QStringLiteral("Update"), this))
    , m_message(S::messageLabel(this))
{
    setWindowModality(Qt::WindowModal);
    setFixedWidth(400);
    setMinimumHeight(160);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setFont(S::font(14, QFont::Bold));
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setPlaceholderText(QStringLiteral("New Personal Access Token"));
    m_token->setFont(S::monospaceFont(13));
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_update);
    m_update->setFont(S::font(13));
    m_update->setAutoDefault(false); // Return in the field presses nothing
    column->addWidget(m_title);
    column->addWidget(m_token);
    column->addWidget(m_message);
    column->addLayout(buttons);

    connect(m_token, &QLineEdit::textEdited, &session, &SettingsSession::setEditTokenText);
    connect(m_cancel, &QPushButton::clicked, &session, &SettingsSession::cancelEdit);
    connect(m_update, &QPushButton::clicked, &session, &SettingsSession::updateEditedToken);
    // Escape or the window's close button is Cancel.
    connect(this, &QDialog::rejected, &session, [&session] {
        if (session.showEditTokenModal())
            session.cancelEdit();
    });
    connect(&session, &SettingsSession::editChanged, this, &TokenEditSheet::refresh);
    refresh();
}

void TokenEditSheet::refresh()
{
    m_title->setText(
        QStringLiteral("Edit Token for ") + m_session.editingHost().value_or(QString()));
    if (m_token->text() != m_session.editTokenText())
        m_token->setText(m_session.editTokenText());
    S::showMessage(m_message, m_session.editMessage());
    adjustSize();
}

} // namespace quillon
