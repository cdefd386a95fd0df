#include "editor/block/BackgroundStyling.h"

#include "editor/block/LineRestyler.h"
#include "editor/block/ProjectedDocument.h"
#include "editor/layout/TextWindow.h"
#include "markdown/MarkdownLineEditing.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace quillon {

namespace {

// How far before a stretch the view needs its styling may begin, and how long a stretch may be
// to be styled at once rather than by the pass.
constexpr qsizetype kReach = 64 * 1024;
constexpr qsizetype kNowLimit = 512 * 1024;
// Bounds of a slice's length of text.
constexpr qsizetype kMinChunk = 4 * 1024;
constexpr qsizetype kMaxChunk = 1024 * 1024;
// The cuts a pass keeps lie about this far apart, where the text can be cut.
constexpr qsizetype kCutSpacing = 16 * 1024;
// Styling far ahead of the pass begins at most about this far before what the view needs: the
// cuts before that are not read one after another from the last one known.
constexpr qsizetype kFarReach = 256 * 1024;
// The slices wait this long for the first paint at most.
constexpr int kPaintWaitMs = 250;

} // namespace

BackgroundStyling::BackgroundStyling(ProjectedDocument& projected, Options options, QObject* parent)
    : QObject(parent)
    , m_projected(projected)
    , m_options(std::move(options))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BackgroundStyling::step);
    m_projected.setReplacedHook(
        [this](TextSpan removed, qsizetype inserted) { replaced(removed, inserted); });
}

BackgroundStyling::~BackgroundStyling()
{
    m_projected.setReplacedHook({});
}

namespace {

// Moves `from` (ascending places) onto the end of `to`, those in (after, upTo].
void takePlaces(std::vector<qsizetype>& to, std::vector<qsizetype>& from, qsizetype after,
    qsizetype upTo = std::numeric_limits<qsizetype>::max())
{
    auto first = std::upper_bound(from.begin(), from.end(), after);
    auto last = std::upper_bound(first, from.end(), upTo);
    for (auto it = first; it != last; ++it) {
        if (to.empty() || *it > to.back())
            to.push_back(*it);
    }
    from.erase(from.begin(), last);
}

} // namespace

void BackgroundStyling::start(bool waitForResume)
{
    const HighlightOptions options = m_options();
    m_styledCaret = options.cursorLocation;
    m_styledFocused = options.isFocused;
    m_unpresentedAll = true;
    ++m_generation;
    m_running = true;
    moveTo(0);
    m_cuts.reset();
    m_passCuts = { 0 };
    m_passFenceEnds.clear();
    m_oldCuts.clear();
    m_oldFenceEnds.clear();
    m_convergeFrom = -1;
    m_changed.clear();
    m_pendingChanges.clear();
    m_textChanged = false;
    m_firstChange = std::numeric_limits<qsizetype>::max();
    m_passRevision = m_projected.textRevision();
    m_waiting = waitForResume;
    m_timer.start(waitForResume ? kPaintWaitMs : 0);
}

qsizetype BackgroundStyling::startBefore(qsizetype position, qsizetype atLeast) const
{
    // The paragraph after the last fenced block that ends before `position`.
    auto fence = std::lower_bound(m_oldFenceEnds.begin(), m_oldFenceEnds.end(), position);
    if (fence == m_oldFenceEnds.begin() || *(fence - 1) < atLeast)
        return atLeast;
    const QString& text = m_projected.storage().text();
    const qsizetype end = *(fence - 1);
    const qsizetype feed
        = end > 0 && text.at(end - 1) == u'\n' ? end - 1 : text.indexOf(u'\n', end);
    return feed < 0 ? text.size() : qMax(atLeast, feed + 1);
}

bool BackgroundStyling::passWentThrough(quint64 revision, qsizetype length) const
{
    return !m_running && m_passRevision == revision && !m_passCuts.empty()
        && m_passCuts.back() == length;
}

void BackgroundStyling::startAfterChanges(qsizetype caret)
{
    // Where the caret or the focus moved since, the stretch it reveals markers in is styled
    // again; left where it was (keys typed in the other pane), it reveals what it revealed.
    const bool focused = m_options().isFocused;
    if (caret != m_styledCaret || focused != m_styledFocused)
        styledAlone({ caret, 0 });
    m_styledCaret = caret;
    m_styledFocused = focused;
    if (!passWentThrough(m_projected.textRevision(), m_projected.storage().length())
        || !m_projected.isValidUtf16()) {
        start(false);
        return;
    }
    if (m_changed.empty())
        return;
    joinTouching(m_changed);
    m_pendingChanges = std::exchange(m_changed, {});
    m_firstChange = std::numeric_limits<qsizetype>::max();
    // What the last pass knew from the top is kept up to where this one begins; the rest is
    // what it may meet again.
    m_oldCuts = std::exchange(m_passCuts, {});
    m_oldFenceEnds = std::exchange(m_passFenceEnds, {});
    const qsizetype from = startBefore(m_pendingChanges.front().location, 0);
    takePlaces(m_passCuts, m_oldCuts, -1, from);
    if (m_passCuts.empty() || m_passCuts.back() != from)
        m_passCuts.push_back(from);
    // The block whose end the pass begins at is one of them: left out, the next pass over
    // changes there would begin a block earlier, and each one after it earlier still.
    takePlaces(m_passFenceEnds, m_oldFenceEnds, -1, from);
    m_convergeFrom = m_pendingChanges.front().end();
    m_pendingChanges.erase(m_pendingChanges.begin());
    m_running = true;
    m_waiting = false;
    m_cuts.reset();
    moveTo(from);
    m_timer.start(0);
}

void BackgroundStyling::styledAlone(TextSpan range)
{
    if (range.length < 0)
        return;
    // What a pass under way is still to go through, it styles again anyway.
    if (m_running && !m_atEnd) {
        const qsizetype place = m_projected.mark();
        if (range.location >= place && (m_convergeFrom < 0 || range.end() <= m_convergeFrom))
            return;
    }
    m_changed.push_back(range);
}

void BackgroundStyling::forgetStyledAlone(qsizetype caret)
{
    m_styledCaret = caret;
    m_styledFocused = m_options().isFocused;
    if (!m_textChanged)
        m_changed.clear();
}

void BackgroundStyling::presented(quint64 generation)
{
    if (generation != m_generation)
        return;
    m_unpresentedAll = false;
    m_unpresented.clear();
}

void BackgroundStyling::replaced(TextSpan removed, qsizetype inserted)
{
    for (TextSpan& stretch : m_unpresented) {
        // A stretch grows over a change that touches it; the text after it moves along.
        const qsizetype end = stretch.end() < removed.location
            ? stretch.end()
            : qMax(stretch.end(), removed.end()) + inserted - removed.length;
        const qsizetype from = stretch.location > removed.end()
            ? stretch.location + inserted - removed.length
            : qMin(stretch.location, removed.location);
        stretch = TextSpan(from, qMax(from, end) - from);
    }
    joinTouching(m_unpresented);
    if (m_styledCaret >= 0)
        m_styledCaret = mapThroughEdit(m_styledCaret, removed.location, removed.length, inserted);
    if (m_running && m_convergeFrom >= 0 && m_passRevision + 1 == m_projected.textRevision()
        && !m_passCuts.empty()) {
        // A change while a pass goes over earlier ones: it stops, and what it has not reached
        // yet is still to be styled again, with this change.
        const qsizetype place = m_passCuts.back();
        m_firstChange = qMin(m_firstChange, place);
        m_changed.push_back({ place, qMax(place, m_convergeFrom) - place });
        m_changed.insert(m_changed.end(), m_pendingChanges.begin(), m_pendingChanges.end());
        takePlaces(m_passCuts, m_oldCuts, place);
        takePlaces(m_passFenceEnds, m_oldFenceEnds, place);
        m_pendingChanges.clear();
        m_convergeFrom = -1;
        m_running = false;
        m_waiting = false;
        m_timer.stop();
        m_cuts.reset();
    }
    // Only what a finished pass knew of the text just before this change is moved along; a
    // whole pass under way goes on as before (its place is a mark the change moves).
    if (!passWentThrough(m_projected.textRevision() - 1,
            m_projected.storage().length() - inserted + removed.length)) {
        m_passCuts.clear();
        m_passFenceEnds.clear();
        m_changed.clear();
        return;
    }
    const qsizetype delta = inserted - removed.length;
    const auto moveAlong = [&](std::vector<qsizetype>& places) {
        // Places inside the change are gone; those after it move with the text.
        auto first = std::lower_bound(places.begin(), places.end(), removed.location);
        auto last = std::upper_bound(first, places.end(), removed.end());
        first = places.erase(first, last);
        for (auto it = first; it != places.end(); ++it)
            *it += delta;
    };
    moveAlong(m_passCuts);
    moveAlong(m_passFenceEnds);
    // The text ends in a cut, whatever changed before it.
    const qsizetype length = m_projected.storage().length();
    if (m_passCuts.empty() || m_passCuts.back() != length)
        m_passCuts.push_back(length);
    for (TextSpan& r : m_changed) {
        const qsizetype end = mapThroughEdit(r.end(), removed.location, removed.length, inserted);
        r.location = mapThroughEdit(r.location, removed.location, removed.length, inserted);
        r.length = qMax<qsizetype>(0, end - r.location);
    }
    m_changed.push_back({ removed.location, inserted });
    m_firstChange = qMin(m_firstChange, removed.location);
    if (m_changed.size() > 64)
        joinTouching(m_changed); // a run of keys in one place stays one range
    m_textChanged = true;
    m_passRevision = m_projected.textRevision();
}

bool BackgroundStyling::converged(qsizetype place)
{
    if (m_convergeFrom < 0)
        return false;
    // Changes the pass has reached are gone through with the ones before them.
    while (!m_pendingChanges.empty() && m_pendingChanges.front().location <= place) {
        m_convergeFrom = qMax(m_convergeFrom, m_pendingChanges.front().end());
        m_pendingChanges.erase(m_pendingChanges.begin());
    }
    if (place < m_convergeFrom || !std::binary_search(m_oldCuts.begin(), m_oldCuts.end(), place))
        return false;
    // The text from here is cut and styled as the last pass left it, up to the next change.
    takePlaces(m_passCuts, m_oldCuts, place - 1, place);
    if (m_pendingChanges.empty())
        return true;
    const TextSpan next = m_pendingChanges.front();
    m_pendingChanges.erase(m_pendingChanges.begin());
    const qsizetype from = startBefore(next.location, place);
    takePlaces(m_passCuts, m_oldCuts, place, from);
    takePlaces(m_passFenceEnds, m_oldFenceEnds, place - 1, from);
    if (m_passCuts.back() != from)
        m_passCuts.push_back(from);
    m_convergeFrom = next.end();
    if (from != place) {
        m_cuts.reset();
        moveTo(from);
    }
    return false;
}

void BackgroundStyling::finishPass()
{
    // The last pass's cuts and fence ends after the place hold for the text after it.
    if (m_convergeFrom >= 0 && m_passRevision == m_projected.textRevision()) {
        const qsizetype place = m_passCuts.empty() ? 0 : m_passCuts.back();
        takePlaces(m_passCuts, m_oldCuts, place);
        takePlaces(m_passFenceEnds, m_oldFenceEnds, place - 1);
    }
    m_textChanged = false;
    m_oldCuts.clear();
    m_oldFenceEnds.clear();
    m_pendingChanges.clear();
    m_convergeFrom = -1;
    stop();
    Q_EMIT finished();
}

void BackgroundStyling::resume()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (m_running)
        m_timer.start(0);
}

void BackgroundStyling::setHeld(bool held)
{
    m_held = held;
    if (!held && m_running && !m_waiting)
        m_timer.start(0);
}

void BackgroundStyling::stop()
{
    m_running = false;
    m_waiting = false;
    m_cuts.reset();
    m_timer.stop();
}

void BackgroundStyling::moveTo(qsizetype position)
{
    // The place is a mark of the storage, which every change of it moves along.
    m_atEnd = position >= m_projected.storage().length();
    if (!m_atEnd)
        m_projected.setMark(position);
    m_placeRevision = m_projected.textRevision();
}

qsizetype BackgroundStyling::next()
{
    const qsizetype length = m_projected.storage().length();
    qsizetype position = m_atEnd ? length : m_projected.mark();
    if (m_placeRevision != m_projected.textRevision()) {
        // Changes before the place moved it along and leave it at a cut; one that reached it
        // may have joined its paragraph to the one before.
        if (position > 0 && (position > length || m_projected.storage().at(position - 1) != u'\n'))
            position = 0;
        moveTo(position);
    }
    return position;
}

qsizetype BackgroundStyling::styledLength() const
{
    if (!m_running || m_atEnd)
        return m_projected.storage().length();
    return m_projected.mark();
}

void BackgroundStyling::passedCut(qsizetype end)
{
    if (m_passRevision == m_projected.textRevision() && !m_passCuts.empty()
        && end > m_passCuts.back()) {
        m_passCuts.push_back(end);
        if (m_cuts) {
            const std::vector<qsizetype>& ends = m_cuts->fenceEnds();
            for (auto it = std::upper_bound(ends.begin(), ends.end(),
                     m_passFenceEnds.empty() ? -1 : m_passFenceEnds.back());
                 it != ends.end() && *it <= end; ++it)
                m_passFenceEnds.push_back(*it);
        }
    } else {
        // The text changed under the pass: its cuts are not this text's.
        m_passCuts.clear();
        m_passFenceEnds.clear();
        m_convergeFrom = -1;
    }
}

std::optional<TextSpan> BackgroundStyling::knownStretchAround(TextSpan range) const
{
    // Only a pass that went through to the end of the text as it still is.
    const qsizetype length = m_projected.storage().length();
    if (m_textChanged || !passWentThrough(m_projected.textRevision(), length) || length <= 0)
        return std::nullopt;
    // The last cut at or before the range's start, and the first at or after its end; a place
    // at the very end belongs to the last stretch.
    auto after
        = std::upper_bound(m_passCuts.begin(), m_passCuts.end(), qMin(range.location, length - 1));
    if (after == m_passCuts.begin())
        return std::nullopt;
    const qsizetype start = *(after - 1);
    auto end = std::lower_bound(after - 1, m_passCuts.end(), qMax(range.end(), start + 1));
    if (end == m_passCuts.end())
        return std::nullopt;
    return TextSpan { start, *end - start };
}

qsizetype BackgroundStyling::outsideFencesBefore(qsizetype position) const
{
    // The text is cut only where no block is open. The cuts of the text as it is are those the
    // pass found in it, and those of an earlier pass it moved along before the first change
    // since: a fence typed further up may have opened a block around the ones after it.
    if (m_passCuts.empty() || m_passRevision != m_projected.textRevision())
        return 0;
    // The text's end is a cut even inside a block left open there.
    const qsizetype limit
        = std::min({ position, m_firstChange, m_projected.storage().length() - 1 });
    const auto after = std::upper_bound(m_passCuts.begin(), m_passCuts.end(), limit);
    return after == m_passCuts.begin() ? 0 : *(after - 1);
}

qsizetype BackgroundStyling::farStart(qsizetype position, qsizetype known) const
{
    // Finding the cuts from `known` on reads the text between one paragraph after another, and
    // each span of emphasis or link in it: megabytes of it (the text reloaded at a new size with
    // the view at its end) stopped the window for tens of milliseconds. The stretch of prose
    // `position` lies in is found whole instead, its fenced blocks a stretch of text a thread;
    // within a long one, styling begins at a blank line, as if no span of the text before ran
    // across it, which the pass puts right when it comes by.
    if (position - known <= kFarReach)
        return known;
    const QStringView text = QStringView(m_projected.storage().text()).first(position);
    const QList<MarkdownLineEditing::FencedBlock> blocks = MarkdownLineEditing::fencedBlocks(text);
    qsizetype stretch = known;
    if (!blocks.isEmpty()) {
        const MarkdownLineEditing::FencedBlock& last = blocks.back();
        // Still open at `position`: the block holds it, and begins at a line start.
        if (!last.closeFenceLine)
            return qMax(known, last.range.location);
        const qsizetype end = last.range.end();
        const qsizetype feed
            = end > 0 && text.at(end - 1) == u'\n' ? end - 1 : text.indexOf(u'\n', end);
        stretch = qMax(known, feed < 0 ? position : feed + 1);
    }
    if (position - stretch <= kFarReach)
        return stretch;
    const qsizetype blank = text.lastIndexOf(u"\n\n");
    if (blank >= stretch)
        return blank + 2;
    const qsizetype line = text.lastIndexOf(u'\n');
    return line >= stretch ? line + 1 : stretch;
}

MarkdownStylingCuts& BackgroundStyling::cuts()
{
    // The cuts read the text in place: after a change they begin again where the pass stands.
    if (!m_cuts || m_cutsRevision != m_projected.textRevision()) {
        m_cuts.emplace(m_projected.storage().text(), next(), m_projected.isValidUtf16());
        m_cutsRevision = m_projected.textRevision();
    }
    return *m_cuts;
}

void BackgroundStyling::style(TextSpan stretch)
{
    if (stretch.length <= 0)
        return;
    m_styledLength += stretch.length;
    m_unpresented.push_back(stretch);
    joinTouching(m_unpresented);
    if (m_unpresented.size() > 64) {
        // Many stretches apart: one from the first to the last.
        const qsizetype from = m_unpresented.front().location;
        m_unpresented = { { from, m_unpresented.back().end() - from } };
    }
    ++m_generation;
    const HighlightOptions options = m_options();
    m_projected.styleStorage(
        [&](AttributedText& storage) { LineRestyler::highlight(storage, stretch, options); });
}

TextSpan BackgroundStyling::styleNow(TextSpan needed)
{
    if (!m_running)
        return { 0, m_projected.storage().length() };
    const qsizetype from = next();
    if (needed.end() <= from)
        return { 0, from };
    if (needed.location - from <= kReach) {
        // From where the pass stands, as its next slices would.
        const qsizetype end = cuts().next(needed.end());
        if (end - from > kNowLimit)
            return {};
        style({ from, end - from });
        moveTo(end);
        passedCut(end);
        return { 0, end };
    }
    // Far ahead of the pass: between cuts found from the last one known before it (the top at
    // worst; finding them reads the text but styles nothing), styled again when the pass comes
    // by.
    const qsizetype known = farStart(qMax<qsizetype>(0, needed.location - kReach),
        outsideFencesBefore(needed.location - kReach));
    MarkdownStylingCuts far(m_projected.storage().text(), known, m_projected.isValidUtf16());
    const qsizetype start = far.next(needed.location - kReach);
    if (start > needed.location)
        return {};
    const qsizetype end = far.next(needed.end());
    if (end - start > kNowLimit)
        return {};
    style({ start, end - start });
    return { start, end - start };
}

void BackgroundStyling::step()
{
    m_waiting = false;
    if (!m_running || m_held)
        return;
    qsizetype from = next();
    if (from >= m_projected.storage().length() || converged(from)) {
        finishPass();
        return;
    }
    from = next();
    QElapsedTimer clock;
    clock.start();
    qsizetype target = from + m_chunk;
    if (m_convergeFrom >= 0) {
        // A pass over changes ends its slice at the last pass's next cut beyond them, where it
        // may stop.
        const auto old
            = std::lower_bound(m_oldCuts.begin(), m_oldCuts.end(), qMax(from + 1, m_convergeFrom));
        if (old != m_oldCuts.end())
            target = qMin(target, *old);
    }
    // The cuts within the slice are kept too, so that a later pass over a change nearby can
    // stop soon after it.
    const qsizetype length = m_projected.storage().length();
    std::vector<qsizetype> within;
    for (qsizetype at = from + kCutSpacing; at < qMin(target, length);) {
        // Cuts are found forward only: none is asked for beyond the slice's end.
        const qsizetype c = cuts().next(at);
        if (c >= target)
            break;
        within.push_back(c);
        at = c + kCutSpacing;
    }
    const TextSpan stretch { from, cuts().next(target) - from };
    style(stretch);
    moveTo(stretch.end());
    for (const qsizetype c : within)
        passedCut(c);
    passedCut(stretch.end());
    // The next slice takes about kSliceMs at the speed this one went.
    const qint64 ns = qMax<qint64>(clock.nsecsElapsed(), 1000);
    m_chunk = qBound(
        kMinChunk, qsizetype(double(stretch.length) * kSliceMs * 1e6 / double(ns)), kMaxChunk);
    Q_EMIT styled(stretch);
    if (m_running)
        m_timer.start(0);
}

} // namespace quillon
