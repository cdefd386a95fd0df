#pragma once

#include <QChar>
#include <QStringView>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::textlines {

// The one line-break rule of the program: styling, the editing keys, find in the document,
// project search and the front-matter reader all count lines this way, so a line number or a
// line's styling never depends on who looks. A line ends at LF, VT, FF, CR, NEL, LS or PS (the
// characters at which "." stops in a regular expression); CR LF is one break.
constexpr bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// Spaces and tabs in the Unicode sense: tab and every space separator.
inline bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

struct LineBounds
{
    qsizetype start = 0;
    qsizetype contentsEnd = 0; // before the line break
    qsizetype end = 0; // after the line break

    bool hasBreak() const { return end > contentsEnd; }
    QStringView contents(QStringView text) const { return text.mid(start, contentsEnd - start); }
};

#if defined(__SSE2__)
namespace detail {

// The lanes of `v` whose unit lies in [low, low + span]: there v - low is at most span
// (unsigned), so taking span more away leaves zero.
inline __m128i inRange(__m128i v, char16_t low, char16_t span)
{
    return _mm_cmpeq_epi16(
        _mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(short(low))), _mm_set1_epi16(short(span))),
        _mm_setzero_si128());
}

// The lanes of eight units from `u` that are a line break, as the low bits of a byte mask (two
// bits a unit).
inline int lineBreakMask(const char16_t* u)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
    const __m128i controls = inRange(v, 0x0A, 3); // LF, VT, FF and CR
    const __m128i nel = _mm_cmpeq_epi16(v, _mm_set1_epi16(0x85));
    const __m128i separators
        = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xFFFE))), _mm_set1_epi16(0x2028));
    return _mm_movemask_epi8(_mm_or_si128(controls, _mm_or_si128(nel, separators)));
}

} // namespace detail
#endif

// The first unit from `low` to `high` at or after `from`, or the text's size; eight units are
// compared at a time where the processor can, as most texts hold few or none.
inline qsizetype nextUnitIn(QStringView text, qsizetype from, char16_t low, char16_t high)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    const char16_t span = char16_t(high - low);
    qsizetype i = qMax<qsizetype>(from, 0);
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
        if (const int mask = _mm_movemask_epi8(detail::inRange(v, low, span)))
            return i + (__builtin_ctz(unsigned(mask)) >> 1);
    }
#endif
    for (; i < n; ++i) {
        if (char16_t(u[i] - low) <= span)
            return i;
    }
    return n;
}

// The first line break at or after `from`, or the text's size. Lines are found over whole long
// texts: eight units are compared at a time where the processor can, else four are read at a
// time, as most of a text's units are printable ASCII, which holds no break.
inline qsizetype nextLineBreak(QStringView text, qsizetype from)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = qMax<qsizetype>(from, 0);
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        if (const int mask = detail::lineBreakMask(u + i))
            return i + (__builtin_ctz(unsigned(mask)) >> 1);
    }
    for (; i < n; ++i) {
        if (isLineBreak(QChar(u[i])))
            return i;
    }
    return n;
#else
    while (i < n) {
        for (; i + 4 <= n; i += 4) {
            quint64 word;
            std::memcpy(&word, u + i, sizeof word);
            // Any unit below 0x0E or above 0x7F might be a break: those four are read one by one.
            const quint64 low = (word - 0x000E000E000E000EULL) & ~word & 0x8000800080008000ULL;
            if (low || (word & 0xFF80FF80FF80FF80ULL))
                break;
        }
        const qsizetype stop = qMin(n, i + 4);
        for (; i < stop; ++i) {
            if (isLineBreak(QChar(u[i])))
                return i;
        }
    }
    return n;
#endif
}

// The first line feed at or after `from`, or the text's size; several units at a time, as above.
inline qsizetype nextLineFeed(QStringView text, qsizetype from)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = qMax<qsizetype>(from, 0);
#if defined(__SSE2__)
    const __m128i feed = _mm_set1_epi16(0x0A);
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, feed)))
            return i + (__builtin_ctz(unsigned(mask)) >> 1);
    }
#else
    for (; i + 4 <= n; i += 4) {
        quint64 word;
        std::memcpy(&word, u + i, sizeof word);
        const quint64 lanes = word ^ 0x000A000A000A000AULL; // zero where a unit is a line feed
        if ((lanes - 0x0001000100010001ULL) & ~lanes & 0x8000800080008000ULL)
            break;
    }
#endif
    for (; i < n; ++i) {
        if (u[i] == u'\n')
            return i;
    }
    return n;
}

// Whether a line of many thousand characters may be cut after the space at `at` (the line
// ending at `end`): a space after a word and before a letter. The part after such a cut begins
// as no Markdown line does that means something else (a list, a quote, a heading, a fence, a
// table row or indented code), and the part before it ends in no hard line break.
inline bool cutsLongLine(QStringView text, qsizetype at, qsizetype end)
{
    return at > 0 && at + 1 < end && text[at] == u' ' && text[at - 1] != u' '
        && text[at - 1] != u'\t' && text[at + 1].isLetter();
}

// The first place at or after `from` and before `end` where a long line may be cut (the start
// of the part after it), or -1.
inline qsizetype nextLongLineCut(QStringView text, qsizetype from, qsizetype end)
{
    for (qsizetype at = text.indexOf(u' ', qMax<qsizetype>(0, from - 1)); at >= 0 && at + 1 < end;
         at = text.indexOf(u' ', at + 1)) {
        if (cutsLongLine(text, at, end))
            return at + 1;
    }
    return -1;
}

// The line that starts at `start`, which must be a line start.
inline LineBounds lineStartingAt(QStringView text, qsizetype start)
{
    const qsizetype n = text.size();
    const qsizetype contentsEnd = start >= n ? start : nextLineBreak(text, start);
    qsizetype end = contentsEnd;
    if (end < n)
        end += (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n') ? 2 : 1;
    return { start, contentsEnd, end };
}

// The line holding `position` (clamped to the text). A position between the CR and the LF of a
// pair belongs to the line that the pair ends.
inline LineBounds lineBounds(QStringView text, qsizetype position)
{
    const qsizetype n = text.size();
    qsizetype p = qBound<qsizetype>(0, position, n);
    if (p < n && p > 0 && text[p] == u'\n' && text[p - 1] == u'\r')
        --p;
    qsizetype start = p;
    while (start > 0 && !isLineBreak(text[start - 1]))
        --start;
    return lineStartingAt(text, start);
}

// The lines of a text from a line start on, in order: a text with n line breaks has n + 1 lines
// (the last one empty when the text ends with a break). Use as
// `for (const LineBounds& line : Lines(text)) ...`.
class Lines
{
public:
    struct Sentinel
    {
    };
    class Iterator
    {
    public:
        Iterator(QStringView text, qsizetype from)
            : m_text(text)
            , m_line(lineStartingAt(text, from))
        {
        }
        const LineBounds& operator*() const { return m_line; }
        const LineBounds* operator->() const { return &m_line; }
        Iterator& operator++()
        {
            if (m_line.hasBreak())
                m_line = lineStartingAt(m_text, m_line.end);
            else
                m_done = true;
            return *this;
        }
        bool operator==(Sentinel) const { return m_done; }

    private:
        QStringView m_text;
        LineBounds m_line;
        bool m_done = false;
    };

    explicit Lines(QStringView text, qsizetype from = 0)
        : m_text(text)
        , m_from(qBound<qsizetype>(0, from, text.size()))
    {
    }
    Iterator begin() const { return { m_text, m_from }; }
    Sentinel end() const { return {}; }

private:
    QStringView m_text;
    qsizetype m_from;
};

// Trims spaces and tabs (Unicode horizontal spaces) from both ends.
inline QStringView trimmedHorizontal(QStringView s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && isHorizontalSpace(s[a]))
        ++a;
    while (b > a && isHorizontalSpace(s[b - 1]))
        --b;
    return s.mid(a, b - a);
}

// No unpaired surrogate: such a text may skip the regular-expression engine's own check.
// The first surrogate (0xD800-0xDFFF) at or after `from`, or the text's size.
inline qsizetype nextSurrogate(QStringView text, qsizetype from)
{
    return nextUnitIn(text, from, 0xD800, 0xDFFF);
}

// Styling asks this of whole documents, so runs without surrogates are passed over four units
// at a time.
inline bool isValidUtf16(QStringView text)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = nextSurrogate(text, 0); i < n; i = nextSurrogate(text, i + 1)) {
        if (u[i] >= 0xDC00 || i + 1 >= n || (u[i + 1] & 0xFC00) != 0xDC00)
            return false;
        ++i; // the pair's low half
    }
    return true;
}

} // namespace quillon::textlines
