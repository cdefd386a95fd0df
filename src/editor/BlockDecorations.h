#pragma once

#include "platform/AttributedText.h"

#include <QColor>
#include <QList>
#include <QTextBlockFormat>
#include <QTextBlockUserData>
#include <QTextLayout>

#include <optional>

namespace quillon {

// What the presenter last applied to one paragraph of the view, kept on the block so that a
// restyle touches only paragraphs whose styling changed, and so that the decoration painter can
// draw without going back to the storage.
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

    size_t fingerprint = 0; // of the storage styling these were made from
    bool blockFormatPending = false; // blockFormat not yet set on the block
    QTextBlockFormat blockFormat;
    std::optional<CodeBlockDecoration> codeBlock;
    std::optional<QColor> quoteBar;
    QList<Marker> markers;
    QList<InlineCode> inlineCode;
    // Hidden ranges, for finding the first visible character after a list marker.
    QList<QPair<int, int>> collapsed;

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
