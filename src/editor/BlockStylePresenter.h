#pragma once

#include "platform/AttributedText.h"

#include <QFont>

class QTextDocument;

namespace quillon {

// Applies the Markdown engine's styling of the storage to the view's document, paragraph by
// paragraph: character styling as layout formats (no undo records, no document change),
// paragraph styling as block formats, decorations as block data for the painter. Paragraphs whose
// styling did not change are not touched.
class BlockStylePresenter
{
public:
    // The document must hold the storage's text (paragraph separators for line feeds).
    // Returns the number of paragraphs that were restyled.
    static int present(const AttributedText& storage, QTextDocument& document, qreal fontSize);
};

} // namespace quillon
