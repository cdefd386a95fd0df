#pragma once

#include <QStringView>

// Line boundaries as the editors see them: "\n", "\r", "\r\n", U+0085, U+2028 and U+2029 each end
// a line, and "\r\n" is one break.
namespace quillon::lines {

inline bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// The end of the line that starts at or contains `position`: the offset of its line break (or the
// text end), and the offset just after that break.
struct LineEnd
{
    qsizetype contentsEnd;
    qsizetype end;
};

inline LineEnd lineEnd(QStringView text, qsizetype position)
{
    const qsizetype n = text.size();
    qsizetype i = position;
    while (i < n && !isLineBreak(text[i]))
        ++i;
    if (i == n)
        return { n, n };
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
        return { i, i + 2 };
    return { i, i + 1 };
}

inline qsizetype lineStart(QStringView text, qsizetype position)
{
    qsizetype i = qMin(position, text.size());
    // The "\n" of a "\r\n" belongs to the line that the "\r" ends.
    if (i > 0 && i < text.size() && text[i] == u'\n' && text[i - 1] == u'\r')
        --i;
    while (i > 0 && !isLineBreak(text[i - 1]))
        --i;
    return i;
}

} // namespace quillon::lines
