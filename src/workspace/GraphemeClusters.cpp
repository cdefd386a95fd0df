#include "workspace/GraphemeClusters.h"

#include <QChar>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

namespace quillon {

namespace {

constexpr bool isAscii(char32_t c)
{
    return c < 0x80;
}

struct BreakIteratorCloser
{
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
using BreakIterator = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

// Opening an iterator loads its rules, so each thread keeps one. Null when the Unicode data is
// missing; every code point is then a character of its own.
UBreakIterator* characterBreaks()
{
    thread_local const BreakIterator iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        if (U_FAILURE(status)) {
            ubrk_close(opened);
            opened = nullptr;
        }
        return BreakIterator(opened);
    }();
    return iterator.get();
}

} // namespace

struct GraphemeScanner::Segmenter
{
    UBreakIterator* breaks = characterBreaks();
};

GraphemeScanner::GraphemeScanner(QStringView text)
    : m_text(text.utf16())
    , m_size(text.size())
{
}

GraphemeScanner::~GraphemeScanner() = default;

qsizetype GraphemeScanner::clusterEnd(qsizetype position)
{
    if (position < m_segmentStart || position >= m_segmentEnd) {
        const qsizetype next = position + codePointLength(position);
        if (next >= m_size)
            return m_size;
        if (isCertainBoundary(next))
            return next;
        // A new stretch from this cluster start to the next certain boundary. Starting at a
        // cluster start changes nothing: no rule looks back past one.
        qsizetype end = next + 1;
        while (end < m_size && !isCertainBoundary(end))
            ++end;
        m_segmentStart = position;
        m_segmentEnd = end;
        if (!m_segmenter)
            m_segmenter = std::make_unique<Segmenter>();
        if (m_segmenter->breaks) {
            UErrorCode status = U_ZERO_ERROR;
            ubrk_setText(m_segmenter->breaks, reinterpret_cast<const UChar*>(m_text + position),
                int32_t(end - position), &status);
            if (U_FAILURE(status))
                m_segmenter->breaks = nullptr;
        }
    }
    if (!m_segmenter->breaks)
        return position + codePointLength(position);
    const int32_t next = ubrk_following(m_segmenter->breaks, int32_t(position - m_segmentStart));
    return next == UBRK_DONE ? m_segmentEnd : m_segmentStart + next;
}

bool GraphemeScanner::isSingle(qsizetype position, char16_t character)
{
    return position < m_size && m_text[position] == character
        && clusterEnd(position) == position + 1;
}

qsizetype GraphemeScanner::codePointLength(qsizetype position) const
{
    return position + 1 < m_size && QChar::isHighSurrogate(m_text[position])
            && QChar::isLowSurrogate(m_text[position + 1])
        ? 2
        : 1;
}

// Whether the rules always break between the code points on either side of `position`: true
// when the one before is of a kind that only ends a cluster (not CR, a prefix, a Hangul jamo or
// syllable, a regional indicator, a joiner or a mark) and the one after is of a kind that only
// starts one (not a mark or a joiner). Plain ASCII is decided without looking anything up.
bool GraphemeScanner::isCertainBoundary(qsizetype position) const
{
    const char16_t before = m_text[position - 1];
    const char16_t after = m_text[position];
    if (isAscii(before) && isAscii(after))
        return !(before == u'\r' && after == u'\n');
    if (QChar::isHighSurrogate(before) && QChar::isLowSurrogate(after))
        return false;
    char32_t first = before;
    if (QChar::isLowSurrogate(before) && position >= 2
        && QChar::isHighSurrogate(m_text[position - 2]))
        first = QChar::surrogateToUcs4(m_text[position - 2], before);
    char32_t second = after;
    if (QChar::isHighSurrogate(after) && position + 1 < m_size
        && QChar::isLowSurrogate(m_text[position + 1]))
        second = QChar::surrogateToUcs4(after, m_text[position + 1]);
    if (first == u'\r')
        return false;
    if (!isAscii(first)) {
        const int kind = u_getIntPropertyValue(UChar32(first), UCHAR_GRAPHEME_CLUSTER_BREAK);
        if (kind != U_GCB_OTHER && kind != U_GCB_CONTROL && kind != U_GCB_LF)
            return false;
    }
    if (isAscii(second))
        return true;
    const int kind = u_getIntPropertyValue(UChar32(second), UCHAR_GRAPHEME_CLUSTER_BREAK);
    return kind != U_GCB_EXTEND && kind != U_GCB_ZWJ && kind != U_GCB_SPACING_MARK;
}

qsizetype graphemeClusterCount(QStringView text)
{
    GraphemeScanner scanner(text);
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i = scanner.clusterEnd(i))
        ++count;
    return count;
}

} // namespace quillon
