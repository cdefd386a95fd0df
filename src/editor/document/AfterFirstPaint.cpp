#include "editor/document/AfterFirstPaint.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <deque>

namespace quillon {

namespace {

// How long to wait before looking again whether the work is ready.
constexpr int kLookAgainMs = 5;

// Painted and waiting for their turn, the first to run next.
std::deque<AfterFirstPaint*>& painted()
{
    static std::deque<AfterFirstPaint*> waiting;
    return waiting;
}

} // namespace

AfterFirstPaint::AfterFirstPaint(
    QWidget& widget, int waitMs, std::function<bool()> ready, std::function<void()> then)
    : m_ready(std::move(ready))
    , m_then(std::move(then))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AfterFirstPaint::run);
    m_timer.start(waitMs);
    widget.installEventFilter(this);
}

AfterFirstPaint::~AfterFirstPaint()
{
    auto& waiting = painted();
    const auto at = std::find(waiting.begin(), waiting.end(), this);
    if (at == waiting.end())
        return;
    const bool wasNext = at == waiting.begin();
    waiting.erase(at);
    if (wasNext && !waiting.empty())
        waiting.front()->m_timer.start(0);
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        m_timer.stop();
        painted().push_back(this);
        if (painted().size() == 1)
            m_timer.start(0);
    }
    return false;
}

void AfterFirstPaint::run()
{
    auto& waiting = painted();
    const auto at = std::find(waiting.begin(), waiting.end(), this);
    if (at != waiting.end())
        waiting.erase(at);
    // Not ready: looked at again shortly, out of the turns of the others.
    if (m_ready && !m_ready())
        m_timer.start(kLookAgainMs);
    else if (auto then = std::exchange(m_then, nullptr))
        then();
    // The next one runs on a turn of its own.
    if (!waiting.empty())
        waiting.front()->m_timer.start(0);
}

} // namespace quillon
