#pragma once

#include "editor/block/MarkdownTextView.h"
#include "markdown/MarkdownLineEditing.h"

#include <functional>
#include <optional>

namespace quillon {

// Offers Enter, Backspace, Tab and Shift-Tab to the line-editing rules before the view's default
// handling. Positions are storage offsets (a table counts as one character).
class LineEditingKeys
{
public:
    // The rule's edit for `key` at `selection` of `text`, or none to let the view do its default.
    // `outsideFences` is a line start before the selection that no fenced block spans, where
    // the search for the fences around it may begin (0 when none is known).
    static std::optional<MarkdownLineEditing::Edit> editFor(MarkdownTextView::EditingKey key,
        const QString& text, TextRange selection, qsizetype outsideFences = 0);
};

} // namespace quillon
