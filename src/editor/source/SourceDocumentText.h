#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace quillon {

// The source pane's text as its QTextDocument holds it. The document turns a carriage return, a
// paragraph separator and its own frame marks into paragraph breaks, which read back as line
// feeds: each is held as a stand-in noncharacter instead, one character for one, so that offsets
// stay equal and every character reads back as it was.
namespace SourceDocumentText {

constexpr QChar kCarriageReturn { char16_t(0xFDEF) };
constexpr QChar kParagraphSeparator { char16_t(0xFDEE) };
constexpr QChar kFrameStart { char16_t(0xFDED) };
constexpr QChar kFrameEnd { char16_t(0xFDEC) };

constexpr bool isStandIn(QChar c)
{
    return c.unicode() >= 0xFDEC && c.unicode() <= 0xFDEF;
}

// False when the text holds a stand-in itself: it could not be told apart on reading back, so
// such a text is shown but never edited.
bool isRepresentable(QStringView text);
QString toDocument(QString text);
// From QTextDocument::toRawText() or QTextCursor::selectedText().
QString fromDocument(QString raw);
// Text typed or pasted by the user, as it goes into the document: other programs' CR LF pairs
// become line feeds, stand-ins are dropped.
QString fromInput(QString text);

} // namespace SourceDocumentText

} // namespace quillon
