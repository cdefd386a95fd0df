#include "editor/layout/TextWindow.h"

#include "platform/ChunkedText.h"
#include "platform/Parallel.h"
#include "platform/TextLines.h"

#include <QKeyEvent>

#include <algorithm>
#include <atomic>
#include <utility>

namespace quillon {

namespace {

// About two and a half megabytes of a pane's text pieces and paragraphs: many screens on
// either side of what is shown, and filled again in a few ten milliseconds.
constexpr qsizetype kDefaultLength = 128 * 1024;
// Both panes hold a window of a text longer than this.
constexpr qsizetype kDefaults[2] = { kDefaultLength, kDefaultLength };
qsizetype s_targetLength[2] = { kDefaults[0], kDefaults[1] };

// A part of a long line: a few screens of text, laid out and styled in a millisecond or two.
constexpr qsizetype kDefaultSoftLength = 4096;
qsizetype s_softLength = kDefaultSoftLength;
// A text short enough to be held whole is still held in parts when a line of it is this long:
// below it, laying out and styling the line at a key costs less than its parts would show.
constexpr qsizetype kLongForWhole = 32 * 1024;
// A text of a few hundred kilobytes or more shows its first screens before its window is
// filled; a few screens of text, cut where the next blank line or line break falls, but no
// further than a few times as far.
constexpr qsizetype kDefaultFirstScreenShortest = 256 * 1024;
constexpr qsizetype kDefaultFirstScreenLength = 16 * 1024;
constexpr qsizetype kFirstScreenReach = 4;
qsizetype s_firstScreenShortest = kDefaultFirstScreenShortest;
qsizetype s_firstScreenLength = kDefaultFirstScreenLength;
// A long text's lines are found a stretch of about this many units per thread.
constexpr qsizetype kStretch = 512 * 1024;
// The heights of this many lines or more are estimated by several threads.
constexpr size_t kEstimateAtOnce = 64 * 1024;

} // namespace

void TextWindow::setTargetLength(qsizetype length, Pane pane)
{
    s_targetLength[int(pane)] = length == 0 ? kDefaults[int(pane)] : length;
}

qsizetype TextWindow::targetLength(Pane pane)
{
    return s_targetLength[int(pane)];
}

void TextWindow::setSoftLengthForTesting(qsizetype length)
{
    s_softLength = length == 0 ? kDefaultSoftLength : length;
}

void TextWindow::setFirstScreenForTesting(qsizetype shortest, qsizetype length)
{
    s_firstScreenShortest = shortest == 0 ? kDefaultFirstScreenShortest : shortest;
    s_firstScreenLength = length == 0 ? kDefaultFirstScreenLength : length;
}

qsizetype TextWindow::firstScreenEnd(const ChunkedText& text, Pane pane, bool atBlankLine)
{
    if (text.size() < s_firstScreenShortest || holdsWhole(text, pane))
        return -1;
    const QString reach = text.mid(s_firstScreenLength, s_firstScreenLength * kFirstScreenReach);
    const qsizetype cut = reach.indexOf(atBlankLine ? QStringView(u"\n\n") : QStringView(u"\n"));
    if (cut < 0)
        return -1;
    const qsizetype end = s_firstScreenLength + cut + 1;
    // Its lines, held whole, are laid out whole.
    if (!holdsWhole(QStringView(text.mid(0, end)), pane))
        return -1;
    return end;
}

bool TextWindow::fits(qsizetype textLength, Pane pane)
{
    return targetLength(pane) < 0 || textLength <= targetLength(pane);
}

namespace {

// Whether a line of `piece` (the first continuing one `run` units from before it) is longer
// than `longest`; `run` comes out as the length of the line the piece ends in.
bool holdsLongLine(QStringView piece, qsizetype& run, qsizetype longest)
{
    const qsizetype n = piece.size();
    for (qsizetype from = 0;;) {
        const qsizetype feed = textlines::nextLineFeed(piece, from);
        if (run + feed - from > longest)
            return true;
        if (feed >= n) {
            run += n - from;
            return false;
        }
        run = 0;
        from = feed + 1;
    }
}

} // namespace

bool TextWindow::holdsWhole(const ChunkedText& text, Pane pane)
{
    if (targetLength(pane) < 0)
        return true;
    if (!fits(text.size(), pane))
        return false;
    qsizetype run = 0;
    bool whole = true;
    text.forEachPiece(0, text.size(), [&](QStringView piece, qsizetype) {
        whole = !holdsLongLine(piece, run, kLongForWhole);
        return whole;
    });
    return whole;
}

bool TextWindow::holdsWhole(QStringView text, Pane pane)
{
    if (targetLength(pane) < 0)
        return true;
    qsizetype run = 0;
    return fits(text.size(), pane) && !holdsLongLine(text, run, kLongForWhole);
}

void TextWindow::reset(const ChunkedText& text, const Estimate& estimate)
{
    findLines(text);
    estimateFound(estimate);
}

void TextWindow::reset(
    QStringView text, const Estimate& estimate, const std::vector<FixedHeight>& fixed)
{
    findLines(text);
    estimateFound(estimate, fixed);
}

void TextWindow::findLines(const ChunkedText& text)
{
    startReset(text.size());
    std::vector<Stretch> stretches;
    text.forEachPiece(0, text.size(), [&](QStringView piece, qsizetype at) {
        stretches.push_back({ piece, at });
        return true;
    });
    if (!addLineStartsAtOnce(stretches)) {
        startReset(text.size());
        for (const Stretch& stretch : stretches)
            addLineStarts(stretch.text, stretch.at);
    }
}

void TextWindow::findLines(QStringView text)
{
    startReset(text.size());
    std::vector<Stretch> stretches;
    for (qsizetype at = 0; at < text.size(); at += kStretch)
        stretches.push_back({ text.mid(at, kStretch), at });
    if (!addLineStartsAtOnce(stretches)) {
        startReset(text.size());
        addLineStarts(text, 0);
    }
}

bool TextWindow::addLineStartsAtOnce(const std::vector<Stretch>& stretches)
{
    if (m_length < kParallelTextLength)
        return false;
    // The line feeds of a stretch of pieces each, on threads of their own: counted first, then
    // written where the counts put them, so that no list of them is held twice. A line long
    // enough to be held in parts is cut by reading its text, left to the sequential way.
    const qsizetype longest = 2 * s_softLength;
    const qsizetype tasks = qMin<qsizetype>(qsizetype(stretches.size()), 4 * parallelWidth());
    struct Found
    {
        size_t count = 0;
        qsizetype first = -1; // the first line feed, and the line start after the last one
        qsizetype last = -1;
    };
    std::vector<Found> found(static_cast<size_t>(tasks));
    std::atomic_bool tooLong { false };
    auto eachFeed = [&](qsizetype task, auto visit) {
        const size_t to = size_t(task + 1) * stretches.size() / size_t(tasks);
        for (size_t s = size_t(task) * stretches.size() / size_t(tasks); s < to; ++s) {
            const QStringView piece = stretches[s].text;
            for (qsizetype feed = textlines::nextLineFeed(piece, 0); feed < piece.size();
                 feed = textlines::nextLineFeed(piece, feed + 1))
                visit(stretches[s].at + feed);
        }
    };
    parallelFor(tasks, [&](qsizetype task) {
        // Only a line that lies wholly in this task's stretches is measured here; the ones
        // across its edges are measured when the counts are joined.
        Found& f = found[size_t(task)];
        eachFeed(task, [&](qsizetype feed) {
            if (f.last >= 0 && feed - f.last > longest)
                tooLong = true;
            if (f.first < 0)
                f.first = feed;
            f.last = feed + 1;
            ++f.count;
        });
    });
    if (tooLong)
        return false;
    std::vector<size_t> offsets(found.size());
    size_t count = 1;
    qsizetype lineStart = 0;
    for (size_t task = 0; task < found.size(); ++task) {
        offsets[task] = count;
        if (found[task].count == 0)
            continue;
        if (found[task].first - lineStart > longest)
            return false;
        count += found[task].count;
        lineStart = found[task].last;
    }
    if (m_length - lineStart > longest)
        return false;
    // With room for an eighth more lines: the first line typed would otherwise move them all.
    m_starts.reserve(count + spareRoom(count));
    m_starts.resize(count);
    parallelFor(tasks, [&](qsizetype task) {
        size_t at = offsets[size_t(task)];
        eachFeed(task, [&](qsizetype feed) { m_starts[at++] = feed + 1; });
    });
    m_soft.reserve(count + spareRoom(count));
    m_soft.assign(m_starts.size(), 0);
    m_lineFrom = m_starts.back();
    return true;
}

void TextWindow::startReset(qsizetype length)
{
    m_length = length;
    m_starts.assign(1, 0);
    m_soft.assign(1, 0);
    m_softCount = 0;
    m_lineFrom = 0;
    dropShift();
}

void TextWindow::addLineStarts(QStringView piece, qsizetype at)
{
    const qsizetype n = piece.size();
    for (qsizetype from = 0;;) {
        const qsizetype feed = textlines::nextLineFeed(piece, from);
        if (at + feed - m_lineFrom > 2 * s_softLength)
            addSoftStarts(piece, at, from, feed);
        if (feed >= n)
            return;
        m_starts.push_back(at + feed + 1);
        m_soft.push_back(0);
        m_lineFrom = at + feed + 1;
        from = feed + 1;
    }
}

void TextWindow::addSoftStarts(QStringView piece, qsizetype at, qsizetype from, qsizetype feed)
{
    // A line still going on at the piece's end may be cut anywhere; one that ends in it keeps a
    // last part of some length.
    const bool ends = feed < piece.size();
    for (;;) {
        qsizetype cut = qMax(from, m_lineFrom + s_softLength - at);
        if (cut >= feed)
            return;
        cut = textlines::nextLongLineCut(piece, cut + 1, feed);
        if (cut < 0 || (ends && feed - cut < s_softLength / 2))
            return;
        m_starts.push_back(at + cut);
        m_soft.push_back(1);
        ++m_softCount;
        m_lineFrom = at + cut;
    }
}

template <typename Each>
void TextWindow::forEachSoftBreak(qsizetype from, qsizetype to, Each each) const
{
    if (m_softCount == 0)
        return;
    for (int line = lineAt(from) + 1; line < lineCount() && lineStart(line) <= to; ++line) {
        if (m_soft[size_t(line)])
            each(lineStart(line) - 1);
    }
}

void TextWindow::breakSoftly(QString& text, qsizetype at) const
{
    forEachSoftBreak(at, at + text.size(), [&](qsizetype cut) { text[cut - at] = u'\n'; });
}

void TextWindow::joinSoftly(QString& text, qsizetype at) const
{
    forEachSoftBreak(at, at + text.size(), [&](qsizetype cut) {
        if (text[cut - at] == u'\n')
            text[cut - at] = u' ';
    });
}

void TextWindow::estimateFound(const Estimate& estimate, const std::vector<FixedHeight>& fixed)
{
    // Lines pushed one by one leave up to as much room again unused; a document's line index is
    // kept for as long as its tab is, with room for an eighth more lines.
    const size_t room = spareRoom(m_starts.size());
    m_starts.keepRoom(room);
    m_soft.keepRoom(room);
    m_first = 0;
    m_end = 1;
    estimateAll(estimate, fixed);
}

void TextWindow::estimateAll(const Estimate& estimate, const std::vector<FixedHeight>& fixed)
{
    const size_t count = m_starts.size();
    m_heights.resize(int(count));
    float* heights = m_heights.data();
    // An estimate depends on the length alone, and most lines are short: each short length is
    // asked for once.
    constexpr qsizetype kRemembered = 1024;
    std::vector<float> byLength(kRemembered, -1.0F);
    auto heightOf = [&](qsizetype length) {
        if (length >= kRemembered)
            return float(estimate(length));
        float& known = byLength[size_t(length)];
        if (known < 0)
            known = float(estimate(length));
        return known;
    };
    // The stored starts differ from the real ones by the pending shift from m_shiftFrom on, which
    // moves them alike: a line is measured from its stored starts, but for the one before the
    // first shifted start (its stored length may even be negative) and the last, measured apart.
    const size_t apart = m_shiftFrom < count ? m_shiftFrom - 1 : count - 1;
    auto storedLength = [this](size_t i) { return m_starts[i + 1] - 1 - m_starts[i]; };
    if (count >= kEstimateAtOnce) {
        // The estimate asks the view, which only this thread may: every short length first, then
        // the few long lines the threads leave.
        for (qsizetype length = 0; length < kRemembered; ++length)
            byLength[size_t(length)] = float(estimate(length));
        const qsizetype tasks = 4 * parallelWidth();
        std::vector<std::vector<size_t>> longLines(static_cast<size_t>(tasks));
        parallelFor(tasks, [&](qsizetype task) {
            const size_t end = size_t(task + 1) * (count - 1) / size_t(tasks);
            for (size_t i = size_t(task) * (count - 1) / size_t(tasks); i < end; ++i) {
                const qsizetype length = i == apart ? 0 : storedLength(i);
                if (length < kRemembered)
                    heights[i] = byLength[size_t(length)];
                else
                    longLines[size_t(task)].push_back(i);
            }
        });
        for (const std::vector<size_t>& lines : longLines) {
            for (const size_t i : lines)
                heights[i] = float(estimate(storedLength(i)));
        }
    } else {
        for (size_t i = 0; i + 1 < count; ++i) {
            if (i != apart)
                heights[i] = heightOf(storedLength(i));
        }
    }
    heights[apart] = heightOf(lineEnd(int(apart)) - lineStart(int(apart)));
    heights[count - 1] = heightOf(lineEnd(int(count) - 1) - lineStart(int(count) - 1));
    setFixed(fixed);
    m_heights.sum();
}

void TextWindow::setFixed(const std::vector<FixedHeight>& fixed)
{
    // The offsets ascend: the line of each is looked for from the line of the one before.
    int line = 0;
    for (const FixedHeight& f : fixed) {
        while (line + 1 < lineCount() && lineStart(line + 1) <= f.offset)
            line = line + 64 < lineCount() && lineStart(line + 64) <= f.offset ? lineAt(f.offset)
                                                                               : line + 1;
        m_heights.data()[line] = float(f.height);
    }
}

void TextWindow::dropShift()
{
    m_shiftFrom = m_starts.size();
    m_shiftBy = 0;
}

void TextWindow::moveShift(size_t from)
{
    if (m_shiftBy == 0) {
        m_shiftFrom = from;
        return;
    }
    for (size_t i = m_shiftFrom; i < from && i < m_starts.size(); ++i)
        m_starts[i] += m_shiftBy;
    for (size_t i = from; i < m_shiftFrom && i < m_starts.size(); ++i)
        m_starts[i] -= m_shiftBy;
    m_shiftFrom = from;
}

TextWindow::LineTop TextWindow::lineAtY(
    double y, const Frame& frame, const std::function<LineTop(double)>& heldAt) const
{
    if (y < frame.heldTop && m_first > 0) {
        const int line = qBound(0, lineAtHeight(y - frame.top), m_first - 1);
        return { line, frame.top + heightBefore(line) };
    }
    const double heldEnd = frame.heldTop + frame.heldHeight;
    if (y < heldEnd || m_end >= lineCount()) {
        const LineTop held = heldAt(y);
        return { m_first + held.line, held.y };
    }
    const double below = y - heldEnd + heightBefore(m_end);
    const int line = qBound(m_end, lineAtHeight(below), lineCount() - 1);
    return { line, heldEnd + heightBefore(line) - heightBefore(m_end) };
}

double TextWindow::topOfLine(
    int line, const Frame& frame, const std::function<double(int)>& heldTopOf) const
{
    if (line < m_first)
        return frame.top + heightBefore(line);
    if (line < m_end)
        return heldTopOf(line - m_first);
    return frame.heldTop + frame.heldHeight + heightBefore(line) - heightBefore(m_end);
}

qsizetype TextWindow::lineEnd(int line) const
{
    return line + 1 < lineCount() ? lineStart(line + 1) - 1 : m_length;
}

int TextWindow::lineAt(qsizetype offset) const
{
    // The first line starting after `offset`, found by halving over the lines' real starts.
    int low = 0;
    int high = lineCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (lineStart(middle) <= offset)
            low = middle + 1;
        else
            high = middle;
    }
    return low - 1;
}

void TextWindow::place(int firstLine, int endLine)
{
    m_first = std::clamp(firstLine, 0, lineCount() - 1);
    m_end = std::clamp(endLine, m_first + 1, lineCount());
}

std::pair<int, int> TextWindow::around(qsizetype from, qsizetype to) const
{
    const qsizetype half = qMax<qsizetype>(1, target() / 2);
    const int first = lineAt(qMax<qsizetype>(0, qMin(from, to) - half));
    const int last = lineAt(qMin(m_length, qMax(from, to) + half));
    return { first, last + 1 };
}

bool TextWindow::covers(qsizetype from, qsizetype to) const
{
    const qsizetype margin = qMax<qsizetype>(1, target() / 4);
    const qsizetype low = qMin(from, to);
    const qsizetype high = qMax(from, to);
    const bool top = m_first == 0 ? low >= 0 : low >= start() + margin;
    const bool bottom = m_end == lineCount() ? high <= m_length : high <= end() - margin;
    return top && bottom;
}

void TextWindow::setHeight(int line, double height)
{
    m_heights.set(line, float(height));
}

TextWindow::Place TextWindow::apply(
    qsizetype position, qsizetype removed, QStringView inserted, const Estimate& estimate)
{
    position = qBound<qsizetype>(0, position, m_length);
    removed = qBound<qsizetype>(0, removed, m_length - position);
    const int first = lineAt(position);
    const int last = lineAt(position + removed);
    const qsizetype delta = inserted.size() - removed;
    std::vector<qsizetype> made;
    for (qsizetype i = inserted.indexOf(u'\n'); i >= 0; i = inserted.indexOf(u'\n', i + 1))
        made.push_back(position + i + 1);
    const int oldCount = last - first + 1;
    const int newCount = int(made.size()) + 1;
    m_length += delta;
    // The lines below the edit move by the pending shift, whatever their number.
    moveShift(size_t(last) + 1);
    m_shiftBy += delta;
    if (oldCount == newCount) {
        // A key within a line: no line comes or goes.
        for (size_t i = 0; i < made.size(); ++i)
            m_starts[size_t(first) + 1 + i] = made[i];
        // Lines an edit makes start after its line feeds.
        for (int i = first + 1; i < first + newCount; ++i)
            m_softCount -= std::exchange(m_soft[size_t(i)], char(0));
    } else {
        // Lines come or go: the shifted lines move with them, and the heights' sums take a
        // block's work whatever the text's length.
        m_starts.replace(size_t(first) + 1, size_t(last - first), made.begin(), made.end());
        m_shiftFrom = size_t(first) + 1 + made.size();
        for (int i = first + 1; i <= last; ++i)
            m_softCount -= m_soft[size_t(i)];
        m_soft.replace(size_t(first) + 1, size_t(last - first), made.size(), char(0));
        m_heights.replace(first + 1, last - first, int(made.size()), 0.0F);
    }
    for (int i = first; i < first + newCount; ++i)
        setHeight(i, estimate(lineEnd(i) - lineStart(i)));

    const int lines = newCount - oldCount;
    if (last < m_first) {
        m_first += lines;
        m_end += lines;
        return Place::Above;
    }
    if (first >= m_end)
        return Place::Below;
    if (first >= m_first && last < m_end) {
        m_end += lines;
        return Place::Inside;
    }
    place(qMin(m_first, first), qMax(m_end + lines, first + newCount));
    return Place::Across;
}

qsizetype mapThroughEdit(qsizetype offset, qsizetype position, qsizetype removed, qsizetype added)
{
    if (offset < position)
        return offset;
    if (offset > position + removed)
        return offset + added - removed;
    return position + added;
}

bool typesTextOnly(const QKeyEvent& key)
{
    const QString text = key.text();
    return !text.isEmpty()
        && !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

bool pressesModifierOnly(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

std::optional<qsizetype> caretToTextEnd(const QKeyEvent& key, qsizetype length)
{
    if (typesTextOnly(key))
        return std::nullopt;
    if (key.matches(QKeySequence::MoveToStartOfDocument))
        return 0;
    if (key.matches(QKeySequence::MoveToEndOfDocument))
        return length;
    return std::nullopt;
}

std::pair<qsizetype, qsizetype> keyReach(const QKeyEvent& key, qsizetype low, qsizetype high,
    qsizetype length, const std::function<std::pair<qsizetype, qsizetype>()>& pages)
{
    if (typesTextOnly(key))
        return { low, high };
    if (key.matches(QKeySequence::SelectAll))
        return { 0, length };
    if (key.matches(QKeySequence::SelectStartOfDocument))
        return { 0, high };
    if (key.matches(QKeySequence::SelectEndOfDocument))
        return { low, length };
    if (key.matches(QKeySequence::MoveToNextPage) || key.matches(QKeySequence::MoveToPreviousPage)
        || key.matches(QKeySequence::SelectNextPage)
        || key.matches(QKeySequence::SelectPreviousPage)) {
        const auto [up, down] = pages();
        return { qMin(low, up), qMax(high, down) };
    }
    return { low, high };
}

} // namespace quillon
