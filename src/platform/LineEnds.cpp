#include "platform/LineEnds.h"

#include "platform/ChunkedText.h"
#include "platform/TextLines.h"

#include <QStringEncoder>

#include <algorithm>

namespace quillon {

namespace {

// Calls `visit(stretch, offset)` for [from, to) of a text, in stretches held in one piece.
template <typename Visit>
void forEachStretch(const QString& text, qsizetype from, qsizetype to, Visit visit)
{
    from = qBound<qsizetype>(0, from, text.size());
    visit(QStringView(text).mid(from, qBound<qsizetype>(from, to, text.size()) - from), from);
}

template <typename Visit>
void forEachStretch(const ChunkedText& text, qsizetype from, qsizetype to, Visit visit)
{
    text.forEachPiece(from, to, [&](QStringView piece, qsizetype offset) {
        visit(piece, offset);
        return true;
    });
}

} // namespace

QString LineEnds::fold(const QString& raw, bool bom, LineEnds* ends)
{
    LineEnds result;
    result.m_bom = bom;
    qsizetype crlf = 0;
    qsizetype lf = 0;
    for (qsizetype i = raw.indexOf(u'\n'); i >= 0; i = raw.indexOf(u'\n', i + 1)) {
        if (i > 0 && raw.at(i - 1) == u'\r')
            ++crlf;
        else
            ++lf;
    }
    result.m_usual = crlf > lf ? Kind::CrLf : Kind::Lf;
    if (crlf == 0) {
        if (ends)
            *ends = std::move(result);
        return raw;
    }
    QString text;
    text.reserve(raw.size() - crlf);
    qsizetype from = 0;
    for (qsizetype i = raw.indexOf(u'\n'); i >= 0; i = raw.indexOf(u'\n', i + 1)) {
        const bool isCrLf = i > 0 && raw.at(i - 1) == u'\r';
        text.append(QStringView(raw).mid(from, i - from - (isCrLf ? 1 : 0)));
        if (isCrLf != (result.m_usual == Kind::CrLf))
            result.m_exceptions.append(text.size());
        text.append(u'\n');
        from = i + 1;
    }
    text.append(QStringView(raw).mid(from));
    if (ends)
        *ends = std::move(result);
    return text;
}

void LineEnds::applyEdit(
    const QString& after, qsizetype position, qsizetype removedLength, qsizetype insertedLength)
{
    applyEditTo(after, position, removedLength, insertedLength);
}

void LineEnds::applyEdit(
    const ChunkedText& after, qsizetype position, qsizetype removedLength, qsizetype insertedLength)
{
    applyEditTo(after, position, removedLength, insertedLength);
}

template <typename Text>
void LineEnds::applyEditTo(
    const Text& after, qsizetype position, qsizetype removedLength, qsizetype insertedLength)
{
    const qsizetype removedEnd = position + removedLength;
    const qsizetype delta = insertedLength - removedLength;
    auto first = std::lower_bound(m_exceptions.begin(), m_exceptions.end(), position);
    auto last = std::lower_bound(first, m_exceptions.end(), removedEnd);
    for (auto it = last; it != m_exceptions.end(); ++it)
        *it += delta;
    const qsizetype firstIndex = first - m_exceptions.begin();
    m_exceptions.erase(first, last);

    const qsizetype insertedEnd = position + insertedLength;
    // Only the inserted text is looked at: a keystroke on a long line costs no more than on a
    // short one.
    QList<qsizetype> added;
    forEachStretch(after, position, insertedEnd, [&](QStringView stretch, qsizetype offset) {
        for (qsizetype i = stretch.indexOf(u'\n'); i >= 0; i = stretch.indexOf(u'\n', i + 1))
            added.append(offset + i);
    });
    if (added.isEmpty())
        return;
    // The line that was split ends with the first break after the change, if any: it is an
    // exception when no break comes before the first exception after the change. A text whose
    // breaks all end alike is not read at all (a line break typed into a line of megabytes).
    const auto exception
        = std::lower_bound(m_exceptions.cbegin() + firstIndex, m_exceptions.cend(), insertedEnd);
    if (exception == m_exceptions.cend())
        return;
    bool breakBefore = false;
    forEachStretch(after, insertedEnd, *exception, [&](QStringView stretch, qsizetype) {
        breakBefore = breakBefore || stretch.contains(u'\n');
    });
    if (breakBefore)
        return;
    m_exceptions.insert(firstIndex, added.size(), 0);
    std::copy(added.cbegin(), added.cend(), m_exceptions.begin() + firstIndex);
}

namespace {

// Appends text as UTF-8, given in pieces, with the bytes QString::toUtf8 makes of the whole: a
// surrogate pair split between two pieces is kept whole, and a lone surrogate becomes the same
// replacement wherever it stands, at the end of the text included.
class Utf8Appender
{
public:
    explicit Utf8Appender(QByteArray& out)
        : m_out(out)
    {
    }

    void append(QStringView text)
    {
        if (text.isEmpty())
            return;
        if (m_high) {
            const char16_t pair[2] = { m_high, text.front().unicode() };
            m_high = 0;
            const bool whole = QChar::isLowSurrogate(pair[1]);
            encode(QStringView(pair, whole ? 2 : 1));
            if (whole)
                text = text.sliced(1);
        }
        if (!text.isEmpty() && text.back().isHighSurrogate()) {
            m_high = text.back().unicode();
            text.chop(1);
        }
        encode(text);
    }

    void finish()
    {
        if (!m_high)
            return;
        const char16_t lone = m_high;
        m_high = 0;
        encode(QStringView(&lone, 1));
    }

private:
    void encode(QStringView text)
    {
        // What toUtf8 makes of a surrogate without its other half (one byte or three, by version).
        static const QByteArray lone = QString(QChar(0xD800)).toUtf8();
        qsizetype from = 0;
        for (qsizetype i = textlines::nextSurrogate(text, 0); i < text.size();
             i = textlines::nextSurrogate(text, i + 1)) {
            if (!text[i].isSurrogate())
                continue;
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            encodeWhole(text.sliced(from, i - from));
            m_out.append(lone);
            from = i + 1;
        }
        encodeWhole(text.sliced(from));
    }

    // `text` holds no lone surrogate.
    void encodeWhole(QStringView text)
    {
        if (text.isEmpty())
            return;
        const qsizetype old = m_out.size();
        m_out.resize(old + m_encoder.requiredSpace(text.size()));
        char* end = m_encoder.appendToBuffer(m_out.data() + old, text);
        m_out.resize(end - m_out.constData());
    }

    QByteArray& m_out;
    QStringEncoder m_encoder { QStringEncoder::Utf8, QStringEncoder::Flag::Stateless };
    char16_t m_high = 0;
};

} // namespace

QByteArray LineEnds::encode(const QString& text) const
{
    QByteArray out;
    encodePieces(
        text.size(),
        [&](const std::function<bool(QStringView, qsizetype)>& visit) { visit(text, 0); }, out);
    return out;
}

QByteArray LineEnds::encode(const ChunkedText& text) const
{
    QByteArray out;
    encodeInto(text, &out);
    return out;
}

void LineEnds::encodeInto(
    const ChunkedText& text, QByteArray* out, const std::function<void()>& between) const
{
    encodePieces(
        text.size(),
        [&](const std::function<bool(QStringView, qsizetype)>& visit) {
            text.forEachPiece(0, text.size(), visit);
        },
        *out, between);
}

void LineEnds::encodePieces(qsizetype length,
    const std::function<void(const std::function<bool(QStringView, qsizetype)>&)>& forEachPiece,
    QByteArray& out, const std::function<void()>& between) const
{
    constexpr qsizetype kStretch = 1 << 20;
    qsizetype sinceBetween = 0;
    // Truncating keeps the array's room; reserving within it does nothing.
    out.resize(0);
    out.reserve(length + length / 8 + 3);
    if (m_bom)
        out.append("\xEF\xBB\xBF");
    Utf8Appender utf8(out);
    const bool usualCrLf = m_usual == Kind::CrLf;
    qsizetype next = 0; // the first exception not passed yet
    forEachPiece([&](QStringView piece, qsizetype offset) {
        qsizetype from = 0;
        if (usualCrLf || next < m_exceptions.size()) {
            for (qsizetype i = piece.indexOf(u'\n'); i >= 0; i = piece.indexOf(u'\n', i + 1)) {
                const qsizetype at = offset + i;
                while (next < m_exceptions.size() && m_exceptions.at(next) < at)
                    ++next;
                bool crlf = usualCrLf;
                if (next < m_exceptions.size() && m_exceptions.at(next) == at) {
                    crlf = !crlf;
                    ++next;
                }
                if (!crlf)
                    continue;
                utf8.append(piece.mid(from, i - from));
                utf8.append(u"\r\n");
                from = i + 1;
            }
        }
        utf8.append(piece.mid(from));
        sinceBetween += piece.size();
        if (between && sinceBetween >= kStretch) {
            sinceBetween = 0;
            between();
        }
        return true;
    });
    utf8.finish();
}

} // namespace quillon
