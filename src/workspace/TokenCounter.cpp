#include "workspace/TokenCounter.h"

#include <QTextBoundaryFinder>

#include <array>
#include <optional>

namespace quillon {

namespace {

enum class CharClass : quint8 { Letter, Number, Punctuation, Space, Other };

CharClass classify(char32_t codePoint)
{
    if (QChar::isLetter(codePoint))
        return CharClass::Letter;
    if (QChar::isNumber(codePoint))
        return CharClass::Number;
    if (QChar::isPunct(codePoint))
        return CharClass::Punctuation;
    if (QChar::isSpace(codePoint))
        return CharClass::Space;
    return CharClass::Other;
}

const std::array<CharClass, 128>& asciiClasses()
{
    static const std::array<CharClass, 128> table = [] {
        std::array<CharClass, 128> classes {};
        for (char32_t c = 0; c < 128; ++c)
            classes[c] = classify(c);
        return classes;
    }();
    return table;
}

constexpr bool isAscii(char16_t c)
{
    return c < 0x80;
}

// Finds grapheme-cluster ends without segmenting plain ASCII: between two ASCII characters there
// is always a boundary (except inside "\r\n"), so the boundary finder only runs over the stretches
// around non-ASCII text, each cut at such a certain boundary.
class ClusterScanner
{
public:
    explicit ClusterScanner(QStringView text)
        : m_text(text.utf16())
        , m_size(text.size())
    {
    }

    // The end of the cluster that starts at `position` (a cluster start below the text size).
    qsizetype clusterEnd(qsizetype position)
    {
        if (position >= m_segmentStart && position < m_segmentEnd) {
            m_finder->setPosition(position - m_segmentStart);
            return nextBoundary();
        }
        const char16_t c = m_text[position];
        if (isAscii(c)) {
            if (position + 1 == m_size)
                return m_size;
            const char16_t next = m_text[position + 1];
            if (isAscii(next))
                return c == u'\r' && next == u'\n' ? position + 2 : position + 1;
        }
        qsizetype end = position + 1;
        while (end < m_size && !isCertainBoundary(end))
            ++end;
        m_segmentStart = position;
        m_segmentEnd = end;
        m_finder.emplace(QTextBoundaryFinder::Grapheme,
            reinterpret_cast<const QChar*>(m_text + position), end - position, m_buffer.data(),
            qsizetype(m_buffer.size()));
        m_finder->setPosition(0);
        return nextBoundary();
    }

    // Whether the one-unit cluster `character` starts at `position`.
    bool isSingle(qsizetype position, char16_t character)
    {
        return position < m_size && m_text[position] == character
            && clusterEnd(position) == position + 1;
    }

private:
    // Qt tailors the boundaries of some scripts (Indic syllables) over the whole script run, and
    // that tailoring can cut a surrogate pair or a "\r\n" apart; neither is ever a boundary.
    qsizetype nextBoundary()
    {
        for (;;) {
            const qsizetype boundary = m_finder->toNextBoundary();
            if (boundary < 0)
                return m_segmentEnd;
            const qsizetype at = m_segmentStart + boundary;
            if (at >= m_segmentEnd || !splitsUnbreakablePair(at))
                return at;
        }
    }

    bool splitsUnbreakablePair(qsizetype position) const
    {
        const char16_t before = m_text[position - 1];
        const char16_t after = m_text[position];
        return (QChar::isHighSurrogate(before) && QChar::isLowSurrogate(after))
            || (before == u'\r' && after == u'\n');
    }

    bool isCertainBoundary(qsizetype position) const
    {
        const char16_t before = m_text[position - 1];
        const char16_t after = m_text[position];
        return isAscii(before) && isAscii(after) && !(before == u'\r' && after == u'\n');
    }

    const char16_t* m_text;
    qsizetype m_size;
    qsizetype m_segmentStart = 0;
    qsizetype m_segmentEnd = 0;
    std::optional<QTextBoundaryFinder> m_finder;
    std::array<unsigned char, 1024> m_buffer {};
};

qint64 ordinaryWordTokens(qint64 length, bool allNumbers)
{
    if (allNumbers)
        return qMax<qint64>(1, (2 * length + 6) / 7); // ceil(length / 3.5)
    if (length < 8)
        return 1;
    return (length + 3) / 4;
}

qint64 codeWordTokens(qint64 length)
{
    return qMax<qint64>(1, length / 3);
}

} // namespace

qint64 TokenCounter::estimate(QStringView text)
{
    const qsizetype n = text.size();
    const char16_t* units = text.utf16();
    const std::array<CharClass, 128>& ascii = asciiClasses();
    ClusterScanner scanner(text);

    qint64 total = 0;
    qint64 wordLength = 0;
    bool wordAllNumbers = true;
    bool inCodeBlock = false;
    bool inInlineCode = false;
    bool afterLineEnd = true;

    auto append = [&](CharClass characterClass) {
        ++wordLength;
        wordAllNumbers = wordAllNumbers && characterClass == CharClass::Number;
    };
    auto flush = [&] {
        if (wordLength > 0)
            total += ordinaryWordTokens(wordLength, wordAllNumbers);
        wordLength = 0;
        wordAllNumbers = true;
    };
    auto flushAsCode = [&] {
        if (wordLength > 0)
            total += codeWordTokens(wordLength);
        wordLength = 0;
        wordAllNumbers = true;
    };

    // A run of ASCII characters each followed by another ASCII character is a run of one-unit
    // clusters; word characters in such a run need no segmenting or classifying one by one.
    auto isAsciiWordUnit = [&](qsizetype at) {
        const char16_t c = units[at];
        return isAscii(c) && (at + 1 == n || isAscii(units[at + 1]))
            && (ascii[c] == CharClass::Letter || ascii[c] == CharClass::Number);
    };
    auto isAsciiCodeUnit = [&](qsizetype at) {
        const char16_t c = units[at];
        return isAscii(c) && (at + 1 == n || isAscii(units[at + 1])) && c != u'`'
            && ascii[c] != CharClass::Space;
    };

    qsizetype i = 0;
    while (i < n) {
        const bool inCode = inCodeBlock || inInlineCode;
        if (inCode ? isAsciiCodeUnit(i) : isAsciiWordUnit(i)) {
            qsizetype j = i;
            bool allDigits = wordAllNumbers;
            do {
                allDigits = allDigits && ascii[units[j]] == CharClass::Number;
                ++j;
            } while (j < n && (inCode ? isAsciiCodeUnit(j) : isAsciiWordUnit(j)));
            wordLength += j - i;
            wordAllNumbers = allDigits;
            afterLineEnd = false;
            i = j;
            continue;
        }
        const qsizetype end = scanner.clusterEnd(i);
        const char16_t first = units[i];
        const char16_t single = end - i == 1 ? first : char16_t(0);
        const bool wasAfterLineEnd = afterLineEnd;
        afterLineEnd = single == u'\n' || single == u'\r'
            || (end - i == 2 && first == u'\r' && units[i + 1] == u'\n');

        if (single == u'`') {
            flush();
            ++total;
            if (scanner.isSingle(end, u'`') && scanner.isSingle(end + 1, u'`')) {
                inCodeBlock = !inCodeBlock;
                i = end + 2;
            } else {
                inInlineCode = !inInlineCode;
                i = end;
            }
            continue;
        }

        CharClass characterClass;
        if (isAscii(first)) {
            characterClass = ascii[first];
        } else if (QChar::isHighSurrogate(first) && i + 1 < n
            && QChar::isLowSurrogate(units[i + 1])) {
            characterClass = classify(QChar::surrogateToUcs4(first, units[i + 1]));
        } else {
            characterClass = classify(first);
        }

        if (inCodeBlock || inInlineCode) {
            if (characterClass == CharClass::Space)
                flushAsCode();
            else
                append(characterClass);
            i = end;
            continue;
        }

        switch (single) {
        case u'#':
            if (wasAfterLineEnd) {
                ++total;
                i = end;
                continue;
            }
            break;
        case u'*':
            ++total;
            if (scanner.isSingle(end, u'*')) {
                i = end + 1;
                continue;
            }
            i = end;
            continue;
        case u'_':
            ++total;
            i = end;
            continue;
        case u'[':
        case u']':
        case u'(':
        case u')':
            flush();
            ++total;
            i = end;
            continue;
        default:
            break;
        }

        switch (characterClass) {
        case CharClass::Letter:
        case CharClass::Number:
            append(characterClass);
            break;
        case CharClass::Space:
            flush();
            break;
        case CharClass::Punctuation:
        case CharClass::Other:
            flush();
            ++total;
            break;
        }
        i = end;
    }

    if (inCodeBlock || inInlineCode)
        flushAsCode();
    else
        flush();
    return total;
}

} // namespace quillon
