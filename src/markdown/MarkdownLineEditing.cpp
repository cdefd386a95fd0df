#include "markdown/MarkdownLineEditing.h"
#include "platform/TextLines.h"

#include <limits>

namespace quillon {

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

qsizetype leadingSpacesAndTabs(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isSpaceOrTab(text[i]))
        ++i;
    return i;
}

bool isBlankAfterTrimmingSpacesAndTabs(QStringView text)
{
    for (QChar c : text) {
        if (!isSpaceOrTab(c))
            return false;
    }
    return true;
}

// The length of the leading run of numeric characters (code points of a Number category).
qsizetype numberRunLength(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t codePoint = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (!QChar::isNumber(codePoint))
            break;
        i += width;
    }
    return i;
}

std::optional<qint64> parseDecimal(QStringView digits)
{
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

const QList<MarkdownLineEditing::InlineStyle>& MarkdownLineEditing::allInlineStyles()
{
    static const QList<InlineStyle> all { InlineStyle::Bold, InlineStyle::Italic,
        InlineStyle::Strikethrough, InlineStyle::Code };
    return all;
}

QString MarkdownLineEditing::rawValue(InlineStyle style)
{
    switch (style) {
    case InlineStyle::Bold:
        return QStringLiteral("bold");
    case InlineStyle::Italic:
        return QStringLiteral("italic");
    case InlineStyle::Strikethrough:
        return QStringLiteral("strikethrough");
    case InlineStyle::Code:
        return QStringLiteral("code");
    }
    return {};
}

std::optional<MarkdownLineEditing::InlineStyle> MarkdownLineEditing::inlineStyleFromRawValue(
    QStringView raw)
{
    for (InlineStyle style : allInlineStyles()) {
        if (raw == rawValue(style))
            return style;
    }
    return std::nullopt;
}

QString MarkdownLineEditing::marker(InlineStyle style)
{
    switch (style) {
    case InlineStyle::Bold:
        return QStringLiteral("**");
    case InlineStyle::Italic:
        return QStringLiteral("*");
    case InlineStyle::Strikethrough:
        return QStringLiteral("~~");
    case InlineStyle::Code:
        return QStringLiteral("`");
    }
    return {};
}

std::optional<QString> MarkdownLineEditing::LinePrefix::continuation() const
{
    switch (kind) {
    case Kind::Bullet:
        return indent + bullet + u' ';
    case Kind::Task:
        return indent + bullet + QStringLiteral(" [ ] ");
    case Kind::Quote:
        return indent + QStringLiteral("> ");
    case Kind::Ordered:
        if (number == std::numeric_limits<qint64>::max())
            return std::nullopt;
        return indent + QString::number(number + 1) + delimiter + u' ';
    }
    return std::nullopt;
}

std::optional<MarkdownLineEditing::LinePrefix> MarkdownLineEditing::parsePrefix(QStringView line)
{
    const qsizetype indentLength = leadingSpacesAndTabs(line);
    const QStringView rest = line.mid(indentLength);
    if (rest.isEmpty())
        return std::nullopt;

    LinePrefix prefix;
    qsizetype markerLength = 0;
    const QChar first = rest[0];
    if (first == u'-' || first == u'*' || first == u'+') {
        const QStringView after = rest.mid(1);
        prefix.bullet = first;
        if (after.startsWith(u" [ ] ") || after.startsWith(u" [x] ")) {
            prefix.kind = LinePrefix::Kind::Task;
            markerLength = 6;
        } else if (after.startsWith(u" [ ]") || after.startsWith(u" [x]")) {
            prefix.kind = LinePrefix::Kind::Task;
            markerLength = 5;
        } else if (after.startsWith(u' ')) {
            prefix.kind = LinePrefix::Kind::Bullet;
            markerLength = 2;
        } else {
            return std::nullopt;
        }
        prefix.isChecked = prefix.kind == LinePrefix::Kind::Task && after.startsWith(u" [x]");
    } else if (first == u'>') {
        prefix.kind = LinePrefix::Kind::Quote;
        markerLength = rest.startsWith(u"> ") ? 2 : 1;
    } else {
        const qsizetype runLength = numberRunLength(rest);
        if (runLength == 0)
            return std::nullopt;
        const std::optional<qint64> number = parseDecimal(rest.left(runLength));
        if (!number)
            return std::nullopt;
        if (runLength + 1 >= rest.size())
            return std::nullopt;
        const QChar delimiter = rest[runLength];
        if ((delimiter != u'.' && delimiter != u')') || rest[runLength + 1] != u' ')
            return std::nullopt;
        prefix.kind = LinePrefix::Kind::Ordered;
        prefix.number = *number;
        prefix.delimiter = delimiter;
        markerLength = runLength + 2;
    }
    prefix.indent = line.left(indentLength).toString();
    prefix.marker = rest.left(markerLength).toString();
    prefix.hasContent = !isBlankAfterTrimmingSpacesAndTabs(rest.mid(markerLength));
    return prefix;
}

int MarkdownLineEditing::headingPrefixLength(QStringView line)
{
    int count = 0;
    while (count < line.size() && line[count] == u'#')
        ++count;
    if (count < 1 || count > 6 || count >= line.size() || line[count] != u' ')
        return 0;
    return count + 1;
}

std::optional<MarkdownLineEditing::Edit> MarkdownLineEditing::returnEdit(
    QStringView line, TextRange lineRange, qsizetype caret)
{
    const qsizetype offset = caret - lineRange.location;
    if (offset < 0 || offset > line.size())
        return std::nullopt;
    if (const std::optional<LinePrefix> prefix = parsePrefix(line)) {
        if (!prefix->hasContent)
            return Edit { lineRange, QString(), TextRange { 0, 0 } };
        if (offset < prefix->indent.size() + prefix->marker.size())
            return std::nullopt;
        const std::optional<QString> continuation = prefix->continuation();
        if (!continuation)
            return std::nullopt;
        const QString inserted = u'\n' + *continuation;
        return Edit { TextRange { caret, 0 }, inserted, TextRange { inserted.size(), 0 } };
    }
    if (headingPrefixLength(line) >= 1 && offset == line.size())
        return Edit { TextRange { caret, 0 }, QStringLiteral("\n"), TextRange { 1, 0 } };
    return std::nullopt;
}

std::optional<MarkdownLineEditing::Edit> MarkdownLineEditing::backspaceEdit(
    QStringView line, TextRange lineRange, qsizetype caret)
{
    const qsizetype offset = caret - lineRange.location;
    if (offset < 0)
        return std::nullopt;
    if (const std::optional<LinePrefix> prefix = parsePrefix(line)) {
        const qsizetype markerEnd = prefix->indent.size() + prefix->marker.size();
        if ((prefix->hasContent && offset == markerEnd)
            || (!prefix->hasContent && offset <= markerEnd)) {
            const TextRange range { lineRange.location, markerEnd };
            if (prefix->indent.isEmpty())
                return Edit { range, QString(), TextRange { 0, 0 } };
            QString indent = prefix->indent;
            indent.chop(indent.endsWith(u'\t') || indent.size() == 1 ? 1 : 2);
            const QString replacement = indent + prefix->marker;
            return Edit { range, replacement, TextRange { replacement.size(), 0 } };
        }
    }
    const int heading = headingPrefixLength(line);
    if (heading >= 1 && heading == offset)
        return Edit { TextRange { lineRange.location, offset }, QString(), TextRange { 0, 0 } };
    return std::nullopt;
}

std::optional<MarkdownLineEditing::Edit> MarkdownLineEditing::codeReturnEdit(
    QStringView line, TextRange lineRange, qsizetype caret)
{
    const qsizetype offset = caret - lineRange.location;
    if (offset < 0 || offset > line.size())
        return std::nullopt;
    const qsizetype indentLength = leadingSpacesAndTabs(line);
    if (indentLength == 0 || offset < indentLength)
        return std::nullopt;
    const QString inserted = u'\n' + line.left(indentLength).toString();
    return Edit { TextRange { caret, 0 }, inserted, TextRange { inserted.size(), 0 } };
}

namespace {

// Applies `change` to every line that the selection touches; no edit when no line changed.
template <typename Change>
std::optional<MarkdownLineEditing::Edit> editSelectedLines(
    QStringView text, TextRange selection, Change change)
{
    if (selection.location < 0 || selection.length < 0 || selection.end() > text.size())
        return std::nullopt;
    const qsizetype start = textlines::lineBounds(text, selection.location).start;
    const qsizetype last = selection.length > 0 ? selection.end() - 1 : selection.location;
    const qsizetype end = last < text.size() ? textlines::lineBounds(text, last).end : text.size();
    if (end <= start)
        return std::nullopt;

    QString replacement;
    replacement.reserve(end - start + 64);
    bool changed = false;
    for (const textlines::LineBounds& line : textlines::Lines(text.first(end), start)) {
        if (line.start >= end)
            break;
        changed |= change(line.contents(text), replacement);
        replacement += text.mid(line.contentsEnd, line.end - line.contentsEnd);
    }
    if (!changed)
        return std::nullopt;
    return MarkdownLineEditing::Edit { TextRange { start, end - start }, replacement,
        TextRange { 0, replacement.size() } };
}

} // namespace

std::optional<MarkdownLineEditing::Edit> MarkdownLineEditing::indentEdit(
    QStringView text, TextRange selection)
{
    return editSelectedLines(text, selection, [](QStringView line, QString& out) {
        out += QStringLiteral("  ");
        out += line;
        return true;
    });
}

std::optional<MarkdownLineEditing::Edit> MarkdownLineEditing::outdentEdit(
    QStringView text, TextRange selection)
{
    return editSelectedLines(text, selection, [](QStringView line, QString& out) {
        qsizetype removed = 0;
        if (line.startsWith(u"  "))
            removed = 2;
        else if (line.startsWith(u'\t') || line.startsWith(u' '))
            removed = 1;
        out += line.mid(removed);
        return removed > 0;
    });
}

bool MarkdownLineEditing::isInlineStyleActive(
    InlineStyle style, QStringView text, TextRange selection)
{
    const QString m = marker(style);
    const qsizetype n = m.size();
    if (selection.location - n < 0 || selection.end() + n > text.size())
        return false;
    if (text.mid(selection.location - n, n) != m || text.mid(selection.end(), n) != m)
        return false;
    if (style == InlineStyle::Italic) {
        const qsizetype before = selection.location - n - 1;
        const qsizetype after = selection.end() + n;
        if (before >= 0 && text[before] == u'*')
            return false;
        if (after < text.size() && text[after] == u'*')
            return false;
    }
    return true;
}

MarkdownLineEditing::Edit MarkdownLineEditing::toggleInlineStyle(
    InlineStyle style, QStringView text, TextRange selection)
{
    // A selection reaching outside the text is cut to it, so the edit always applies.
    selection.location = qBound<qsizetype>(0, selection.location, text.size());
    selection.length = qBound<qsizetype>(0, selection.length, text.size() - selection.location);
    const QString m = marker(style);
    const qsizetype n = m.size();
    const QString selected = text.mid(selection.location, selection.length).toString();
    if (isInlineStyleActive(style, text, selection)) {
        return Edit { TextRange { selection.location - n, selection.length + 2 * n }, selected,
            TextRange { selected.size(), 0 } };
    }
    const QString replacement = m + selected + m;
    const qsizetype caret = selected.isEmpty() ? n : replacement.size();
    return Edit { selection, replacement, TextRange { caret, 0 } };
}

} // namespace quillon
