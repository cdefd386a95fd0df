// Git status: parsing a 10,000-entry porcelain listing, and the whole workspace status check in a
// 5,000-file repository next to one plain `git status --porcelain` in the same repository, also
// right after a tool gave every file a new time (same bytes): plain git refreshes the index as it
// goes, the workspace runs the index refresh its folder watcher asks for, then the check.
#include "git/GitOutputParser.h"
#include "git/GitService.h"
#include "git/GitStatusSnapshot.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

using namespace quillon;

namespace {

QByteArray porcelainListing(int entries)
{
    QByteArray out("## main...origin/main [ahead 3, behind 1]");
    out.append('\0');
    static const char* const codes[] = { " M", "??", "A ", "D ", "MM", "UU" };
    for (int i = 0; i < entries; ++i) {
        out.append(codes[i % 6]);
        out.append(' ');
        out.append("notes/folder " + QByteArray::number(i / 100) + "/Dokument Nr. "
            + QByteArray::number(i) + " – Übersicht.md");
        out.append('\0');
    }
    return out;
}

void BM_StatusParse10k(benchmark::State& state)
{
    const QByteArray listing = porcelainListing(10000);
    for (auto _ : state) {
        GitStatusResult result = GitOutputParser::parseStatus(listing);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * listing.size());
    state.counters["entries"] = 10000;
}
BENCHMARK(BM_StatusParse10k)->Unit(benchmark::kMillisecond);

int git(const QString& folder, const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral("/usr/bin/git"), args);
    p.waitForFinished(-1);
    return p.exitCode();
}

struct Repository
{
    QTemporaryDir root { QDir::tempPath() + QStringLiteral("/quillon-bench-git-XXXXXX") };
    QString work() const { return root.filePath(QStringLiteral("work")); }
};

// 5,000 committed files in 50 folders, pushed to a local remote, then 50 of them changed.
const Repository& repository()
{
    // Destroyed at exit, which removes the generated repositories.
    static const std::unique_ptr<Repository> repo = [] {
        auto r = std::make_unique<Repository>();
        const QString remote = r->root.filePath(QStringLiteral("remote.git"));
        git(r->root.path(), { "init", "-q", "--bare", "-b", "main", remote });
        git(r->root.path(), { "init", "-q", "-b", "main", r->work() });
        for (int i = 0; i < 5000; ++i) {
            const QString dir = r->work() + QStringLiteral("/folder %1").arg(i / 100);
            QDir().mkpath(dir);
            QFile f(dir + QStringLiteral("/note %1.md").arg(i));
            f.open(QIODevice::WriteOnly);
            f.write("# Note " + QByteArray::number(i) + "\n\nSome text of the note.\n");
        }
        git(r->work(), { "add", "-A" });
        git(r->work(),
            { "-c", "user.name=Bench", "-c", "user.email=bench@quillon.invalid", "commit", "-q",
                "-m", "Bench" });
        git(r->work(), { "remote", "add", "origin", remote });
        git(r->work(), { "push", "-q", "-u", "origin", "main" });
        for (int i = 0; i < 5000; i += 100) {
            QFile f(r->work() + QStringLiteral("/folder %1/note %2.md").arg(i / 100).arg(i));
            f.open(QIODevice::Append);
            f.write("changed\n");
        }
        git(r->work(), { "status", "-q" });
        return r;
    }();
    return *repo;
}

void BM_PlainGitStatusPorcelain(benchmark::State& state)
{
    const QString work = repository().work();
    for (auto _ : state)
        benchmark::DoNotOptimize(git(work, { "status", "--porcelain" }));
}
BENCHMARK(BM_PlainGitStatusPorcelain)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_WorkspaceStatusCheck(benchmark::State& state)
{
    const QString work = repository().work();
    int changed = 0;
    for (auto _ : state) {
        const GitStatusSnapshot snapshot = GitStatusSnapshot::take(GitService::shared(), work);
        changed = snapshot.status.changedFileCount;
        benchmark::DoNotOptimize(snapshot);
    }
    state.counters["changedFiles"] = changed;
}
BENCHMARK(BM_WorkspaceStatusCheck)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// New modification times for every file, the same bytes; each call a different second, in the
// past, so that no entry is racily clean.
void touchAll(const QString& work)
{
    static qint64 seconds = QDateTime::currentSecsSinceEpoch() - 1000000;
    ++seconds;
    const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
    for (int i = 0; i < 5000; ++i) {
        const QString path = work + QStringLiteral("/folder %1/note %2.md").arg(i / 100).arg(i);
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    }
}

void BM_PlainGitStatusAfterTouch(benchmark::State& state)
{
    const QString work = repository().work();
    for (auto _ : state) {
        state.PauseTiming();
        touchAll(work);
        state.ResumeTiming();
        benchmark::DoNotOptimize(git(work, { "status", "--porcelain" }));
    }
}
BENCHMARK(BM_PlainGitStatusAfterTouch)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_WorkspaceStatusCheckAfterTouch(benchmark::State& state)
{
    const QString work = repository().work();
    for (auto _ : state) {
        state.PauseTiming();
        touchAll(work);
        state.ResumeTiming();
        GitService::shared().refreshIndex(work);
        benchmark::DoNotOptimize(GitStatusSnapshot::take(GitService::shared(), work));
    }
}
BENCHMARK(BM_WorkspaceStatusCheckAfterTouch)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

} // namespace
