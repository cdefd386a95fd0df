// The sidebar's views on large inputs, painted offscreen: the file tree of a folder of 10,000
// entries (reset and first paint; the rebuild after one file appears), and 300 search results
// from publication to painted rows.
#include "platform/UserDefaults.h"
#include "sidebar/FileTreeModel.h"
#include "sidebar/FileTreeView.h"
#include "sidebar/SearchResultsView.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>

using namespace quillon;

namespace {

// Keeps the benchmark's settings (session, recents) out of the user's own: set before the
// settings are first read.
void isolateSettings()
{
    static QTemporaryDir config;
    static const bool once = [] {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        UserDefaults::standard().setBool(QStringLiteral("telemetryOptOut"), true);
        return true;
    }();
    (void)once;
}

void flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct BigFolder
{
    QTemporaryDir dir;
    BigFolder()
    {
        for (int i = 0; i < 10000; ++i) {
            QFile file(dir.filePath(QStringLiteral("note %1.md").arg(i, 5, 10, QLatin1Char('0'))));
            if (file.open(QIODevice::WriteOnly))
                file.write("# note\n");
        }
    }
};

const BigFolder& bigFolder()
{
    static BigFolder folder;
    return folder;
}

// Listing the folder (the workspace's part) and the tree's reset and first paint, separately.
void BM_TreeOf10000EntriesResetAndFirstPaint(benchmark::State& state)
{
    isolateSettings();
    const BigFolder& folder = bigFolder();
    WorkspaceState workspace;
    flush();
    workspace.setFolderURL(folder.dir.path());
    FileTreeView view(workspace);
    view.resize(280, 800);
    view.show();
    flush();
    double listing = 0;
    double paint = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        workspace.refreshFolder(); // lists the folder, then the tree resets

        const double total = timer.nsecsElapsed() / 1e6;
        view.viewport()->repaint();
        const double painted = timer.nsecsElapsed() / 1e6;
        state.PauseTiming();
        flush();
        state.ResumeTiming();
        listing = total;
        paint = painted - total;
        benchmark::DoNotOptimize(view.model()->rowCount());
    }
    state.counters["rows"] = view.model()->rowCount();
    state.counters["listing_and_reset_ms"] = listing;
    state.counters["first_paint_ms"] = paint;
}

// Only the tree's own work: a model reset over an already listed tree, then the paint.
void BM_TreeModelResetAndPaintOnly(benchmark::State& state)
{
    isolateSettings();
    const BigFolder& folder = bigFolder();
    WorkspaceState workspace;
    flush();
    workspace.setFolderURL(folder.dir.path());
    FileTreeView view(workspace);
    view.resize(280, 800);
    view.show();
    flush();
    for (auto _ : state) {
        Q_EMIT workspace.rootNodeChanged(); // the tree takes the root as it is
        view.viewport()->repaint();
    }
    state.counters["rows"] = view.model()->rowCount();
}

// A file appears while the tree is scrolled: from the watcher's rebuild to the repainted rows,
// with the scroll position kept.
void BM_TreeRebuildAfterOneFileIsCreated(benchmark::State& state)
{
    isolateSettings();
    const BigFolder& folder = bigFolder();
    WorkspaceState workspace;
    flush();
    workspace.setFolderURL(folder.dir.path());
    FileTreeView view(workspace);
    view.resize(280, 800);
    view.show();
    flush();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    const int scroll = view.verticalScrollBar()->value();
    int n = 0;
    bool kept = true;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(folder.dir.filePath(QStringLiteral("added %1.md").arg(n++)));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        file.close();
        state.ResumeTiming();
        workspace.refreshFolder(); // what the folder watcher's event runs
        view.viewport()->repaint();
        state.PauseTiming();
        kept = kept && view.verticalScrollBar()->value() == scroll;
        flush();
        QFile::remove(file.fileName());
        state.ResumeTiming();
    }
    state.counters["scroll_kept"] = kept ? 1 : 0;
}

// 300 hits published by a search, until the rows on screen are painted.
void BM_SearchResults300PublishedToPainted(benchmark::State& state)
{
    isolateSettings();
    WorkspaceState workspace;
    flush();
    QVector<SearchResult> hits;
    for (int i = 0; i < 300; ++i) {
        SearchResult hit;
        hit.fileName = QStringLiteral("document %1.md").arg(i / 10);
        hit.fileURL = QStringLiteral("/w/folder %1/").arg(i / 50) + hit.fileName;
        hit.relativePath = QStringLiteral("folder %1/").arg(i / 50) + hit.fileName;
        hit.lineNumber = i % 10 + 1;
        hit.lineContent
            = QStringLiteral("a line of text that holds the word the search looked for, %1").arg(i);
        hit.isFileNameMatch = i % 10 == 0;
        hits.append(hit);
    }
    SearchResultsView view(workspace);
    view.resize(280, 800);
    view.show();
    flush();
    for (auto _ : state) {
        for (SearchResult& hit : hits)
            hit.id = QUuid::createUuid(); // every search makes new hits
        workspace.setGlobalSearchResults(hits);
        view.repaint();
    }
    state.counters["rows"] = view.list()->model()->rowCount();
}

} // namespace

BENCHMARK(BM_TreeOf10000EntriesResetAndFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TreeModelResetAndPaintOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TreeRebuildAfterOneFileIsCreated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchResults300PublishedToPainted)->Unit(benchmark::kMillisecond)->UseRealTime();
