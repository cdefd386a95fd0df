// The source pane on large documents: opening in source-only mode, typing one character in the
// middle (key event to coloured view and the edit taken by the workspace, which writes the file),
// alone and with the block editor beside it, a new width (a window, divider or panel resized),
// find with ten thousand matches, and the status bar's word and character counts. Each case
// reports its 95th percentile and maximum in milliseconds.
#include "BenchDocuments.h"
#include "BenchReport.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/source/CodeEditorView.h"
#include "workspace/Document.h"
#include "workspace/DocumentAnalyzer.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

using namespace quillon;

namespace {

struct Fixture
{
    QTemporaryDir home;
    QTemporaryDir folder;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<QWidget> window;
    CodeEditorView* source = nullptr;
    UnifiedBlockEditor* blocks = nullptr;

    // Without `openFile` the text is only shown: no document takes the edits, nothing is written.
    Fixture(const QString& text, bool withBlocks, bool openFile = true)
    {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        const QString path = folder.filePath(QStringLiteral("doc.md"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && openFile)
            file.write(text.toUtf8());
        file.close();
        workspace = std::make_unique<WorkspaceState>();
        // The views are made for the document: it is opened first.
        workspace->openFile(path);
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        source = new CodeEditorView(*workspace->activeDocument(), *workspace, false, window.get());
        layout->addWidget(source);
        if (withBlocks) {
            blocks = new UnifiedBlockEditor(
                *workspace->activeDocument(), *workspace, false, window.get());
            layout->addWidget(blocks);
        }
        window->resize(withBlocks ? 1400 : 900, 800);
        window->show();
        QApplication::setActiveWindow(window.get());
        source->textView()->setFocus();
        QApplication::processEvents();
        if (!openFile)
            workspace->setCurrentFileContent(text);
        QApplication::processEvents();
    }
    void caretToMiddle() const
    {
        QTextCursor cursor = source->textView()->textCursor();
        cursor.setPosition(source->textView()->document()->characterCount() / 2);
        cursor.movePosition(QTextCursor::EndOfBlock);
        source->textView()->setTextCursor(cursor);
        QApplication::processEvents();
    }
    void key(const QString& text) const
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text);
        QApplication::sendEvent(source->textView(), &press);
    }
};

template <typename Step> double timed(benchmark::State& state, Step&& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    const double ms = timer.nsecsElapsed() / 1e6;
    state.SetIterationTime(ms / 1000);
    return ms;
}

void typeInTheMiddle(benchmark::State& state, bool withBlocks, bool openFile = true)
{
    Fixture fixture(
        bench::generatedDocument(state.range(0), int(state.range(1))), withBlocks, openFile);
    fixture.caretToMiddle();
    std::vector<double> samples;
    qsizetype expected = fixture.workspace->currentFileContent().size();
    for (auto _ : state) {
        samples.push_back(timed(state, [&] { fixture.key(QStringLiteral("a")); }));
        ++expected;
        if (!openFile) {
            if (fixture.source->text().size() != expected)
                state.SkipWithError("the typed character did not reach the view's text");
        } else if (fixture.workspace->currentFileContent().size() != expected
            || (fixture.blocks && fixture.blocks->markdown().size() != expected))
            state.SkipWithError("the typed character did not reach the workspace and the views");
        QApplication::processEvents();
    }
    bench::reportPercentiles(state, samples);
}

void BM_SourceTypeCharacter(benchmark::State& state)
{
    typeInTheMiddle(state, false);
}

// The pane's own share: the same keystroke with no document to take it.
void BM_SourceTypeCharacterViewOnly(benchmark::State& state)
{
    typeInTheMiddle(state, false, false);
}

void BM_SourceTypeCharacterBothPanes(benchmark::State& state)
{
    typeInTheMiddle(state, true);
}

// A character typed near the start of one long styled line, with the block view beside: both
// panes take the key, restyle and lay out the part of the line it fell in, and paint.
void BM_TypeInOneLongLineBothPanes(benchmark::State& state)
{
    Fixture fixture(bench::oneLineDocument(state.range(0)), true);
    QTextCursor cursor = fixture.source->textView()->textCursor();
    cursor.setPosition(5);
    fixture.source->textView()->setTextCursor(cursor);
    QApplication::processEvents();
    std::vector<double> samples;
    for (auto _ : state) {
        samples.push_back(timed(state, [&] {
            fixture.key(QStringLiteral("a"));
            fixture.source->textView()->viewport()->repaint();
            fixture.blocks->textView()->viewport()->repaint();
        }));
        QApplication::processEvents();
    }
    bench::reportPercentiles(state, samples);
}

void BM_SourceOpen(benchmark::State& state)
{
    const QString doc = bench::generatedDocument(state.range(0), int(state.range(1)));
    Fixture fixture(QString(), false);
    std::vector<double> samples;
    for (auto _ : state) {
        fixture.workspace->setCurrentFileContent(QString());
        QApplication::processEvents();
        // Loaded, coloured and the first screen painted.
        samples.push_back(timed(state, [&] {
            fixture.workspace->setCurrentFileContent(doc);
            fixture.source->textView()->viewport()->repaint();
        }));
    }
    bench::reportPercentiles(state, samples);
}

// The pane made narrower and wider in turn, with the caret in the middle of the text: laid out
// anew and the screen painted.
void BM_SourceWidthChange(benchmark::State& state)
{
    Fixture fixture(bench::generatedDocument(state.range(0), int(state.range(1))), false);
    fixture.caretToMiddle();
    fixture.source->textView()->ensureCursorVisible();
    QApplication::processEvents();
    std::vector<double> samples;
    bool narrow = false;
    for (auto _ : state) {
        narrow = !narrow;
        samples.push_back(timed(state, [&] {
            fixture.window->resize(narrow ? 700 : 900, 800);
            QApplication::processEvents();
            fixture.source->textView()->viewport()->repaint();
        }));
        if (fixture.source->textView()->viewport()->width() >= (narrow ? 700 : 900))
            state.SkipWithError("the pane did not take the new width");
    }
    bench::reportPercentiles(state, samples);
}

// Ten thousand matches of "needle" spread through the 1 MB document.
QString documentWithMatches()
{
    QString doc = bench::generatedDocument(1 << 20, 100);
    const qsizetype step = doc.size() / 10'000;
    for (qsizetype i = 10'000; i > 0; --i)
        doc.insert(i * step - step / 2, QStringLiteral(" needle "));
    return doc;
}

void BM_SourceFindCountAndPaint(benchmark::State& state)
{
    Fixture fixture(documentWithMatches(), false);
    fixture.workspace->setIsLocalSearchVisible(true);
    std::vector<double> samples;
    bool toggle = false;
    for (auto _ : state) {
        const QString query = toggle ? QStringLiteral("needle") : QStringLiteral("needle ");
        toggle = !toggle;
        samples.push_back(timed(state, [&] {
            fixture.workspace->setLocalSearchQuery(query);
            fixture.source->textView()->viewport()->repaint();
            QApplication::processEvents(); // the count is published on the next turn
        }));
        if (fixture.workspace->totalLocalMatchCount() != 10'000)
            state.SkipWithError("expected 10000 matches");
    }
    bench::reportPercentiles(state, samples);
}

void BM_SourceFindNextMatch(benchmark::State& state)
{
    Fixture fixture(documentWithMatches(), false);
    fixture.workspace->setIsLocalSearchVisible(true);
    fixture.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    QApplication::processEvents();
    std::vector<double> samples;
    int index = 0;
    for (auto _ : state) {
        index = (index + 997) % 10'000;
        samples.push_back(timed(state, [&] {
            fixture.workspace->setCurrentLocalMatchIndex(index);
            fixture.source->textView()->viewport()->repaint();
        }));
    }
    bench::reportPercentiles(state, samples);
}

// Another program changes one line of the open file (`where` 0: appends one, 1: rewrites one
// in the middle), with both panes shown: from the watcher's report to both panes showing the new
// text and painted. The rest of the work the change leaves for later turns is done untimed.
void BM_OutsideChangeBothPanes(benchmark::State& state)
{
    QString text = bench::generatedDocument(state.range(0), int(state.range(0) / (32 << 10)));
    Fixture fixture(text, true);
    auto settle = [&] {
        for (int i = 0; i < 10'000 && (fixture.blocks->isLoading() || fixture.source->isLoading());
             ++i)
            QApplication::processEvents();
        fixture.blocks->flushPendingWork();
        fixture.source->flushPendingWork();
        QApplication::processEvents();
    };
    settle();
    fixture.caretToMiddle();
    Document& document = *fixture.workspace->activeDocument();
    const QString path = document.path();
    const qsizetype middle = text.indexOf(u'\n', text.size() / 2) + 1;
    std::vector<double> samples;
    int round = 0;
    for (auto _ : state) {
        ++round;
        if (state.range(1) == 0) {
            text += QStringLiteral("A line another program added, number %1.\n").arg(round);
        } else {
            const qsizetype end = text.indexOf(u'\n', middle);
            text.replace(middle, end - middle,
                QStringLiteral("A line another program rewrote, %1 times.").arg(round));
        }
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text.toUtf8());
        file.close();
        samples.push_back(timed(state, [&] {
            document.followChangeOnDisk();
            fixture.blocks->flushPendingWork();
            fixture.source->flushPendingWork();
            fixture.blocks->textView()->viewport()->repaint();
            fixture.source->textView()->viewport()->repaint();
        }));
        if (fixture.source->text() != text || fixture.blocks->markdown() != text)
            state.SkipWithError("the panes do not show the changed file");
        settle();
    }
    bench::reportPercentiles(state, samples);
    std::vector<double> sorted = samples;
    std::sort(sorted.begin(), sorted.end());
    state.counters["median_ms"] = sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

// The status bar's figures, recounted once per turn of the event loop that changed the text.
void BM_StatusBarFigures(benchmark::State& state)
{
    const QString doc = bench::generatedDocument(state.range(0), int(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(DocumentAnalyzer::wordCount(doc));
        benchmark::DoNotOptimize(DocumentAnalyzer::characterCount(doc));
    }
}

} // namespace

BENCHMARK(BM_StatusBarFigures)
    ->Args({ 1 << 20, 100 })
    ->Args({ 100 << 10, 10 })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SourceTypeCharacter)
    ->Args({ 1 << 20, 100 })
    ->Args({ 100 << 10, 10 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);
BENCHMARK(BM_TypeInOneLongLineBothPanes)
    ->Arg(256 << 10)
    ->Arg(2 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(BM_SourceTypeCharacterViewOnly)
    ->Args({ 1 << 20, 100 })
    ->Args({ 100 << 10, 10 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);
BENCHMARK(BM_SourceTypeCharacterBothPanes)
    ->Args({ 1 << 20, 100 })
    ->Args({ 100 << 10, 10 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
BENCHMARK(BM_SourceOpen)
    ->Args({ 1 << 20, 100 })
    ->Args({ 100 << 10, 10 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_SourceWidthChange)
    ->Args({ 10 << 20, 1000 })
    ->Args({ 1 << 20, 100 })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_SourceFindCountAndPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);
BENCHMARK(BM_OutsideChangeBothPanes)
    ->ArgNames({ "bytes", "where" })
    ->ArgsProduct({ { 3 << 20, 10 << 20 }, { 0, 1 } })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);
BENCHMARK(BM_SourceFindNextMatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
