// Building the workspace tree of a folder with 10,000 entries, every folder expanded.
#include "workspace/FileNode.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using quillon::FileNode;
using quillon::WorkspaceState;

// Keeps the benchmark's settings (session, recents) out of the user's own: set before the
// settings are first read.
QTemporaryDir& isolatedSettings()
{
    static QTemporaryDir config;
    static const bool once = [] {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        return true;
    }();
    (void)once;
    return config;
}

void touch(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("# note\n");
}

void dropDeletedNodes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int countNodes(const FileNode* node)
{
    int n = 0;
    for (const FileNode* child : node->children())
        n += 1 + countNodes(child);
    return n;
}

void runTreeBenchmark(benchmark::State& state, int folders, int filesPerFolder, int rootFiles)
{
    isolatedSettings();
    QTemporaryDir dir;
    QStringList folderPaths;
    for (int f = 0; f < folders; ++f) {
        const QString folder = dir.filePath(QStringLiteral("folder %1").arg(f));
        QDir().mkpath(folder);
        folderPaths.append(folder);
        for (int i = 0; i < filesPerFolder; ++i)
            touch(folder + QStringLiteral("/note %1.md").arg(i));
    }
    for (int i = 0; i < rootFiles; ++i)
        touch(dir.filePath(QStringLiteral("note %1.md").arg(i)));

    WorkspaceState workspace;
    QCoreApplication::processEvents(); // the deferred session restore
    QSet<QString> expanded(folderPaths.begin(), folderPaths.end());
    workspace.setExpandedPaths(expanded);
    workspace.setFolderURL(dir.path());
    dropDeletedNodes();

    for (auto _ : state) {
        workspace.refreshFolder();
        benchmark::DoNotOptimize(workspace.rootNode());
        state.PauseTiming();
        dropDeletedNodes();
        state.ResumeTiming();
    }
    state.counters["entries"] = countNodes(workspace.rootNode());
    workspace.setFolderURL({});
    dropDeletedNodes();
}

// 100 expanded folders of 99 documents each.
void BM_TreeExpandedFolders(benchmark::State& state)
{
    runTreeBenchmark(state, 100, 99, 0);
}
BENCHMARK(BM_TreeExpandedFolders)->Unit(benchmark::kMillisecond);

// One folder holding 10,000 documents.
void BM_TreeFlatFolder(benchmark::State& state)
{
    runTreeBenchmark(state, 0, 0, 10000);
}
BENCHMARK(BM_TreeFlatFolder)->Unit(benchmark::kMillisecond);

} // namespace
