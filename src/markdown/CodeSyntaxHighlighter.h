#pragma once

#include "platform/AttributedText.h"

#include <QColor>
#include <QFont>
#include <QStringView>

namespace quillon {

// Colours the plain-text source pane: one monospaced font and paragraph style on the whole
// text, then foreground colours for YAML (a text that starts with "---" or whose first ten lines
// hold at least two "key: value" lines) or for Markdown syntax. Changes no characters, hides
// nothing, sizes nothing differently, sets no custom attributes.
struct CodeSyntaxHighlighter
{
    // Restyles the whole text (an empty text is left untouched); every earlier attribute, such
    // as a find highlight, is replaced.
    static void highlight(AttributedText& storage, bool isDarkMode, qreal fontSize);
    // The same with the choice between the YAML and the Markdown rules made by the caller: a view
    // that colours one stretch of a document colours it by the rules of the whole document.
    static void highlight(AttributedText& storage, bool isDarkMode, qreal fontSize, bool asYAML);
    // Whether a whole text is coloured by the YAML rules.
    static bool isYAML(QStringView text);

    // The colour of text no rule colours.
    static QColor textColor(bool isDarkMode);
    // JetBrains Mono at `size` logical pixels, or the monospaced system font without it.
    static QFont sourceFont(qreal size);
    static bool detectYAML(QStringView text);
};

} // namespace quillon
