#include "workspace/TokenCounter.h"

#include "workspace/GraphemeClusters.h"

#include <unicode/uchar.h>

#include <array>

namespace quillon {

namespace {

enum class CharClass : quint8 { Letter, Number, Punctuation, Space, Other };

// A character is classed by its first code point: a number when it has a numeric type (also
// when it is alphabetic as well, as CJK numerals are), a letter when it is alphabetic (which
// takes in circled letters and vowel signs), punctuation by its general category, white space
// by the Unicode property.
CharClass classify(char32_t codePoint)
{
    const UChar32 c = UChar32(codePoint);
    if (u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE)
        return CharClass::Number;
    if (u_hasBinaryProperty(c, UCHAR_ALPHABETIC))
        return CharClass::Letter;
    if (u_ispunct(c))
        return CharClass::Punctuation;
    if (u_isUWhiteSpace(c))
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

// Where an estimate stands between the stretches of a text it is made of.
struct TokenCounter::State
{
    qint64 total = 0;
    qint64 wordLength = 0;
    bool wordAllNumbers = true;
    bool inCodeBlock = false;
    bool inInlineCode = false;
    bool afterLineEnd = true;
};

qint64 TokenCounter::estimate(QStringView text)
{
    State state;
    add(text, state);
    return finish(state);
}

qint64 TokenCounter::estimate(const ChunkedText& text)
{
    // Nothing the estimate looks at (a cluster, a word, a run of backticks) goes across a line
    // feed.
    State state;
    text.forEachLineStretch(1 << 20, [&](const QString& stretch) { add(stretch, state); });
    return finish(state);
}

qint64 TokenCounter::finish(State& state)
{
    const qint64 last = state.wordLength == 0 ? 0
        : state.inCodeBlock || state.inInlineCode
        ? codeWordTokens(state.wordLength)
        : ordinaryWordTokens(state.wordLength, state.wordAllNumbers);
    return state.total + last;
}

void TokenCounter::add(QStringView text, State& state)
{
    const qsizetype n = text.size();
    const char16_t* units = text.utf16();
    const std::array<CharClass, 128>& ascii = asciiClasses();
    GraphemeScanner scanner(text);

    qint64& total = state.total;
    qint64& wordLength = state.wordLength;
    bool& wordAllNumbers = state.wordAllNumbers;
    bool& inCodeBlock = state.inCodeBlock;
    bool& inInlineCode = state.inInlineCode;
    bool& afterLineEnd = state.afterLineEnd;

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
}

} // namespace quillon
