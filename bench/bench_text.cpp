// Figures for the pure text logic: token estimate, front-matter validation, code tokenizing,
// the line-editing rules (whose cost should follow the line, not the document) and the styled
// text storage (editing in the middle, reading attributes, memory).
#include "BenchDocuments.h"
#include "markdown/CodeTokenizer.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownLineEditing.h"
#include "platform/ChunkedText.h"
#include "platform/TextLines.h"
#include "workspace/TokenCounter.h"
#include "workspace/YAMLValidator.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

using namespace quillon;

namespace {

// Mixed Markdown: prose with emphasis, links and some non-ASCII words, lists, tables and fenced
// code, repeated up to about `bytes` UTF-8 bytes.
QString makeMarkdown(qsizetype bytes)
{
    const QStringList sections {
        QStringLiteral("# Release notes\n\nThe **editor** now keeps _line endings_ as they were, "
                       "and the [status bar](docs/status.md) shows the token estimate.\n\n"),
        QStringLiteral("Some words from elsewhere: caf\u00e9, na\u00efve, \u00fcber, "
                       "\u6F22\u5B57\u304B\u306A, \u0645\u0631\u062D\u0628\u0627, "
                       "\U0001F600 and \U0001F468\u200D\U0001F469\u200D\U0001F467.\n\n"),
        QStringLiteral("- first item with `inline code`\n- second item, 1,000 and 3.14\n"
                       "  - nested item\n1. ordered one\n2. ordered two\n\n"),
        QStringLiteral("```swift\nfunc greet(name: String) -> String {\n"
                       "    return \"Hello, \\(name)!\" // greeting\n}\nlet x = 42\n```\n\n"),
        QStringLiteral("| Column | Value |\n| --- | ---: |\n| alpha | 1 |\n| beta | 2 |\n\n"),
        QStringLiteral("> A quoted paragraph that goes on for a while, with *emphasis* and "
                       "a reference to section_name_with_underscores.\n\n"),
    };
    QString text;
    qsizetype size = 0;
    for (int i = 0; size < bytes; ++i) {
        const QString& section = sections[i % sections.size()];
        text += section;
        size += section.toUtf8().size();
    }
    return text;
}

QString makeSource(qsizetype bytes)
{
    const QString chunk = QStringLiteral(
        "// Compute totals for the report\n"
        "export async function total(items, options = {}) {\n"
        "  const rate = options.rate ?? 0.25; /* default rate */\n"
        "  let sum = 0;\n"
        "  for (const item of items) {\n"
        "    if (item.kind === 'fee' || item.kind === \"tax\") sum += item.amount * 1.5;\n"
        "    else sum += item.amount;\n"
        "  }\n"
        "  return `${sum * rate} total`;\n"
        "}\n");
    QString text;
    text.reserve(bytes + chunk.size());
    while (text.size() < bytes)
        text += chunk;
    return text;
}

void BM_TokenEstimate(benchmark::State& state)
{
    const QString text = makeMarkdown(1 << 20);
    const qint64 bytes = text.toUtf8().size();
    qint64 tokens = 0;
    for (auto _ : state) {
        tokens = TokenCounter::estimate(text);
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["tokens"] = double(tokens);
    state.counters["doc_bytes"] = double(bytes);
}
BENCHMARK(BM_TokenEstimate)->Unit(benchmark::kMillisecond);

// The reference: `wc -m` counting the characters of the same document, process start included.
void BM_TokenEstimateReference_wc_m(benchmark::State& state)
{
    const QByteArray utf8 = makeMarkdown(1 << 20).toUtf8();
    QTemporaryFile file;
    if (!file.open()) {
        state.SkipWithError("no temporary file");
        return;
    }
    file.write(utf8);
    file.flush();
    QByteArray output;
    for (auto _ : state) {
        QProcess wc;
        wc.setProcessEnvironment([] {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
            return env;
        }());
        wc.start(QStringLiteral("wc"), { QStringLiteral("-m"), file.fileName() });
        wc.waitForFinished(10000);
        output = wc.readAllStandardOutput();
    }
    state.SetBytesProcessed(state.iterations() * utf8.size());
    state.counters["chars"] = output.split(' ').value(0).trimmed().toDouble();
}
BENCHMARK(BM_TokenEstimateReference_wc_m)->Unit(benchmark::kMillisecond)->UseRealTime();

QString makeFrontmatterDocument(qsizetype bytes)
{
    QString yaml = QStringLiteral("title: \"A long document\"\ndefaults: &defaults\n"
                                  "  layout: post\n  draft: false\n  weight: 1_000\n");
    for (int i = 0; yaml.toUtf8().size() < bytes; ++i) {
        yaml += QStringLiteral("entry%1:\n  <<: *defaults\n  name: 'Entry %1'\n"
                               "  tags: [alpha, beta, \"gamma %1\"]\n  score: %2\n"
                               "  notes: >\n    folded text for entry %1\n")
                    .arg(i)
                    .arg(i * 1.5);
    }
    return QStringLiteral("---\n") + yaml + QStringLiteral("---\n\n# Body\n");
}

void BM_YAMLValidate20KB(benchmark::State& state)
{
    const QString document = makeFrontmatterDocument(20 * 1024);
    bool valid = false;
    for (auto _ : state) {
        const auto result = YAMLValidator::validate(document);
        valid = result.kind == YAMLValidator::ValidationResult::Kind::Valid;
        benchmark::DoNotOptimize(valid);
    }
    state.SetBytesProcessed(state.iterations() * document.toUtf8().size());
    state.counters["valid"] = valid ? 1 : 0;
}
BENCHMARK(BM_YAMLValidate20KB)->Unit(benchmark::kMicrosecond);

// 1 MB of source in code blocks of 16 KB each (longer blocks are not tokenized at all).
void BM_CodeTokenize1MB(benchmark::State& state)
{
    const QString source = makeSource(1 << 20);
    const qsizetype blockSize = 16 * 1024;
    qsizetype tokens = 0;
    for (auto _ : state) {
        tokens = 0;
        for (qsizetype at = 0; at < source.size(); at += blockSize) {
            const QStringView block = QStringView(source).mid(at, blockSize);
            tokens += CodeTokenizer::tokenize(block, CodeTokenizer::Language::Javascript).size();
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(state.iterations() * source.toUtf8().size());
    state.counters["tokens"] = double(tokens);
}
BENCHMARK(BM_CodeTokenize1MB)->Unit(benchmark::kMillisecond);

// The line-editing rules with the caret in the middle of a document of state.range(0) bytes. The
// caller's own work (finding the caret's line) is included.
struct CaretLine
{
    QStringView line;
    TextRange range;
};

CaretLine caretLine(QStringView text, qsizetype caret)
{
    const qsizetype start = text.first(caret).lastIndexOf(u'\n') + 1;
    qsizetype end = text.indexOf(u'\n', caret);
    if (end < 0)
        end = text.size();
    return { text.mid(start, end - start), TextRange { start, end - start } };
}

QString documentWithCaretLine(qsizetype bytes, const QString& line, qsizetype* caret)
{
    const QString half = makeMarkdown(bytes / 2);
    *caret = half.size() + line.size();
    return half + line + u'\n' + half;
}

template <typename Rule>
void runLineRule(benchmark::State& state, const QString& lineText, Rule rule)
{
    qsizetype caret = 0;
    const QString text = documentWithCaretLine(state.range(0), lineText, &caret);
    for (auto _ : state) {
        const CaretLine line = caretLine(text, caret);
        auto edit = rule(QStringView(text), line, caret);
        benchmark::DoNotOptimize(edit);
    }
    state.counters["doc_bytes"] = double(state.range(0));
}

void BM_Rule_Return(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("  - a list item with some text"),
        [](QStringView, const CaretLine& l, qsizetype caret) {
            return MarkdownLineEditing::returnEdit(l.line, l.range, caret);
        });
}
void BM_Rule_Backspace(benchmark::State& state)
{
    runLineRule(
        state, QStringLiteral("  - "), [](QStringView, const CaretLine& l, qsizetype caret) {
            return MarkdownLineEditing::backspaceEdit(l.line, l.range, caret);
        });
}
void BM_Rule_CodeReturn(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("    let value = compute()"),
        [](QStringView, const CaretLine& l, qsizetype caret) {
            return MarkdownLineEditing::codeReturnEdit(l.line, l.range, caret);
        });
}
void BM_Rule_Indent(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("let value = compute()"),
        [](QStringView text, const CaretLine& l, qsizetype) {
            return MarkdownLineEditing::indentEdit(text, l.range);
        });
}
void BM_Rule_Outdent(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("    let value = compute()"),
        [](QStringView text, const CaretLine& l, qsizetype) {
            return MarkdownLineEditing::outdentEdit(text, l.range);
        });
}
void BM_Rule_ToggleBold(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("some **word** here"),
        [](QStringView text, const CaretLine& l, qsizetype) {
            const TextRange word { l.range.location + 7, 4 };
            return MarkdownLineEditing::toggleInlineStyle(
                MarkdownLineEditing::InlineStyle::Bold, text, word);
        });
}
// For contrast: finding fenced blocks reads the text up to the caret.
void BM_IsInsideFencedCode(benchmark::State& state)
{
    runLineRule(state, QStringLiteral("plain line"),
        [](QStringView text, const CaretLine&, qsizetype caret) {
            return MarkdownLineEditing::isInsideFencedCode(text, caret);
        });
}

constexpr int64_t k10KB = 10 * 1024;
constexpr int64_t k1MB = 1 << 20;
BENCHMARK(BM_Rule_Return)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_Rule_Backspace)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_Rule_CodeReturn)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_Rule_Indent)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_Rule_Outdent)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_Rule_ToggleBold)->Arg(k10KB)->Arg(k1MB);
BENCHMARK(BM_IsInsideFencedCode)->Arg(k10KB)->Arg(k1MB)->Unit(benchmark::kMicrosecond);

// A document of real shapes of about `bytes`, styled by the Markdown engine as the editor shows
// it (reading mode, caret in the middle).
AttributedText styledDocument(qsizetype bytes)
{
    AttributedText storage(bench::realShapesDocument(bytes));
    HighlightOptions options;
    options.isReadingMode = true;
    options.isFocused = true;
    options.cursorLocation = storage.length() / 2;
    MarkdownHighlighter::highlight(storage, options);
    return storage;
}

// One character typed (or deleted) in the middle of a styled document of state.range(0) bytes,
// the text's own change included: what the storage adds is the difference to
// BM_QStringInsertMiddle. Also reports the bytes the storage keeps per MB of document.
void storageEditMiddle(benchmark::State& state, bool insert)
{
    AttributedText storage = styledDocument(state.range(0));
    const double megabytes = double(storage.text().toUtf8().size()) / (1 << 20);
    state.counters["storage_bytes_per_MB"] = double(storage.storageBytes()) / megabytes;
    state.counters["runs"] = double(storage.runs().size());
    qsizetype at = storage.length() / 2;
    const QString x = QStringLiteral("x");
    for (auto _ : state) {
        if (insert)
            storage.replaceCharacters({ at++, 0 }, x);
        else
            storage.replaceCharacters({ at--, 1 }, QString());
        if (at < 1)
            at = storage.length() / 2;
    }
}
void BM_StorageInsertMiddle(benchmark::State& state)
{
    storageEditMiddle(state, true);
}
void BM_StorageRemoveMiddle(benchmark::State& state)
{
    storageEditMiddle(state, false);
}

void BM_QStringInsertMiddle(benchmark::State& state)
{
    QString text = bench::realShapesDocument(state.range(0));
    qsizetype at = text.size() / 2;
    for (auto _ : state)
        text.insert(at++, u'x');
}

// Attributes read at scattered offsets of a styled 1 MB document, each with the stretch of equal
// attributes around it, and the hidden-marker attribute with its own stretch.
void BM_StorageReadAt(benchmark::State& state)
{
    const AttributedText storage = styledDocument(k1MB);
    quint64 seed = 1;
    qsizetype found = 0;
    for (auto _ : state) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const qsizetype at = qsizetype((seed >> 33) % quint64(storage.length()));
        TextSpan run;
        TextSpan markerRun;
        found += storage.attributes(at, &run).font ? 1 : 0;
        found += storage.attribute<TextAttribute::Collapsed>(at, &markerRun) ? 1 : 0;
        benchmark::DoNotOptimize(run);
        benchmark::DoNotOptimize(markerRun);
    }
    benchmark::DoNotOptimize(found);
}

// A key typed into a document of state.range(0) bytes while a snapshot of it is held elsewhere
// (a write on its way, the last text written): the edit copies what the snapshot shares. Its
// cost should follow the piece typed into, not the document's length.
void BM_ChunkedTextTypeBesideSnapshot(benchmark::State& state)
{
    ChunkedText text(bench::realShapesDocument(state.range(0)));
    qsizetype at = text.size() / 2;
    for (auto _ : state) {
        const ChunkedText snapshot = text;
        text.replace(at++, 0, u"x");
        benchmark::DoNotOptimize(snapshot.size());
    }
    state.counters["pieces"] = double(text.pieces().size());
}

// Every line of a 10 MB document found, by its line feeds (the panes' line starts) and by every
// kind of break (styling's line reader).
void BM_LinesOf10MB(benchmark::State& state)
{
    const QString text = bench::realShapesDocument(10 << 20);
    const bool anyBreak = state.range(0) != 0;
    qsizetype lines = 0;
    for (auto _ : state) {
        lines = 0;
        for (qsizetype at = 0; at < text.size(); ++lines) {
            at = 1
                + (anyBreak ? textlines::nextLineBreak(text, at)
                            : textlines::nextLineFeed(text, at));
        }
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}

constexpr int64_t k10MB = 10 << 20;
BENCHMARK(BM_LinesOf10MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkedTextTypeBesideSnapshot)
    ->Arg(k1MB)
    ->Arg(k10MB)
    ->Arg(21 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StorageInsertMiddle)->Arg(k1MB)->Arg(k10MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StorageRemoveMiddle)->Arg(k1MB)->Arg(k10MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QStringInsertMiddle)->Arg(k1MB)->Arg(k10MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StorageReadAt)->Unit(benchmark::kNanosecond);

} // namespace
