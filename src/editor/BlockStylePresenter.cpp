#include "editor/BlockStylePresenter.h"

#include "editor/BlockDecorations.h"
#include "editor/HiddenMarkerFormat.h"
#include "markdown/MarkdownHighlighter.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <memory>

namespace quillon {

namespace {

QTextCharFormat charFormat(const TextAttributes& a)
{
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
    return format;
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

std::unique_ptr<BlockDecorations> styleOf(
    const AttributedText& storage, const QString& blockText, qsizetype start, qreal fontSize)
{
    auto result = std::make_unique<BlockDecorations>();
    const qsizetype length = blockText.size();
    const qsizetype withBreak = qMin(length + 1, storage.length() - start);
    int collapsedTotal = 0;
    storage.enumerateRuns({ start, withBreak }, [&](TextSpan range, const TextAttributes& a) {
        if (a.codeBlock && !result->codeBlock)
            result->codeBlock = a.codeBlock;
        const int relative = int(range.location - start);
        const int runLength = int(qMin(range.end(), start + length) - range.location);
        if (runLength <= 0)
            return;
        if (a.blockquoteBorder && !result->quoteBar)
            result->quoteBar = a.blockquoteBorder;
        if (a.bullet)
            result->markers.append({ relative, runLength, *a.bullet, false, false });
        if (a.checkbox)
            result->markers.append(
                { relative, runLength, a.checkbox->centerX, true, a.checkbox->checked });
        if (a.inlineCode) {
            auto& code = result->inlineCode;
            if (!code.isEmpty() && code.last().start + code.last().length == relative
                && code.last().color == *a.inlineCode)
                code.last().length += runLength;
            else
                code.append({ relative, runLength, *a.inlineCode });
        }
        if (a.attachment)
            return;
        if (a.collapsed && *a.collapsed) {
            HiddenMarkerFormat::appendRanges(blockText, relative, runLength, result->formats);
            result->collapsed.append({ relative, runLength });
            collapsedTotal += runLength;
            return;
        }
        QTextLayout::FormatRange format;
        format.start = relative;
        format.length = runLength;
        format.format = charFormat(a);
        result->formats.append(format);
    });
    // A bullet's or checkbox's run may be split by other attributes: keep one marker per run.
    auto& markers = result->markers;
    for (int i = int(markers.size()) - 1; i > 0; --i) {
        auto& previous = markers[i - 1];
        if (previous.start + previous.length == markers[i].start
            && previous.isCheckbox == markers[i].isCheckbox
            && previous.centerX == markers[i].centerX) {
            previous.length += markers[i].length;
            markers.removeAt(i);
        }
    }
    const qsizetype styleIndex = qMin(start, storage.length() - 1);
    result->blockFormat = blockFormat(
        styleIndex >= 0 ? storage.attribute<TextAttribute::ParagraphStyle>(styleIndex) : nullptr);
    if (length > 0 && collapsedTotal >= length
        && result->blockFormat.lineHeightType() != QTextBlockFormat::FixedHeight) {
        // A line of markers alone keeps the height of a line of text.
        const QFontMetricsF metrics(MarkdownHighlighter::systemFont(fontSize));
        result->blockFormat.setLineHeight(
            std::ceil(metrics.height()), QTextBlockFormat::MinimumHeight);
    }
    return result;
}

} // namespace

int BlockStylePresenter::present(
    const AttributedText& storage, QTextDocument& document, qreal fontSize)
{
    int restyled = 0;
    QTextCursor cursor(&document);
    bool editing = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const qsizetype start = block.position();
        if (start > storage.length())
            break;
        std::unique_ptr<BlockDecorations> style = styleOf(storage, block.text(), start, fontSize);
        auto* old = static_cast<BlockDecorations*>(block.userData());
        if (old && old->sameStyling(*style)) {
            old->collapsed = style->collapsed;
            continue;
        }
        ++restyled;
        if (!editing) {
            cursor.beginEditBlock();
            editing = true;
        }
        if (!old || old->blockFormat != style->blockFormat) {
            cursor.setPosition(int(start));
            cursor.setBlockFormat(style->blockFormat);
        }
        block.layout()->setFormats(style->formats);
        document.markContentsDirty(block.position(), block.length());
        block.setUserData(style.release());
    }
    if (editing)
        cursor.endEditBlock();
    return restyled;
}

} // namespace quillon
