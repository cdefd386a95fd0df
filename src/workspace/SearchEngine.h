#pragma once

#include "workspace/SearchResult.h"

#include <QSet>
#include <QString>
#include <QVector>

namespace quillon {

// Finds a text in the names of a folder's items and in the lines of its documents. Pure: touches
// no shared state, so any number of searches may run on any threads at once.
class SearchEngine
{
public:
    static constexpr int defaultMaxResults = 300;

    // The query is trimmed of white space; a blank query finds nothing. Entries whose name begins
    // with "." and "node_modules" folders are skipped with everything inside them. Folders are
    // matched by name whatever their extension; documents only when their lower-case extension is
    // in allowedExtensions, then by name and line by line (one hit per line, its first
    // occurrence). Documents that are not UTF-8 give no line hits. Documents are read on several
    // threads, but the hits keep the walk's order (depth first, each folder as the file system
    // lists it; a document's name hit before its lines) and the first maxResults of them are kept.
    static QVector<SearchResult> search(const QString& folder, const QString& query,
        const QSet<QString>& allowedExtensions, int maxResults = defaultMaxResults);
};

} // namespace quillon
