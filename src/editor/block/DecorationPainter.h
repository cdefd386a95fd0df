#pragma once

#include <QRectF>

class QPainter;
class QTextDocument;

namespace quillon {

// Paints what stands in for hidden syntax under the text, from the blocks' decorations and line
// geometry: code-block boxes, quote bars, bullet dots, checkboxes and inline-code backgrounds.
class DecorationPainter
{
public:
    struct Options
    {
        bool isDarkMode = false;
        qreal fontSize = 15;
        qreal columnLeft = 0; // x of the text column's left edge in document coordinates
        qreal columnWidth = 0;
    };

    static void paint(QPainter& painter, const QTextDocument& document, const QRectF& exposed,
        const Options& options);
    // Where a marker's dot or box is centred vertically, in document coordinates; exposed for
    // tests of the anchor rule.
    static qreal markerCenterY(const QTextDocument& document, int blockNumber, int markerStart,
        int markerLength, qreal fontSize);
};

} // namespace quillon
