// Whole-document styling and table projection over generated Markdown of 10 KB, 100 KB and 1 MB
// (prose with inline styles, lists, quotes, fenced code blocks and pipe tables).
#include "BenchDocuments.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTableProjection.h"

#include <benchmark/benchmark.h>

#include <QString>

using namespace quillon;

namespace {

// About `bytes` of Markdown with `blocks` code blocks and `tables` tables spread through it.
QString generateDocument(qsizetype bytes, int blocks, int tables)
{
    const QString prose = QStringLiteral(
        "Some **bold** text with *italic* words, `inline code`, ~~struck~~ parts and a "
        "[link](https://example.org/page) in a sentence that runs on for a while.\n");
    const QString list = QStringLiteral(
        "- first item with **strong** text\n  - nested item\n- [ ] open task\n- [x] done task\n"
        "1. ordered one\n2. ordered two\n");
    const QString quote = QStringLiteral("> A quoted line with _emphasis_.\n");
    const QString code
        = QStringLiteral("```python\ndef f(x):\n    # comment\n    return \"s\" + str(42)\n```\n");
    const QString table
        = QStringLiteral("| Name | Value | Note |\n| :--- | ---: | --- |\n| alpha | 1 | first |\n"
                         "| beta | 2 | second |\n| gamma | 3 | third |\n");

    QString doc;
    doc.reserve(bytes + 4096);
    int section = 0;
    int blocksLeft = blocks;
    int tablesLeft = tables;
    // Spread blocks and tables evenly: estimate how many sections the size allows.
    const qsizetype sectionSize = 20 + prose.size() * 4 + list.size() + quote.size() + 2;
    const int sections = int(qMax<qsizetype>(1, bytes / sectionSize));
    while (doc.size() < bytes) {
        doc += QStringLiteral("## Section %1\n\n").arg(section);
        doc += prose + prose + QStringLiteral("\n") + list + QStringLiteral("\n") + quote;
        doc += prose + prose + QStringLiteral("\n");
        if (blocksLeft > 0 && section % qMax(1, sections / qMax(1, blocks)) == 0) {
            doc += code + QStringLiteral("\n");
            --blocksLeft;
        }
        if (tablesLeft > 0 && section % qMax(1, sections / qMax(1, tables)) == 0) {
            doc += table + QStringLiteral("\n");
            --tablesLeft;
        }
        ++section;
    }
    return doc;
}

struct Size
{
    qsizetype bytes;
    int blocks;
    int tables;
};

Size sizeFor(int64_t kilobytes)
{
    if (kilobytes >= 1000)
        return { 1000 * 1000, 100, 100 };
    if (kilobytes >= 100)
        return { 100 * 1000, 10, 10 };
    return { 10 * 1000, 1, 1 };
}

void BM_HighlightProjected(benchmark::State& state)
{
    const Size size = sizeFor(state.range(0));
    const QString doc = generateDocument(size.bytes, size.blocks, size.tables);
    AttributedText storage(doc);
    const int tables = int(MarkdownTableProjection::installTables(storage, false, 15).size());
    HighlightOptions options;
    options.isReadingMode = true;
    options.cursorLocation = storage.length() / 2;
    options.isFocused = true;
    for (auto _ : state) {
        MarkdownHighlighter::highlight(storage, options);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
    state.counters["units"] = double(storage.length());
    state.counters["tables"] = tables;
    state.counters["sets"] = storage.internedSetCount();
}
BENCHMARK(BM_HighlightProjected)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ProjectAndBack(benchmark::State& state)
{
    const Size size = sizeFor(state.range(0));
    const QString doc = generateDocument(size.bytes, size.blocks, size.tables);
    bool roundTrips = true;
    for (auto _ : state) {
        AttributedText storage(doc);
        MarkdownTableProjection::installTables(storage, false, 15);
        const QString back = MarkdownTableProjection::markdown(storage);
        roundTrips = roundTrips && back.size() == doc.size();
        benchmark::DoNotOptimize(back);
    }
    AttributedText storage(doc);
    MarkdownTableProjection::installTables(storage, false, 15);
    state.counters["roundTrip"] = MarkdownTableProjection::markdown(storage) == doc ? 1 : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
}
BENCHMARK(BM_ProjectAndBack)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Notes dense with small tables (one every few hundred bytes): the tables of 1 MB and 10 MB
// put into a storage, as opening such a document does before its first paint.
void BM_InstallDenseTables(benchmark::State& state)
{
    const QString doc = bench::tableDenseDocument(state.range(0), true);
    int tables = 0;
    for (auto _ : state) {
        state.PauseTiming();
        AttributedText storage(doc);
        state.ResumeTiming();
        tables = int(MarkdownTableProjection::installTables(storage, false, 15).size());
        state.PauseTiming();
        storage = AttributedText();
        state.ResumeTiming();
    }
    state.counters["tables"] = tables;
}
BENCHMARK(BM_InstallDenseTables)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_OffsetMapping(benchmark::State& state)
{
    const QString doc = generateDocument(1000 * 1000, 100, 100);
    AttributedText storage(doc);
    MarkdownTableProjection::installTables(storage, false, 15);
    const qsizetype middle = doc.size() / 2;
    for (auto _ : state) {
        const qsizetype s = MarkdownTableProjection::storageOffset(middle, storage);
        benchmark::DoNotOptimize(MarkdownTableProjection::markdownOffset(s, storage));
    }
}
BENCHMARK(BM_OffsetMapping)->Unit(benchmark::kMicrosecond);

void BM_SourcePaneHighlight(benchmark::State& state)
{
    const Size size = sizeFor(state.range(0));
    AttributedText storage(generateDocument(size.bytes, size.blocks, size.tables));
    for (auto _ : state) {
        CodeSyntaxHighlighter::highlight(storage, false, 15);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * storage.length());
}
BENCHMARK(BM_SourcePaneHighlight)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
