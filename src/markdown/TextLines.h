#pragma once

#include <QChar>
#include <QStringView>

namespace quillon::textlines {

// Line terminators as the text system knows them: LF, CR (CR LF counts once), NEL, LS, PS.
constexpr bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// Newline characters in the wider Unicode sense: the line terminators plus vertical tab and form
// feed, which also end a line for the regular expressions.
constexpr bool isNewline(QChar c)
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
    qsizetype contentsEnd = 0; // before the line terminator
    qsizetype end = 0; // after the line terminator
};

// The line holding `position` (clamped to the text).
inline LineBounds lineBounds(QStringView text, qsizetype position)
{
    const qsizetype n = text.size();
    qsizetype p = qBound<qsizetype>(0, position, n);
    // Between CR and LF: still the line that the pair ends.
    if (p < n && p > 0 && text[p] == u'\n' && text[p - 1] == u'\r')
        --p;
    qsizetype start = p;
    while (start > 0 && !isLineBreak(text[start - 1]))
        --start;
    qsizetype contentsEnd = p;
    while (contentsEnd < n && !isLineBreak(text[contentsEnd]))
        ++contentsEnd;
    qsizetype end = contentsEnd;
    if (end < n) {
        if (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n')
            end += 2;
        else
            end += 1;
    }
    return { start, contentsEnd, end };
}

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
inline bool isValidUtf16(QStringView text)
{
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if ((u[i] & 0xF800) != 0xD800)
            continue;
        if (u[i] >= 0xDC00 || i + 1 >= n || (u[i + 1] & 0xFC00) != 0xDC00)
            return false;
        ++i;
    }
    return true;
}

} // namespace quillon::textlines
