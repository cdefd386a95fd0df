#include "markdown/MarkdownLineEditing.h"
#include "platform/TextLines.h"

#include <functional>

namespace quillon {

namespace {

struct FenceRun
{
    QChar character;
    qsizetype length = 0;
    QString info; // trimmed, lower-cased
};

std::optional<FenceRun> fenceRun(QStringView line)
{
    qsizetype i = 0;
    while (i < 3 && i < line.size() && line[i] == u' ')
        ++i;
    if (i >= line.size())
        return std::nullopt;
    const QChar c = line[i];
    if (c != u'`' && c != u'~')
        return std::nullopt;
    qsizetype end = i;
    while (end < line.size() && line[end] == c)
        ++end;
    if (end - i < 3)
        return std::nullopt;
    const QStringView info = line.mid(end).trimmed();
    if (c == u'`' && info.contains(u'`'))
        return std::nullopt;
    return FenceRun { c, end - i, info.toString().toLower() };
}

// Visits the blocks in text order until `visit` returns false. Outside a block, scanning stops at
// the first line that starts after `limit`.
void scanFencedBlocks(QStringView text, qsizetype limit,
    const std::function<bool(const MarkdownLineEditing::FencedBlock&)>& visit)
{
    const qsizetype n = text.size();
    qsizetype offset = 0;
    std::optional<FenceRun> open;
    TextRange openLine;
    while (offset < n) {
        if (!open && offset > limit)
            return;
        const textlines::LineBounds end = textlines::lineStartingAt(text, offset);
        const QStringView line = text.mid(offset, end.end - offset);
        const TextRange lineRange { offset, end.end - offset };
        offset = end.end;

        // Quick reject: a fence line starts with at most three spaces and then ` or ~.
        qsizetype i = 0;
        while (i < 3 && i < line.size() && line[i] == u' ')
            ++i;
        if (i >= line.size() || (line[i] != u'`' && line[i] != u'~'))
            continue;

        const std::optional<FenceRun> run = fenceRun(line);
        if (!run)
            continue;
        if (!open) {
            open = run;
            openLine = lineRange;
            continue;
        }
        if (run->character != open->character || run->length < open->length || !run->info.isEmpty())
            continue;
        MarkdownLineEditing::FencedBlock block;
        block.range = TextRange { openLine.location, lineRange.end() - openLine.location };
        block.openFenceLine = openLine;
        block.closeFenceLine = lineRange;
        const qsizetype contentStart = qMin(openLine.end(), n);
        block.contentRange
            = TextRange { contentStart, qMax<qsizetype>(0, lineRange.location - contentStart) };
        block.infoString = open->info;
        block.fence = QString(open->length, open->character);
        open.reset();
        if (!visit(block))
            return;
    }
    if (open) {
        MarkdownLineEditing::FencedBlock block;
        block.range = TextRange { openLine.location, n - openLine.location };
        block.openFenceLine = openLine;
        const qsizetype contentStart = qMin(openLine.end(), n);
        block.contentRange = TextRange { contentStart, n - contentStart };
        block.infoString = open->info;
        block.fence = QString(open->length, open->character);
        visit(block);
    }
}

} // namespace

QList<MarkdownLineEditing::FencedBlock> MarkdownLineEditing::fencedBlocks(QStringView text)
{
    QList<FencedBlock> blocks;
    scanFencedBlocks(text, text.size(), [&](const FencedBlock& block) {
        blocks.append(block);
        return true;
    });
    return blocks;
}

std::optional<MarkdownLineEditing::FencedBlock> MarkdownLineEditing::firstFencedBlock(
    QStringView text)
{
    std::optional<FencedBlock> first;
    scanFencedBlocks(text, text.size(), [&](const FencedBlock& block) {
        first = block;
        return false;
    });
    return first;
}

bool MarkdownLineEditing::isInsideFencedCode(QStringView text, qsizetype location)
{
    if (location < 0 || location > text.size())
        return false;
    bool inside = false;
    scanFencedBlocks(text, location, [&](const FencedBlock& block) {
        if (block.range.location > location)
            return false;
        if (block.range.contains(location)
            || (location == block.range.end() && !block.closeFenceLine)) {
            inside = true;
            return false;
        }
        return true;
    });
    return inside;
}

} // namespace quillon
