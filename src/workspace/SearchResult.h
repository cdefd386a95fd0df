#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QUuid>

namespace quillon {

// One project-search hit: a folder or document whose name contains the query, or one line of a
// document that does. Equality and hashing use the identifier alone.
struct SearchResult
{
    // UTF-16 offset and length.
    struct Range
    {
        int location = 0;
        int length = 0;
        bool operator==(const Range&) const = default;
    };

    QUuid id = QUuid::createUuid();
    QString fileURL; // standardized path of the folder or document
    QString fileName;
    QString relativePath; // below the workspace folder, no leading or trailing "/"
    int lineNumber = 1; // 1-based; 1 for a name hit
    QString lineContent; // the line without leading and trailing blanks; the name for a name hit
    Range matchRangeInLine; // first occurrence in the untrimmed line (or in the name)
    bool isFileNameMatch = false;

    bool operator==(const SearchResult& other) const { return id == other.id; }
};

inline size_t qHash(const SearchResult& result, size_t seed = 0)
{
    return qHash(result.id, seed);
}

} // namespace quillon

Q_DECLARE_METATYPE(quillon::SearchResult)
