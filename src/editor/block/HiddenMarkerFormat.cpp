#include "editor/block/HiddenMarkerFormat.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>

namespace quillon {

namespace {

constexpr int kHiddenProperty = QTextFormat::UserProperty + 101;

const QFont& tinyFont()
{
    static const QFont font = [] {
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPixelSize(1);
        f.setKerning(false);
        return f;
    }();
    return font;
}

qreal advanceOf(QChar c)
{
    static QHash<ushort, qreal> cache;
    auto it = cache.constFind(c.unicode());
    if (it != cache.constEnd())
        return *it;
    // A lone surrogate has no glyph of its own; the pair is measured through its high half.
    const qreal advance = c.isSurrogate() ? 0.0 : QFontMetricsF(tinyFont()).horizontalAdvance(c);
    cache.insert(c.unicode(), advance);
    return advance;
}

} // namespace

QTextCharFormat HiddenMarkerFormat::formatFor(QChar c)
{
    // One shared format per character: a document holds tens of thousands of hidden runs, and a
    // format built afresh for each would be a copy of its own.
    static QHash<char16_t, QTextCharFormat> cache;
    auto it = cache.constFind(c.unicode());
    if (it != cache.constEnd())
        return *it;
    QTextCharFormat format;
    QFont font = tinyFont();
    font.setLetterSpacing(QFont::AbsoluteSpacing, -advanceOf(c));
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    format.setForeground(QColor(Qt::transparent));
    format.setProperty(kHiddenProperty, true);
    cache.insert(c.unicode(), format);
    return format;
}

void HiddenMarkerFormat::appendRanges(
    QStringView blockText, int start, int length, QList<QTextLayout::FormatRange>& out)
{
    const int end = qMin<int>(blockText.size(), start + length);
    int runStart = qMax(0, start);
    while (runStart < end) {
        const qreal advance = advanceOf(blockText.at(runStart));
        int runEnd = runStart + 1;
        while (runEnd < end && qFuzzyCompare(1.0 + advanceOf(blockText.at(runEnd)), 1.0 + advance))
            ++runEnd;
        QTextLayout::FormatRange range;
        range.start = runStart;
        range.length = runEnd - runStart;
        range.format = formatFor(blockText.at(runStart));
        out.append(range);
        runStart = runEnd;
    }
}

bool HiddenMarkerFormat::isHidden(const QTextCharFormat& format)
{
    return format.boolProperty(kHiddenProperty);
}

} // namespace quillon
