#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace quillon {

class FileTreeView;
class RecentsView;
class SearchField;
class SearchResultsView;
class SidebarButton;
class UserPrompts;
class WorkspaceState;

// What the sidebar's content area shows: the search results while the query has more than
// blanks, else the recents while no folder is open, else the file tree.
enum class SidebarContent { SearchResults, Recents, Tree };
SidebarContent sidebarContentFor(const QString& query, bool hasFolder);

// The window's left column: links to open a folder, open a file and connect a git repository;
// the open folder's name with New File and New Folder; the project search field; the search
// results, recents or file tree; and a footer holding the window's git sync widget and the
// settings button. The sheets it raises (connect, settings) are opened by the window from the
// workspace's flags.
//
// Reads: WorkspaceState::folderURL, globalSearchQuery. Writes: folderURL, openFile,
// showingConnectGitModal, showingSettingsModal (and, through its parts, what FileTreeView,
// SearchField, SearchResultsView and RecentsView write; the header's new-file and new-folder
// buttons create through the tree, which explains a refusal).
class SidebarView : public QWidget
{
    Q_OBJECT
public:
    SidebarView(WorkspaceState& workspace, UserPrompts& prompts, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    bool isDarkMode() const { return m_dark; }
    // Places a widget (the git sync widget) in the footer, above the settings button.
    void setFooterWidget(QWidget* widget);
    // Moves the keyboard into the search field.
    void focusSearchField();

    SidebarContent content() const;
    FileTreeView* fileTree() const { return m_tree; }
    SearchResultsView* searchResults() const { return m_results; }
    RecentsView* recents() const { return m_recents; }
    SearchField* searchField() const { return m_search; }
    SidebarButton* addFolderButton() const { return m_addFolder; }
    SidebarButton* openFileButton() const { return m_openFile; }
    SidebarButton* connectGitButton() const { return m_connectGit; }
    SidebarButton* settingsButton() const { return m_settings; }
    QToolButton* newFileButton() const { return m_newFile; }
    QToolButton* newFolderButton() const { return m_newFolder; }
    QWidget* folderHeader() const { return m_folderHeader; }
    QString folderTitle() const;

Q_SIGNALS:
    // A search hit asks for the document at `path` shown at `line`.
    void searchHitChosen(const QString& path, std::optional<int> line);
    // A click in the file tree opened the document at `path`.
    void documentOpened(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openWorkFolder();
    void openSingleFile();
    void updateFolderHeader();
    void updateContent();

    WorkspaceState& m_workspace;
    UserPrompts& m_prompts;
    bool m_dark = false;

    SidebarButton* m_addFolder;
    SidebarButton* m_openFile;
    SidebarButton* m_connectGit;
    QWidget* m_folderHeader;
    QLabel* m_folderIcon;
    QLabel* m_folderName;
    QToolButton* m_newFile;
    QToolButton* m_newFolder;
    SearchField* m_search;
    QStackedWidget* m_content;
    SearchResultsView* m_results;
    RecentsView* m_recents;
    FileTreeView* m_tree;
    QWidget* m_separator;
    QVBoxLayout* m_footer;
    SidebarButton* m_settings;
};

} // namespace quillon
