#include "settings/SettingsSession.h"

#include "analytics/AnalyticsEvent.h"
#include "git/KeychainManager.h"
#include "settings/SettingsRules.h"

namespace quillon {

namespace {

QString saveFailed()
{
    return QStringLiteral("The token could not be saved: the system keyring is locked or refused "
                          "it. The earlier token, if any, is kept.");
}

QString deleteFailed(const QString& host)
{
    return QStringLiteral("The token for %1 could not be deleted: the system keyring is locked "
                          "or refused it.")
        .arg(host);
}

} // namespace

QList<SettingsSession::Tab> SettingsSession::tabs()
{
    return { Tab::general, Tab::fileTypes, Tab::git, Tab::agent };
}

QString SettingsSession::title(Tab tab)
{
    switch (tab) {
    case Tab::general:
        return QStringLiteral("General");
    case Tab::fileTypes:
        return QStringLiteral("File Types");
    case Tab::git:
        return QStringLiteral("Git & Integrations");
    case Tab::agent:
        return QStringLiteral("Agent AI");
    }
    return {};
}

QString SettingsSession::symbol(Tab tab)
{
    switch (tab) {
    case Tab::general:
        return QStringLiteral("gearshape");
    case Tab::fileTypes:
        return QStringLiteral("doc.badge.gearshape");
    case Tab::git:
        return QStringLiteral("point.3.connected.trianglepath.arrow");
    case Tab::agent:
        return QStringLiteral("cpu");
    }
    return {};
}

std::optional<SettingsSession::Tab> SettingsSession::tabFromTitle(const QString& title)
{
    for (Tab tab : tabs()) {
        if (SettingsSession::title(tab) == title)
            return tab;
    }
    return std::nullopt;
}

SettingsSession::SettingsSession(Tracker track, QObject* parent)
    : QObject(parent)
    , m_track(std::move(track))
{
}

void SettingsSession::selectTab(Tab tab)
{
    m_selectedTab = tab;
    Q_EMIT selectedTabChanged();
    if (m_track)
        m_track(AnalyticsEvent::settingsTabOpened(title(tab)));
}

void SettingsSession::setNewExtensionText(const QString& text)
{
    if (text == m_newExtensionText)
        return;
    m_newExtensionText = text;
    Q_EMIT newExtensionTextChanged();
}

std::optional<QString> SettingsSession::takeNewExtension()
{
    const std::optional<QString> extension = SettingsRules::extensionToAdd(m_newExtensionText);
    if (extension)
        setNewExtensionText(QString());
    return extension;
}

void SettingsSession::refreshHosts()
{
    m_savedHosts = KeychainManager::getAllSavedHosts();
    Q_EMIT savedHostsChanged();
}

void SettingsSession::setNewHostText(const QString& text)
{
    if (text == m_newHostText)
        return;
    m_newHostText = text;
    Q_EMIT formChanged();
}

void SettingsSession::setNewTokenText(const QString& text)
{
    if (text == m_newTokenText)
        return;
    m_newTokenText = text;
    Q_EMIT formChanged();
}

bool SettingsSession::canSaveNewToken() const
{
    return !SettingsRules::trimSpacesAndLineBreaks(m_newHostText).isEmpty()
        && !SettingsRules::trimSpacesAndLineBreaks(m_newTokenText).isEmpty();
}

bool SettingsSession::saveNewToken()
{
    const SettingsRules::CheckedText host = SettingsRules::checkHost(m_newHostText);
    const SettingsRules::CheckedText token = SettingsRules::checkToken(m_newTokenText);
    m_saveMessage = !host.error.isEmpty() ? host.error : token.error;
    bool saved = false;
    if (m_saveMessage.isEmpty() && host.usable() && token.usable()) {
        saved = KeychainManager::saveToken(token.text, host.text);
        if (saved) {
            m_newHostText.clear();
            m_newTokenText.clear();
        } else {
            m_saveMessage = saveFailed();
        }
        refreshHosts();
    }
    Q_EMIT formChanged();
    return saved;
}

void SettingsSession::deleteHost(const QString& host)
{
    m_saveMessage = KeychainManager::deleteToken(host) ? QString() : deleteFailed(host);
    refreshHosts();
    Q_EMIT formChanged();
}

void SettingsSession::setEditTokenText(const QString& text)
{
    if (text == m_editTokenText)
        return;
    m_editTokenText = text;
    Q_EMIT editChanged();
}

void SettingsSession::beginEdit(const QString& host)
{
    m_editingHost = host;
    m_editTokenText = KeychainManager::getToken(host).value_or(QString());
    m_editMessage.clear();
    m_showEditTokenModal = true;
    Q_EMIT editChanged();
}

void SettingsSession::cancelEdit()
{
    m_showEditTokenModal = false;
    Q_EMIT editChanged();
}

void SettingsSession::updateEditedToken()
{
    if (m_editingHost) {
        const SettingsRules::CheckedText token = SettingsRules::checkToken(m_editTokenText);
        if (!token.error.isEmpty()) {
            m_editMessage = token.error;
            Q_EMIT editChanged();
            return;
        }
        if (!token.text.isEmpty()) {
            if (!KeychainManager::saveToken(token.text, *m_editingHost)) {
                m_editMessage = saveFailed();
                refreshHosts();
                Q_EMIT editChanged();
                return;
            }
            refreshHosts();
        }
    }
    m_editMessage.clear();
    m_showEditTokenModal = false;
    Q_EMIT editChanged();
}

} // namespace quillon
