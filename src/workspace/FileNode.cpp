#include "workspace/FileNode.h"

#include "platform/FileUtil.h"
#include "workspace/WorkspaceState.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace quillon {

namespace {

// The key of the tree's name order: letters without case or accents, and runs of digits by
// their value, so "file2" comes before "file10" and "A.md" before "c.md" in every locale.
QString nameSortKey(const QString& name)
{
    bool ascii = true;
    for (QChar c : name)
        ascii = ascii && c.unicode() < 0x80;
    const QString folded
        = ascii ? name.toLower() : name.normalized(QString::NormalizationForm_D).toCaseFolded();
    QString key;
    key.reserve(folded.size() + 4);
    const qsizetype n = folded.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = folded.at(i);
        if (c >= u'0' && c <= u'9') {
            qsizetype end = i;
            while (end < n && folded.at(end) >= u'0' && folded.at(end) <= u'9')
                ++end;
            qsizetype start = i;
            while (start < end - 1 && folded.at(start) == u'0')
                ++start;
            // A digit marker, then the number's length, then its digits: shorter numbers first.
            key += u'0';
            key += QChar(char16_t(u'0' + std::min<qsizetype>(end - start, 0xFF00)));
            key += QStringView(folded).mid(start, end - start);
            i = end;
            continue;
        }
        if (c.category() != QChar::Mark_NonSpacing)
            key += c;
        ++i;
    }
    return key;
}

// Random (version 4) identifiers, without a system call per node: a rebuilt tree makes thousands.
QUuid newNodeId()
{
    QRandomGenerator* random = QRandomGenerator::global();
    const quint64 high = random->generate64();
    const quint64 low = random->generate64();
    QUuid id;
    id.data1 = quint32(high >> 32);
    id.data2 = quint16(high >> 16);
    id.data3 = quint16((high & 0x0FFF) | 0x4000);
    id.data4[0] = uchar(((low >> 56) & 0x3F) | 0x80);
    for (int i = 1; i < 8; ++i)
        id.data4[i] = uchar(low >> (8 * (7 - i)));
    return id;
}

} // namespace

FileNode::FileNode(
    const QString& path, bool isDirectory, WorkspaceState* workspaceState, QObject* parent)
    : QObject(parent)
    , m_id(newNodeId())
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

    // Hidden entries are listed even when they are not shown, so that what a crashed save left
    // here is found (and removed) in the same pass.
    const QDir::Filters filters
        = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden;

    struct Entry
    {
        FileNode* node;
        QString key;
    };
    std::vector<Entry> listed;
    QDirIterator it(m_url, filters);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const bool hidden = name.startsWith(u'.');
        if (hidden && FileUtil::isSaveTemporaryName(name)) {
            // Never a document, whatever the filters say.
            FileUtil::removeIfStaleSaveTemporary(m_url, name);
            continue;
        }
        if (hidden && !showHidden)
            continue;
        const QFileInfo info = it.fileInfo();
        const QString path = m_url == u"/" ? u'/' + name : m_url + u'/' + name;
        if (info.isDir()) {
            auto* node = new FileNode(this, path, true);
            listed.push_back({ node, nameSortKey(name) });
            continue;
        }
        const QString ext = info.suffix().toLower();
        const bool shown = (showHidden && hidden) || extensions.contains(ext) || anyExtension
            || (extensions.isEmpty() && supportedExtensions().contains(ext));
        if (shown)
            listed.push_back({ new FileNode(this, path, false), nameSortKey(name) });
    }

    std::stable_sort(listed.begin(), listed.end(), [](const Entry& a, const Entry& b) {
        if (a.node->m_isDirectory != b.node->m_isDirectory)
            return a.node->m_isDirectory;
        return a.key < b.key;
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
    , m_id(newNodeId())
    , m_url(standardizedPath)
    , m_isDirectory(isDirectory)
    , m_workspaceState(parent->m_workspaceState)
{
}

} // namespace quillon
