#include "editor/block/BlockStylePresenter.h"

#include "editor/block/BlockDecorations.h"
#include "editor/block/HiddenMarkerFormat.h"
#include "markdown/MarkdownHighlighter.h"

#include <QFontMetricsF>
#include <QHashFunctions>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <limits>

namespace quillon {

namespace {

size_t hashColor(const std::optional<QColor>& color, size_t seed)
{
    return color ? qHashMulti(seed, color->rgba64().operator quint64(), color->spec()) : seed + 1;
}

size_t hashParagraph(const ParagraphStyle& p, size_t seed)
{
    return qHashMulti(seed, p.lineSpacing, p.paragraphSpacing, p.paragraphSpacingBefore,
        p.headIndent, p.firstLineHeadIndent, p.tailIndent, p.minimumLineHeight, p.maximumLineHeight,
        p.lineHeightMultiple);
}

// What of a run's attributes reaches the character format.
size_t characterKey(const TextAttributes& a)
{
    size_t h = a.font ? qHash(*a.font) : 7;
    h = hashColor(a.foregroundColor, h);
    h = hashColor(a.backgroundColor, h);
    h = qHashMulti(h, a.underlineStyle.value_or(0), a.strikethroughStyle.value_or(0),
        a.link ? qHash(a.link->toString()) : 0);
    return h;
}

size_t runKey(const TextAttributes& a)
{
    size_t h = characterKey(a);
    h = qHashMulti(h, a.collapsed.value_or(false), a.bullet.value_or(-1), bool(a.attachment));
    h = hashColor(a.inlineCode, h);
    h = hashColor(a.blockquoteBorder, h);
    if (a.codeBlock)
        h = hashColor(a.codeBlock->border, hashColor(a.codeBlock->fill, h));
    if (a.checkbox)
        h = qHashMulti(h, a.checkbox->checked, a.checkbox->centerX);
    if (a.paragraphStyle)
        h = hashParagraph(*a.paragraphStyle, h);
    return h;
}

QTextBlockFormat blockFormat(const ParagraphStyle* style)
{
    QTextBlockFormat format;
    if (!style)
        return format;
    format.setTopMargin(style->paragraphSpacingBefore);
    format.setBottomMargin(style->paragraphSpacing);
    format.setLeftMargin(style->headIndent);
    format.setTextIndent(style->firstLineHeadIndent - style->headIndent);
    format.setRightMargin(style->tailIndent < 0 ? -style->tailIndent : 0);
    if (style->maximumLineHeight > 0)
        format.setLineHeight(
            style->maximumLineHeight + style->lineSpacing, QTextBlockFormat::FixedHeight);
    else if (style->lineSpacing > 0)
        format.setLineHeight(style->lineSpacing, QTextBlockFormat::LineDistanceHeight);
    return format;
}

struct BlockSpan
{
    qsizetype start = 0;
    qsizetype length = 0; // without the paragraph break
    qsizetype withBreak = 0; // with it, when the storage has one
};

void addDecorations(BlockDecorations& style, const BlockSpan& span, TextSpan range,
    const TextAttributes& a, int& collapsedTotal)
{
    if (a.codeBlock && !style.codeBlock)
        style.codeBlock = a.codeBlock;
    const int relative = int(range.location - span.start);
    const int runLength = int(qMin(range.end(), span.start + span.length) - range.location);
    if (runLength <= 0)
        return;
    if (a.blockquoteBorder && !style.quoteBar)
        style.quoteBar = a.blockquoteBorder;
    if (a.bullet || a.checkbox) {
        BlockDecorations::Marker marker { relative, runLength, 0, bool(a.checkbox), false };
        marker.centerX = a.checkbox ? a.checkbox->centerX : *a.bullet;
        marker.checked = a.checkbox && a.checkbox->checked;
        auto& markers = style.markers;
        if (!markers.isEmpty() && markers.last().start + markers.last().length == relative
            && markers.last().isCheckbox == marker.isCheckbox
            && markers.last().centerX == marker.centerX)
            markers.last().length += runLength;
        else
            markers.append(marker);
    }
    if (a.inlineCode) {
        auto& code = style.inlineCode;
        if (!code.isEmpty() && code.last().start + code.last().length == relative
            && code.last().color == *a.inlineCode)
            code.last().length += runLength;
        else
            code.append({ relative, runLength, *a.inlineCode });
    }
    if (!a.attachment && a.collapsed && *a.collapsed) {
        style.collapsed.append({ relative, runLength });
        collapsedTotal += runLength;
    }
}

// Walks a paragraph's runs once: the fingerprint of its styling, and when `style` is given its
// decorations and the length of its hidden characters. `keyOf(set, attributes)` hashes a run's
// attributes.
template <typename KeyOf>
size_t readRuns(const AttributedText& storage, const BlockSpan& span, BlockDecorations* style,
    int& collapsedTotal, KeyOf&& keyOf)
{
    size_t h = qHash(span.length);
    storage.enumerateRunSets(
        { span.start, span.withBreak }, [&](TextSpan range, quint32 set, const TextAttributes& a) {
            h = qHashMulti(h, range.location - span.start, range.length, keyOf(set, a));
            // Hidden characters are measured one by one.
            if (a.collapsed && *a.collapsed)
                h = qHash(storage.textView(range), h);
            if (style)
                addDecorations(*style, span, range, a, collapsedTotal);
        });
    return h;
}

// Kept in the paragraph's user state, which every paragraph has room for; -1 there means never
// presented.
int foldedFingerprint(size_t hash)
{
    const int folded = int(quint32(hash ^ (quint64(hash) >> 32)));
    return folded == -1 ? -2 : folded;
}

// The direction the document would find for the paragraph: that of its first strong
// character. Stating it in the block format spares the layout that search for every paragraph
// after an edit.
Qt::LayoutDirection paragraphDirection(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        switch (QChar::direction(c)) {
        case QChar::DirL:
            return Qt::LeftToRight;
        case QChar::DirR:
        case QChar::DirAL:
            return Qt::RightToLeft;
        default:
            break;
        }
    }
    return Qt::LeftToRight;
}

} // namespace

QTextBlockFormat BlockStylePresenter::paragraphFormat(
    const ParagraphStyle* style, Qt::LayoutDirection direction, bool markersOnly, qreal fontSize)
{
    // Most paragraphs share a handful of formats: each paragraph holding a copy of its own would
    // cost more than its text, and making one for each would cost more than finding it.
    const size_t key = qHashMulti(
        style ? hashParagraph(*style, 1) : 0, int(direction), markersOnly, fontSize, bool(style));
    const auto it = m_blockFormats.constFind(key);
    if (it != m_blockFormats.constEnd() && it->hasStyle == bool(style)
        && (!style || it->style == *style) && it->direction == direction
        && it->markersOnly == markersOnly && it->fontSize == fontSize)
        return it->format;
    QTextBlockFormat format = blockFormat(style);
    if (markersOnly && format.lineHeightType() != QTextBlockFormat::FixedHeight) {
        // A line of markers alone keeps the height of a line of text (its own characters are one
        // pixel high).
        const QFontMetricsF metrics(MarkdownHighlighter::systemFont(fontSize));
        const qreal spacing = format.lineHeightType() == QTextBlockFormat::LineDistanceHeight
            ? format.lineHeight()
            : 0;
        format.setLineHeight(std::ceil(metrics.height()) + spacing, QTextBlockFormat::FixedHeight);
    }
    format.setLayoutDirection(direction);
    if (m_blockFormats.size() > 4096)
        m_blockFormats.clear();
    m_blockFormats.insert(key,
        { style ? *style : ParagraphStyle(), bool(style), direction, markersOnly, fontSize,
            format });
    return format;
}

QTextCharFormat BlockStylePresenter::charFormat(const TextAttributes& a, size_t key)
{
    auto it = m_formats.constFind(key);
    if (it != m_formats.constEnd())
        return *it;
    QTextCharFormat format;
    if (a.font)
        format.setFont(*a.font, QTextCharFormat::FontPropertiesAll);
    if (a.foregroundColor)
        format.setForeground(*a.foregroundColor);
    if (a.backgroundColor)
        format.setBackground(*a.backgroundColor);
    if (a.underlineStyle && *a.underlineStyle != 0)
        format.setFontUnderline(true);
    if (a.strikethroughStyle && *a.strikethroughStyle != 0)
        format.setFontStrikeOut(true);
    if (a.link) {
        format.setAnchor(true);
        format.setAnchorHref(a.link->toString());
    }
    if (m_formats.size() > 4096)
        m_formats.clear();
    m_formats.insert(key, format);
    return format;
}

int BlockStylePresenter::present(
    const AttributedText& storage, QTextDocument& document, qreal fontSize, Window window)
{
    int restyled = 0;
    QTextCursor cursor(&document);
    bool editing = false;
    int dirtyFrom = std::numeric_limits<int>::max();
    int dirtyTo = 0;
    m_deferred = false;
    auto runKeyOf
        = [&](quint32 set, const TextAttributes& a) { return runKeys(storage, set, a).run; };
    auto beginEditing = [&] {
        if (!editing) {
            cursor.beginEditBlock();
            editing = true;
        }
    };
    QTextBlock block = document.findBlockByNumber(qMax(0, window.firstBlock));
    // Counted along rather than asked of each block, which looks its number (and its position)
    // up.
    int position = block.isValid() ? block.position() : 0;
    for (int number = qMax(0, window.firstBlock); block.isValid();
         position += block.length(), block = block.next(), ++number) {
        if (window.lastBlock >= 0 && number > window.lastBlock)
            break;
        BlockSpan span;
        span.start = m_start + position;
        if (span.start > storage.length())
            break;
        span.length = qMin<qsizetype>(block.length() - 1, storage.length() - span.start);
        span.withBreak = qMin(span.length + 1, storage.length() - span.start);
        // Read as a stretch: the whole text would close the gap typing keeps in a long one.
        const Qt::LayoutDirection direction
            = paragraphDirection(storage.textView({ span.start, span.length }));
        // A paragraph never presented is read once, for its fingerprint and its decorations.
        const bool fresh = !isPresented(block);
        BlockDecorations style;
        int collapsedTotal = 0;
        const int print = foldedFingerprint(
            qHashMulti(readRuns(storage, span, fresh ? &style : nullptr, collapsedTotal, runKeyOf),
                int(direction)));
        auto* old = static_cast<BlockDecorations*>(block.userData());
        if (block.userState() == print) {
            if (old && old->blockFormatPending && !window.deferBlockFormats) {
                beginEditing();
                cursor.setPosition(position);
                cursor.setBlockFormat(old->blockFormat);
                old->blockFormatPending = false;
                if (old->isEmpty())
                    block.setUserData(nullptr);
            }
            continue;
        }
        if (!fresh)
            readRuns(storage, span, &style, collapsedTotal, runKeyOf);
        const qsizetype styleIndex = qMin(span.start, storage.length() - 1);
        style.blockFormat = paragraphFormat(styleIndex >= 0
                ? storage.attribute<TextAttribute::ParagraphStyle>(styleIndex)
                : nullptr,
            direction, span.length > 0 && collapsedTotal >= span.length, fontSize);

        ++restyled;
        if ((old && old->blockFormatPending) || block.blockFormat() != style.blockFormat) {
            if (window.deferBlockFormats) {
                style.blockFormatPending = true;
                m_deferred = true;
            } else {
                beginEditing();
                cursor.setPosition(position);
                cursor.setBlockFormat(style.blockFormat);
            }
        }
        // Hidden ranges serve to place the markers only.
        if (style.markers.isEmpty())
            style.collapsed.clear();
        // Most paragraphs have nothing to draw: they keep their fingerprint alone. The character
        // formats follow when the paragraph is laid out again.
        block.setUserState(print);
        block.setUserData(style.isEmpty() ? nullptr : new BlockDecorations(std::move(style)));
        dirtyFrom = qMin(dirtyFrom, position);
        dirtyTo = qMax(dirtyTo, position + block.length());
    }
    // One relayout for the whole changed stretch: a relayout per paragraph would move every
    // later paragraph each time. Marked before the paragraph formats' change is closed, it
    // takes that change along, and the layout hears of both at once.
    if (dirtyFrom < dirtyTo)
        document.markContentsDirty(dirtyFrom, dirtyTo - dirtyFrom);
    if (editing)
        cursor.endEditBlock();
    return restyled;
}

const BlockStylePresenter::RunKeys& BlockStylePresenter::runKeys(
    const AttributedText& storage, quint32 set, const TextAttributes& a)
{
    if (m_runKeysGeneration != storage.setsGeneration()) {
        m_runKeysGeneration = storage.setsGeneration();
        m_runKeys.clear();
    }
    if (set >= m_runKeys.size())
        m_runKeys.resize(size_t(set) + 1);
    RunKeys& keys = m_runKeys[set];
    if (!keys.known)
        keys = { runKey(a), characterKey(a), true };
    return keys;
}

bool BlockStylePresenter::isPresented(const QTextBlock& block)
{
    return block.userState() != -1;
}

QList<QTextLayout::FormatRange> BlockStylePresenter::formats(
    const AttributedText& storage, const QTextBlock& block, size_t* key)
{
    QList<QTextLayout::FormatRange> formats;
    size_t hash = 0;
    const qsizetype start = m_start + block.position();
    if (start < storage.length()) {
        const qsizetype length = qMin<qsizetype>(block.length() - 1, storage.length() - start);
        const QStringView blockText = storage.textView({ start, length });
        storage.enumerateRunSets(
            { start, length }, [&](TextSpan range, quint32 set, const TextAttributes& a) {
                if (a.attachment || range.length <= 0)
                    return;
                const int relative = int(range.location - start);
                const bool hidden = a.collapsed && *a.collapsed;
                const size_t character = hidden ? 0 : runKeys(storage, set, a).character;
                hash = qHashMulti(hash, relative, range.length, hidden, character);
                if (hidden) {
                    HiddenMarkerFormat::appendRanges(
                        blockText, relative, int(range.length), formats);
                    return;
                }
                QTextLayout::FormatRange format;
                format.start = relative;
                format.length = int(range.length);
                format.format = charFormat(a, character);
                formats.append(format);
            });
    }
    if (key)
        *key = hash;
    return formats;
}

} // namespace quillon
