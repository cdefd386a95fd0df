#include "platform/Parallel.h"

#include "platform/TextLines.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quillon {

namespace {
// Beyond a few threads the passes it serves are bound by memory, not by the processor.
constexpr int kMostThreads = 6;
} // namespace

int parallelWidth()
{
    // Asking costs a read of the system's processor list: once is enough.
    static const int width = std::clamp(int(std::thread::hardware_concurrency()), 1, kMostThreads);
    return width;
}

std::vector<qsizetype> lineStretchCuts(QStringView text, qsizetype length)
{
    std::vector<qsizetype> cuts { 0 };
    while (cuts.back() < text.size()) {
        const qsizetype feed
            = text.size() >= kParallelTextLength && cuts.back() + length < text.size()
            ? textlines::nextLineFeed(text, cuts.back() + length)
            : text.size();
        cuts.push_back(qMin(text.size(), feed + 1));
    }
    return cuts;
}

void parallelFor(qsizetype count, const std::function<void(qsizetype)>& work)
{
    if (count <= 0)
        return;
    // One index, the usual case for a short text, is worked on without any of the machinery.
    if (count == 1) {
        work(0);
        return;
    }
    std::atomic<qsizetype> next { 0 };
    auto drain = [&] {
        for (qsizetype i = next++; i < count; i = next++)
            work(i);
    };
    const int helpers = int(std::min<qsizetype>(count, parallelWidth())) - 1;
    std::vector<std::thread> threads;
    threads.reserve(size_t(std::max(helpers, 0)));
    for (int t = 0; t < helpers; ++t)
        threads.emplace_back(drain);
    drain();
    for (std::thread& thread : threads)
        thread.join();
}

void parallelForEach(
    qsizetype count, qsizetype perTask, bool inParallel, const std::function<void(qsizetype)>& work)
{
    const qsizetype chunk = qMax<qsizetype>(1, inParallel ? perTask : count);
    parallelFor((count + chunk - 1) / chunk, [&](qsizetype task) {
        const qsizetype end = qMin(count, (task + 1) * chunk);
        for (qsizetype i = task * chunk; i < end; ++i)
            work(i);
    });
}

} // namespace quillon
