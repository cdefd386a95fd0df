#pragma once

#include <QtGlobal>

namespace quillon {

// A range of UTF-16 code units in a text: the unit of QString offsets and of every text position
// that the editors and the Markdown engine exchange.
struct TextRange
{
    qsizetype location = 0;
    qsizetype length = 0;

    constexpr qsizetype end() const { return location + length; }
    constexpr bool contains(qsizetype position) const
    {
        return position >= location && position < location + length;
    }
    friend constexpr bool operator==(const TextRange&, const TextRange&) = default;
};

} // namespace quillon
