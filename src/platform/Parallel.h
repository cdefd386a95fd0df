#pragma once

#include <QStringView>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace quillon {

// Runs `work(i)` for every i in [0, count), on the calling thread and on short-lived threads of
// its own beside it, and returns when all are done. For passes over a whole long text that the
// window waits for (reading it, finding its lines, copying it): each index a stretch of the
// text, independent of the others. `work` must touch nothing of the GUI.
//
// The threads are its own, not a shared pool's: the pool is where a document's analyses run,
// and a pass that waited for them to finish would wait longer than it saves.
void parallelFor(qsizetype count, const std::function<void(qsizetype)>& work);

// Runs `work(i)` for every i in [0, count) as parallelFor() does, `perTask` indexes a task; in one
// task on the calling thread unless `inParallel`.
void parallelForEach(qsizetype count, qsizetype perTask, bool inParallel,
    const std::function<void(qsizetype)>& work);

// A text shorter than this many UTF-16 units is gone through on the calling thread alone: the
// time threads would save is small, and what they allocate would stay in heaps of their own.
constexpr qsizetype kParallelTextLength = 2 * 1024 * 1024;

// Where to cut `text` into stretches of whole lines, one a thread: after the line feed at or past
// every `length` units (a line feed ends a line whatever breaks are around it), and nowhere in a
// text shorter than kParallelTextLength. The first cut is 0, the last the text's length.
std::vector<qsizetype> lineStretchCuts(QStringView text, qsizetype length);

// How many threads parallelFor() uses at most, the caller's included.
int parallelWidth();

} // namespace quillon
