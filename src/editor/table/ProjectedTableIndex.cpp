#include "editor/table/ProjectedTableIndex.h"

#include <bit>

namespace quillon {

ProjectedTableIndex::ProjectedTableIndex(const std::vector<Table>& tables, qsizetype storageLength)
{
    assign(tables, storageLength);
}

void ProjectedTableIndex::assign(const std::vector<Table>& tables, qsizetype storageLength)
{
    const size_t n = tables.size();
    m_storageLength = storageLength;
    m_gaps.resize(n);
    m_lengths.resize(n);
    m_lines.resize(n);
    qsizetype next = 0;
    for (size_t k = 0; k < n; ++k) {
        m_gaps[k] = tables[k].position - next;
        m_lengths[k] = tables[k].markdownLength;
        m_lines[k] = tables[k].markdownLines;
        next = tables[k].position + 1;
    }
    // Each node adds itself to the node above it: the tree in one pass.
    m_tree.assign(n + 1, Sums {});
    for (size_t i = 1; i <= n; ++i) {
        m_tree[i] += Sums { m_gaps[i - 1], m_lengths[i - 1] };
        const size_t parent = i + (i & (~i + 1));
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
    m_topStep = n == 0 ? 0 : int(std::bit_floor(n));
}

std::vector<ProjectedTableIndex::Table> ProjectedTableIndex::tables() const
{
    return tablesIn(0, m_storageLength);
}

std::vector<ProjectedTableIndex::Table> ProjectedTableIndex::tablesIn(
    qsizetype from, qsizetype to) const
{
    std::vector<Table> found;
    const Prefix before = tablesBefore(from);
    // The character after the tables before `from`: the next table stands its gap further on.
    qsizetype position = before.sums.gaps + before.count;
    for (int k = before.count; k < count(); ++k) {
        position += m_gaps[size_t(k)];
        if (position >= to)
            break;
        found.push_back({ position, m_lengths[size_t(k)], m_lines[size_t(k)] });
        ++position;
    }
    return found;
}

ProjectedTableIndex::Prefix ProjectedTableIndex::prefix(int count) const
{
    Prefix p { count, {} };
    for (int i = count; i > 0; i -= i & -i)
        p.sums += m_tree[size_t(i)];
    return p;
}

ProjectedTableIndex::Prefix ProjectedTableIndex::tablesBefore(qsizetype storageOffset) const
{
    // The first k tables take their gaps and k characters of the storage: they all stand before
    // the offset while that is at most the offset. Every table takes one character at least, so
    // the first tables that fit are found by descending the tree.
    Prefix p;
    for (int step = m_topStep; step > 0; step >>= 1) {
        const int next = p.count + step;
        if (next <= count() && p.sums.gaps + m_tree[size_t(next)].gaps + next <= storageOffset) {
            p.count = next;
            p.sums += m_tree[size_t(next)];
        }
    }
    return p;
}

ProjectedTableIndex::Prefix ProjectedTableIndex::tablesPassedBy(qsizetype markdownOffset) const
{
    // The first tables whose Markdown ends at or before the offset.
    Prefix p;
    for (int step = m_topStep; step > 0; step >>= 1) {
        const int next = p.count + step;
        if (next <= count()) {
            const Sums& node = m_tree[size_t(next)];
            if (p.sums.gaps + node.gaps + p.sums.lengths + node.lengths <= markdownOffset) {
                p.count = next;
                p.sums += node;
            }
        }
    }
    // A table of no Markdown that ends exactly at the offset also starts there: the offset maps
    // to its character, as the offset at the start of any table does.
    while (p.count > 0 && m_lengths[size_t(p.count - 1)] == 0
        && p.sums.gaps + p.sums.lengths == markdownOffset) {
        --p.count;
        p.sums.gaps -= m_gaps[size_t(p.count)];
    }
    return p;
}

qsizetype ProjectedTableIndex::markdownOffset(qsizetype storageOffset) const
{
    const qsizetype n = qMin(m_storageLength, storageOffset);
    if (n < 1)
        return 0;
    const Prefix before = tablesBefore(n);
    return n + before.sums.lengths - before.count;
}

qsizetype ProjectedTableIndex::storageOffset(qsizetype markdownOffset) const
{
    if (markdownOffset <= 0)
        return 0;
    const Prefix passed = tablesPassedBy(markdownOffset);
    // Where the passed tables end, in the storage and in the Markdown.
    const qsizetype storageAfter = passed.sums.gaps + passed.count;
    const qsizetype markdownAfter = passed.sums.gaps + passed.sums.lengths;
    const qsizetype plain = storageAfter + (markdownOffset - markdownAfter);
    if (passed.count == count())
        return qMin(m_storageLength, plain);
    // Before the next table the characters map one to one; inside it, to its character.
    const qsizetype gap = m_gaps[size_t(passed.count)];
    return markdownOffset - markdownAfter <= gap ? plain : storageAfter + gap;
}

void ProjectedTableIndex::replace(
    qsizetype from, qsizetype removed, qsizetype inserted, const std::vector<Table>& insertedTables)
{
    const Prefix before = tablesBefore(from);
    const int removedEnd = tablesBefore(from + removed).count;
    const qsizetype delta = inserted - removed;
    if (before.count == removedEnd && insertedTables.empty()) {
        // No table comes or goes: only the gap before the next table changes.
        m_storageLength += delta;
        if (before.count < count()) {
            m_gaps[size_t(before.count)] += delta;
            for (int i = before.count + 1; i <= count(); i += i & -i)
                m_tree[size_t(i)].gaps += delta;
        }
        return;
    }
    std::vector<Table> all = tables();
    std::vector<Table> changed(all.begin(), all.begin() + before.count);
    changed.insert(changed.end(), insertedTables.begin(), insertedTables.end());
    for (auto it = all.begin() + removedEnd; it != all.end(); ++it)
        changed.push_back({ it->position + delta, it->markdownLength, it->markdownLines });
    assign(changed, m_storageLength + delta);
}

} // namespace quillon
