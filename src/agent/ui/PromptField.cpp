#include "agent/ui/PromptField.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quillon {

PromptField::PromptField(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    document()->setDocumentMargin(0);
    connect(this, &QPlainTextEdit::textChanged, this, &PromptField::fitHeight);
    fitHeight();
}

QString PromptField::text() const
{
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void PromptField::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & Qt::ShiftModifier)) {
        insertPlainText(QStringLiteral("\n"));
        return;
    }
    if (isReturn && !(event->modifiers() & ~Qt::KeypadModifier)) {
        Q_EMIT submitted();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void PromptField::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    fitHeight();
}

int PromptField::heightForLines(int lines) const
{
    // The lines as the field lays them out: their heights are whole pixels, taller than the
    // font's line spacing, and a line with a fallback font (an emoji) may be taller still.
    qreal text = 0;
    int counted = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && counted < lines;
         block = block.next()) {
        const QTextLayout* layout = block.layout();
        const int count = layout ? layout->lineCount() : 0;
        for (int i = 0; i < count && counted < lines; ++i, ++counted)
            text += layout->lineAt(i).height();
    }
    if (counted < lines)
        text += emptyLineHeight() * (lines - counted);
    const QMargins margins = contentsMargins();
    return int(std::ceil(text)) + margins.top() + margins.bottom()
        + int(std::ceil(2 * document()->documentMargin()));
}

qreal PromptField::emptyLineHeight() const
{
    QTextLayout probe(QStringLiteral(" "), document()->defaultFont());
    probe.setCacheEnabled(false);
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLeadingIncluded(true);
    probe.endLayout();
    return line.height();
}

void PromptField::fitHeight()
{
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        lines += (layout && layout->lineCount() > 0) ? layout->lineCount() : 1;
    }
    const int visible = std::clamp(lines, 1, maxVisibleLines);
    // Past five lines the text scrolls, and only then is there a scroll bar.
    setVerticalScrollBarPolicy(
        lines > maxVisibleLines ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (visible == m_visibleLines && height() == heightForLines(visible))
        return;
    m_visibleLines = visible;
    setFixedHeight(heightForLines(visible));
    updateGeometry();
}

QSize PromptField::sizeHint() const
{
    return QSize(QPlainTextEdit::sizeHint().width(), heightForLines(m_visibleLines));
}

QSize PromptField::minimumSizeHint() const
{
    return QSize(40, heightForLines(1));
}

} // namespace quillon
