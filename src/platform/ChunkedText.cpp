#include "platform/ChunkedText.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace quillon {

namespace {

constexpr qsizetype kLongest = 2 * ChunkedText::kPiece;
constexpr qsizetype kShortest = ChunkedText::kPiece / 4;

// `text` cut into pieces of about kPiece units (one piece when it is not longer than kLongest).
QList<QString> cut(QStringView text)
{
    QList<QString> pieces;
    if (text.isEmpty())
        return pieces;
    if (text.size() <= kLongest) {
        pieces.append(text.toString());
        return pieces;
    }
    pieces.reserve(text.size() / ChunkedText::kPiece + 1);
    for (qsizetype at = 0; at < text.size(); at += ChunkedText::kPiece)
        pieces.append(text.mid(at, ChunkedText::kPiece).toString());
    // A short last piece joins the one before it.
    if (pieces.size() > 1 && pieces.last().size() < kShortest) {
        pieces[pieces.size() - 2] += pieces.last();
        pieces.removeLast();
    }
    return pieces;
}

// How many of the `n` units from `a` and `b` on are the same before the first that differs;
// whole blocks go through memcmp first, as long texts mostly differ in one place.
qsizetype sameFromStart(const QChar* a, const QChar* b, qsizetype n)
{
    constexpr qsizetype block = 256;
    qsizetype i = 0;
    while (i + block <= n && std::memcmp(a + i, b + i, block * sizeof(QChar)) == 0)
        i += block;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The same, counted back from `aEnd` and `bEnd`.
qsizetype sameFromEnd(const QChar* aEnd, const QChar* bEnd, qsizetype n)
{
    constexpr qsizetype block = 256;
    qsizetype i = 0;
    while (i + block <= n
        && std::memcmp(aEnd - i - block, bEnd - i - block, block * sizeof(QChar)) == 0)
        i += block;
    while (i < n && aEnd[-1 - i] == bEnd[-1 - i])
        ++i;
    return i;
}

qsizetype groupLength = ChunkedText::kGroup;

// Sets where each of `count` parts starts, from part `from` on, given each one's size; returns
// where the last ends.
template <typename SizeOf>
qsizetype countStarts(
    std::vector<qsizetype>& starts, qsizetype count, qsizetype from, SizeOf sizeOf)
{
    starts.resize(size_t(count));
    for (qsizetype i = qMax<qsizetype>(from, 0); i < count; ++i)
        starts[size_t(i)] = i == 0 ? 0 : starts[size_t(i - 1)] + sizeOf(i - 1);
    return count == 0 ? 0 : starts.back() + sizeOf(count - 1);
}

// The part holding `index` among those starting at `starts`; the last one for the end.
qsizetype partAt(const std::vector<qsizetype>& starts, qsizetype index)
{
    const auto after = std::upper_bound(starts.cbegin(), starts.cend(), index);
    return qBound<qsizetype>(
        0, qsizetype(after - starts.cbegin()) - 1, qsizetype(starts.size()) - 1);
}

} // namespace

void ChunkedText::setGroupForTesting(qsizetype pieces)
{
    groupLength = pieces > 0 ? pieces : kGroup;
}

ChunkedText::ChunkedText(const QString& text)
{
    if (text.size() <= kLongest) {
        if (!text.isEmpty())
            regroup(0, 0, { text }); // shared, not copied
    } else {
        regroup(0, 0, cut(text));
    }
}

ChunkedText ChunkedText::fromPieces(QList<QString> pieces)
{
    ChunkedText result;
    pieces.removeIf([](const QString& piece) { return piece.isEmpty(); });
    // A short last piece joins the one before it.
    if (pieces.size() > 1 && pieces.last().size() < kShortest) {
        pieces[pieces.size() - 2] += pieces.last();
        pieces.removeLast();
    }
    result.regroup(0, 0, pieces);
    return result;
}

void ChunkedText::Group::recountFrom(qsizetype piece)
{
    size = countStarts(
        starts, pieces.size(), piece, [this](qsizetype i) { return pieces.at(i).size(); });
}

qsizetype ChunkedText::Group::pieceAt(qsizetype index) const
{
    return partAt(starts, index);
}

void ChunkedText::recountFrom(qsizetype group)
{
    m_size = countStarts(m_groupStarts, m_groups.size(), group,
        [this](qsizetype g) { return m_groups.at(g)->size; });
}

qsizetype ChunkedText::groupAt(qsizetype index) const
{
    return partAt(m_groupStarts, index);
}

const QString& ChunkedText::pieceHolding(qsizetype index, qsizetype* start) const
{
    const qsizetype g = groupAt(index);
    const Group& group = *m_groups.at(g);
    const qsizetype piece = group.pieceAt(index - m_groupStarts[size_t(g)]);
    *start = m_groupStarts[size_t(g)] + group.starts[size_t(piece)];
    return group.pieces.at(piece);
}

void ChunkedText::regroup(qsizetype from, qsizetype to, const QList<QString>& pieces)
{
    QList<QSharedDataPointer<Group>> groups;
    const qsizetype length = groupLength;
    for (qsizetype at = 0; at < pieces.size(); at += length) {
        // A short last group joins the one before it.
        const qsizetype rest = pieces.size() - at - length;
        const qsizetype n = rest > 0 && rest < length / 4 ? length + rest : length;
        QSharedDataPointer<Group> group(new Group);
        group->pieces = pieces.mid(at, n);
        group->recountFrom(0);
        groups.append(group);
        if (n > length)
            break;
    }
    m_groups.remove(from, to - from);
    for (qsizetype i = 0; i < groups.size(); ++i)
        m_groups.insert(from + i, groups.at(i));
    recountFrom(from);
}

QList<QString> ChunkedText::pieces() const
{
    QList<QString> all;
    for (const QSharedDataPointer<Group>& group : m_groups)
        all.append(group->pieces);
    return all;
}

QChar ChunkedText::at(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < m_size);
    qsizetype start = 0;
    const QString& piece = pieceHolding(index, &start);
    return piece.at(index - start);
}

QString ChunkedText::mid(qsizetype position, qsizetype length) const
{
    if (position > m_size)
        return {};
    if (position < 0) {
        if (length >= 0)
            length += position;
        position = 0;
    }
    const qsizetype end = length < 0 ? m_size : qMin(m_size, position + qMax<qsizetype>(length, 0));
    if (end <= position)
        return QString(QLatin1String(""));
    // One whole piece is shared, not copied.
    qsizetype start = 0;
    const QString& piece = pieceHolding(position, &start);
    if (start == position && piece.size() == end - position)
        return piece;
    return copy(position, end, 0);
}

QString ChunkedText::copy(qsizetype from, qsizetype to, qsizetype room) const
{
    QString result;
    result.reserve(to - from + room);
    forEachPiece(from, to, [&](QStringView part, qsizetype) {
        result.append(part);
        return true;
    });
    return result;
}

QString ChunkedText::toString(qsizetype room) const
{
    if (m_size < kParallelTextLength || m_groups.size() < 2)
        return room <= 0 ? mid(0) : copy(0, m_size, room);
    // Most of copying a long text is the kernel handing the new string its pages, which it does
    // for several threads at once: each copies a stretch of groups.
    QString result;
    result.reserve(m_size + qMax<qsizetype>(room, 0));
    result.resize(m_size);
    QChar* out = result.data();
    parallelFor(m_groups.size(), [&](qsizetype g) {
        QChar* at = out + m_groupStarts[size_t(g)];
        for (const QString& piece : m_groups.at(g)->pieces) {
            std::copy(piece.cbegin(), piece.cend(), at);
            at += piece.size();
        }
    });
    return result;
}

void ChunkedText::replace(qsizetype position, qsizetype removed, QStringView inserted)
{
    position = qBound<qsizetype>(0, position, m_size);
    removed = qBound<qsizetype>(0, removed, m_size - position);
    if (removed == 0 && inserted.isEmpty())
        return;
    if (m_groups.isEmpty()) {
        regroup(0, 0, cut(inserted));
        return;
    }
    const qsizetype firstGroup = groupAt(position);
    const qsizetype lastGroup = removed > 0 ? groupAt(position + removed - 1) : firstGroup;
    const qsizetype base = m_groupStarts[size_t(firstGroup)];
    const Group& seen = *m_groups.at(firstGroup);
    const qsizetype first = seen.pieceAt(position - base);
    const qsizetype lastBase = m_groupStarts[size_t(lastGroup)];
    const Group& end = *m_groups.at(lastGroup);
    const qsizetype lastPiece
        = removed > 0 ? end.pieceAt(position + removed - 1 - lastBase) : first;
    if (firstGroup == lastGroup && first == lastPiece
        && seen.pieces.at(first).size() - removed + inserted.size() <= kLongest) {
        // Typing: the piece changes in place. What a snapshot shares is copied first: the list of
        // groups, this group's list of pieces and the piece.
        Group& group = *m_groups[firstGroup];
        QString& piece = group.pieces[first];
        piece.replace(position - base - group.starts[size_t(first)], removed, inserted.constData(),
            inserted.size());
        qsizetype changed = first;
        if (piece.isEmpty()) {
            group.pieces.removeAt(first);
        } else if (piece.size() < kShortest && group.pieces.size() > 1) {
            const qsizetype other = first + 1 < group.pieces.size() ? first + 1 : first - 1;
            const qsizetype lower = qMin(first, other);
            if (group.pieces.at(first).size() + group.pieces.at(other).size() <= kLongest) {
                group.pieces[lower] += group.pieces.at(lower + 1);
                group.pieces.removeAt(lower + 1);
                changed = lower;
            }
        }
        group.recountFrom(changed);
        if (group.pieces.isEmpty())
            m_groups.removeAt(firstGroup);
        recountFrom(firstGroup);
        return;
    }
    // The pieces of the groups the change touches, with the change made, cut again. A few
    // pieces left alone in a group of their own join the group after them.
    qsizetype to = lastGroup + 1;
    const qsizetype lastStart = lastBase + end.starts[size_t(lastPiece)];
    QString joined;
    const qsizetype headLength = position - base - seen.starts[size_t(first)];
    const QStringView tail
        = QStringView(end.pieces.at(lastPiece)).mid(position + removed - lastStart);
    joined.reserve(headLength + inserted.size() + tail.size());
    joined.append(QStringView(seen.pieces.at(first)).left(headLength));
    joined.append(inserted);
    joined.append(tail);
    QList<QString> pieces = seen.pieces.mid(0, first);
    pieces.append(cut(joined));
    pieces.append(end.pieces.mid(lastPiece + 1));
    if (pieces.size() < qMax<qsizetype>(groupLength / 4, 2) && to < m_groups.size())
        pieces.append(m_groups.at(to++)->pieces);
    regroup(firstGroup, to, pieces);
}

qsizetype ChunkedText::indexOf(QChar c, qsizetype from) const
{
    if (from < 0)
        from = qMax<qsizetype>(0, from + m_size);
    qsizetype found = -1;
    forEachPiece(from, m_size, [&](QStringView part, qsizetype offset) {
        const qsizetype i = part.indexOf(c);
        if (i >= 0)
            found = offset + i;
        return found < 0;
    });
    return found;
}

bool ChunkedText::contains(QChar c, qsizetype from, qsizetype to) const
{
    bool found = false;
    forEachPiece(from, to, [&](QStringView part, qsizetype) {
        found = part.contains(c);
        return !found;
    });
    return found;
}

qsizetype ChunkedText::lastIndexOf(QChar c, qsizetype from) const
{
    if (from < 0)
        from += m_size;
    from = qMin(from, m_size - 1);
    if (from < 0)
        return -1;
    qsizetype found = -1;
    forEachPieceBack(from, [&](const QString& piece, qsizetype start) {
        const qsizetype i = QStringView(piece).left(from - start + 1).lastIndexOf(c);
        if (i >= 0)
            found = start + i;
        return found < 0;
    });
    return found;
}

qsizetype ChunkedText::indexOf(QStringView needle, qsizetype from, Qt::CaseSensitivity cs) const
{
    if (from < 0)
        from = qMax<qsizetype>(0, from + m_size);
    if (needle.isEmpty())
        return from <= m_size ? from : -1;
    if (needle.size() > m_size - from)
        return -1;
    const qsizetype reach = needle.size() - 1;
    qsizetype found = -1;
    forEachPiece(from, m_size, [&](QStringView part, qsizetype start) {
        const qsizetype i = part.indexOf(needle, 0, cs);
        if (i >= 0) {
            found = start + i;
            return false;
        }
        // A match across the end of this piece begins in its last `reach` units.
        const qsizetype end = start + part.size();
        if (reach == 0 || end >= m_size)
            return true;
        const qsizetype windowStart = qMax(from, end - reach);
        const QString window = mid(windowStart, end - windowStart + reach);
        const qsizetype j = window.indexOf(needle, 0, cs);
        if (j >= 0 && windowStart + j < end)
            found = windowStart + j;
        return found < 0;
    });
    return found;
}

bool ChunkedText::startsWith(QStringView prefix) const
{
    if (prefix.size() > m_size)
        return false;
    bool same = true;
    forEachPiece(0, prefix.size(), [&](QStringView part, qsizetype offset) {
        same = part == prefix.mid(offset, part.size());
        return same;
    });
    return same;
}

qsizetype ChunkedText::commonPrefix(QStringView other) const
{
    qsizetype same = 0;
    forEachPiece(0, qMin(m_size, other.size()), [&](QStringView part, qsizetype offset) {
        const qsizetype n = sameFromStart(part.data(), other.data() + offset, part.size());
        same += n;
        return n == part.size();
    });
    return same;
}

qsizetype ChunkedText::commonSuffix(QStringView other, qsizetype limit) const
{
    limit = qMin(limit, qMin(m_size, other.size()));
    qsizetype same = 0;
    if (limit <= 0)
        return 0;
    forEachPieceBack(m_size - 1, [&](const QString& part, qsizetype) {
        const qsizetype n = qMin(part.size(), limit - same);
        const qsizetype found
            = sameFromEnd(part.constData() + part.size(), other.data() + other.size() - same, n);
        same += found;
        return found == n && same < limit;
    });
    return same;
}

namespace {

// Calls `visit(ours, theirs)` for [from, to) of `a` beside the same length of `b` from
// `from + shift` on, in stretches that each lie in one piece of both; stops when it returns false.
template <typename Visit>
void forEachAligned(const ChunkedText& a, const ChunkedText& b, qsizetype from, qsizetype to,
    qsizetype shift, Visit visit)
{
    bool going = true;
    a.forEachPiece(from, to, [&](QStringView part, qsizetype offset) {
        b.forEachPiece(
            offset + shift, offset + shift + part.size(), [&](QStringView theirs, qsizetype at) {
                going = visit(part.mid(at - shift - offset, theirs.size()), theirs);
                return going;
            });
        return going;
    });
}

// Past this many units two long texts (a file read again beside the text held) are compared a
// stretch a thread, once this much at the end they are compared from shows no difference.
constexpr qsizetype kComparedAlone = 1 << 20;

// How many units of `length` are alike, cut into one stretch a thread: `sameIn(from, to)` counts
// those of [from, to) alike from the stretch's side nearest where the comparing began, and the
// count runs on through every stretch alike whole into the first that is not.
qsizetype sameInParts(
    qsizetype length, const std::function<qsizetype(qsizetype from, qsizetype to)>& sameIn)
{
    const qsizetype parts = qMax(1, parallelWidth());
    std::vector<qsizetype> cuts;
    for (qsizetype i = 0; i < parts; ++i)
        cuts.push_back(length * i / parts);
    cuts.push_back(length);
    std::vector<qsizetype> same(static_cast<size_t>(parts));
    parallelFor(parts,
        [&](qsizetype i) { same[size_t(i)] = sameIn(cuts[size_t(i)], cuts[size_t(i) + 1]); });
    qsizetype total = 0;
    for (size_t i = 0; i < same.size(); ++i) {
        total += same[i];
        if (same[i] < cuts[i + 1] - cuts[i])
            break;
    }
    return total;
}

} // namespace

qsizetype ChunkedText::commonPrefix(const ChunkedText& other) const
{
    // How many units from `from` on, up to `to`, are the same in both.
    const auto sameFrom = [&](qsizetype from, qsizetype to) {
        qsizetype same = 0;
        forEachAligned(*this, other, from, to, 0, [&](QStringView ours, QStringView theirs) {
            const qsizetype n = ours.data() == theirs.data()
                ? ours.size()
                : sameFromStart(ours.data(), theirs.data(), ours.size());
            same += n;
            return n == ours.size();
        });
        return same;
    };
    const qsizetype length = qMin(m_size, other.m_size);
    const qsizetype alone = qMin(length, kComparedAlone);
    const qsizetype start = sameFrom(0, alone);
    if (start < alone)
        return start;
    if (length < kParallelTextLength)
        return start + sameFrom(alone, length);
    return start + sameInParts(length - alone, [&](qsizetype from, qsizetype to) {
        return sameFrom(alone + from, alone + to);
    });
}

qsizetype ChunkedText::commonSuffix(const ChunkedText& other, qsizetype limit) const
{
    limit = qMin(limit, qMin(m_size, other.m_size));
    if (limit <= 0)
        return 0;
    const qsizetype shift = other.m_size - m_size;
    // How many units at the end of [from, to) are the same in both, read forward.
    const auto sameAtEnd = [&](qsizetype from, qsizetype to) {
        qsizetype same = 0;
        forEachAligned(*this, other, from, to, shift, [&](QStringView ours, QStringView theirs) {
            const qsizetype n = ours.size();
            const bool whole
                = ours.data() == theirs.data() || sameFromStart(ours.data(), theirs.data(), n) == n;
            same = whole ? same + n : sameFromEnd(ours.data() + n, theirs.data() + n, n);
            return true;
        });
        return same;
    };
    const qsizetype alone = qMin(limit, kComparedAlone);
    const qsizetype end = sameAtEnd(m_size - alone, m_size);
    if (end < alone)
        return end;
    if (limit < kParallelTextLength)
        return end + sameAtEnd(m_size - limit, m_size - alone);
    // The rest, its stretches counted back from the end.
    return end + sameInParts(limit - alone, [&](qsizetype from, qsizetype to) {
        return sameAtEnd(m_size - alone - to, m_size - alone - from);
    });
}

bool ChunkedText::operator==(const ChunkedText& other) const
{
    if (m_size != other.m_size)
        return false;
    bool same = true;
    forEachAligned(*this, other, 0, m_size, 0, [&](QStringView ours, QStringView theirs) {
        // Pieces a copy still shares need no comparing.
        same = ours.data() == theirs.data() || ours == theirs;
        return same;
    });
    return same;
}

bool ChunkedText::operator==(QStringView text) const
{
    if (m_size != text.size())
        return false;
    bool same = true;
    forEachPiece(0, m_size, [&](QStringView part, qsizetype offset) {
        same = part == text.mid(offset, part.size());
        return same;
    });
    return same;
}

} // namespace quillon
