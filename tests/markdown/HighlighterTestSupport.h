#pragma once

#include "markdown/MarkdownHighlighter.h"

#include <QString>

namespace quillon::test {

inline AttributedText highlighted(const QString& text, HighlightOptions options = {})
{
    AttributedText storage(text);
    MarkdownHighlighter::highlight(storage, options);
    return storage;
}

inline HighlightOptions readingWithCaret(qsizetype caret, bool focused = true)
{
    HighlightOptions options;
    options.isReadingMode = true;
    options.cursorLocation = caret;
    options.isFocused = focused;
    return options;
}

inline bool isCollapsed(const AttributedText& s, qsizetype index)
{
    const bool* v = s.attribute<TextAttribute::Collapsed>(index);
    return v && *v;
}

// The positions in [from, to) that are hidden, as a string of '1' and '0'.
inline QString collapseMap(const AttributedText& s, qsizetype from = 0, qsizetype to = -1)
{
    if (to < 0)
        to = s.length();
    QString map;
    for (qsizetype i = from; i < to; ++i)
        map += isCollapsed(s, i) ? u'1' : u'0';
    return map;
}

inline QColor grey(qreal g, qreal alpha = 1)
{
    return QColor::fromRgbF(g, g, g, alpha);
}

} // namespace quillon::test
