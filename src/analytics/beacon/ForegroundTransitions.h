#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QObject>

namespace quillon {

// Calls enteredForeground when the application becomes active and enteredBackground when it stops
// being active (on a change only, never for the state it starts in), for as long as `context`
// lives. Nothing happens without a GUI application.
template <typename Foreground, typename Background>
void followForegroundTransitions(
    QObject* context, Foreground enteredForeground, Background enteredBackground)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    bool wasActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
    QObject::connect(app, &QGuiApplication::applicationStateChanged, context,
        [wasActive, enteredForeground, enteredBackground](Qt::ApplicationState state) mutable {
            const bool active = state == Qt::ApplicationActive;
            if (active && !wasActive)
                enteredForeground();
            else if (!active && wasActive)
                enteredBackground();
            wasActive = active;
        });
}

} // namespace quillon
