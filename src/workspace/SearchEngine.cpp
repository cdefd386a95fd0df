#include "workspace/SearchEngine.h"

#include "platform/FileUtil.h"

#include <QFile>
#include <QStringDecoder>

#include <array>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon {

namespace {

// Characters outside ASCII whose case folding is an ASCII letter (KELVIN SIGN, LONG S): a query
// letter can match them although the byte scan below only looks for ASCII.
struct AsciiFoldingChar
{
    char folded;
    QByteArray utf8;
};

const std::vector<AsciiFoldingChar>& asciiFoldingChars()
{
    static const std::vector<AsciiFoldingChar> chars = [] {
        std::vector<AsciiFoldingChar> found;
        for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                continue;
            const char32_t folded = QChar::toCaseFolded(cp);
            if (folded < 0x80)
                found.push_back({ char(folded), QString::fromUcs4(&cp, 1).toUtf8() });
        }
        return found;
    }();
    return chars;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// Case-insensitive (ASCII) Boyer-Moore-Horspool over raw bytes. In UTF-8 an ASCII byte is always
// a whole character, so a hit here is a hit in the text.
class AsciiScanner
{
public:
    explicit AsciiScanner(const QByteArray& needle)
        : m_needle(needle.toLower())
    {
        const qsizetype m = m_needle.size();
        m_skip.fill(m);
        for (qsizetype i = 0; i + 1 < m; ++i) {
            const char c = m_needle.at(i);
            m_skip[uchar(c)] = m - 1 - i;
            if (c >= 'a' && c <= 'z')
                m_skip[uchar(c - ('a' - 'A'))] = m - 1 - i;
        }
        for (const AsciiFoldingChar& special : asciiFoldingChars()) {
            if (m_needle.contains(special.folded))
                m_specials.push_back(special.utf8);
        }
    }

    bool isEmpty() const { return m_needle.isEmpty(); }

    // Whether the text may contain the needle under Unicode case folding.
    bool mayMatch(const char* data, qsizetype size) const
    {
        if (find(data, size))
            return true;
        for (const QByteArray& special : m_specials) {
            if (::memmem(data, size_t(size), special.constData(), size_t(special.size())))
                return true;
        }
        return false;
    }

private:
    bool find(const char* data, qsizetype size) const
    {
        const qsizetype m = m_needle.size();
        const char* needle = m_needle.constData();
        const char last = needle[m - 1];
        qsizetype i = 0;
        while (i + m <= size) {
            const char c = data[i + m - 1];
            if (foldAscii(c) == last) {
                qsizetype j = 0;
                while (j < m - 1 && foldAscii(data[i + j]) == needle[j])
                    ++j;
                if (j == m - 1)
                    return true;
            }
            i += m_skip[uchar(c)];
        }
        return false;
    }

    QByteArray m_needle;
    std::array<qsizetype, 256> m_skip;
    std::vector<QByteArray> m_specials;
};

// The longest run of ASCII characters of the query: every match of the query contains a match of
// it, so files without one are passed over without decoding them.
QByteArray longestAsciiRun(const QString& query)
{
    QByteArray best;
    QByteArray current;
    for (const QChar c : query) {
        if (c.unicode() < 0x80) {
            current.append(char(c.unicode()));
            continue;
        }
        if (current.size() > best.size())
            best = current;
        current.clear();
    }
    return current.size() > best.size() ? current : best;
}

bool isLineBreak(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimBlanks(QStringView line)
{
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isBlank(line.at(start)))
        ++start;
    while (end > start && isBlank(line.at(end - 1)))
        --end;
    return line.sliced(start, end - start).toString();
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return name.sliced(dot + 1).toLower();
}

bool readWholeFile(const QByteArray& path, QByteArray& buffer)
{
    // Non-blocking, so a FIFO named like a document can't stall the search in open().
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    buffer.resize(qsizetype(st.st_size));
    qsizetype filled = 0;
    while (true) {
        if (filled == buffer.size())
            buffer.resize(buffer.size() + 65536); // the file grew while we read it
        const ssize_t n = ::read(fd, buffer.data() + filled, size_t(buffer.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        filled += n;
    }
    ::close(fd);
    buffer.truncate(filled);
    return true;
}

class Walker
{
public:
    Walker(const QString& root, const QString& query, const QSet<QString>& extensions, int max)
        : m_root(root)
        , m_query(query)
        , m_extensions(extensions)
        , m_max(max)
        , m_scanner(longestAsciiRun(query))
    {
        for (const QChar c : query) {
            if (isLineBreak(c.unicode()))
                m_queryHasLineBreak = true;
        }
    }

    QVector<SearchResult> run()
    {
        walk(QFile::encodeName(m_root), m_root, QString());
        return std::move(m_hits);
    }

private:
    struct Entry
    {
        QByteArray name;
        unsigned char type;
    };

    bool full() const { return m_hits.size() >= m_max; }

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
            if (full())
                return;
            visit(dirPath, dirQPath, dirRelative, entry);
        }
    }

    void visit(const QByteArray& dirPath, const QString& dirQPath, const QString& dirRelative,
        const Entry& entry)
    {
        const QByteArray path
            = dirPath.endsWith('/') ? dirPath + entry.name : dirPath + '/' + entry.name;
        bool isDir = entry.type == DT_DIR;
        bool descend = isDir;
        if (entry.type == DT_UNKNOWN || entry.type == DT_LNK) {
            struct stat st;
            if (::stat(path.constData(), &st) != 0)
                return; // gone, or a dangling link
            isDir = S_ISDIR(st.st_mode);
            descend = isDir && entry.type == DT_UNKNOWN && !isSymLink(path);
        }
        const QString name = QFile::decodeName(entry.name);
        const QString qpath = dirQPath.endsWith(QLatin1Char('/'))
            ? dirQPath + name
            : dirQPath + QLatin1Char('/') + name;
        const QString relative
            = dirRelative.isEmpty() ? name : dirRelative + QLatin1Char('/') + name;
        if (isDir) {
            addNameHit(qpath, name, relative);
            if (descend)
                walk(path, qpath, relative);
            return;
        }
        if (!m_extensions.contains(extensionOf(name)))
            return;
        addNameHit(qpath, name, relative);
        if (!full() && !m_queryHasLineBreak)
            searchContent(path, qpath, name, relative);
    }

    static bool isSymLink(const QByteArray& path)
    {
        struct stat st;
        return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
    }

    void addNameHit(const QString& path, const QString& name, const QString& relative)
    {
        const qsizetype at = name.indexOf(m_query, 0, Qt::CaseInsensitive);
        if (at < 0 || full())
            return;
        SearchResult hit;
        hit.fileURL = path;
        hit.fileName = name;
        hit.relativePath = relative;
        hit.lineNumber = 1;
        hit.lineContent = name;
        hit.matchRangeInLine = { int(at), int(m_query.size()) };
        hit.isFileNameMatch = true;
        m_hits.append(std::move(hit));
    }

    void searchContent(
        const QByteArray& path, const QString& qpath, const QString& name, const QString& relative)
    {
        if (!readWholeFile(path, m_buffer))
            return;
        if (!m_scanner.isEmpty() && !m_scanner.mayMatch(m_buffer.constData(), m_buffer.size()))
            return;
        QByteArrayView bytes(m_buffer);
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        QStringDecoder decoder(QStringDecoder::Utf8,
            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder.decode(bytes);
        if (decoder.hasError())
            return; // not UTF-8: no line hits

        const QStringView view(text);
        int lineNumber = 1;
        qsizetype counted = 0; // line breaks before this offset are in lineNumber
        qsizetype from = 0;
        while (!full()) {
            const qsizetype at = view.indexOf(m_query, from, Qt::CaseInsensitive);
            if (at < 0)
                return;
            qsizetype lineStart = at;
            while (lineStart > 0 && !isLineBreak(view.at(lineStart - 1).unicode()))
                --lineStart;
            for (qsizetype i = counted; i < lineStart; ++i) {
                const char16_t c = view.at(i).unicode();
                if (isLineBreak(c)
                    && !(c == '\r' && i + 1 < view.size() && view.at(i + 1) == u'\n'))
                    ++lineNumber;
            }
            qsizetype lineEnd = at + m_query.size();
            while (lineEnd < view.size() && !isLineBreak(view.at(lineEnd).unicode()))
                ++lineEnd;
            const QStringView line = view.sliced(lineStart, lineEnd - lineStart);

            SearchResult hit;
            hit.fileURL = qpath;
            hit.fileName = name;
            hit.relativePath = relative;
            hit.lineNumber = lineNumber;
            hit.lineContent = trimBlanks(line);
            hit.matchRangeInLine = { int(at - lineStart), int(m_query.size()) };
            m_hits.append(std::move(hit));

            counted = lineStart;
            from = lineEnd;
        }
    }

    const QString m_root;
    const QString m_query;
    const QSet<QString>& m_extensions;
    const int m_max;
    AsciiScanner m_scanner;
    bool m_queryHasLineBreak = false;
    QByteArray m_buffer;
    QVector<SearchResult> m_hits;
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
    return Walker(root, q, allowedExtensions, maxResults).run();
}

} // namespace quillon
