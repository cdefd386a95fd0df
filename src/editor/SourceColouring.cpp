#include "editor/SourceColouring.h"

#include "markdown/CodeSyntaxHighlighter.h"
#include "platform/AttributedText.h"
#include "platform/TextLines.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <vector>

namespace quillon {

namespace {

constexpr int kPauseBeforeWholePass = 300;
// Lines coloured around an edit on each side, beyond the lines it touched.
constexpr int kContextLines = 2;

// Offsets of the lines that open or close a fenced block (lines starting with three backquotes),
// lines counted as everywhere else.
std::vector<qsizetype> fenceLines(QStringView text)
{
    std::vector<qsizetype> fences;
    for (const textlines::LineBounds& line : textlines::Lines(text)) {
        if (line.contents(text).startsWith(u"```"))
            fences.push_back(line.start);
    }
    return fences;
}

qsizetype startOfLinesBefore(const QString& text, qsizetype position, int lines)
{
    qsizetype start = text.lastIndexOf(QLatin1Char('\n'), qMax<qsizetype>(0, position - 1));
    for (int i = 0; i < lines && start > 0; ++i)
        start = text.lastIndexOf(QLatin1Char('\n'), start - 1);
    return start < 0 ? 0 : start + 1;
}

qsizetype endOfLinesAfter(const QString& text, qsizetype position, int lines)
{
    qsizetype end = text.indexOf(QLatin1Char('\n'), position);
    for (int i = 0; i < lines && end >= 0; ++i)
        end = text.indexOf(QLatin1Char('\n'), end + 1);
    return end < 0 ? text.size() : end + 1;
}

} // namespace

SourceColouring::SourceColouring(
    QTextDocument& document, std::function<const QString&()> currentText, QObject* parent)
    : QObject(parent)
    , m_document(document)
    , m_currentText(std::move(currentText))
{
    m_wholePass.setSingleShot(true);
    m_wholePass.setInterval(kPauseBeforeWholePass);
    connect(&m_wholePass, &QTimer::timeout, this, [this] { colourAll(m_currentText()); });
}

void SourceColouring::setAppearance(bool isDarkMode, qreal fontSize)
{
    m_isDarkMode = isDarkMode;
    m_fontSize = fontSize;
}

void SourceColouring::colourAll(const QString& text)
{
    m_wholePass.stop();
    AttributedText coloured(text);
    m_lastWasYAML = CodeSyntaxHighlighter::isYAML(text);
    CodeSyntaxHighlighter::highlight(coloured, m_isDarkMode, m_fontSize, m_lastWasYAML);
    Q_EMIT this->coloured(apply(coloured, 0));
}

void SourceColouring::colourEdit(const QString& text, qsizetype from, qsizetype to)
{
    if (text.size() <= kWholeTextLimit || CodeSyntaxHighlighter::isYAML(text) != m_lastWasYAML) {
        colourAll(text);
        return;
    }
    qsizetype start = startOfLinesBefore(text, from, kContextLines);
    qsizetype end = endOfLinesAfter(text, to, kContextLines);
    if (!m_lastWasYAML) {
        // A fenced block is coloured as a whole: extend the stretch over every pair of fence
        // lines it reaches into. An unclosed last fence colours nothing.
        const std::vector<qsizetype> fences = fenceLines(text);
        for (size_t i = 0; i + 1 < fences.size(); i += 2) {
            const qsizetype open = fences[i];
            const qsizetype close = endOfLinesAfter(text, fences[i + 1], 0);
            if (close > start && open < end) {
                start = qMin(start, startOfLinesBefore(text, open, 0));
                end = qMax(end, close);
            }
        }
    }
    AttributedText coloured(text.mid(start, end - start));
    CodeSyntaxHighlighter::highlight(coloured, m_isDarkMode, m_fontSize, m_lastWasYAML);
    Q_EMIT this->coloured(apply(coloured, start));
    m_wholePass.start();
}

void SourceColouring::flush()
{
    if (m_wholePass.isActive())
        colourAll(m_currentText());
}

int SourceColouring::apply(const AttributedText& coloured, qsizetype offset)
{
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
    const qsizetype end = offset + coloured.length();
    int changed = 0;
    int dirtyFrom = -1;
    int dirtyTo = -1;
    for (QTextBlock block = m_document.findBlock(int(offset)); block.isValid();
         block = block.next()) {
        const qsizetype blockStart = block.position() - offset;
        const qsizetype blockLength = block.length() - 1;
        if (block.position() + blockLength > end)
            break;
        if (blockStart < 0)
            continue;
        QList<QTextLayout::FormatRange> ranges;
        coloured.enumerateAttribute<TextAttribute::ForegroundColor>(
            { blockStart, blockLength }, [&](TextSpan span, const QColor* color) {
                if (!color || *color == base)
                    return;
                ranges.append(
                    { int(span.location - blockStart), int(span.length), formatFor(*color) });
            });
        QTextLayout* layout = block.layout();
        if (layout->formats() == ranges)
            continue;
        layout->setFormats(ranges);
        ++changed;
        if (dirtyFrom < 0)
            dirtyFrom = block.position();
        dirtyTo = block.position() + block.length();
    }
    if (changed > 0)
        m_document.markContentsDirty(dirtyFrom, dirtyTo - dirtyFrom);
    return changed;
}

} // namespace quillon
