#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace quillon {

class ChunkedText;

// How a text file ends its lines, so that writing it back changes only the lines the user
// changed. In memory every line break is "\n"; this remembers which of them were "\r\n" in the
// file (a lone "\r" is an ordinary character of the text and stays one), and whether the file
// began with a UTF-8 byte-order mark.
class LineEnds
{
public:
    enum class Kind : quint8 { Lf, CrLf };

    LineEnds(Kind usual = Kind::Lf) // NOLINT: a plain style converts implicitly
        : m_usual(usual)
    {
    }

    // Folds every "\r\n" of `raw` into "\n" and returns the result; *ends learns where they were.
    static QString fold(const QString& raw, bool bom, LineEnds* ends);

    // The text changed: `removedLength` units at `position` were replaced by `insertedLength`
    // units, and `after` is the whole text after the change. Breaks outside the change keep their
    // ends; a new break takes the end of the line it split (the next break after the change),
    // else the file's most frequent one.
    void applyEdit(const QString& after, qsizetype position, qsizetype removedLength,
        qsizetype insertedLength);
    void applyEdit(const ChunkedText& after, qsizetype position, qsizetype removedLength,
        qsizetype insertedLength);

    // The file's bytes for `text`: UTF-8, each break with its own end, the mark if it had one.
    QByteArray encode(const QString& text) const;
    QByteArray encode(const ChunkedText& text) const;
    // The same into `out`, which keeps its room: a writer that encodes a long text again and
    // again does not map and unmap its length each time. `between` runs after each megabyte or
    // so of text.
    void encodeInto(
        const ChunkedText& text, QByteArray* out, const std::function<void()>& between = {}) const;

    Kind usual() const { return m_usual; }
    bool hasByteOrderMark() const { return m_bom; }
    // The offsets in the text of the breaks whose end is not usual(), ascending.
    const QList<qsizetype>& exceptions() const { return m_exceptions; }
    bool operator==(const LineEnds& other) const = default;

private:
    template <typename Text>
    void applyEditTo(
        const Text& after, qsizetype position, qsizetype removedLength, qsizetype insertedLength);
    // `forEachPiece` calls its argument with each piece of the text and its offset, in order.
    void encodePieces(qsizetype length,
        const std::function<void(const std::function<bool(QStringView, qsizetype)>&)>& forEachPiece,
        QByteArray& out, const std::function<void()>& between = {}) const;

    Kind m_usual = Kind::Lf;
    bool m_bom = false;
    QList<qsizetype> m_exceptions;
};

} // namespace quillon
