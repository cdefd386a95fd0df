#pragma once

#include <QMainWindow>

namespace quillon {

class UnifiedBlockEditor;
class WorkspaceState;

// A plain window holding one block editor over a workspace; the workspace's DocumentSession saves
// what the user types.
class PlainEditorWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit PlainEditorWindow(WorkspaceState& workspace, QWidget* parent = nullptr);

    UnifiedBlockEditor* editor() const { return m_editor; }

private:
    void updateTitle();

    WorkspaceState& m_workspace;
    UnifiedBlockEditor* m_editor = nullptr;
};

} // namespace quillon
