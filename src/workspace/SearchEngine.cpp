#include "workspace/SearchEngine.h"

#include "platform/FileUtil.h"
#include "workspace/SearchEngine_Scan.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace quillon {

namespace {

using search_detail::ByteMatcher;
using search_detail::ContentScanner;

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return name.sliced(dot + 1).toLower();
}

bool isSymLink(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// One folder or searched document, in the order of the walk: depth first, each folder's entries
// in the order the file system lists them.
struct Item
{
    QByteArray path;
    QString qpath;
    QString name;
    QString relative;
    bool isDocument = false;
    bool nameMatches = false;
    bool scanned = false; // a document whose lines have been searched
    QVector<SearchResult> lineHits;
};

SearchResult nameHit(const Item& item, const QString& query)
{
    SearchResult hit;
    hit.fileURL = item.qpath;
    hit.fileName = item.name;
    hit.relativePath = item.relative;
    hit.lineNumber = 1;
    hit.lineContent = item.name;
    hit.matchRangeInLine
        = { int(item.name.indexOf(query, 0, Qt::CaseInsensitive)), int(query.size()) };
    hit.isFileNameMatch = true;
    return hit;
}

// The calling thread walks the folders and lists what to search; helper threads read the listed
// documents meanwhile, in walk order, and the caller joins them when its walk is done. Once the
// hits of everything up to some point of the walk reach the limit, nothing after it is read.
class Search
{
public:
    Search(const QString& query, const QSet<QString>& extensions, int max)
        : m_query(query)
        , m_extensions(extensions)
        , m_max(max)
        , m_matcher(query)
    {
    }

    QVector<SearchResult> run(const QString& root)
    {
        walk(QFile::encodeName(root), root, QString());
        publish();
        {
            std::lock_guard lock(m_mutex);
            m_walkDone = true;
        }
        m_wake.notify_all();
        work();
        for (std::thread& helper : m_helpers)
            helper.join();
        return merge();
    }

private:
    struct Entry
    {
        QByteArray name;
        unsigned char type;
    };

    static size_t helperLimit()
    {
        return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8) - 1;
    }

    void walk(const QByteArray& dirPath, const QString& dirQPath, const QString& dirRelative)
    {
        std::vector<Entry> entries;
        if (DIR* dir = ::opendir(dirPath.constData())) {
            while (const dirent* e = ::readdir(dir)) {
                const char* name = e->d_name;
                if (name[0] == '.' || std::strcmp(name, "node_modules") == 0)
                    continue; // hidden entries, ".", "..", ".build" and ".git" included
                entries.push_back({ QByteArray(name), e->d_type });
            }
            ::closedir(dir);
        }
        for (const Entry& entry : entries) {
            if (m_enough.load(std::memory_order_relaxed))
                return;
            visit(dirPath, dirQPath, dirRelative, entry);
        }
    }

    void visit(const QByteArray& dirPath, const QString& dirQPath, const QString& dirRelative,
        const Entry& entry)
    {
        Item item;
        item.path = dirPath.endsWith('/') ? dirPath + entry.name : dirPath + '/' + entry.name;
        bool isDir = entry.type == DT_DIR;
        bool descend = isDir;
        if (entry.type == DT_UNKNOWN || entry.type == DT_LNK) {
            struct stat st;
            if (::stat(item.path.constData(), &st) != 0)
                return; // gone, or a dangling link
            isDir = S_ISDIR(st.st_mode);
            descend = isDir && entry.type == DT_UNKNOWN && !isSymLink(item.path);
        }
        item.name = QFile::decodeName(entry.name);
        if (!isDir && !m_extensions.contains(extensionOf(item.name)))
            return;
        item.qpath = dirQPath.endsWith(QLatin1Char('/')) ? dirQPath + item.name
                                                         : dirQPath + QLatin1Char('/') + item.name;
        item.relative
            = dirRelative.isEmpty() ? item.name : dirRelative + QLatin1Char('/') + item.name;
        item.isDocument = !isDir;
        item.nameMatches = item.name.contains(m_query, Qt::CaseInsensitive);
        const QByteArray path = item.path;
        const QString qpath = item.qpath;
        const QString relative = item.relative;
        m_pending.push_back(std::move(item));
        if (m_pending.size() >= 64)
            publish();
        if (descend)
            walk(path, qpath, relative);
    }

    // Hands the items listed since the last call to the readers, a batch at a time, so the walk
    // and the readers seldom wait for each other.
    void publish()
    {
        size_t documents = 0;
        bool waiting = false;
        {
            std::lock_guard lock(m_mutex);
            for (Item& item : m_pending) {
                m_documentCount += item.isDocument ? 1 : 0;
                m_items.push_back(std::move(item));
            }
            documents = m_documentCount;
            waiting = m_waiting > 0;
            advancePrefix();
        }
        m_pending.clear();
        // A helper for every eight documents listed: small folders are searched in place.
        while (m_helpers.size() < std::min(helperLimit(), documents / 8))
            m_helpers.emplace_back([this] { work(); });
        if (waiting)
            m_wake.notify_all();
    }

    void work()
    {
        ContentScanner scanner(m_query, m_matcher);
        std::unique_lock lock(m_mutex);
        while (true) {
            while (m_cursor < m_items.size() && !m_items[m_cursor].isDocument)
                ++m_cursor;
            if (m_enough.load(std::memory_order_relaxed))
                return;
            if (m_cursor == m_items.size()) {
                if (m_walkDone)
                    return;
                ++m_waiting;
                m_wake.wait(lock);
                --m_waiting;
                continue;
            }
            Item& item = m_items[m_cursor++];
            lock.unlock();
            QVector<SearchResult> hits;
            scanner.scan(item.path, item.qpath, item.name, item.relative, m_max, hits);
            lock.lock();
            item.lineHits = std::move(hits);
            item.scanned = true;
            advancePrefix();
        }
    }

    // Counts the hits of the finished beginning of the walk; called with the mutex held.
    void advancePrefix()
    {
        while (m_prefix < m_items.size()
            && (m_items[m_prefix].scanned || !m_items[m_prefix].isDocument)) {
            const Item& item = m_items[m_prefix];
            m_prefixHits += int(item.nameMatches) + int(item.lineHits.size());
            ++m_prefix;
        }
        if (m_prefixHits >= m_max && !m_enough.load(std::memory_order_relaxed)) {
            m_enough.store(true, std::memory_order_relaxed);
            m_wake.notify_all();
        }
    }

    QVector<SearchResult> merge()
    {
        QVector<SearchResult> out;
        for (size_t i = 0; i < m_items.size() && out.size() < m_max; ++i) {
            Item& item = m_items[i];
            if (item.isDocument && !item.scanned)
                break; // past the point where the limit was reached
            if (item.nameMatches)
                out.append(nameHit(item, m_query));
            for (SearchResult& hit : item.lineHits) {
                if (out.size() >= m_max)
                    break;
                out.append(std::move(hit));
            }
        }
        return out;
    }

    const QString& m_query;
    const QSet<QString>& m_extensions;
    const int m_max;
    const ByteMatcher m_matcher;
    std::vector<std::thread> m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Item> m_pending; // listed by the walk, not yet handed over
    std::deque<Item> m_items; // grows at the end only, so a reader's item stays in place
    int m_waiting = 0;
    size_t m_documentCount = 0;
    size_t m_cursor = 0;
    bool m_walkDone = false;
    std::atomic<bool> m_enough { false };
    size_t m_prefix = 0;
    int m_prefixHits = 0;
};

} // namespace

QVector<SearchResult> SearchEngine::search(const QString& folder, const QString& query,
    const QSet<QString>& allowedExtensions, int maxResults)
{
    const QString q = query.trimmed();
    if (q.isEmpty() || maxResults <= 0)
        return {};
    const QString root = FileUtil::standardizedPath(folder);
    struct stat st;
    if (root.isEmpty() || ::stat(QFile::encodeName(root).constData(), &st) != 0
        || !S_ISDIR(st.st_mode))
        return {};
    return Search(q, allowedExtensions, maxResults).run(root);
}

} // namespace quillon
