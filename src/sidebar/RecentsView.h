#pragma once

#include <QWidget>

class QLabel;
class QListView;

namespace quillon {

class RecentsDelegate;
class RecentsModel;
class WorkspaceState;

// The recently opened folders and files, shown while no folder is open: "RECENT", then one row
// per entry (icon, name, the folder it is in). A click opens the folder as the workspace or the
// file in a tab. With no entries it shows nothing at all.
//
// Reads: WorkspaceState::recentEntities. Writes: folderURL, openFile.
class RecentsView : public QWidget
{
    Q_OBJECT
public:
    explicit RecentsView(WorkspaceState& workspace, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    QListView* list() const { return m_list; }
    bool isShowingHeader() const;

private:
    void refresh();

    WorkspaceState& m_workspace;
    RecentsModel* m_model;
    RecentsDelegate* m_delegate;
    QLabel* m_header;
    QListView* m_list;
};

} // namespace quillon
