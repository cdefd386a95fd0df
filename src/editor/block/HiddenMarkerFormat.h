#pragma once

#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>

namespace quillon {

// Layout formats that make syntax markers take no width and draw nothing while they keep their
// positions in the text: a 1-pixel monospaced font whose letter spacing cancels each glyph's own
// advance, in a transparent colour. The caret and hit-testing see the text as if the markers were
// not there.
class HiddenMarkerFormat
{
public:
    // The format that collapses character `c`.
    static QTextCharFormat formatFor(QChar c);

    // Appends ranges collapsing blockText[start, start + length) (positions relative to the
    // block); neighbouring characters of equal width share one range.
    static void appendRanges(
        QStringView blockText, int start, int length, QList<QTextLayout::FormatRange>& out);

    // True when a format made by this class collapses its characters.
    static bool isHidden(const QTextCharFormat& format);
};

} // namespace quillon
