#include "app/QuillonApp.h"

#include "agent/AgentIntegration.h"
#include "app/AppMenus.h"
#include "app/ApplicationSetup.h"
#include "app/ContentView.h"
#include "app/Updater.h"
#include "git/GitIntegration.h"
#include "platform/UserPrompts.h"
#include "workspace/WorkspaceState.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>

namespace quillon {

QuillonApp::QuillonApp()
{
    setUpApplication();
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillon.svg")));
    m_updater = std::make_unique<Updater>(
        Updater::configuredFeedURL(), QStringLiteral(QUILLON_VERSION), UserPrompts::current());
    m_window = std::make_unique<ContentView>(UserPrompts::current(), [](WorkspaceState& workspace) {
        return ContentView::Services { &attachWorkspaceGit(workspace),
            &attachAgentBridge(workspace) };
    });
    AppMenus::install(*m_window, m_updater.get());
}

QuillonApp::~QuillonApp() = default;

void QuillonApp::openFromCommandLine(const QString& path)
{
    const QFileInfo target(path);
    WorkspaceState& workspace = m_window->workspace();
    // After the workspace has restored the last session (queued at its creation).
    QTimer::singleShot(0, &workspace, [&workspace, target] {
        if (target.isDir())
            workspace.setFolderURL(target.absoluteFilePath());
        else
            workspace.openFile(target.absoluteFilePath());
    });
}

} // namespace quillon
