// Ending the program: Quit, the window's close button and the end of the desktop session ask
// about text that is not on disk (the workspace decides; the window only asks it).
#include "app/ContentView.h"

#include "workspace/WorkspaceState.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QSessionManager>

namespace quillon {

void ContentView::closeEvent(QCloseEvent* event)
{
    if (m_workspace->confirmQuit())
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

void ContentView::commitSessionData(const SessionEnd& session)
{
    if (m_workspace->documentsWithUnsavedText().isEmpty())
        return;
    // Without leave to ask, nothing is decided for the user here.
    if (!session.allowsInteraction())
        return;
    const bool mayEnd = m_workspace->confirmQuit();
    session.release();
    if (!mayEnd)
        session.cancel();
}

void ContentView::connectSessionEnd()
{
#ifndef QT_NO_SESSIONMANAGER
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    // Direct: the manager is handed by reference and answered before the signal returns.
    connect(
        app, &QGuiApplication::commitDataRequest, this,
        [this](QSessionManager& manager) {
            commitSessionData({ [&manager] { return manager.allowsInteraction(); },
                [&manager] { manager.release(); }, [&manager] { manager.cancel(); } });
        },
        Qt::DirectConnection);
#endif
}

} // namespace quillon
