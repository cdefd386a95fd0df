#pragma once

#include <QtGlobal>

#include <vector>

namespace quillon {

// The tables of a projected storage, in order: where each one's character stands and how much
// Markdown (length and lines) it stands for, with the sums that map offsets between the storage and
// the Markdown in O(log tables) (a Fenwick tree over the tables, each holding the plain characters
// before it and its Markdown length).
//
// An edit between two tables changes the gap before the next one: O(log tables). An edit that
// adds or removes tables rebuilds the sums: O(tables). The text itself is never read.
class ProjectedTableIndex
{
public:
    struct Table
    {
        qsizetype position = 0; // of its character in the storage
        qsizetype markdownLength = 0;
        int markdownLines = 1; // what its height is estimated from
        bool operator==(const Table&) const = default;
    };

    ProjectedTableIndex() = default;
    // `tables` ascending, in a storage of `storageLength` characters.
    ProjectedTableIndex(const std::vector<Table>& tables, qsizetype storageLength);

    qsizetype storageLength() const { return m_storageLength; }
    int count() const { return int(m_gaps.size()); }
    std::vector<Table> tables() const;
    // The tables whose characters stand in the storage range [from, to), ascending.
    std::vector<Table> tablesIn(qsizetype from, qsizetype to) const;

    // The storage's characters [from, from + removed) (inside the storage) were replaced by
    // `inserted` characters holding `insertedTables` (storage positions after the change).
    void replace(qsizetype from, qsizetype removed, qsizetype inserted,
        const std::vector<Table>& insertedTables);

    // The same tables in the same storage, sums included (an index kept edit by edit equals one
    // built afresh).
    bool operator==(const ProjectedTableIndex&) const = default;

    // Both exactly as MarkdownTableProjection computes them by scanning the storage.
    qsizetype markdownOffset(qsizetype storageOffset) const;
    qsizetype storageOffset(qsizetype markdownOffset) const;

private:
    struct Sums
    {
        qsizetype gaps = 0; // plain characters before and between the tables
        qsizetype lengths = 0; // Markdown the tables stand for
        Sums& operator+=(const Sums& other)
        {
            gaps += other.gaps;
            lengths += other.lengths;
            return *this;
        }
        bool operator==(const Sums&) const = default;
    };
    // The first `count` tables and their sums.
    struct Prefix
    {
        int count = 0;
        Sums sums;
    };

    void assign(const std::vector<Table>& tables, qsizetype storageLength);
    Prefix prefix(int count) const;
    Prefix tablesBefore(qsizetype storageOffset) const;
    Prefix tablesPassedBy(qsizetype markdownOffset) const;

    std::vector<qsizetype> m_gaps; // per table: plain characters since the previous table
    std::vector<qsizetype> m_lengths; // per table: its Markdown length
    std::vector<int> m_lines; // per table: its Markdown's lines
    std::vector<Sums> m_tree; // 1-based: node i sums the tables (i - lowbit(i), i]
    int m_topStep = 0; // the largest power of two not above the count
    qsizetype m_storageLength = 0;
};

} // namespace quillon
