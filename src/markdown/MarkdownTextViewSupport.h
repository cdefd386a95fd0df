#pragma once

#include "markdown/MarkdownHighlighter.h"
#include "markdown/TextRange.h"
#include "platform/AttributedText.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace quillon {

class ChunkedText;

// The view-independent half of what the editor views share: when to restyle, the restyle
// itself over a storage, find-in-document matches and line lookup for scroll-to-line. The
// views keep the state (HighlightState of their last styling) and apply the results.
struct MarkdownTextViewSupport
{
    // The inputs of a view's last styling; all absent in a fresh state.
    struct HighlightState
    {
        std::optional<QString> text;
        std::optional<bool> isDarkMode;
        std::optional<qreal> fontSize;
        std::optional<bool> isReadingMode;
        friend bool operator==(const HighlightState&, const HighlightState&) = default;
    };

    // False only when every value of `lastState` is present and equal to the arguments (font
    // sizes compared exactly).
    static bool needsHighlight(const QString& current, bool isDarkMode, qreal fontSize,
        bool isReadingMode, const HighlightState& lastState);

    // Restyles a storage. With `rendersTables` the storage is rebuilt from its own Markdown
    // (tables written back, highlighted, installed afresh with the new appearance) and the
    // selection is carried across in Markdown terms; without, the text is only restyled.
    // `selection` is the caret's storage offset before; returns the caret's storage offset
    // after. The caret is passed to the highlighter only when `isFocused`.
    static qsizetype reHighlight(AttributedText& storage, bool isDarkMode, qreal fontSize,
        bool isReadingMode, bool rendersTables, qsizetype selection, bool isFocused);

    struct SearchColors
    {
        QColor activeBackground;
        QColor otherBackground;
        QColor activeForeground;
    };
    static SearchColors searchColors(bool isDarkMode);

    // Case-insensitive, non-overlapping matches of the query trimmed of white space and line
    // breaks; none for an empty query or text.
    static QList<TextRange> findMatches(QStringView text, const QString& query);
    static QList<TextRange> findMatches(const ChunkedText& text, const QString& query);
    // The same matches of `text`, given `matches`, those of the text it was before `removed`
    // units at `position` were replaced by the `added` units there now. Only the text around the
    // change is searched again: the cost does not grow with the text.
    static QList<TextRange> matchesAfterEdit(QStringView text, const QString& query,
        const QList<TextRange>& matches, qsizetype position, qsizetype removed, qsizetype added);
    static QList<TextRange> matchesAfterEdit(const ChunkedText& text, const QString& query,
        const QList<TextRange>& matches, qsizetype position, qsizetype removed, qsizetype added);
    // How a view paints the find matches: each match with its background, the one at
    // `activeIndex` in the active colours with its text in the active foreground.
    struct SearchHighlight
    {
        TextRange range;
        QColor background;
        std::optional<QColor> foreground;
    };
    static QList<SearchHighlight> searchHighlights(
        QStringView text, const QString& query, int activeIndex, bool isDarkMode);

    // The `line`-th line (1-based) of a text, its line break included, counting line breaks as
    // project search does (LF, VT, FF, CR, NEL, LS, PS; CR LF once). No value for a line below 1
    // or beyond the text.
    static std::optional<TextRange> lineRange(QStringView text, int line);
    // The range to select in a block editor's storage for line `line` of its Markdown: lines are
    // counted in the Markdown text and mapped through the table projection, so lines after a
    // table are found where project search saw them; a line inside a table selects the table's
    // character.
    static std::optional<TextRange> storageLineRange(const AttributedText& storage, int line);
};

} // namespace quillon
