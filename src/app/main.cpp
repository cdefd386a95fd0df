// Process entry. Until the main window lands this opens the given file (or folder) in the block
// editor inside a plain window, editing and saving through the workspace.
#include "agent/AgentIntegration.h"
#include "app/ApplicationSetup.h"
#include "app/PlainEditorWindow.h"
#include "git/GitIntegration.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("quillon"));
    quillon::setUpApplication();

    quillon::WorkspaceState workspace;
    quillon::attachWorkspaceGit(workspace);
    quillon::attachAgentBridge(workspace);
    quillon::PlainEditorWindow window(workspace);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        // After the workspace has restored the last session (queued at its creation).
        const QFileInfo target(args.at(1));
        QTimer::singleShot(0, &workspace, [&workspace, target] {
            if (target.isDir())
                workspace.setFolderURL(target.absoluteFilePath());
            else
                workspace.openFile(target.absoluteFilePath());
        });
    }
    window.show();
    return app.exec();
}
