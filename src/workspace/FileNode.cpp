#include "workspace/FileNode.h"

#include "platform/FileUtil.h"
#include "workspace/WorkspaceState.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace quillon {

namespace {

// Finder-like name order: case-insensitive, numbers by value ("2" before "10").
const QCollator& nameCollator()
{
    static const QCollator collator = [] {
        QCollator c;
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

} // namespace

FileNode::FileNode(
    const QString& path, bool isDirectory, WorkspaceState* workspaceState, QObject* parent)
    : QObject(parent)
    , m_id(QUuid::createUuid())
    , m_url(FileUtil::standardizedPath(path))
    , m_isDirectory(isDirectory)
    , m_workspaceState(workspaceState)
{
}

QString FileNode::name() const
{
    return m_url.mid(m_url.lastIndexOf(u'/') + 1);
}

const QSet<QString>& FileNode::supportedExtensions()
{
    static const QSet<QString> extensions = { QStringLiteral("md"), QStringLiteral("markdown") };
    return extensions;
}

void FileNode::loadChildren()
{
    if (!m_isDirectory)
        return;
    WorkspaceState* owner = m_workspaceState.data();
    const bool showHidden = owner && owner->showHiddenFiles();
    const QSet<QString> extensions = owner ? owner->activeFileExtensions() : supportedExtensions();
    const bool anyExtension = extensions.contains(QStringLiteral("*"));

    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (showHidden)
        filters |= QDir::Hidden;
    const QFileInfoList entries = QDir(m_url).entryInfoList(filters, QDir::NoSort);

    struct Entry
    {
        FileNode* node;
        QCollatorSortKey key;
    };
    std::vector<Entry> listed;
    listed.reserve(entries.size());
    const QCollator& collator = nameCollator();
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        const QString path = m_url == u"/" ? u'/' + name : m_url + u'/' + name;
        if (info.isDir()) {
            auto* node = new FileNode(this, path, true);
            listed.push_back({ node, collator.sortKey(name) });
            continue;
        }
        const QString ext = info.suffix().toLower();
        const bool hidden = name.startsWith(u'.');
        const bool shown = (showHidden && hidden) || extensions.contains(ext) || anyExtension
            || (extensions.isEmpty() && supportedExtensions().contains(ext));
        if (shown)
            listed.push_back({ new FileNode(this, path, false), collator.sortKey(name) });
    }

    std::stable_sort(listed.begin(), listed.end(), [](const Entry& a, const Entry& b) {
        if (a.node->m_isDirectory != b.node->m_isDirectory)
            return a.node->m_isDirectory;
        return a.key.compare(b.key) < 0;
    });

    const QList<FileNode*> old = m_children;
    m_children.clear();
    m_children.reserve(qsizetype(listed.size()));
    for (const Entry& e : listed)
        m_children.append(e.node);
    for (FileNode* child : old)
        child->deleteLater();

    if (owner) {
        for (FileNode* child : std::as_const(m_children)) {
            if (child->m_isDirectory && owner->isExpanded(child->m_url))
                child->loadChildren();
        }
    }
    Q_EMIT childrenChanged();
}

FileNode::FileNode(FileNode* parent, const QString& standardizedPath, bool isDirectory)
    : QObject(parent)
    , m_id(QUuid::createUuid())
    , m_url(standardizedPath)
    , m_isDirectory(isDirectory)
    , m_workspaceState(parent->m_workspaceState)
{
}

} // namespace quillon
