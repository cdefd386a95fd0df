#include "editor/source/SourceDocumentText.h"

#include "platform/TextLines.h"

namespace quillon::SourceDocumentText {

namespace {

constexpr char16_t kFrameStartMark = 0xFDD0; // QTextBeginningOfFrame
constexpr char16_t kFrameEndMark = 0xFDD1; // QTextEndOfFrame

} // namespace

bool isRepresentable(QStringView text)
{
    return textlines::nextUnitIn(text, 0, kFrameEnd.unicode(), kCarriageReturn.unicode())
        == text.size();
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
