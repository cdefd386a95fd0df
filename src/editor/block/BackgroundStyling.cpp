#include "editor/block/BackgroundStyling.h"

#include "editor/block/LineRestyler.h"
#include "editor/block/ProjectedDocument.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace quillon {

namespace {

// How far before a stretch the view needs its styling may begin, and how long a stretch may be
// to be styled at once rather than by the pass.
constexpr qsizetype kReach = 64 * 1024;
constexpr qsizetype kNowLimit = 512 * 1024;
// Bounds of a slice's length of text.
constexpr qsizetype kMinChunk = 4 * 1024;
constexpr qsizetype kMaxChunk = 1024 * 1024;
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
}

void BackgroundStyling::start(bool waitForResume)
{
    m_running = true;
    moveTo(0);
    m_cuts.reset();
    m_passCuts = { 0 };
    m_passRevision = m_projected.textRevision();
    m_waiting = waitForResume;
    m_timer.start(waitForResume ? kPaintWaitMs : 0);
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
        const QString& text = m_projected.storage().text();
        if (position > 0 && (position > length || text.at(position - 1) != u'\n'))
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
        && end > m_passCuts.back())
        m_passCuts.push_back(end);
    else
        m_passCuts.clear(); // the text changed under the pass: its cuts are not this text's
}

std::optional<TextSpan> BackgroundStyling::knownStretchAround(TextSpan range) const
{
    // Only a pass that went through to the end of the text as it still is.
    const qsizetype length = m_projected.storage().length();
    if (m_running || m_passRevision != m_projected.textRevision() || m_passCuts.empty()
        || m_passCuts.back() != length || length <= 0)
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
    // Far ahead of the pass: between cuts found from the top (which reads the text but styles
    // nothing), styled again when the pass comes by.
    MarkdownStylingCuts far(m_projected.storage().text(), 0, m_projected.isValidUtf16());
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
    const qsizetype from = next();
    if (from >= m_projected.storage().length()) {
        stop();
        Q_EMIT finished();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const TextSpan stretch { from, cuts().next(from + m_chunk) - from };
    style(stretch);
    moveTo(stretch.end());
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
