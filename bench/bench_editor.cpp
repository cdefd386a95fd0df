// The block editor on large documents: opening, typing one character (key event to styled view
// and text written to the workspace) and moving the caret to another line (reveals and hides
// markers). Each case reports its 95th percentile and maximum in milliseconds. Also the mapping
// of offsets between the Markdown and the editor's text across many tables.
#include "BenchDocuments.h"
#include "BenchReport.h"
#include "editor/block/ProjectedDocument.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <memory>
#include <vector>

using namespace quillon;

namespace {

// The document of a benchmark case: `shape` 0 the generated one (100 tables), 1 the one of
// real-world shapes, 2 notes dense with small tables.
QString makeDocument(qsizetype bytes, int shape)
{
    if (shape == 2)
        return bench::tableDenseDocument(bytes, true);
    return shape == 0 ? bench::generatedDocument(bytes, 100) : bench::realShapesDocument(bytes);
}

// A document with a table in about every 2 KiB.
QString manyTablesDocument(qsizetype bytes)
{
    return bench::generatedDocument(bytes, int(bytes / 2048));
}

// Times `step` once per iteration as the case's manual time, runs `after` untimed (the rest of
// the event loop's work, checks), and reports the percentiles of the steps.
template <typename Step, typename After>
void timeSteps(benchmark::State& state, Step&& step, After&& after)
{
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        step();
        const double ms = timer.nsecsElapsed() / 1e6;
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
        after();
    }
    bench::reportPercentiles(state, samples);
}

// Times `first` and `second` in turn, one a step, with the rest of the event loop's work after
// each.
template <typename First, typename Second>
void timeInTurn(benchmark::State& state, First&& first, Second&& second)
{
    bool isSecond = false;
    timeSteps(
        state, [&] { isSecond ? second() : first(); },
        [&] {
            isSecond = !isSecond;
            QApplication::processEvents();
        });
}

struct Fixture
{
    QTemporaryDir home;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<UnifiedBlockEditor> editor;

    Fixture()
    {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        workspace = std::make_unique<WorkspaceState>();
        QApplication::processEvents();
    }
    // Opens `text` as a new file, as the user opens a document: its document and a block
    // editor made for it.
    void load(const QString& text)
    {
        const QString path = home.filePath(QStringLiteral("doc%1.md").arg(++files));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        file.close();
        editor.reset();
        workspace->openFile(path);
        editor = std::make_unique<UnifiedBlockEditor>(*workspace->activeDocument(), *workspace);
        editor->resize(1100, 800);
        editor->show();
        QApplication::setActiveWindow(editor.get());
        editor->textView()->setFocus();
        QApplication::processEvents();
    }
    int files = 0;
    // Until the whole text is styled (20 s at most).
    void waitForStyling()
    {
        QElapsedTimer settling;
        settling.start();
        while (editor->isRestylingWhole() && settling.elapsed() < 20'000)
            QApplication::processEvents();
    }
    // `doc` loaded and styled, the caret at its end.
    void loadStyledToEnd(const QString& doc)
    {
        load(doc);
        waitForStyling();
        key(Qt::Key_End, {}, Qt::ControlModifier);
    }
    // The caret at the end of the first line from the middle on that holds `marker` (anywhere
    // in the middle for an empty one).
    void caretToMiddle(const QString& marker = {})
    {
        QTextCursor cursor = editor->textView()->textCursor();
        const int middle = editor->textView()->document()->characterCount() / 2;
        const QString& text = editor->projected().storage().text();
        const qsizetype found = marker.isEmpty() ? middle : text.indexOf(marker, middle);
        cursor.setPosition(int(found < 0 ? middle : found));
        cursor.movePosition(QTextCursor::EndOfBlock);
        editor->textView()->setTextCursor(cursor);
        editor->flushPendingWork();
        QApplication::processEvents();
    }
    void key(int key, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(editor->textView(), &press);
    }
};

// Times one character typed per iteration where the caret stands, each checked to have
// reached the workspace.
void timeTyping(benchmark::State& state, Fixture& fixture)
{
    qsizetype expectedLength = fixture.workspace->currentFileContent().size();
    timeSteps(
        state, [&] { fixture.key(Qt::Key_A, QStringLiteral("a")); },
        [&] {
            ++expectedLength;
            if (fixture.workspace->currentFileContent().size() != expectedLength)
                state.SkipWithError("the typed character did not reach the workspace");
            QApplication::processEvents();
        });
}

void BM_EditorOpen(benchmark::State& state)
{
    const QString doc = makeDocument(state.range(0), int(state.range(1)));
    Fixture fixture;
    timeSteps(
        state,
        [&] {
            // Read, loaded, styled and the first screen painted; the rest follows in the
            // background.
            fixture.load(doc);
            fixture.editor->textView()->viewport()->repaint();
        },
        [] {});
    state.SetBytesProcessed(state.iterations() * doc.size() * 2);
}

// Where the caret works: 0 prose, 1 inside a fenced block, 2 a line of pipes outside tables
// (generated) or a list item's continuation (real shapes), 3 the heading of a section, two lines
// above its table (generated).
QString placeMarker(int shape, int where)
{
    switch (where) {
    case 1:
        return shape == 0 ? QStringLiteral("return x * 2;") : QStringLiteral("curl -H");
    case 2:
        return shape == 0 ? QStringLiteral("left | right") : QStringLiteral("with its own");
    case 3:
        return QStringLiteral("## Section");
    default:
        return {};
    }
}

void BM_EditorTypeCharacter(benchmark::State& state)
{
    const QString doc = makeDocument(state.range(0), int(state.range(1)));
    Fixture fixture;
    fixture.load(doc);
    fixture.caretToMiddle(placeMarker(int(state.range(1)), int(state.range(2))));
    timeTyping(state, fixture);
}

void BM_EditorCaretToAnotherLine(benchmark::State& state)
{
    const QString doc = makeDocument(state.range(0), int(state.range(1)));
    Fixture fixture;
    fixture.load(doc);
    fixture.caretToMiddle(placeMarker(int(state.range(1)), int(state.range(2))));
    if (state.range(2) == 3) {
        // To the blank line under the heading: the caret then goes onto the table and back.
        fixture.key(Qt::Key_Down);
        QApplication::processEvents();
    }
    bool down = true;
    timeSteps(
        state, [&] { fixture.key(down ? Qt::Key_Down : Qt::Key_Up); },
        [&] {
            down = !down;
            QApplication::processEvents();
        });
}

// A character typed near the start of one long styled line, to the view styled and painted
// again: the paragraph is itemised and styled whole (laid out only as far as it is shown), so
// this grows with the line.
void BM_EditorTypeInOneLongLine(benchmark::State& state)
{
    Fixture fixture;
    fixture.load(bench::oneLineDocument(state.range(0)));
    QTextCursor cursor = fixture.editor->textView()->textCursor();
    cursor.setPosition(5);
    fixture.editor->textView()->setTextCursor(cursor);
    fixture.editor->flushPendingWork();
    QApplication::processEvents();
    timeSteps(
        state,
        [&] {
            fixture.key(Qt::Key_A, QStringLiteral("a"));
            fixture.editor->flushPendingWork();
            fixture.editor->textView()->viewport()->repaint();
        },
        [] { QApplication::processEvents(); });
}

// Ctrl+End and Ctrl+Home in turn: the caret leaves one line and reaches another a whole document
// away; `last` 0: the document ends in an empty line, 1: in a line of text.
void BM_EditorCaretJump(benchmark::State& state)
{
    Fixture fixture;
    QString doc = makeDocument(state.range(0), 0);
    if (state.range(1) == 1)
        doc += QStringLiteral("The **last** line.");
    fixture.load(doc);
    fixture.caretToMiddle();
    bool toEnd = true;
    timeSteps(
        state, [&] { fixture.key(toEnd ? Qt::Key_End : Qt::Key_Home, {}, Qt::ControlModifier); },
        [&] {
            toEnd = !toEnd;
            QApplication::processEvents();
        });
}

// `direction` 0 maps the end of the editor's text to the Markdown, 1 the end of the Markdown to
// the editor's text: every keystroke maps the caret and the change this way.
void BM_ProjectedOffsetAtEnd(benchmark::State& state)
{
    const QString doc = manyTablesDocument(state.range(0));
    QTextDocument document;
    ProjectedDocument projected(document);
    projected.load(doc, false, 15);
    const qsizetype storageEnd = projected.storage().length();
    const qsizetype markdownEnd = doc.size();
    if (projected.markdownOffset(storageEnd) != markdownEnd)
        state.SkipWithError("the offsets do not map onto each other");
    const bool toMarkdown = state.range(1) == 0;
    for (auto _ : state) {
        if (toMarkdown)
            benchmark::DoNotOptimize(projected.markdownOffset(storageEnd));
        else
            benchmark::DoNotOptimize(projected.storageOffset(markdownEnd));
    }
    state.counters["tables"] = projected.tableCount();
}

// One character typed at the very end of a document with many tables: everything before the
// caret is what a scan from the start would walk.
void BM_EditorTypeCharacterAtEnd(benchmark::State& state)
{
    const QString doc = manyTablesDocument(state.range(0));
    Fixture fixture;
    fixture.load(doc);
    QTextCursor cursor = fixture.editor->textView()->textCursor();
    cursor.movePosition(QTextCursor::End);
    fixture.editor->textView()->setTextCursor(cursor);
    fixture.editor->flushPendingWork();
    QApplication::processEvents();
    timeTyping(state, fixture);
}

// A character typed in the middle of the whole text (not of the view's window), once the text
// is styled: the cost of a key there against one near the top shows what the key pays for the
// text on either side.
void BM_EditorTypeCharacterMidText(benchmark::State& state)
{
    const QString doc = makeDocument(state.range(0), 0);
    Fixture fixture;
    fixture.load(doc);
    fixture.waitForStyling();
    fixture.editor->scrollToLine(int(doc.count(u'\n') / 2));
    fixture.key(Qt::Key_End);
    fixture.editor->flushPendingWork();
    QApplication::processEvents();
    timeTyping(state, fixture);
}

// Backspace and a character in turn on a new last line of a styled document, the line emptied
// and filled again: what they read of the text before the caret (the fenced blocks around it,
// the stretch a restyle begins at) is what typing at the end of long notes pays.
void BM_EditorBackspaceAtEnd(benchmark::State& state)
{
    const QString doc = makeDocument(state.range(0), 0);
    Fixture fixture;
    fixture.loadStyledToEnd(doc);
    fixture.key(Qt::Key_Return, QStringLiteral("\r"));
    fixture.key(Qt::Key_A, QStringLiteral("a"));
    fixture.editor->flushPendingWork();
    QApplication::processEvents();
    timeInTurn(
        state, [&] { fixture.key(Qt::Key_Backspace); },
        [&] { fixture.key(Qt::Key_A, QStringLiteral("a")); });
    if (!fixture.workspace->currentFileContent().startsWith(doc))
        state.SkipWithError("the text before the caret changed");
}

// The rows of a table typed under its header at the end of a long document, key by key, with
// what the key leaves for the next turn (a table rebuilt with the row) done in the step.
void BM_EditorTypeTableRow(benchmark::State& state)
{
    Fixture fixture;
    fixture.loadStyledToEnd(makeDocument(state.range(0), 0));
    const auto type = [&](QChar c) {
        if (c == u'\n')
            fixture.key(Qt::Key_Return, QStringLiteral("\r"));
        else
            fixture.key(Qt::Key_A, QString(c));
        fixture.editor->flushPendingWork();
    };
    for (QChar c : QStringLiteral("\n\n| a | b |\n|---|---|\n"))
        type(c);
    fixture.waitForStyling();
    const QString row = QStringLiteral("| 1 | 2 |\n");
    qsizetype next = 0;
    timeSteps(
        state, [&] { type(row.at(next++ % row.size())); }, [] { QApplication::processEvents(); });
}

// Return and Backspace in turn near the top of notes dense with small tables, each with the
// view painted at once: every table on screen below the caret moves down a line and back.
void BM_EditorLineBreakAboveTables(benchmark::State& state)
{
    Fixture fixture;
    fixture.load(makeDocument(state.range(0), 2));
    fixture.waitForStyling();
    fixture.key(Qt::Key_Home, {}, Qt::ControlModifier);
    fixture.key(Qt::Key_End);
    fixture.editor->flushPendingWork();
    QApplication::processEvents();
    QWidget* viewport = fixture.editor->textView()->viewport();
    timeInTurn(
        state,
        [&] {
            fixture.key(Qt::Key_Return, QStringLiteral("\r"));
            viewport->repaint();
        },
        [&] {
            fixture.key(Qt::Key_Backspace);
            viewport->repaint();
        });
}

// Keys timed one by one at 1 MB and 10 MB.
void keysAt1And10Megabytes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgNames({ "bytes" })
        ->Args({ 1 << 20 })
        ->Args({ 10 << 20 })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
}

} // namespace

BENCHMARK(BM_EditorOpen)
    ->ArgNames({ "bytes", "shape" })
    ->ArgsProduct({ { 1 << 20, 10 << 20 }, { 0, 1, 2 } })
    ->Args({ 100 << 10, 0 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_EditorTypeCharacter)
    ->ArgNames({ "bytes", "shape", "where" })
    ->ArgsProduct({ { 1 << 20, 10 << 20 }, { 0, 1 }, { 0, 1, 2 } })
    ->Args({ 100 << 10, 0, 0 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
BENCHMARK(BM_EditorCaretToAnotherLine)
    ->ArgNames({ "bytes", "shape", "where" })
    ->ArgsProduct({ { 1 << 20, 10 << 20 }, { 0, 1 }, { 0, 1, 2 } })
    ->Args({ 100 << 10, 0, 0 })
    ->Args({ 1 << 20, 0, 3 })
    ->Args({ 10 << 20, 0, 3 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
BENCHMARK(BM_EditorTypeInOneLongLine)
    ->ArgNames({ "bytes" })
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(2 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_EditorCaretJump)
    ->ArgNames({ "bytes", "last" })
    ->ArgsProduct({ { 1 << 20, 10 << 20 }, { 0, 1 } })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_ProjectedOffsetAtEnd)
    ->ArgNames({ "bytes", "direction" })
    ->ArgsProduct({ { 1 << 20, 10 << 20 }, { 0, 1 } })
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorTypeCharacterAtEnd)->Apply(keysAt1And10Megabytes);
BENCHMARK(BM_EditorTypeCharacterMidText)->Apply(keysAt1And10Megabytes);
BENCHMARK(BM_EditorBackspaceAtEnd)->Apply(keysAt1And10Megabytes);
BENCHMARK(BM_EditorTypeTableRow)->Apply(keysAt1And10Megabytes);
BENCHMARK(BM_EditorLineBreakAboveTables)->Apply(keysAt1And10Megabytes);
