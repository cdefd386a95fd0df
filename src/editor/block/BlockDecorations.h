#pragma once

#include "platform/AttributedText.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextBlockUserData>
#include <QTextLayout>

#include <optional>

namespace quillon {

// What the presenter last applied to one paragraph of the view, kept on the block so that the
// decoration painter can draw without going back to the storage. Only paragraphs with something
// to draw (or a paragraph format still to set) keep one.
class BlockDecorations : public QTextBlockUserData
{
public:
    struct Marker
    {
        int start = 0; // within the block
        int length = 0;
        qreal centerX = 0;
        bool isCheckbox = false;
        bool checked = false;
        bool operator==(const Marker&) const = default;
    };
    struct InlineCode
    {
        int start = 0;
        int length = 0;
        QColor color;
        bool operator==(const InlineCode&) const = default;
    };

    bool blockFormatPending = false; // blockFormat not yet set on the block
    QTextBlockFormat blockFormat;
    std::optional<CodeBlockDecoration> codeBlock;
    std::optional<QColor> quoteBar;
    QList<Marker> markers;
    QList<InlineCode> inlineCode;
    // Hidden ranges, for finding the first visible character after a list marker (kept only
    // with markers).
    QList<QPair<int, int>> collapsed;

    // Where the painter found inline code on the paragraph's lines: by span and line, the x of
    // its start and end. Finding them reads the line's glyphs, and a line break paints every
    // paragraph on the screen again; they hold while the paragraph's lines do (`stamp`).
    struct CodeExtent
    {
        int from = 0; // the span's part on the line, for which they were found
        int to = 0;
        qreal startX = 0;
        qreal endX = 0;
    };
    mutable quint32 codeExtentsStamp = 0;
    mutable QHash<quint64, CodeExtent> codeExtents;

    // The decorations of a paragraph: none for most.
    static const BlockDecorations& of(const QTextBlock& block)
    {
        static const BlockDecorations none;
        const auto* decorations = static_cast<const BlockDecorations*>(block.userData());
        return decorations ? *decorations : none;
    }
    bool isEmpty() const
    {
        return !blockFormatPending && !codeBlock && !quoteBar && markers.isEmpty()
            && inlineCode.isEmpty();
    }

    // The paragraph format and decorations alike (its character formats are its layout's).
    bool sameStyling(const BlockDecorations& other) const
    {
        return blockFormat == other.blockFormat && codeBlock == other.codeBlock
            && quoteBar == other.quoteBar && markers == other.markers
            && inlineCode == other.inlineCode;
    }
    bool isCollapsed(int position) const
    {
        for (const auto& [start, length] : collapsed)
            if (position >= start && position < start + length)
                return true;
        return false;
    }
};

} // namespace quillon
