#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

namespace quillon {

// A long text held as a row of pieces, each an implicitly shared QString of a few ten thousand
// UTF-16 units. A copy shares every piece, and an edit copies at most the pieces it lands in: a
// snapshot handed to another thread (a background write, an analysis) costs nothing while the
// user goes on typing, and an insertion never moves the rest of the text. A surrogate pair may
// straddle two pieces; offsets are UTF-16 units of the whole text.
class ChunkedText
{
public:
    // Pieces are cut at about this length and kept between a quarter and twice of it.
    static constexpr qsizetype kPiece = 16 * 1024;

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
    QString toString() const;

    // Replaces `removed` units at `position` (both clamped to the text) by `inserted`.
    void replace(qsizetype position, qsizetype removed, QStringView inserted);

    qsizetype indexOf(QChar c, qsizetype from = 0) const;
    // The last `c` at or before `from` (from < 0: counted from the end, as QString does).
    qsizetype lastIndexOf(QChar c, qsizetype from = -1) const;
    qsizetype indexOf(
        QStringView needle, qsizetype from = 0, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    bool startsWith(QStringView prefix) const;
    // How many units at the start of this text and of `other` are the same.
    qsizetype commonPrefix(QStringView other) const;
    // How many units at their ends are the same, counting no further back than `limit`.
    qsizetype commonSuffix(QStringView other, qsizetype limit) const;

    // Calls `visit(piece, offset)` for the stretches of [from, to) in order, each a view into one
    // piece and where it starts in the text; stops early when `visit` returns false.
    template <typename Visit> void forEachPiece(qsizetype from, qsizetype to, Visit visit) const
    {
        from = qBound<qsizetype>(0, from, m_size);
        to = qBound<qsizetype>(from, to, m_size);
        if (from == to)
            return;
        for (qsizetype i = pieceAt(from); i < m_pieces.size() && m_starts[size_t(i)] < to; ++i) {
            const qsizetype start = m_starts[size_t(i)];
            const qsizetype a = qMax(from, start) - start;
            const qsizetype b = qMin(to, start + m_pieces.at(i).size()) - start;
            if (!visit(QStringView(m_pieces.at(i)).mid(a, b - a), start + a))
                return;
        }
    }
    const QList<QString>& pieces() const { return m_pieces; }

    bool operator==(const ChunkedText& other) const;
    bool operator==(QStringView text) const;

private:
    // The piece holding `index`; the last piece for the end of the text.
    qsizetype pieceAt(qsizetype index) const;
    void recountFrom(qsizetype piece);

    QList<QString> m_pieces;
    std::vector<qsizetype> m_starts; // where each piece starts
    qsizetype m_size = 0;
};

} // namespace quillon
