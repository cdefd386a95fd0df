#include "editor/source/SourceDocumentText.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::SourceDocumentText {

namespace {

constexpr char16_t kFrameStartMark = 0xFDD0; // QTextBeginningOfFrame
constexpr char16_t kFrameEndMark = 0xFDD1; // QTextEndOfFrame

} // namespace

bool isRepresentable(QStringView text)
{
    // Asked of every text the pane opens: eight units are compared at a time where the
    // processor can.
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi16(short(kFrameEnd.unicode()));
    const __m128i three = _mm_set1_epi16(3);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
        // A stand-in is at most 3 above the first (unsigned), so taking 3 more away leaves zero.
        if (_mm_movemask_epi8(
                _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, first), three), zero)))
            return false;
    }
#endif
    for (; i < n; ++i) {
        if (isStandIn(QChar(u[i])))
            return false;
    }
    return true;
}

QString toDocument(QString text)
{
    for (QChar& c : text) {
        switch (c.unicode()) {
        case u'\r':
            c = kCarriageReturn;
            break;
        case 0x2029:
            c = kParagraphSeparator;
            break;
        case kFrameStartMark:
            c = kFrameStart;
            break;
        case kFrameEndMark:
            c = kFrameEnd;
            break;
        default:
            break;
        }
    }
    return text;
}

QString fromDocument(QString raw)
{
    for (QChar& c : raw) {
        const char16_t u = c.unicode();
        if (u == 0x2029)
            c = QLatin1Char('\n');
        else if (u == kCarriageReturn.unicode())
            c = QLatin1Char('\r');
        else if (u == kParagraphSeparator.unicode())
            c = QChar(char16_t(0x2029));
        else if (u == kFrameStart.unicode())
            c = QChar(kFrameStartMark);
        else if (u == kFrameEnd.unicode())
            c = QChar(kFrameEndMark);
    }
    return raw;
}

QString fromInput(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.removeIf([](QChar c) { return isStandIn(c); });
    return toDocument(text);
}

} // namespace quillon::SourceDocumentText
