#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QListView;
class QStackedWidget;

namespace quillon {

class SearchResultsDelegate;
class SearchResultsModel;
class WorkspaceState;

// The project search results: a header with the number of hits, then one row per hit (icon,
// name, ":line", the line in monospace, the path below the workspace folder), or "No matches
// found". A click on a document's hit asks for it at the hit's line (hitChosen); a click on a
// folder hit expands the folder.
//
// Reads: WorkspaceState::globalSearchResults. Writes: expanded folders.
class SearchResultsView : public QWidget
{
    Q_OBJECT
public:
    explicit SearchResultsView(WorkspaceState& workspace, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    QListView* list() const { return m_list; }
    QString countText() const;
    bool isShowingNoMatches() const;

Q_SIGNALS:
    // The document at `path` is to be shown at `line` (1-based; none for a name hit).
    void hitChosen(const QString& path, std::optional<int> line);

private:
    void refresh();

    WorkspaceState& m_workspace;
    SearchResultsModel* m_model;
    SearchResultsDelegate* m_delegate;
    QLabel* m_title;
    QLabel* m_count;
    QStackedWidget* m_body;
    QWidget* m_empty;
    QLabel* m_emptyIcon;
    QLabel* m_emptyText;
    QListView* m_list;
    bool m_dark = false;
};

} // namespace quillon
