#include "platform/ChunkedText.h"

#include <algorithm>
#include <cstring>

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

} // namespace

ChunkedText::ChunkedText(const QString& text)
{
    if (text.size() <= kLongest) {
        if (!text.isEmpty())
            m_pieces.append(text); // shared, not copied
    } else {
        m_pieces = cut(text);
    }
    recountFrom(0);
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
    result.m_pieces = std::move(pieces);
    result.recountFrom(0);
    return result;
}

void ChunkedText::recountFrom(qsizetype piece)
{
    m_starts.resize(size_t(m_pieces.size()));
    for (qsizetype i = qMax<qsizetype>(piece, 0); i < m_pieces.size(); ++i)
        m_starts[size_t(i)] = i == 0 ? 0 : m_starts[size_t(i - 1)] + m_pieces.at(i - 1).size();
    m_size = m_pieces.isEmpty() ? 0 : m_starts.back() + m_pieces.last().size();
}

qsizetype ChunkedText::pieceAt(qsizetype index) const
{
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend(), index);
    return qBound<qsizetype>(0, qsizetype(after - m_starts.cbegin()) - 1, m_pieces.size() - 1);
}

QChar ChunkedText::at(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < m_size);
    const qsizetype piece = pieceAt(index);
    return m_pieces.at(piece).at(index - m_starts[size_t(piece)]);
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
    const qsizetype piece = pieceAt(position);
    if (m_starts[size_t(piece)] == position && m_pieces.at(piece).size() == end - position)
        return m_pieces.at(piece);
    QString result;
    result.reserve(end - position);
    forEachPiece(position, end, [&](QStringView part, qsizetype) {
        result.append(part);
        return true;
    });
    return result;
}

QString ChunkedText::toString() const
{
    return mid(0);
}

void ChunkedText::replace(qsizetype position, qsizetype removed, QStringView inserted)
{
    position = qBound<qsizetype>(0, position, m_size);
    removed = qBound<qsizetype>(0, removed, m_size - position);
    if (removed == 0 && inserted.isEmpty())
        return;
    if (m_pieces.isEmpty()) {
        m_pieces = cut(inserted);
        recountFrom(0);
        return;
    }
    const qsizetype first = pieceAt(position);
    const qsizetype last = removed > 0 ? pieceAt(position + removed - 1) : first;
    const qsizetype firstStart = m_starts[size_t(first)];
    QString& piece = m_pieces[first];
    if (first == last && piece.size() - removed + inserted.size() <= kLongest) {
        // Typing: the piece changes in place (copied first only when a snapshot shares it).
        piece.replace(position - firstStart, removed, inserted.constData(), inserted.size());
        qsizetype changed = first;
        if (piece.isEmpty()) {
            m_pieces.removeAt(first);
        } else if (piece.size() < kShortest && m_pieces.size() > 1) {
            const qsizetype other = first + 1 < m_pieces.size() ? first + 1 : first - 1;
            const qsizetype lower = qMin(first, other);
            if (m_pieces.at(first).size() + m_pieces.at(other).size() <= kLongest) {
                m_pieces[lower] += m_pieces.at(lower + 1);
                m_pieces.removeAt(lower + 1);
                changed = lower;
            }
        }
        recountFrom(changed);
        return;
    }
    const qsizetype lastStart = m_starts[size_t(last)];
    QString joined;
    const qsizetype headLength = position - firstStart;
    const QStringView tail = QStringView(m_pieces.at(last)).mid(position + removed - lastStart);
    joined.reserve(headLength + inserted.size() + tail.size());
    joined.append(QStringView(m_pieces.at(first)).left(headLength));
    joined.append(inserted);
    joined.append(tail);
    const QList<QString> replacement = cut(joined);
    m_pieces.remove(first, last - first + 1);
    for (qsizetype i = 0; i < replacement.size(); ++i)
        m_pieces.insert(first + i, replacement.at(i));
    recountFrom(first);
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

qsizetype ChunkedText::lastIndexOf(QChar c, qsizetype from) const
{
    if (from < 0)
        from += m_size;
    from = qMin(from, m_size - 1);
    if (from < 0)
        return -1;
    for (qsizetype piece = pieceAt(from); piece >= 0; --piece) {
        const qsizetype start = m_starts[size_t(piece)];
        const QStringView part = QStringView(m_pieces.at(piece)).left(from - start + 1);
        const qsizetype i = part.lastIndexOf(c);
        if (i >= 0)
            return start + i;
    }
    return -1;
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
    for (qsizetype piece = pieceAt(from); piece < m_pieces.size(); ++piece) {
        const qsizetype start = m_starts[size_t(piece)];
        const qsizetype inPiece = qMax(from, start) - start;
        const qsizetype i = QStringView(m_pieces.at(piece)).indexOf(needle, inPiece, cs);
        if (i >= 0)
            return start + i;
        // A match across the end of this piece begins in its last `reach` units.
        const qsizetype end = start + m_pieces.at(piece).size();
        if (reach == 0 || end >= m_size)
            continue;
        const qsizetype windowStart = qMax(from, end - reach);
        const QString window = mid(windowStart, end - windowStart + reach);
        const qsizetype j = window.indexOf(needle, 0, cs);
        if (j >= 0 && windowStart + j < end)
            return windowStart + j;
    }
    return -1;
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
    for (qsizetype piece = m_pieces.size() - 1; piece >= 0 && same < limit; --piece) {
        const QString& part = m_pieces.at(piece);
        const qsizetype n = qMin(part.size(), limit - same);
        const qsizetype found
            = sameFromEnd(part.constData() + part.size(), other.data() + other.size() - same, n);
        same += found;
        if (found < n)
            break;
    }
    return same;
}

bool ChunkedText::operator==(const ChunkedText& other) const
{
    if (m_size != other.m_size)
        return false;
    qsizetype i = 0, j = 0; // pieces
    qsizetype inI = 0, inJ = 0; // offsets inside them
    while (i < m_pieces.size() && j < other.m_pieces.size()) {
        const QString& a = m_pieces.at(i);
        const QString& b = other.m_pieces.at(j);
        const qsizetype n = qMin(a.size() - inI, b.size() - inJ);
        // Pieces a copy still shares need no comparing.
        if (a.constData() + inI != b.constData() + inJ
            && QStringView(a).mid(inI, n) != QStringView(b).mid(inJ, n))
            return false;
        inI += n;
        inJ += n;
        if (inI == a.size()) {
            ++i;
            inI = 0;
        }
        if (inJ == b.size()) {
            ++j;
            inJ = 0;
        }
    }
    return true;
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
