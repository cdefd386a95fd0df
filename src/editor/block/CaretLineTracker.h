#pragma once

#include <optional>

namespace quillon {

// Remembers which paragraph held the caret at the last styling, so that the reading-mode reveal
// restyles only when the caret reaches another line.
class CaretLineTracker
{
public:
    // Records `line`; true when it differs from the one recorded before.
    bool moveTo(int line)
    {
        const bool changed = !m_line || *m_line != line;
        m_line = line;
        return changed;
    }
    void reset() { m_line.reset(); }

private:
    std::optional<int> m_line;
};

} // namespace quillon
