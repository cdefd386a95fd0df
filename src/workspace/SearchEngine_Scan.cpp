#include "workspace/SearchEngine_Scan.h"

#include "platform/TextLines.h"

#include <QStringDecoder>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quillon::search_detail {

namespace {

// For every case-folded character, the other characters that fold to it (KELVIN SIGN and "K"
// for "k"). Built once: the line search compares characters by their simple case folding, so
// these are exactly the characters a query character matches.
const std::unordered_map<char32_t, std::vector<char32_t>>& foldingPartners()
{
    static const auto partners = [] {
        std::unordered_map<char32_t, std::vector<char32_t>> found;
        for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                continue;
            const char32_t folded = QChar::toCaseFolded(cp);
            if (folded != cp)
                found[folded].push_back(cp);
        }
        return found;
    }();
    return partners;
}

std::vector<char32_t> caseVariants(char32_t c)
{
    const char32_t folded = QChar::toCaseFolded(c);
    std::vector<char32_t> variants { folded };
    const auto& partners = foldingPartners();
    if (const auto it = partners.find(folded); it != partners.end())
        variants.insert(variants.end(), it->second.begin(), it->second.end());
    return variants;
}

QByteArray utf8Of(char32_t c)
{
    return QString::fromUcs4(&c, 1).toUtf8();
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
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

} // namespace

ByteMatcher::ByteMatcher(const QString& query)
{
    const QList<uint> chars = query.toUcs4();
    bool ascii = true;
    for (uint c : chars)
        ascii = ascii && c < 0x80;

    if (ascii) {
        m_ascii = query.toLatin1().toLower();
        const qsizetype m = m_ascii.size();
        m_skip.fill(m);
        for (qsizetype i = 0; i + 1 < m; ++i) {
            const char c = m_ascii.at(i);
            m_skip[uchar(c)] = m - 1 - i;
            if (c >= 'a' && c <= 'z')
                m_skip[uchar(c - ('a' - 'A'))] = m - 1 - i;
        }
        for (uint c : chars) {
            for (char32_t variant : caseVariants(c)) {
                if (variant >= 0x80)
                    m_asciiSpecials.push_back(utf8Of(variant));
            }
        }
        return;
    }

    qsizetype anchor = -1;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        std::vector<QByteArray> spellings;
        for (char32_t variant : caseVariants(chars.at(i)))
            spellings.push_back(utf8Of(variant));
        m_variants.push_back(std::move(spellings));
        if (anchor < 0 && chars.at(i) >= 0x80)
            anchor = i;
    }
    // Non-ASCII letters are rarer in text than ASCII ones: fewer candidates to check.
    m_anchor = anchor;
    for (const QByteArray& spelling : m_variants[size_t(m_anchor)])
        m_anchorLead[uchar(spelling.at(0))] = true;
    int leads = 0;
    for (int b = 0; b < 256; ++b) {
        if (m_anchorLead[size_t(b)]) {
            ++leads;
            m_singleLead = b;
        }
    }
    if (leads != 1)
        m_singleLead = -1;
}

bool ByteMatcher::mayMatch(const char* data, qsizetype size) const
{
    if (m_variants.empty()) {
        if (findAscii(data, size))
            return true;
        for (const QByteArray& special : m_asciiSpecials) {
            if (::memmem(data, size_t(size), special.constData(), size_t(special.size())))
                return true;
        }
        return false;
    }
    return findVariants(data, size);
}

bool ByteMatcher::findAscii(const char* data, qsizetype size) const
{
    const qsizetype m = m_ascii.size();
    if (m == 0)
        return true;
    const char* needle = m_ascii.constData();
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

bool ByteMatcher::findVariants(const char* data, qsizetype size) const
{
    qsizetype at = 0;
    while (at < size) {
        if (m_singleLead >= 0) {
            const void* found = std::memchr(data + at, m_singleLead, size_t(size - at));
            if (!found)
                return false;
            at = static_cast<const char*>(found) - data;
        } else if (!m_anchorLead[uchar(data[at])]) {
            ++at;
            continue;
        }
        if (matchesAround(data, size, at))
            return true;
        ++at;
    }
    return false;
}

// Whether the query matches with its anchor character spelled at byte `at`. UTF-8 spellings are
// whole characters, so in valid UTF-8 at most one spelling of a character fits at a place.
bool ByteMatcher::matchesAround(const char* data, qsizetype size, qsizetype at) const
{
    const auto spelledAt = [&](const std::vector<QByteArray>& spellings, qsizetype pos) {
        for (const QByteArray& s : spellings) {
            if (pos + s.size() <= size && std::memcmp(data + pos, s.constData(), s.size()) == 0)
                return s.size();
        }
        return qsizetype(-1);
    };
    const auto spelledBefore = [&](const std::vector<QByteArray>& spellings, qsizetype end) {
        for (const QByteArray& s : spellings) {
            if (end - s.size() >= 0
                && std::memcmp(data + end - s.size(), s.constData(), s.size()) == 0)
                return s.size();
        }
        return qsizetype(-1);
    };
    const qsizetype anchorLength = spelledAt(m_variants[size_t(m_anchor)], at);
    if (anchorLength < 0)
        return false;
    qsizetype pos = at + anchorLength;
    for (size_t i = size_t(m_anchor) + 1; i < m_variants.size(); ++i) {
        const qsizetype n = spelledAt(m_variants[i], pos);
        if (n < 0)
            return false;
        pos += n;
    }
    pos = at;
    for (qsizetype i = m_anchor - 1; i >= 0; --i) {
        const qsizetype n = spelledBefore(m_variants[size_t(i)], pos);
        if (n < 0)
            return false;
        pos -= n;
    }
    return true;
}

ContentScanner::ContentScanner(const QString& query, const ByteMatcher& matcher)
    : m_query(query)
    , m_matcher(matcher)
{
    for (const QChar c : query) {
        if (textlines::isLineBreak(c))
            m_queryHasLineBreak = true;
    }
}

void ContentScanner::scan(const QByteArray& path, const QString& qpath, const QString& name,
    const QString& relative, int maxHits, QVector<SearchResult>& out)
{
    if (m_queryHasLineBreak || maxHits <= 0 || !readWholeFile(path, m_buffer))
        return;
    if (!m_matcher.mayMatch(m_buffer.constData(), m_buffer.size()))
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
    int found = 0;
    while (found < maxHits) {
        const qsizetype at = view.indexOf(m_query, from, Qt::CaseInsensitive);
        if (at < 0)
            return;
        const textlines::LineBounds bounds = textlines::lineBounds(view, at);
        const qsizetype lineStart = bounds.start;
        for (const textlines::LineBounds& before :
            textlines::Lines(view.first(lineStart), counted)) {
            if (before.hasBreak())
                ++lineNumber;
        }
        const QStringView line = bounds.contents(view);

        SearchResult hit;
        hit.fileURL = qpath;
        hit.fileName = name;
        hit.relativePath = relative;
        hit.lineNumber = lineNumber;
        hit.lineContent = trimBlanks(line);
        hit.matchRangeInLine = { int(at - lineStart), int(m_query.size()) };
        out.append(std::move(hit));
        ++found;

        counted = lineStart;
        from = bounds.contentsEnd;
    }
}

} // namespace quillon::search_detail
