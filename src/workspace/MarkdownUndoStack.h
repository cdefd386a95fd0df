#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace quillon {

// One change of the document's Markdown text: `removed` at `position` became `inserted`.
// Carets are Markdown offsets before and after the change.
struct MarkdownReplacement
{
    int position = 0;
    QString removed;
    QString inserted;
    int caretBefore = 0;
    int caretAfter = 0;

    // The smallest replacement turning `before` into `after` (common prefix and suffix kept).
    static MarkdownReplacement between(const QString& before, const QString& after);
    bool isEmpty() const { return removed == inserted; }
    // Applies this change to `text`; false (text untouched) when `text` does not hold `removed`
    // at `position`.
    bool applyTo(QString& text) const;
    MarkdownReplacement inverted() const;
};

// The block editor's history, kept in Markdown terms so that it survives restyles, table
// rebuilds and reloads of the same text. Restyles never record; replacing the text from outside
// clears it.
class MarkdownUndoStack
{
public:
    enum class Kind {
        Typing, // adjacent typed characters merge into one step
        Command // rule edits, toggles, cell commits: always a step of their own
    };

    void record(const MarkdownReplacement& change, Kind kind);
    // Ends the current run of typing, so the next typed character starts a new step.
    void breakTypingRun() { m_typingOpen = false; }
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // The change that undoes (redoes) the latest step, moved to the other stack.
    std::optional<MarkdownReplacement> takeUndo();
    std::optional<MarkdownReplacement> takeRedo();

    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

private:
    std::vector<MarkdownReplacement> m_undo;
    std::vector<MarkdownReplacement> m_redo;
    bool m_typingOpen = false;
};

} // namespace quillon
