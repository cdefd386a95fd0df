#pragma once

// Inside the project search: finding the query in one document's bytes and lines. Not part of
// the workspace's interface.

#include "workspace/SearchResult.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <vector>

namespace quillon::search_detail {

// Decides from a document's raw bytes whether it can contain the query under the case-insensitive
// comparison the line search uses, without decoding it. Never misses a document that matches;
// an all-ASCII query is matched on bytes (Boyer-Moore-Horspool), any other query through the
// UTF-8 spellings of every character's case variants.
class ByteMatcher
{
public:
    explicit ByteMatcher(const QString& query);

    bool mayMatch(const char* data, qsizetype size) const;

private:
    bool findAscii(const char* data, qsizetype size) const;
    bool findVariants(const char* data, qsizetype size) const;
    bool matchesAround(const char* data, qsizetype size, qsizetype at) const;

    // All-ASCII query.
    QByteArray m_ascii;
    std::array<qsizetype, 256> m_skip {};
    std::vector<QByteArray> m_asciiSpecials; // non-ASCII letters that fold to a query letter

    // Any other query: per character, the UTF-8 spellings that compare equal to it.
    std::vector<std::vector<QByteArray>> m_variants;
    qsizetype m_anchor = 0; // the character looked for first (the first non-ASCII one)
    std::array<bool, 256> m_anchorLead {};
    int m_singleLead = -1; // the anchor's one first byte, when all its spellings share it
};

// Reads and searches documents; one per thread (it keeps its read buffer).
class ContentScanner
{
public:
    ContentScanner(const QString& query, const ByteMatcher& matcher);

    // Appends the document's line hits, at most maxHits of them.
    void scan(const QByteArray& path, const QString& qpath, const QString& name,
        const QString& relative, int maxHits, QVector<SearchResult>& out);

private:
    const QString m_query;
    const ByteMatcher& m_matcher;
    bool m_queryHasLineBreak = false;
    QByteArray m_buffer;
};

} // namespace quillon::search_detail
