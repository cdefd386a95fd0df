#include "markdown/MarkdownTextViewSupport.h"

#include "markdown/MarkdownTableProjection.h"
#include "platform/ChunkedText.h"
#include "platform/TextLines.h"

#include <algorithm>

namespace quillon {

bool MarkdownTextViewSupport::needsHighlight(const QString& current, bool isDarkMode,
    qreal fontSize, bool isReadingMode, const HighlightState& lastState)
{
    if (!lastState.text || *lastState.text != current)
        return true;
    if (!lastState.isDarkMode || *lastState.isDarkMode != isDarkMode)
        return true;
    if (!lastState.fontSize || *lastState.fontSize != fontSize)
        return true;
    return !lastState.isReadingMode || *lastState.isReadingMode != isReadingMode;
}

qsizetype MarkdownTextViewSupport::reHighlight(AttributedText& storage, bool isDarkMode,
    qreal fontSize, bool isReadingMode, bool rendersTables, qsizetype selection, bool isFocused)
{
    if (!rendersTables) {
        MarkdownHighlighter::highlight(storage,
            { isDarkMode, fontSize, isReadingMode, isFocused ? selection : -1, isFocused });
        return selection;
    }
    const QString md = MarkdownTableProjection::markdown(storage);
    const qsizetype markdownCaret = MarkdownTableProjection::markdownOffset(selection, storage);
    storage.setText(md);
    const qsizetype cursor = isFocused ? qMin(storage.length(), markdownCaret) : -1;
    MarkdownHighlighter::highlight(
        storage, { isDarkMode, fontSize, isReadingMode, cursor, isFocused });
    MarkdownTableProjection::installTables(storage, isDarkMode, fontSize);
    return qMin(storage.length(), MarkdownTableProjection::storageOffset(markdownCaret, storage));
}

MarkdownTextViewSupport::SearchColors MarkdownTextViewSupport::searchColors(bool isDarkMode)
{
    if (isDarkMode) {
        return { QColor::fromRgbF(1.0, 0.6, 0.2, 0.8), QColor::fromRgbF(1.0, 0.9, 0.3, 0.35),
            QColor::fromRgbF(0, 0, 0, 1) };
    }
    return { QColor::fromRgbF(1.0, 0.5, 0.0, 0.8), QColor::fromRgbF(1.0, 0.85, 0.2, 0.45),
        QColor::fromRgbF(0, 0, 0, 1) };
}

namespace {

// Both searches over a text that is either one string or a document's pieces: each has size(),
// indexOf(needle, from, case) and mid(from, length), a stretch that has indexOf too.
template <typename Text> QList<TextRange> findIn(const Text& text, const QString& query)
{
    QList<TextRange> matches;
    const QString needle = query.trimmed();
    if (needle.isEmpty() || text.size() == 0)
        return matches;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype at = text.indexOf(needle, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        matches.append({ at, needle.size() });
        from = at + qMax<qsizetype>(needle.size(), 1);
    }
    return matches;
}

template <typename Text>
QList<TextRange> findAfterEdit(const Text& text, const QString& query,
    const QList<TextRange>& matches, qsizetype position, qsizetype removed, qsizetype added)
{
    const QString needle = query.trimmed();
    if (needle.isEmpty() || text.size() == 0)
        return {};
    const qsizetype n = needle.size();
    const qsizetype delta = added - removed;
    // The first match the search finds from `from` if it starts before `before`, or -1.
    auto findBefore = [&](qsizetype from, qsizetype before) -> qsizetype {
        const qsizetype end = qMin(text.size(), before + n - 1);
        if (end - from < n)
            return -1;
        const qsizetype at = text.mid(from, end - from).indexOf(needle, 0, Qt::CaseInsensitive);
        return at < 0 ? -1 : from + at;
    };
    // The search steps over each match it finds. Those that end before the change it finds
    // again, and nothing between the last of them and the change.
    const auto after = std::lower_bound(matches.cbegin(), matches.cend(), position,
        [](const TextRange& match, qsizetype at) { return match.end() <= at; });
    QList<TextRange> found(matches.cbegin(), after);
    qsizetype from = qMax(found.isEmpty() ? 0 : found.last().end(), position - n + 1);
    for (;;) {
        if (from < position + added) {
            const qsizetype at = findBefore(from, position + added);
            from = at < 0 ? position + added : at + n;
            if (at >= 0)
                found.append({ at, n });
            continue;
        }
        // The text from here on is the old one moved by `delta`. Standing where the old search
        // stood between two matches, the search finds the old matches from there on.
        const qsizetype old = from - delta;
        auto next = std::lower_bound(matches.cbegin(), matches.cend(), old,
            [](const TextRange& match, qsizetype at) { return match.location < at; });
        if (next == matches.cbegin() || std::prev(next)->end() <= old) {
            for (; next != matches.cend(); ++next)
                found.append({ next->location + delta, next->length });
            return found;
        }
        // An old match reaches over where the search stands: what it hid may be found now.
        const qsizetype hidden = std::prev(next)->end() + delta;
        const qsizetype at = findBefore(from, hidden);
        from = at < 0 ? hidden : at + n;
        if (at >= 0)
            found.append({ at, n });
    }
}

} // namespace

QList<TextRange> MarkdownTextViewSupport::findMatches(QStringView text, const QString& query)
{
    return findIn(text, query);
}

QList<TextRange> MarkdownTextViewSupport::findMatches(const ChunkedText& text, const QString& query)
{
    return findIn(text, query);
}

QList<TextRange> MarkdownTextViewSupport::matchesAfterEdit(QStringView text, const QString& query,
    const QList<TextRange>& matches, qsizetype position, qsizetype removed, qsizetype added)
{
    return findAfterEdit(text, query, matches, position, removed, added);
}

QList<TextRange> MarkdownTextViewSupport::matchesAfterEdit(const ChunkedText& text,
    const QString& query, const QList<TextRange>& matches, qsizetype position, qsizetype removed,
    qsizetype added)
{
    return findAfterEdit(text, query, matches, position, removed, added);
}

QList<MarkdownTextViewSupport::SearchHighlight> MarkdownTextViewSupport::searchHighlights(
    QStringView text, const QString& query, int activeIndex, bool isDarkMode)
{
    const QList<TextRange> matches = findMatches(text, query);
    const SearchColors colors = searchColors(isDarkMode);
    QList<SearchHighlight> highlights;
    highlights.reserve(matches.size());
    for (qsizetype i = 0; i < matches.size(); ++i) {
        if (i == activeIndex)
            highlights.append({ matches[i], colors.activeBackground, colors.activeForeground });
        else
            highlights.append({ matches[i], colors.otherBackground, std::nullopt });
    }
    return highlights;
}

std::optional<TextRange> MarkdownTextViewSupport::lineRange(QStringView text, int line)
{
    if (line < 1)
        return std::nullopt;
    int current = 1;
    for (const textlines::LineBounds& bounds : textlines::Lines(text)) {
        // The empty position after a final break is no line.
        if (bounds.start >= text.size())
            break;
        if (current++ == line)
            return TextRange { bounds.start, bounds.end - bounds.start };
    }
    return std::nullopt;
}

std::optional<TextRange> MarkdownTextViewSupport::storageLineRange(
    const AttributedText& storage, int line)
{
    if (storage.isEmpty())
        return std::nullopt;
    const QString md = MarkdownTableProjection::markdown(storage);
    const std::optional<TextRange> range = lineRange(md, line);
    if (!range)
        return std::nullopt;
    const qsizetype start = MarkdownTableProjection::storageOffset(range->location, storage);
    qsizetype end = MarkdownTableProjection::storageOffset(range->end(), storage);
    // A line ending inside a table: the table's character belongs to the selection.
    if (MarkdownTableProjection::markdownOffset(end, storage) < range->end())
        end = qMin(storage.length(), end + 1);
    return TextRange { start, qMax<qsizetype>(0, end - start) };
}

} // namespace quillon
