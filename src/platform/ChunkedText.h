#pragma once

#include <QList>
#include <QSharedData>
#include <QSharedDataPointer>
#include <QString>
#include <QStringView>

#include <vector>

namespace quillon {

// A long text held as a row of pieces, each an implicitly shared QString of a few ten thousand
// UTF-16 units. A copy shares every piece, and an edit copies at most the pieces it lands in: a
// snapshot handed to another thread (a background write, an analysis) costs nothing while the
// user goes on typing, and an insertion never moves the rest of the text. A surrogate pair may
// straddle two pieces; offsets are UTF-16 units of the whole text.
//
// The pieces are kept in groups, each shared on its own: an edit beside a snapshot copies the
// short list of groups and the one group it lands in, not a list of every piece. Typing into a
// long document that a write or an analysis holds a snapshot of then costs what typing into a
// short one does.
class ChunkedText
{
public:
    // Pieces are cut at about this length and kept between a quarter and twice of it.
    static constexpr qsizetype kPiece = 16 * 1024;
    // Groups are cut at about this many pieces.
    static constexpr qsizetype kGroup = 64;

    ChunkedText() = default;
    // A short text is shared as it is, a long one is cut into pieces.
    explicit ChunkedText(const QString& text);
    // Pieces made elsewhere, each between a quarter and twice kPiece long but the last.
    static ChunkedText fromPieces(QList<QString> pieces);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QChar at(qsizetype index) const;
    // As QString::mid: clamped to the text.
    QString mid(qsizetype position, qsizetype length = -1) const;
    // With `room` more units of capacity than it needs, for a copy about to grow.
    QString toString(qsizetype room = 0) const;
    // Replaces `removed` units at `position` (both clamped to the text) by `inserted`.
    void replace(qsizetype position, qsizetype removed, QStringView inserted);

    qsizetype indexOf(QChar c, qsizetype from = 0) const;
    // Whether `c` stands in [from, to), read no further than `to`.
    bool contains(QChar c, qsizetype from, qsizetype to) const;
    // The last `c` at or before `from` (from < 0: counted from the end, as QString does).
    qsizetype lastIndexOf(QChar c, qsizetype from = -1) const;
    qsizetype indexOf(
        QStringView needle, qsizetype from = 0, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    bool startsWith(QStringView prefix) const;
    // How many units at the start of this text and of `other` are the same.
    qsizetype commonPrefix(QStringView other) const;
    // How many units at their ends are the same, counting no further back than `limit`.
    qsizetype commonSuffix(QStringView other, qsizetype limit) const;
    // The same for another text in pieces, read piece by piece (a file read again, say).
    qsizetype commonPrefix(const ChunkedText& other) const;
    qsizetype commonSuffix(const ChunkedText& other, qsizetype limit) const;

    // Calls `visit(piece, offset)` for the stretches of [from, to) in order, each a view into one
    // piece and where it starts in the text; stops early when `visit` returns false.
    template <typename Visit> void forEachPiece(qsizetype from, qsizetype to, Visit visit) const
    {
        from = qBound<qsizetype>(0, from, m_size);
        to = qBound<qsizetype>(from, to, m_size);
        if (from == to)
            return;
        const qsizetype first = groupAt(from);
        for (qsizetype g = first; g < m_groups.size() && m_groupStarts[size_t(g)] < to; ++g) {
            const Group& group = *m_groups.at(g);
            const qsizetype base = m_groupStarts[size_t(g)];
            for (qsizetype i = g == first ? group.pieceAt(from - base) : 0;
                 i < group.pieces.size() && base + group.starts[size_t(i)] < to; ++i) {
                const qsizetype start = base + group.starts[size_t(i)];
                const qsizetype a = qMax(from, start) - start;
                const qsizetype b = qMin(to, start + group.pieces.at(i).size()) - start;
                if (!visit(QStringView(group.pieces.at(i)).mid(a, b - a), start + a))
                    return;
            }
        }
    }

    // Calls `visit(stretch)` with the text in stretches of whole lines, each but the last ending
    // with a line feed after about `length` units (a longer line makes a longer stretch): what
    // reads a long text line by line takes it a stretch at a time, never a copy of the whole.
    template <typename Visit> void forEachLineStretch(qsizetype length, Visit visit) const
    {
        for (qsizetype from = 0; from < m_size;) {
            const qsizetype feed
                = from + length < m_size ? indexOf(QChar(u'\n'), from + length) : -1;
            const qsizetype to = feed < 0 ? m_size : feed + 1;
            visit(mid(from, to - from));
            from = to;
        }
    }

    // Every piece, in order.
    QList<QString> pieces() const;
    bool operator==(const ChunkedText& other) const;
    bool operator==(QStringView text) const;

    // Makes groups be cut at `pieces` pieces from now on (0: kGroup again), so that tests see
    // many groups in a short text.
    static void setGroupForTesting(qsizetype pieces);

private:
    struct Group : QSharedData
    {
        QList<QString> pieces;
        std::vector<qsizetype> starts; // where each piece starts in the group
        qsizetype size = 0;

        void recountFrom(qsizetype piece);
        // The piece holding `index` (an offset in the group); the last piece for its end.
        qsizetype pieceAt(qsizetype index) const;
    };

    // [from, to) in a string of its own, with `room` more units of capacity.
    QString copy(qsizetype from, qsizetype to, qsizetype room) const;
    // The group holding `index`; the last group for the end of the text.
    qsizetype groupAt(qsizetype index) const;
    // The piece holding `index` (the last one for the end of the text), and where it starts.
    const QString& pieceHolding(qsizetype index, qsizetype* start) const;
    void recountFrom(qsizetype group);
    // Replaces groups [from, to) by groups of `pieces`.
    void regroup(qsizetype from, qsizetype to, const QList<QString>& pieces);
    // Calls `visit(piece, start)` for whole pieces from the one holding `index` back to the first,
    // until it returns false.
    template <typename Visit> void forEachPieceBack(qsizetype index, Visit visit) const
    {
        const qsizetype first = groupAt(index);
        for (qsizetype g = first; g >= 0; --g) {
            const Group& group = *m_groups.at(g);
            const qsizetype base = m_groupStarts[size_t(g)];
            for (qsizetype i = g == first ? group.pieceAt(index - base) : group.pieces.size() - 1;
                 i >= 0; --i) {
                if (!visit(group.pieces.at(i), base + group.starts[size_t(i)]))
                    return;
            }
        }
    }

    QList<QSharedDataPointer<Group>> m_groups;
    std::vector<qsizetype> m_groupStarts; // where each group starts
    qsizetype m_size = 0;
};

} // namespace quillon
