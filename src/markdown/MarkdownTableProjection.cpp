#include "markdown/MarkdownTableProjection.h"

#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownLineEditing.h"
#include "platform/ChunkedText.h"
#include "platform/Parallel.h"
#include "platform/TextLines.h"

#include <algorithm>

namespace quillon {

namespace {

// A pipe line: its first character that is not white space is "|".
struct PipeLine
{
    qsizetype start;
    qsizetype end; // after its line break
};

// The pipe lines of text[from, to), in order: `from` and `to` are line starts. Found from the
// pipes themselves: prose lines, the vast majority, are never walked one by one.
void findPipeLines(QStringView text, qsizetype from, qsizetype to, std::vector<PipeLine>& lines)
{
    const QStringView searched = text.first(to);
    while (from < to) {
        const qsizetype bar = searched.indexOf(u'|', from);
        if (bar < 0)
            break;
        qsizetype start = bar;
        while (start > 0 && !textlines::isLineBreak(text[start - 1]) && text[start - 1].isSpace())
            --start;
        const bool leads = start == 0 || textlines::isLineBreak(text[start - 1]);
        const textlines::LineBounds line = textlines::lineBounds(text, bar);
        if (leads)
            lines.push_back({ line.start, line.end });
        from = line.end > bar ? line.end : to;
    }
}

// A long text is searched for pipe lines a stretch of about this many units a thread.
constexpr qsizetype kScanStretch = 256 * 1024;
// Tables are checked and made this many a task.
constexpr qsizetype kTablesATask = 256;

// Every pipe line of the text, in order: a list for each stretch of it.
std::vector<std::vector<PipeLine>> findPipeLines(QStringView text)
{
    const std::vector<qsizetype> cuts = lineStretchCuts(text, kScanStretch);
    std::vector<std::vector<PipeLine>> found(cuts.size() - 1);
    parallelFor(qsizetype(found.size()), [&](qsizetype i) {
        findPipeLines(text, cuts[size_t(i)], cuts[size_t(i) + 1], found[size_t(i)]);
    });
    return found;
}

QList<TextRange> scanTables(QStringView text)
{
    const std::vector<std::vector<PipeLine>> pipeLines = findPipeLines(text);
    if (std::all_of(pipeLines.begin(), pipeLines.end(),
            [](const std::vector<PipeLine>& stretch) { return stretch.empty(); }))
        return {};
    const QList<MarkdownLineEditing::FencedBlock> blocks = MarkdownLineEditing::fencedBlocks(text);
    qsizetype nextBlock = 0;
    auto inCode = [&](qsizetype lineStart) {
        while (nextBlock < blocks.size() && blocks[nextBlock].range.end() <= lineStart)
            ++nextBlock;
        return nextBlock < blocks.size() && blocks[nextBlock].range.location <= lineStart;
    };

    // Runs of pipe lines outside code, each a table if it parses as one.
    std::vector<TextRange> runs;
    qsizetype runStart = -1;
    qsizetype runEnd = -1;
    auto close = [&] {
        if (runStart < 0)
            return;
        qsizetype end = runEnd;
        // The line break after the last row is not part of the table.
        if (end > runStart && text[end - 1] == u'\n') {
            --end;
            if (end > runStart && text[end - 1] == u'\r')
                --end;
        } else if (end > runStart && textlines::isLineBreak(text[end - 1])) {
            --end;
        }
        if (end > runStart)
            runs.push_back({ runStart, end - runStart });
        runStart = -1;
    };

    for (const std::vector<PipeLine>& stretch : pipeLines) {
        for (const PipeLine& line : stretch) {
            if (inCode(line.start)) {
                close();
                continue;
            }
            if (runStart >= 0 && line.start != runEnd)
                close();
            if (runStart < 0)
                runStart = line.start;
            runEnd = line.end;
        }
    }
    close();

    std::vector<char> isTable(runs.size());
    parallelForEach(
        qsizetype(runs.size()), kTablesATask, text.size() >= kParallelTextLength, [&](qsizetype i) {
            const TextRange& run = runs[size_t(i)];
            isTable[size_t(i)] = MarkdownTable::isTable(text.mid(run.location, run.length));
        });
    QList<TextRange> found;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (isTable[i])
            found.append(runs[i]);
    }
    return found;
}

// Next table character at or after `from`, or -1.
qsizetype nextTable(const AttributedText& storage, qsizetype from)
{
    const QString& text = storage.text();
    qsizetype i = text.indexOf(QChar(MarkdownTableProjection::objectReplacementCharacter), from);
    while (i >= 0) {
        if (MarkdownTableProjection::tableAt(storage, i))
            return i;
        i = text.indexOf(QChar(MarkdownTableProjection::objectReplacementCharacter), i + 1);
    }
    return -1;
}

} // namespace

QList<TextRange> MarkdownTableProjection::findTables(QStringView markdown)
{
    return scanTables(markdown);
}

TextRange MarkdownTableProjection::pipeLinesAround(
    const ChunkedText& markdown, qsizetype from, qsizetype to)
{
    // Lines are told apart by line feeds alone here: a line that holds another break holds a
    // pipe if any of its parts does, which can only widen the stretch.
    const qsizetype n = markdown.size();
    from = qBound<qsizetype>(0, from, n);
    to = qBound<qsizetype>(from, to, n);
    qsizetype start = from > 0 ? markdown.lastIndexOf(u'\n', from - 1) + 1 : 0;
    while (start > 0) {
        const qsizetype previous = start >= 2 ? markdown.lastIndexOf(u'\n', start - 2) + 1 : 0;
        if (!markdown.contains(u'|', previous, start - 1))
            break;
        start = previous;
    }
    qsizetype end = markdown.indexOf(u'\n', to);
    end = end < 0 ? n : end;
    while (end < n) {
        qsizetype next = markdown.indexOf(u'\n', end + 1);
        next = next < 0 ? n : next;
        if (!markdown.contains(u'|', end + 1, next))
            break;
        end = next;
    }
    return { start, end - start };
}

ParagraphStyle MarkdownTableProjection::tableParagraphStyle()
{
    ParagraphStyle style;
    style.paragraphSpacingBefore = tableParagraphSpacing;
    style.paragraphSpacing = tableParagraphSpacing;
    return style;
}

QList<TextRange> MarkdownTableProjection::installTables(AttributedText& storage, bool isDarkMode,
    qreal fontSize, std::vector<qsizetype>* markdownLengths, std::vector<int>* markdownLines)
{
    const QList<TextRange> tables = scanTables(storage.text());
    QList<TextRange> installed;
    if (tables.isEmpty())
        return installed;
    // The tables' Markdown is taken out first: with nothing else holding the storage's text, the
    // replacement closes it up in place instead of copying it whole. Each table's attachment is
    // made then too, many side by side.
    std::vector<TextAttachmentPtr> attachments(size_t(tables.size()));
    std::vector<int> lines(markdownLines ? size_t(tables.size()) : 0);
    parallelForEach(
        tables.size(), kTablesATask, storage.length() >= kParallelTextLength, [&](qsizetype i) {
            const TextRange& t = tables[i];
            auto table = std::make_shared<TableAttachment>(
                QStringView(storage.text()).mid(t.location, t.length), t, isDarkMode, fontSize);
            if (markdownLines)
                lines[size_t(i)] = table->markdownLineCount();
            attachments[size_t(i)] = std::move(table);
        });
    if (markdownLines)
        *markdownLines = std::move(lines);
    storage.replaceRanges(std::vector<TextSpan>(tables.begin(), tables.end()),
        QString(1, QChar(objectReplacementCharacter)));
    std::vector<qsizetype> at;
    at.reserve(size_t(tables.size()));
    qsizetype shift = 0;
    for (const TextRange& t : tables) {
        at.push_back(t.location - shift);
        installed.append({ at.back(), 1 });
        shift += t.length - 1;
        if (markdownLengths)
            markdownLengths->push_back(t.length);
    }
    // Each table's character takes its attachment with the attributes the styling gives it (the
    // base font and colour and the table's spacing), in one step: styling it then finds the
    // same set again instead of making one more per table and leaving this one unused.
    TextAttributes shared;
    shared.paragraphStyle = tableParagraphStyle();
    shared.font = MarkdownHighlighter::systemFont(fontSize);
    shared.foregroundColor = MarkdownHighlighter::palette(isDarkMode).textColor;
    storage.setEachAt<TextAttribute::Attachment>(at, std::move(attachments), shared);
    return installed;
}

const TableAttachment* MarkdownTableProjection::tableAt(
    const AttributedText& storage, qsizetype index)
{
    if (index < 0 || index >= storage.length()
        || storage.at(index) != QChar(objectReplacementCharacter))
        return nullptr;
    const TextAttachmentPtr* a = storage.attribute<TextAttribute::Attachment>(index);
    return a ? dynamic_cast<const TableAttachment*>(a->get()) : nullptr;
}

int MarkdownTableProjection::tableCount(const AttributedText& storage)
{
    int count = 0;
    for (qsizetype i = nextTable(storage, 0); i >= 0; i = nextTable(storage, i + 1))
        ++count;
    return count;
}

QString MarkdownTableProjection::markdown(const AttributedText& storage)
{
    const QString& text = storage.text();
    qsizetype i = nextTable(storage, 0);
    if (i < 0)
        return text;
    QString result;
    result.reserve(text.size() * 2);
    qsizetype p = 0;
    for (; i >= 0; i = nextTable(storage, i + 1)) {
        result.append(QStringView(text).mid(p, i - p));
        result.append(tableAt(storage, i)->markdown());
        p = i + 1;
    }
    result.append(QStringView(text).mid(p));
    return result;
}

qsizetype MarkdownTableProjection::storageOffset(
    qsizetype markdownOffset, const AttributedText& storage)
{
    if (markdownOffset <= 0)
        return 0;
    qsizetype storageIndex = 0;
    qsizetype m = 0;
    for (qsizetype t = nextTable(storage, 0); t >= 0; t = nextTable(storage, t + 1)) {
        // Plain characters before the table map one to one.
        if (markdownOffset - m <= t - storageIndex)
            return storageIndex + (markdownOffset - m);
        m += t - storageIndex;
        const qsizetype length = tableAt(storage, t)->markdownLength();
        m += length;
        if (m > markdownOffset)
            return t;
        storageIndex = t + 1;
    }
    return qMin(storage.length(), storageIndex + (markdownOffset - m));
}

qsizetype MarkdownTableProjection::markdownOffset(
    qsizetype storageOffset, const AttributedText& storage)
{
    const qsizetype n = qMin(storage.length(), storageOffset);
    if (n < 1)
        return 0;
    qsizetype m = n;
    for (qsizetype t = nextTable(storage, 0); t >= 0 && t < n; t = nextTable(storage, t + 1))
        m += tableAt(storage, t)->markdownLength() - 1;
    return m;
}

} // namespace quillon
