#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>

namespace quillon {

namespace {

const QString kRecentEntities = QStringLiteral("recentEntities");
const QString kLastWorkspaceFolderPath = QStringLiteral("lastWorkspaceFolderPath");
const QString kLastOpenTabPaths = QStringLiteral("lastOpenTabPaths");
const QString kLastActiveTabPath = QStringLiteral("lastActiveTabPath");
const QString kLastExpandedPaths = QStringLiteral("lastExpandedPaths");
constexpr int kMaxRecents = 20;

} // namespace

void WorkspaceState::setRecentEntities(const QList<RecentEntity>& entities)
{
    m_recentEntities = entities;
    Q_EMIT recentEntitiesChanged();
    saveRecents();
}

void WorkspaceState::addRecent(const QString& url, bool isDirectory)
{
    QList<RecentEntity> list = m_recentEntities;
    list.removeIf([&](const RecentEntity& e) { return e.url == url; });
    list.prepend(RecentEntity::make(url, isDirectory));
    if (list.size() > kMaxRecents)
        list.resize(kMaxRecents);
    setRecentEntities(list);
}

void WorkspaceState::loadRecents()
{
    const std::optional<QByteArray> data = UserDefaults::standard().dataValue(kRecentEntities);
    if (!data)
        return;
    if (std::optional<QList<RecentEntity>> list = RecentEntity::decodeList(*data)) {
        m_recentEntities = *list;
        Q_EMIT recentEntitiesChanged();
    }
}

void WorkspaceState::saveRecents()
{
    UserDefaults::standard().setData(kRecentEntities, RecentEntity::encodeList(m_recentEntities));
}

void WorkspaceState::saveSessionState()
{
    if (m_isRestoringSession)
        return;
    UserDefaults& defaults = UserDefaults::standard();
    // One write of the settings for the four values, not four.
    const UserDefaults::Batch batch(defaults);
    if (!m_folderURL.isEmpty())
        defaults.setString(kLastWorkspaceFolderPath, m_folderURL);
    else
        defaults.remove(kLastWorkspaceFolderPath);

    QStringList tabs;
    for (const QString& tab : std::as_const(m_openTabs))
        tabs.append(FileUtil::standardizedPath(tab));
    defaults.setStringList(kLastOpenTabPaths, tabs);

    if (!m_activeTabURL.isEmpty())
        defaults.setString(kLastActiveTabPath, FileUtil::standardizedPath(m_activeTabURL));
    else
        defaults.remove(kLastActiveTabPath);

    defaults.setStringList(
        kLastExpandedPaths, QStringList(m_expandedPaths.begin(), m_expandedPaths.end()));
}

void WorkspaceState::restoreSavedSession()
{
    m_isRestoringSession = true;
    UserDefaults& defaults = UserDefaults::standard();

    if (const std::optional<QStringList> expanded = storedStringList(kLastExpandedPaths)) {
        QSet<QString> existing;
        for (const QString& path : *expanded) {
            if (QFileInfo::exists(path))
                existing.insert(path);
        }
        setExpandedPaths(existing);
    }

    // A saved folder that has since become a file (or vanished) is not opened.
    if (const std::optional<QString> folder = defaults.stringValue(kLastWorkspaceFolderPath)) {
        if (QFileInfo(*folder).isDir())
            setFolderURL(*folder);
    }

    if (const std::optional<QStringList> paths = storedStringList(kLastOpenTabPaths)) {
        QStringList tabs;
        for (const QString& path : *paths) {
            const QFileInfo info(path);
            if (info.exists() && !info.isDir())
                tabs.append(FileUtil::standardizedPath(path));
        }
        setOpenTabs(tabs);
    }

    QString active;
    if (const std::optional<QString> saved = defaults.stringValue(kLastActiveTabPath)) {
        const QString path = FileUtil::standardizedPath(*saved);
        if (QFileInfo::exists(path) && m_openTabs.contains(path))
            active = path;
    }
    if (active.isEmpty() && !m_openTabs.isEmpty())
        active = m_openTabs.first();
    if (!active.isEmpty())
        setActiveTabURL(active);

    m_isRestoringSession = false;
}

} // namespace quillon
