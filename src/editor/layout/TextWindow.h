#pragma once

#include "editor/layout/GapVector.h"
#include "editor/layout/LineHeights.h"

#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

class QKeyEvent;

namespace quillon {

class ChunkedText;

// The stretch of a long text a pane holds: whole lines [firstLine, endLine) of the text, from
// start() to end() (the line break after the last of them stays outside, so that the pane's text
// does not end in an empty paragraph). Keeps the start of every line of the text and a height
// for each, estimated from its length or as last measured, so that the pane can place its lines
// below the lines above them and scroll over the whole text.
//
// A line of many thousand characters is held as several: it is cut at a space between words
// (a soft break), which the pane shows as a paragraph break. Each part is laid out, styled and
// measured alone, so that a key in a paragraph of megabytes costs what its part costs, and the
// window holds only the parts around the screen. The space stays the text's: the pane reads it
// back as a space.
class TextWindow
{
public:
    // Each pane has a length of its own.
    enum class Pane { Source, Block };
    explicit TextWindow(Pane pane = Pane::Source)
        : m_pane(pane)
    {
    }
    // How many UTF-16 units the pane holds around what it shows; a text no longer than this is
    // held whole. Tests set a small length to make windows of small texts; 0 restores the
    // default, a negative length holds every text whole.
    static void setTargetLength(qsizetype length, Pane pane = Pane::Source);
    static qsizetype targetLength(Pane pane = Pane::Source);
    static bool fits(qsizetype textLength, Pane pane = Pane::Source);
    // Whether a pane holds `text` whole: it fits, and no line of it is long enough to be held in
    // parts (a paragraph of tens of thousand characters would be laid out and styled whole at
    // every key).
    static bool holdsWhole(const ChunkedText& text, Pane pane = Pane::Source);
    static bool holdsWhole(QStringView text, Pane pane = Pane::Source);

    // A text this long (and longer) is shown first as its beginning alone, up to the end this
    // returns, and held in its window once that is painted: finding its lines and filling the
    // window wait until the pane has something on screen. -1: the text goes in as it is. The
    // cut falls on a line break, or with `atBlankLine` on the first of two (where no table or
    // paragraph goes on across it).
    static qsizetype firstScreenEnd(const ChunkedText& text, Pane pane, bool atBlankLine);
    // The shortest text shown so, and about how much of its beginning; 0, 0 restores both.
    static void setFirstScreenForTesting(qsizetype shortest, qsizetype length);

    using Estimate = std::function<double(qsizetype length)>;
    // Every line of `text`, with estimated heights; the window empty at the top.
    void reset(const ChunkedText& text, const Estimate& estimate);
    // A height a line is given instead of its estimate: that of the line holding `offset`.
    struct FixedHeight
    {
        qsizetype offset = 0;
        double height = 0;
    };
    // With `fixed` (ascending offsets) given their heights at once.
    void reset(
        QStringView text, const Estimate& estimate, const std::vector<FixedHeight>& fixed = {});
    // A reset in two steps: finding the text's lines, the longest part, which reads the text
    // alone and may be done on another thread, then giving them their heights.
    void findLines(const ChunkedText& text);
    void findLines(QStringView text);
    void estimateFound(const Estimate& estimate, const std::vector<FixedHeight>& fixed = {});
    // Estimates every line's height again (a new width or font); `fixed` (ascending) overrides
    // the estimate of the lines it names.
    void estimateAll(const Estimate& estimate, const std::vector<FixedHeight>& fixed = {});

    int lineCount() const { return int(m_starts.size()); }
    qsizetype textLength() const { return m_length; }
    // Lines longer than `length` are cut into parts about that long; 0 restores the default.
    static void setSoftLengthForTesting(qsizetype length);

    qsizetype lineStart(int line) const
    {
        return m_starts[size_t(line)] + (size_t(line) >= m_shiftFrom ? m_shiftBy : 0);
    }
    // The end of the line's text, before its line break.
    qsizetype lineEnd(int line) const;
    // The line holding `offset` (a line break belongs to the line it ends).
    int lineAt(qsizetype offset) const;
    // Whether some line of the text is held in parts.
    bool hasSoftParts() const { return m_softCount > 0; }
    // Whether the line begins after a soft break: the character before it is a space.
    bool startsSoftly(int line) const { return m_soft[size_t(line)] != 0; }
    // The text [at, at + text.size()) as the pane holds it: its soft breaks become line feeds.
    void breakSoftly(QString& text, qsizetype at) const;
    // Text the pane read back from [at, at + text.size()): the line feeds at its soft breaks
    // become spaces again.
    void joinSoftly(QString& text, qsizetype at) const;

    int firstLine() const { return m_first; }
    int endLine() const { return m_end; }
    qsizetype start() const { return lineStart(m_first); }
    qsizetype end() const { return lineEnd(m_end - 1); }
    bool holdsAll() const { return m_first == 0 && m_end == lineCount(); }
    void place(int firstLine, int endLine);
    // The lines a window around [from, to] holds: half the target length on either side, cut at
    // line starts.
    std::pair<int, int> around(qsizetype from, qsizetype to) const;
    // Whether [from, to] lies inside the window a quarter of the target length away from the
    // edges that are not the text's.
    bool covers(qsizetype from, qsizetype to) const;

    double height(int line) const { return m_heights.at(line); }
    void setHeight(int line, double height);
    // The height of the lines before `line`.
    double heightBefore(int line) const { return m_heights.before(line); }
    double heightAbove() const { return heightBefore(m_first); }
    double heightBelow() const { return m_heights.total() - heightBefore(m_end); }
    // The line whose extent holds `y` (measured from the first line's top).
    int lineAtHeight(double y) const { return m_heights.lineAt(y); }

    // Where a pane stands the whole text: the lines above the window from `top` on, the held
    // paragraphs from `heldTop` on, `heldHeight` high, the lines below under them.
    struct Frame
    {
        double top = 0;
        double heldTop = 0;
        double heldHeight = 0;
    };
    // A line of the whole text and the y of its top in the pane.
    struct LineTop
    {
        int line = 0;
        double y = 0;
    };
    // The line at the pane's height y; `heldAt(y)` gives the held paragraph there (counted in
    // the window) and its top.
    LineTop lineAtY(
        double y, const Frame& frame, const std::function<LineTop(double)>& heldAt) const;
    // The top of `line` in the pane; `heldTopOf(block)` gives a held paragraph's.
    double topOfLine(
        int line, const Frame& frame, const std::function<double(int)>& heldTopOf) const;

    enum class Place { Above, Inside, Below, Across };
    // Takes an edit of the document: `removed` units at `position` became `inserted`. Lines it
    // made are estimated; the window keeps its text (Above, Below, Inside: the pane applies the
    // edit at position - start()) unless the edit reached over one of its edges (Across: the
    // window is to be filled again).
    Place apply(
        qsizetype position, qsizetype removed, QStringView inserted, const Estimate& estimate);

private:
    // Moves the start of the lines the pending shift applies to, adjusting only the starts
    // between the old and the new place.
    // reset() of either form: the length, the starts of the lines of each piece (at `at` in the
    // text), then the window at the top and every height estimated.
    void startReset(qsizetype length);
    void addLineStarts(QStringView piece, qsizetype at);
    // A stretch of the text and where it starts.
    struct Stretch
    {
        QStringView text;
        qsizetype at = 0;
    };
    // The starts of a long text's lines, found by several threads at once; false, having added
    // some, when a line of it is long enough to be held in parts.
    bool addLineStartsAtOnce(const std::vector<Stretch>& stretches);
    // Sets the heights `fixed` names, their sums left as they were.
    void setFixed(const std::vector<FixedHeight>& fixed);
    // Cuts the line that began at `lineStart` and ends at `lineEnd` (within `piece`, at `at`).
    void addSoftStarts(QStringView piece, qsizetype at, qsizetype lineStart, qsizetype lineEnd);
    // Calls `each(offset)` for the soft break before every line starting in (from, to].
    template <typename Each> void forEachSoftBreak(qsizetype from, qsizetype to, Each each) const;
    void moveShift(size_t from);
    void dropShift();
    qsizetype target() const { return targetLength(m_pane); }

    Pane m_pane;

    // The starts of the lines from m_shiftFrom on lie m_shiftBy further than stored: keys typed
    // within one line move the starts of all the lines below it by adding to that alone.
    GapVector<qsizetype> m_starts { 1, 0 };
    GapVector<char> m_soft { 1, 0 }; // by line: whether it starts after a soft break
    qsizetype m_softCount = 0;
    qsizetype m_lineFrom = 0; // the start of the line being read by reset()
    size_t m_shiftFrom = 1;
    qsizetype m_shiftBy = 0;
    LineHeights m_heights { 1 };
    qsizetype m_length = 0;
    int m_first = 0;
    int m_end = 1;
};

// Where an offset goes when `removed` units at `position` become `added`, as a text cursor goes:
// before the change it stays, else it moves with the text after it.
qsizetype mapThroughEdit(qsizetype offset, qsizetype position, qsizetype removed, qsizetype added);

// Whether `key` only types its text: printable, with no Control, Alt or Meta. No such key moves
// the caret by a page or to either end of the text, so a view need not look up the platform's
// bindings for it (a dozen lookups of every key).
bool typesTextOnly(const QKeyEvent& key);

// Whether `key` is a modifier pressed alone, as before every shortcut and capital letter: it
// neither edits nor moves the caret, so a view neither goes to the caret for it nor lays out
// the way there (which, with the caret far from the screen, lost the place a zoom keeps).
bool pressesModifierOnly(const QKeyEvent& key);

// Where `key` takes the caret when it moves it to the start of the text (0) or its end
// (`length`), keys each view handles itself; none for any other key.
std::optional<qsizetype> caretToTextEnd(const QKeyEvent& key, qsizetype length);

// The stretch a window has to hold before a view takes `key`, the selection being [low, high] of
// a text `length` long: all it may select, or for a page key a page beyond the screen either way
// (`pages()` gives the text from a page above the screen to a page below it). The keys that go
// to the text's start or end are each view's own.
std::pair<qsizetype, qsizetype> keyReach(const QKeyEvent& key, qsizetype low, qsizetype high,
    qsizetype length, const std::function<std::pair<qsizetype, qsizetype>()>& pages);

} // namespace quillon
