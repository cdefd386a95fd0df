#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QThread>

namespace quillon {

// Gives a process-wide QObject to the application's thread, whichever thread created it first, so
// its timers and queued calls run on the main thread.
template <typename T> T* onMainThread(T* object)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        if (object->thread() != app->thread())
            object->moveToThread(app->thread());
    return object;
}

} // namespace quillon
