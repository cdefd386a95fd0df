#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <limits>
#include <vector>

namespace quillon {

class TextWindow;

class AttributedText;
class ChunkedText;
class SourceTextEdit;

// Colours the source pane's document with CodeSyntaxHighlighter as formats of its layout, which
// leave the text and its undo history alone. Only paragraphs on screen whose colours changed are
// laid out again.
//
// A long text is never coloured whole at once. An edit colours the lines around it at once, in
// the fenced block that holds them (the fence lines are kept in a list that each edit updates
// where it landed). What an edit may change farther away is queued: the stretch a fence line
// that came or went pairs differently (shown at once where it is on screen), and the lines around
// the edit that a multi-line construct (a link, a heading over blank lines) may reach. The queue
// is coloured in short slices once typing pauses, so no keystroke waits for more than one slice.
class SourceColouring : public QObject
{
    Q_OBJECT
public:
    // Texts up to this length are coloured whole after every edit.
    static constexpr qsizetype kWholeTextLimit = 32'000;

    // `currentText` gives the document's text for the queued passes, which wait while
    // `isCurrent` says the view does not show that text yet.
    SourceColouring(SourceTextEdit& view, std::function<const ChunkedText&()> currentText,
        std::function<bool()> isCurrent, QObject* parent = nullptr);

    bool isDarkMode() const { return m_isDarkMode; }
    qreal fontSize() const { return m_fontSize; }
    void setAppearance(bool isDarkMode, qreal fontSize);

    // A new text: what is on screen at once, the rest queued (a short text wholly at once).
    void colourAll(const ChunkedText& text);
    // After `removed` units at `position` were replaced by `added` units, giving `text`.
    void colourEdit(
        const ChunkedText& text, qsizetype position, qsizetype removed, qsizetype added);
    // The pane holds the text's [start, end) only: lines outside it are not coloured.
    void setWindow(qsizetype start, qsizetype end);
    // The lines of the text as the pane holds them, long ones in parts; kept in step with the
    // text by the pane. Without it, lines are read from the text.
    void setParts(const TextWindow* parts);
    // After the pane took another stretch of `text`: colours what is on screen now, the rest of
    // the window in slices.
    void colourWindow(const ChunkedText& text);
    // Colours everything queued now.
    void flush();
    bool hasPendingPass() const { return !m_pending.isEmpty(); }

    // Where the fence lines (three backquotes at a line's start) of text[from, to) start, `from`
    // being a line start. Read in place, piece by piece: at open this runs over the whole text
    // before the first paint.
    static std::vector<qsizetype> fenceLines(const ChunkedText& text, qsizetype from, qsizetype to);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Stretch
    {
        qsizetype from = 0;
        qsizetype to = 0;
    };

    // Updates the fence lines for the edit; returns the stretches whose colours it may change
    // beyond the edited lines [lines.from, lines.to).
    QList<Stretch> updateFences(
        const ChunkedText& text, const Stretch& lines, qsizetype removed, qsizetype added);
    // Colours the whole lines of [from, to) as the whole text would colour them.
    void colourLines(const ChunkedText& text, qsizetype from, qsizetype to);
    Stretch visibleStretch(const ChunkedText& text) const;
    void queue(const ChunkedText& text, qsizetype from, qsizetype to);
    void shiftQueued(qsizetype position, qsizetype removed, qsizetype added);
    void colourQueuedSlice();
    void colourQueuedOnScreen();
    // Moves the colours of `coloured` (which holds text[offset, offset + its length)) into the
    // paragraphs that lie wholly inside it and inside [from, to).
    void apply(const AttributedText& coloured, qsizetype offset, qsizetype from, qsizetype to);

    SourceTextEdit& m_view;
    std::function<const ChunkedText&()> m_currentText;
    std::function<bool()> m_isCurrent;
    QTimer m_pause;
    QTimer m_slice;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    bool m_lastWasYAML = false;
    bool m_awaitsPaint = false;
    // Starts of the lines that open or close a fenced block (they start with three backquotes).
    std::vector<qsizetype> m_fences;
    QList<Stretch> m_pending; // sorted, apart
    const TextWindow* m_parts = nullptr;
    Stretch m_window { 0, std::numeric_limits<qsizetype>::max() };
};

} // namespace quillon
