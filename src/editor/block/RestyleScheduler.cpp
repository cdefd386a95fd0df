#include "editor/block/RestyleScheduler.h"

#include <climits>

namespace quillon {

namespace {

// How long typing must pause before the whole text is compared.
constexpr int kPauseMs = 600;
// The pass waits this long for the view's paint at most.
constexpr int kPaintWaitMs = 250;

} // namespace

RestyleScheduler::RestyleScheduler(Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_hooks(std::move(hooks))
{
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(kPauseMs);
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] { m_hooks.paused(); });
    m_passTimer.setSingleShot(true);
    m_passTimer.setInterval(0);
    connect(&m_passTimer, &QTimer::timeout, this, &RestyleScheduler::step);
}

void RestyleScheduler::waitForPause()
{
    m_pauseTimer.start();
}

void RestyleScheduler::startPass(bool afterPaint, int firstBlock, int lastBlock)
{
    m_nextBlock = qMax(0, firstBlock);
    m_lastBlock = lastBlock;
    m_awaitsPaint = afterPaint;
    m_passTimer.start(m_awaitsPaint ? kPaintWaitMs : 0);
}

void RestyleScheduler::cancelPass()
{
    m_nextBlock = -1;
    m_passTimer.stop();
}

void RestyleScheduler::painted()
{
    if (m_awaitsPaint) {
        m_awaitsPaint = false;
        m_passTimer.start(0); // runs once this paint is done
    }
}

void RestyleScheduler::textLoaded()
{
    if (m_nextBlock >= 0)
        m_passTimer.start(0);
}

void RestyleScheduler::step()
{
    m_awaitsPaint = false;
    if (m_nextBlock < 0 || m_hooks.isLoading())
        return; // the whole text first: it starts again once that is in
    if (m_hooks.mustWait()) {
        m_passTimer.start(0); // after the pending work
        return;
    }
    const int end = m_lastBlock < 0 ? m_hooks.blockCount() : m_lastBlock + 1;
    const int last = qMin(m_nextBlock + kChunk - 1, m_lastBlock < 0 ? INT_MAX : m_lastBlock);
    m_hooks.presentChunk(m_nextBlock, last);
    m_nextBlock = last + 1;
    if (m_nextBlock < end) {
        m_passTimer.start(0);
    } else {
        m_nextBlock = -1;
        m_hooks.finished();
    }
}

} // namespace quillon
