#pragma once

#include "platform/AttributedText.h"

#include <QColor>
#include <QFont>
#include <QStringView>

#include <optional>

namespace quillon {

// Inputs of one styling pass.
struct HighlightOptions
{
    bool isDarkMode = false;
    qreal fontSize = 15; // logical pixels
    bool isReadingMode = true; // hide syntax markers the caret does not touch
    qsizetype cursorLocation = -1; // caret offset in the storage text; negative = no caret
    bool isFocused = false; // the view has keyboard focus (markers reveal only then)
};

// Styles Markdown held in an AttributedText: headings, lists, quotes, rules, fenced code (box,
// insets, token colours), pipe-table lines, inline code, bold, italic, strikethrough and links.
// It never changes characters, only attributes. In reading mode it marks syntax markers with
// TextAttribute::Collapsed (draw as nothing, keep the position) except where the focused caret
// touches them, and puts TextAttribute::Bullet / Checkbox on hidden list markers.
//
// Each call first replaces every attribute of the whole text (keeping only table attachments),
// so the result depends on nothing but the text and the options; calling twice gives the same
// attributes as calling once. U+FFFC characters carrying an attachment are treated as plain
// text by the passes and keep their attachment.
//
// The block editor applies the result to its view: character attributes (font, colours,
// underline, strike, link, Collapsed, InlineCode) per run, ParagraphStyle per paragraph (the
// value on a paragraph's first character holds for the whole paragraph), and paints the
// decorations (CodeBlock, BlockquoteBorder, Bullet, Checkbox) from line geometry.
//
// Fonts: QFontDatabase::systemFont(GeneralFont / FixedFont) with pixel size = the design size.
// Main thread (or any one thread at a time); the regular expressions are shared and immutable.
class MarkdownHighlighter
{
public:
    static constexpr qreal defaultFontSize = 15;

    struct ListMetrics
    {
        static constexpr qreal gutter = 24;
        static constexpr qreal nestIndent = 24;
        static constexpr qreal checkboxSize = 15;
        static constexpr qreal markerCenterX = 11;
        static constexpr qreal orderedGutter = 32;
    };
    struct CodeBlockMetrics
    {
        static constexpr qreal padTop = 10;
        static constexpr qreal padBottom = 10;
        static constexpr qreal padLeft = 16;
        static constexpr qreal padRight = 16;
        static constexpr qreal cornerRadius = 8;
        static constexpr qreal borderWidth = 1;
    };

    // The list marker at the start of one line.
    struct ListItem
    {
        enum class Kind { uncheckedTask, checkedTask, bullet, ordered };
        Kind kind = Kind::bullet;
        int level = 0; // one tab or two spaces per level
        int markerOffset = 0; // leading spaces and tabs
        int markerLength
            = 0; // bullet + space (+ box + space), or number/letters + delimiter + space
        bool operator==(const ListItem&) const = default;
    };

    // The seven colours of the prose styling.
    struct Palette
    {
        QColor textColor;
        QColor headingColor;
        QColor markerColor;
        QColor quoteBarColor;
        QColor codeTextColor;
        QColor codeBackgroundColor;
        QColor linkColor;
    };

    // Restyles the whole text. An empty text is left untouched.
    static void highlight(AttributedText& storage, const HighlightOptions& options);
    static void highlight(AttributedText& storage, bool isDarkMode, qreal fontSize,
        bool isReadingMode, qsizetype cursorLocation, bool isFocused)
    {
        highlight(storage, { isDarkMode, fontSize, isReadingMode, cursorLocation, isFocused });
    }

    static Palette palette(bool isDarkMode);
    // The system font at `size` logical pixels with the given weight.
    static QFont systemFont(qreal size, QFont::Weight weight = QFont::Normal);
    // The monospaced system font at `size` logical pixels.
    static QFont monospacedFont(qreal size, QFont::Weight weight = QFont::Normal);
    // The same family and size with the bold (or italic) trait added.
    static QFont boldFont(const QFont& font);
    static QFont italicFont(const QFont& font);

    // The list marker that starts `line` (without its line break), if any.
    static std::optional<ListItem> listItem(QStringView line);
};

} // namespace quillon
