#include "app/PlainEditorWindow.h"

#include "editor/UnifiedBlockEditor.h"
#include "workspace/WorkspaceState.h"

#include <QAction>
#include <QFileInfo>
#include <QPalette>
#include <QStatusBar>

namespace quillon {

PlainEditorWindow::PlainEditorWindow(WorkspaceState& workspace, QWidget* parent)
    : QMainWindow(parent)
    , m_workspace(workspace)
{
    m_editor = new UnifiedBlockEditor(workspace, this);
    const QColor window = palette().color(QPalette::Window);
    m_editor->setDarkMode(window.lightnessF() < 0.5);
    setCentralWidget(m_editor);
    resize(1100, 760);

    connect(
        &workspace, &WorkspaceState::activeTabURLChanged, this, &PlainEditorWindow::updateTitle);
    connect(&workspace, &WorkspaceState::lastSaveErrorChanged, this,
        [this] { statusBar()->showMessage(m_workspace.lastSaveError()); });
    connect(&workspace, &WorkspaceState::documentErrorChanged, this,
        [this] { statusBar()->showMessage(m_workspace.documentError()); });

    auto* save = new QAction(this);
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this] { m_workspace.saveCurrentFile(); });
    addAction(save);
    updateTitle();
}

void PlainEditorWindow::updateTitle()
{
    const QString path = m_workspace.activeTabURL();
    setWindowTitle(path.isEmpty() ? QStringLiteral("Quillon")
                                  : QFileInfo(path).fileName() + QStringLiteral(" — Quillon"));
}

} // namespace quillon
