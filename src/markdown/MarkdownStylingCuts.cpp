#include "markdown/MarkdownStylingCuts.h"

#include "markdown/MarkdownHighlighter_Context.h"
#include "platform/TextLines.h"

namespace quillon {

using highlighting::Regexes;

namespace {

constexpr auto kMatchOptions = QRegularExpression::DontCheckSubjectStringMatchOption;

// A line at least twice this long is cut, between words, into parts about this long.
qsizetype s_linePart = 16 * 1024;

} // namespace

MarkdownStylingCuts::MarkdownStylingCuts(QStringView text, qsizetype from)
    : MarkdownStylingCuts(text, from, textlines::isValidUtf16(text))
{
}

MarkdownStylingCuts::MarkdownStylingCuts(QStringView text, qsizetype from, bool validUtf16)
    : m_text(text)
    , m_canCut(validUtf16)
    , m_last(qBound<qsizetype>(0, from, text.size()))
{
    enterStretch(m_last);
}

void MarkdownStylingCuts::enterStretch(qsizetype start)
{
    m_stretchStart = start;
    m_fenceKnown = false;
    m_fence.reset();
    m_italicResume = start;
    m_linkResume = start;
}

qsizetype MarkdownStylingCuts::paragraphStart(qsizetype position) const
{
    const qsizetype n = m_text.size();
    if (position <= 0)
        return 0;
    if (position >= n)
        return n;
    if (m_text[position - 1] == u'\n')
        return position;
    // Within a line of megabytes, a cut between words: the line would otherwise be styled in
    // one piece, a stop of the window as long as the line.
    const qsizetype reach = qMin(n, position + 2 * s_linePart);
    const qsizetype feed = textlines::nextLineFeed(m_text.first(reach), position);
    if (feed == reach && reach < n) {
        const qsizetype cut = textlines::nextLongLineCut(m_text, position, reach);
        if (cut >= 0)
            return cut;
    }
    if (feed < reach)
        return feed + 1;
    const qsizetype after = m_text.indexOf(u'\n', reach);
    return after < 0 ? n : after + 1;
}

void MarkdownStylingCuts::setLinePartForTesting(qsizetype length)
{
    s_linePart = length == 0 ? 16 * 1024 : length;
}

bool MarkdownStylingCuts::followsTableLine(qsizetype cut) const
{
    // The engine groups table lines with nothing but line breaks between them.
    qsizetype i = cut;
    while (i > 0 && textlines::isLineBreak(m_text[i - 1]))
        --i;
    if (i == 0)
        return false;
    return m_text[lineStart(i - 1)] == u'|';
}

qsizetype MarkdownStylingCuts::lineStart(qsizetype index) const
{
    // Cuts go forward: the start of the line that the last one asked about lay in is kept, so
    // that the many cuts of one line of megabytes do not each walk back to its start.
    const qsizetype known = m_lineKnownAt >= 0 && m_lineKnownAt <= index ? m_lineKnownAt : 0;
    qsizetype start = index;
    while (start > known && !textlines::isLineBreak(m_text[start - 1]))
        --start;
    if (start == known && m_lineKnownAt >= 0 && known == m_lineKnownAt)
        start = m_lineKnownStart;
    m_lineKnownAt = index;
    m_lineKnownStart = start;
    return start;
}

std::optional<qsizetype> MarkdownStylingCuts::spanAcross(
    const QRegularExpression& re, qsizetype& resume, qsizetype cut, qsizetype stretchEnd)
{
    const QStringView before = m_text.mid(m_stretchStart, cut - m_stretchStart);
    while (resume < cut) {
        // Matches that end before the cut are the engine's own: an attempt that never looks
        // past the end of the text gives the same answer on a longer one. The first attempt
        // that does look past it is made again over the whole stretch.
        QRegularExpressionMatchIterator it = re.globalMatch(before, resume - m_stretchStart,
            QRegularExpression::PartialPreferFirstMatch, kMatchOptions);
        std::optional<qsizetype> open;
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (m.hasPartialMatch()) {
                // Reported from the first character a lookbehind read, which may lie before the
                // attempt's own start (and before where the pass goes on from).
                open = qMax(resume, m_stretchStart + m.capturedStart(0));
                break;
            }
            if (!m.hasMatch())
                break;
            resume = m_stretchStart + m.capturedEnd(0);
        }
        if (!open) {
            resume = cut;
            return std::nullopt;
        }
        const QStringView stretch = m_text.mid(m_stretchStart, stretchEnd - m_stretchStart);
        const QRegularExpressionMatch whole
            = re.match(stretch, *open - m_stretchStart, QRegularExpression::NormalMatch,
                kMatchOptions | QRegularExpression::AnchorAtOffsetMatchOption);
        if (whole.hasMatch()) {
            resume = m_stretchStart + whole.capturedEnd(0);
            if (resume > cut)
                return resume;
        } else {
            // No match starts there: the engine tries the next character.
            resume = *open + (m_text[*open].isHighSurrogate() ? 2 : 1);
        }
    }
    return std::nullopt;
}

qsizetype MarkdownStylingCuts::next(qsizetype atLeast)
{
    const qsizetype n = m_text.size();
    if (!m_canCut)
        return n;
    qsizetype cut = paragraphStart(qMax(atLeast, m_last));
    while (cut < n) {
        if (!m_fenceKnown) {
            m_fence = MarkdownLineEditing::firstFencedBlock(m_text.mid(m_stretchStart));
            if (m_fence) {
                m_fence->range.location += m_stretchStart;
                m_fence->openFenceLine.location += m_stretchStart;
                m_fence->contentRange.location += m_stretchStart;
                if (m_fence->closeFenceLine)
                    m_fence->closeFenceLine->location += m_stretchStart;
            }
            m_fenceKnown = true;
        }
        if (m_fence && m_fence->range.end() <= cut) {
            // The stretch of prose ended before the cut: the next one begins after the block.
            m_fenceEnds.push_back(m_fence->range.end());
            enterStretch(m_fenceEnds.back());
            continue;
        }
        if (m_fence && m_fence->range.location < cut) {
            cut = paragraphStart(m_fence->range.end());
            continue;
        }
        if (followsTableLine(cut)) {
            cut = paragraphStart(cut + 1);
            continue;
        }
        const qsizetype stretchEnd = m_fence ? m_fence->range.location : n;
        const Regexes& re = Regexes::shared();
        if (const auto end = spanAcross(re.italic, m_italicResume, cut, stretchEnd)) {
            cut = paragraphStart(*end);
            continue;
        }
        if (const auto end = spanAcross(re.link, m_linkResume, cut, stretchEnd)) {
            cut = paragraphStart(*end);
            continue;
        }
        break;
    }
    m_last = qMin(cut, n);
    return m_last;
}

} // namespace quillon
