#include "editor/source/SourceColouring.h"

#include "editor/layout/TextWindow.h"

#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceTextEdit.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "platform/AttributedText.h"
#include "platform/ChunkedText.h"
#include "platform/Parallel.h"
#include "platform/TextLines.h"

#include <QEvent>
#include <QHash>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <utility>

namespace quillon {

namespace {

constexpr int kPauseBeforeQueuedPasses = 300;
// Lines coloured around an edit on each side at once, beyond the lines it touched.
constexpr int kContextLines = 2;
// Lines read on each side of a stretch so that a construct crossing its border is seen whole.
constexpr int kReadAroundLines = 8;
// How far (in units, whole lines) a construct over several lines may reach from an edit: the
// queued pass colours that far around it.
constexpr qsizetype kReach = 4096;
// The units coloured in one slice of the queued passes: about a millisecond.
constexpr qsizetype kSliceUnits = 48 * 1024;
// What the queued passes take for the screen: from a little before its first character.
constexpr qsizetype kScreenBefore = 4 * 1024;
constexpr qsizetype kScreenAfter = 16 * 1024;
// Texts up to this length are coloured whole when they are loaded.
constexpr qsizetype kLoadWholeLimit = 256 * 1024;
// The queued passes of a text just put in wait this long for the pane's paint at most.
constexpr int kPaintWaitMs = 250;

// The start of the paragraph holding `position`, `lines` paragraphs further back. A text whose
// long lines the pane holds in parts (`parts`) is coloured a part at a time: the parts stand for
// paragraphs, so that a key in a line of megabytes colours a few parts of it.
qsizetype startOfLinesBefore(
    const TextWindow* parts, const ChunkedText& text, qsizetype position, int lines)
{
    if (position <= 0)
        return 0;
    if (parts && parts->hasSoftParts() && parts->textLength() == text.size())
        return parts->lineStart(qMax(0, parts->lineAt(qMin(position, text.size())) - lines));
    qsizetype start = text.lastIndexOf(QLatin1Char('\n'), qMin(position, text.size()) - 1);
    for (int i = 0; i < lines && start > 0; ++i)
        start = text.lastIndexOf(QLatin1Char('\n'), start - 1);
    return start < 0 ? 0 : start + 1;
}

// The end (after its line feed) of the paragraph holding `position`, `lines` paragraphs on.
qsizetype endOfLinesAfter(
    const TextWindow* parts, const ChunkedText& text, qsizetype position, int lines)
{
    if (position >= text.size())
        return text.size();
    if (parts && parts->hasSoftParts() && parts->textLength() == text.size()) {
        const int line = parts->lineAt(qMax<qsizetype>(0, position)) + lines;
        return line + 1 < parts->lineCount() ? parts->lineStart(line + 1) : text.size();
    }
    qsizetype end = text.indexOf(QLatin1Char('\n'), qMax<qsizetype>(0, position));
    for (int i = 0; i < lines && end >= 0; ++i)
        end = text.indexOf(QLatin1Char('\n'), end + 1);
    return end < 0 ? text.size() : end + 1;
}

// The line of the text that holds `position`, as the one line-break rule tells it.
textlines::LineBounds lineBoundsIn(
    const TextWindow* parts, const ChunkedText& text, qsizetype position)
{
    const qsizetype from = startOfLinesBefore(parts, text, position, 0);
    const qsizetype to = endOfLinesAfter(parts, text, position, 0);
    textlines::LineBounds line = textlines::lineBounds(text.mid(from, to - from), position - from);
    line.start += from;
    line.contentsEnd += from;
    line.end += from;
    return line;
}

// Whether the text is YAML, from its first lines (at most a few pages of them).
bool looksLikeYAML(const ChunkedText& text)
{
    constexpr qsizetype kHead = 64 * 1024;
    return CodeSyntaxHighlighter::isYAML(
        text.mid(0, qMin(kHead, endOfLinesAfter(nullptr, text, 0, 10))));
}

} // namespace

std::vector<qsizetype> SourceColouring::fenceLines(
    const ChunkedText& text, qsizetype from, qsizetype to)
{
    to = qMin(to, text.size());
    from = qMax<qsizetype>(from, 0);
    // A fence is three backticks at a line's start (after any break: a CR LF pair is taken for
    // two, and the empty line between them is no fence). Found from the backticks themselves, a
    // stretch of pieces a thread: prose lines are never walked one by one.
    std::vector<std::pair<QStringView, qsizetype>> pieces;
    text.forEachPiece(from, to, [&](QStringView piece, qsizetype at) {
        pieces.emplace_back(piece, at);
        return true;
    });
    auto backtickAt = [&](QStringView piece, qsizetype i, qsizetype at) {
        return i < piece.size() ? piece[i] == u'`' : text.at(at) == u'`';
    };
    const qsizetype piecesATask
        = to - from >= kParallelTextLength ? 16 : qMax<qsizetype>(1, qsizetype(pieces.size()));
    const qsizetype tasks = (qsizetype(pieces.size()) + piecesATask - 1) / piecesATask;
    std::vector<std::vector<qsizetype>> found(static_cast<size_t>(tasks));
    parallelFor(tasks, [&](qsizetype task) {
        const size_t end = qMin(pieces.size(), size_t(task + 1) * piecesATask);
        for (size_t p = size_t(task) * piecesATask; p < end; ++p) {
            const auto [piece, at] = pieces[p];
            for (qsizetype i = piece.indexOf(u'`'); i >= 0; i = piece.indexOf(u'`', i + 1)) {
                const qsizetype position = at + i;
                if (position + 3 > to)
                    break;
                const bool startsLine = position == from
                    || textlines::isLineBreak(i > 0 ? piece[i - 1] : text.at(position - 1));
                if (startsLine && backtickAt(piece, i + 1, position + 1)
                    && backtickAt(piece, i + 2, position + 2))
                    found[size_t(task)].push_back(position);
            }
        }
    });
    std::vector<qsizetype> fences;
    for (const std::vector<qsizetype>& stretch : found)
        fences.insert(fences.end(), stretch.begin(), stretch.end());
    return fences;
}

SourceColouring::SourceColouring(SourceTextEdit& view,
    std::function<const ChunkedText&()> currentText, std::function<bool()> isCurrent,
    QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_currentText(std::move(currentText))
    , m_isCurrent(std::move(isCurrent))
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseBeforeQueuedPasses);
    connect(&m_pause, &QTimer::timeout, this, &SourceColouring::colourQueuedSlice);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &SourceColouring::colourQueuedSlice);
    m_view.viewport()->installEventFilter(this);
    // A scroll to lines still waiting colours them on the next turn, ahead of the rest.
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_pending.isEmpty() && !m_pause.isActive())
            m_slice.start(0);
    });
}

void SourceColouring::setAppearance(bool isDarkMode, qreal fontSize)
{
    m_isDarkMode = isDarkMode;
    m_fontSize = fontSize;
}

void SourceColouring::colourAll(const ChunkedText& text)
{
    m_pause.stop();
    m_slice.stop();
    m_pending.clear();
    m_lastWasYAML = looksLikeYAML(text);
    m_fences = fenceLines(text, 0, text.size());
    if (text.size() <= kLoadWholeLimit) {
        colourLines(text, 0, text.size());
        return;
    }
    queue(text, 0, text.size());
    colourQueuedOnScreen();
    // The rest waits for the pane's paint (a moment at most) while the pane, or the window about
    // to show it for the first time, is to be painted: the screen is coloured already.
    m_awaitsPaint = m_view.isVisible() || !m_view.window()->isVisible();
    m_slice.start(m_awaitsPaint ? kPaintWaitMs : 0);
}

void SourceColouring::colourEdit(
    const ChunkedText& text, qsizetype position, qsizetype removed, qsizetype added)
{
    if (text.size() <= kWholeTextLimit || looksLikeYAML(text) != m_lastWasYAML) {
        colourAll(text);
        return;
    }
    shiftQueued(position, removed, added);
    const textlines::LineBounds first = lineBoundsIn(m_parts, text, position);
    const textlines::LineBounds last = lineBoundsIn(m_parts, text, position + added);
    const QList<Stretch> farther
        = updateFences(text, { first.start, qMax(last.end, first.end) }, removed, added);

    const qsizetype from = startOfLinesBefore(m_parts, text, position, kContextLines);
    const qsizetype to = endOfLinesAfter(m_parts, text, position + added, kContextLines);
    colourLines(text, from, to);
    queue(text, from - kReach, to + kReach);
    for (const Stretch& stretch : farther)
        queue(text, stretch.from, stretch.to);
    if (!farther.isEmpty())
        colourQueuedOnScreen();
    m_slice.stop();
    m_pause.start();
}

void SourceColouring::setParts(const TextWindow* parts)
{
    m_parts = parts;
}

void SourceColouring::setWindow(qsizetype start, qsizetype end)
{
    m_window = { start, end };
}

void SourceColouring::colourWindow(const ChunkedText& text)
{
    m_pause.stop();
    m_slice.stop();
    m_pending.clear();
    queue(text, m_window.from, m_window.to);
    colourQueuedOnScreen();
    if (!m_pending.isEmpty())
        m_slice.start(0);
}

void SourceColouring::flush()
{
    m_pause.stop();
    m_slice.stop();
    const ChunkedText& text = m_currentText();
    const QList<Stretch> pending = std::exchange(m_pending, {});
    for (const Stretch& stretch : pending)
        colourLines(text, stretch.from, qMin(stretch.to, text.size()));
}

QList<SourceColouring::Stretch> SourceColouring::updateFences(
    const ChunkedText& text, const Stretch& lines, qsizetype removed, qsizetype added)
{
    const qsizetype delta = added - removed;
    // Fences before the edited lines keep their places, fences after them move by the edit.
    const auto firstOld = std::lower_bound(m_fences.begin(), m_fences.end(), lines.from);
    const auto lastOld = std::lower_bound(firstOld, m_fences.end(), lines.to - delta);
    const qsizetype before = firstOld - m_fences.begin();
    const qsizetype oldInside = lastOld - firstOld;
    const qsizetype oldAfter = m_fences.end() - lastOld;
    for (auto it = lastOld; it != m_fences.end(); ++it)
        *it += delta;
    const std::vector<qsizetype> inside = fenceLines(text, lines.from, lines.to);
    const auto at = m_fences.erase(firstOld, lastOld);
    m_fences.insert(at, inside.begin(), inside.end());
    if (m_lastWasYAML)
        return {};

    QList<Stretch> farther;
    // A block open before the edit is coloured only when something closes it.
    if (before % 2 == 1 && (oldInside + oldAfter > 0) != (qsizetype(inside.size()) + oldAfter > 0))
        farther.append({ m_fences[size_t(before - 1)], lines.from });
    // One fence more or less pairs every later one the other way, up to the last fence line.
    if ((oldInside - qsizetype(inside.size())) % 2 != 0 && oldAfter > 0)
        farther.append({ lines.to, endOfLinesAfter(m_parts, text, m_fences.back(), 0) });
    return farther;
}

void SourceColouring::colourLines(const ChunkedText& text, qsizetype from, qsizetype to)
{
    if (from >= to && !text.isEmpty())
        return;
    if (from > m_window.to || to < m_window.from)
        return;
    const qsizetype readFrom = startOfLinesBefore(m_parts, text, from, kReadAroundLines);
    const qsizetype readTo = endOfLinesAfter(m_parts, text, to, kReadAroundLines);
    // A stretch that starts or ends inside a fenced block gets that block's fence lines.
    const qsizetype fencesBefore
        = std::lower_bound(m_fences.begin(), m_fences.end(), readFrom) - m_fences.begin();
    const qsizetype fencesUpToEnd
        = std::lower_bound(m_fences.begin(), m_fences.end(), readTo) - m_fences.begin();
    const bool opensBefore = !m_lastWasYAML && fencesBefore % 2 == 1;
    const bool closesAfter
        = !m_lastWasYAML && fencesUpToEnd % 2 == 1 && size_t(fencesUpToEnd) < m_fences.size();
    QString piece;
    piece.reserve(readTo - readFrom + 8);
    if (opensBefore)
        piece += QStringLiteral("```\n");
    const qsizetype lead = piece.size();
    piece += text.mid(readFrom, readTo - readFrom);
    if (closesAfter)
        piece += QStringLiteral("\n```");
    AttributedText coloured(piece);
    CodeSyntaxHighlighter::highlight(coloured, m_isDarkMode, m_fontSize, m_lastWasYAML);
    apply(coloured, readFrom - lead, from, to);
}

SourceColouring::Stretch SourceColouring::visibleStretch(const ChunkedText& text) const
{
    if (!m_view.isVisible())
        return {};
    const qsizetype first = m_view.cursorForPosition(QPoint(0, 0)).position() + m_window.from;
    return { startOfLinesBefore(m_parts, text, first - kScreenBefore, 0),
        endOfLinesAfter(m_parts, text, first + kScreenAfter, 0) };
}

void SourceColouring::queue(const ChunkedText& text, qsizetype from, qsizetype to)
{
    from = startOfLinesBefore(m_parts, text, qMax<qsizetype>(m_window.from, from), 0);
    to = endOfLinesAfter(m_parts, text, qMin(qMin(to, m_window.to), text.size()), 0);
    if (from >= to)
        return;
    auto it = std::lower_bound(m_pending.begin(), m_pending.end(), from,
        [](const Stretch& s, qsizetype position) { return s.to < position; });
    while (it != m_pending.end() && it->from <= to) {
        from = qMin(from, it->from);
        to = qMax(to, it->to);
        it = m_pending.erase(it);
    }
    m_pending.insert(it, { from, to });
}

void SourceColouring::shiftQueued(qsizetype position, qsizetype removed, qsizetype added)
{
    const qsizetype removedEnd = position + removed;
    const qsizetype delta = added - removed;
    QList<Stretch> shifted;
    shifted.reserve(m_pending.size());
    for (Stretch s : std::as_const(m_pending)) {
        if (s.from >= removedEnd) {
            s.from += delta;
            s.to += delta;
        } else if (s.to > position) {
            s.from = qMin(s.from, position);
            s.to = s.to >= removedEnd ? s.to + delta : position + added;
        }
        if (!shifted.isEmpty() && shifted.last().to >= s.from)
            shifted.last().to = qMax(shifted.last().to, s.to);
        else
            shifted.append(s);
    }
    m_pending = shifted;
}

void SourceColouring::colourQueuedOnScreen()
{
    const ChunkedText& text = m_currentText();
    const Stretch screen = visibleStretch(text);
    if (screen.from >= screen.to)
        return;
    QList<Stretch> kept;
    for (const Stretch& s : std::as_const(m_pending)) {
        const qsizetype from = qMax(s.from, screen.from);
        const qsizetype to = qMin(s.to, screen.to);
        if (from >= to) {
            kept.append(s);
            continue;
        }
        colourLines(text, from, to);
        if (s.from < from)
            kept.append({ s.from, from });
        if (to < s.to)
            kept.append({ to, s.to });
    }
    m_pending = kept;
}

bool SourceColouring::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && std::exchange(m_awaitsPaint, false) && m_slice.isActive())
        m_slice.start(0); // runs once this paint is done
    return QObject::eventFilter(watched, event);
}

void SourceColouring::colourQueuedSlice()
{
    m_awaitsPaint = false;
    if (m_isCurrent && !m_isCurrent()) {
        m_slice.start(0); // once the view shows the text
        return;
    }
    colourQueuedOnScreen();
    if (m_pending.isEmpty())
        return;
    const ChunkedText& text = m_currentText();
    Stretch& first = m_pending.first();
    const qsizetype to
        = qMin(first.to, endOfLinesAfter(m_parts, text, first.from + kSliceUnits, 0));
    colourLines(text, first.from, to);
    first.from = to;
    if (first.from >= first.to)
        m_pending.removeFirst();
    if (!m_pending.isEmpty())
        m_slice.start(0);
}

void SourceColouring::apply(
    const AttributedText& coloured, qsizetype offset, qsizetype from, qsizetype to)
{
    QTextDocument& document = *m_view.document();
    SourceDocumentLayout& layout = m_view.sourceLayout();
    const QColor base = CodeSyntaxHighlighter::textColor(m_isDarkMode);
    QHash<QRgb, QTextCharFormat> formats;
    auto formatFor = [&](const QColor& color) {
        auto it = formats.find(color.rgba());
        if (it == formats.end()) {
            QTextCharFormat format;
            format.setForeground(color);
            it = formats.insert(color.rgba(), format);
        }
        return *it;
    };
    const qsizetype shift = m_window.from;
    const int first = int(qMax<qsizetype>(0, from - shift));
    for (QTextBlock block = document.findBlock(first); block.isValid(); block = block.next()) {
        const qsizetype blockLength = block.length() - 1;
        const qsizetype position = block.position() + shift;
        if (position + blockLength > to)
            break;
        if (position < from)
            continue;
        const qsizetype blockStart = position - offset;
        QList<QTextLayout::FormatRange> ranges;
        coloured.enumerateAttribute<TextAttribute::ForegroundColor>(
            { blockStart, blockLength }, [&](TextSpan span, const QColor* color) {
                if (!color || *color == base)
                    return;
                ranges.append(
                    { int(span.location - blockStart), int(span.length), formatFor(*color) });
            });
        // Kept by the layout until the paragraph is shown: most of a long text never is.
        layout.setFormats(block, ranges);
    }
}

} // namespace quillon
