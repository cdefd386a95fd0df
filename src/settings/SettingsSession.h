#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillon {

class AnalyticsEvent;

// What the settings sheet remembers during one presentation, and its token actions: the selected
// tab, the texts of its fields, the saved hosts, and the token being edited. Nothing of it is
// stored; a new presentation starts from a new session on the General tab.
//
// Token actions go to KeychainManager. A save the keyring refuses keeps the earlier token and the
// typed text, and says why in saveMessage() or editMessage().
class SettingsSession : public QObject
{
    Q_OBJECT
public:
    enum class Tab { general, fileTypes, git, agent };
    using Tracker = std::function<void(const AnalyticsEvent&)>;

    static QList<Tab> tabs();
    // "General", "File Types", "Git & Integrations", "Agent AI": the title and the event value.
    static QString title(Tab tab);
    static QString symbol(Tab tab);
    static std::optional<Tab> tabFromTitle(const QString& title);

    explicit SettingsSession(Tracker track, QObject* parent = nullptr);

    Tab selectedTab() const { return m_selectedTab; }
    // Shows the tab and reports it, also when it is already shown.
    void selectTab(Tab tab);

    QString newExtensionText() const { return m_newExtensionText; }
    void setNewExtensionText(const QString& text);
    // The extension to add now, clearing the field; none (and the field kept) when nothing is left.
    std::optional<QString> takeNewExtension();

    QStringList savedHosts() const { return m_savedHosts; }
    void refreshHosts();

    QString newHostText() const { return m_newHostText; }
    void setNewHostText(const QString& text);
    QString newTokenText() const { return m_newTokenText; }
    void setNewTokenText(const QString& text);
    bool canSaveNewToken() const;
    // Stores the form's token for its host; on success clears the form and reloads the hosts.
    bool saveNewToken();
    QString saveMessage() const { return m_saveMessage; }

    void deleteHost(const QString& host);

    std::optional<QString> editingHost() const { return m_editingHost; }
    QString editTokenText() const { return m_editTokenText; }
    void setEditTokenText(const QString& text);
    bool showEditTokenModal() const { return m_showEditTokenModal; }
    QString editMessage() const { return m_editMessage; }
    // Opens the token sheet for the host with its stored token ("" when it cannot be read).
    void beginEdit(const QString& host);
    void cancelEdit();
    // Stores the edited token and closes the sheet; a blank token closes it with no change. A
    // refused token or a failed save keeps the sheet open with the reason.
    void updateEditedToken();

Q_SIGNALS:
    void selectedTabChanged();
    void newExtensionTextChanged();
    void savedHostsChanged();
    void formChanged();
    void editChanged();

private:
    Tracker m_track;
    Tab m_selectedTab = Tab::general;
    QString m_newExtensionText;
    QStringList m_savedHosts;
    QString m_newHostText;
    QString m_newTokenText;
    QString m_saveMessage;
    std::optional<QString> m_editingHost;
    QString m_editTokenText;
    bool m_showEditTokenModal = false;
    QString m_editMessage;
};

} // namespace quillon
