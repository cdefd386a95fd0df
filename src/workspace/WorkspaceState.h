#pragma once

#include "platform/BackgroundWriter.h"
#include "workspace/GitSyncState.h"
#include "workspace/RecentEntity.h"
#include "workspace/SearchResult.h"
#include "workspace/WorkspaceAgentBridge.h"
#include "workspace/WorkspaceGitHooks.h"
#include "workspace/YAMLValidator.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace quillon {

class DirectoryWatcher;
class OpenFileWatcher;
class Document;
class FileNode;

// The main window's one observable state: the open folder and its tree, the tabs and their
// documents, the workspace settings, the git state, the sheet and panel flags, project search and
// find-in-document. Lives on the main thread. Each open document's text, saving and history
// belong to its Document, which the workspace makes when its tab is first shown and hands out by
// path.
//
// Every published property has a getter, a setter that stores the value and then emits
// xxxChanged() on every assignment (also when equal), and persists settings in
// UserDefaults::standard() under the property's own name.
//
// Paths ("URLs") are absolute standardized paths; an empty string means none.
class WorkspaceState : public QObject
{
    Q_OBJECT
public:
    explicit WorkspaceState(QObject* parent = nullptr);
    ~WorkspaceState() override;

    // ---- Folder and tree -------------------------------------------------------------------
    QString folderURL() const { return m_folderURL; }
    // Opens (non-empty) or closes (empty) the workspace: builds the tree, checks git, starts the
    // fetch timer and the directory watcher.
    void setFolderURL(const QString& folder);
    FileNode* rootNode() const { return m_rootNode; }
    // Rebuilds the whole tree from disk; nothing without a folder.
    void refreshFolder();
    // Reloads the root node's children (after Save As).
    void refreshSidebar();

    QSet<QString> expandedPaths() const { return m_expandedPaths; }
    void setExpandedPaths(const QSet<QString>& paths);
    bool isExpanded(const QString& url) const;
    void setExpanded(bool expanded, const QString& url);

    QString selectedURL() const { return m_selectedURL; }
    void setSelectedURL(const QString& url);

    // ---- Tabs and documents ----------------------------------------------------------------
    QStringList openTabs() const { return m_openTabs; }
    void setOpenTabs(const QStringList& tabs);
    QString activeTabURL() const { return m_activeTabURL; }
    // Switches documents: the new tab's document is read from its file if it was not yet.
    // Never writes.
    void setActiveTabURL(const QString& url);
    // The document of an open tab that has been shown; null for any other path.
    Document* document(const QString& path) const;
    // The active tab's document; null with no tab.
    Document* activeDocument() const;
    // The active document's text ("" with none), as a string.
    QString currentFileContent() const;
    // Replaces the active document's text from outside, as no edit of the user's: views reload
    // it, nothing is written until the user edits or saves.
    void setCurrentFileContent(const QString& text);

    void openFile(const QString& path);
    void selectTab(const QString& path);
    bool isTabActive(const QString& path) const;
    // Removes the tab and its document; the tab left of it becomes active.
    void closeTab(const QString& path);
    // Asks about unsaved changes; calls the completion with true when the tab may close. Never
    // closes the tab itself.
    void closeTabWithConfirmation(const QString& path, std::function<void(bool)> completion);
    // The Save command: writes the active document (a temporary one through Save As).
    void saveCurrentFile();
    void saveAs();
    // True when the document holds text that is not on disk.
    bool hasUnsavedChanges(const QString& path) const;
    // True for documents under temporaryDocumentsFolder().
    bool isTemporaryFile(const QString& path) const;
    static QString temporaryDocumentsFolder();
    // After git or the agent changed files: reloads open documents whose file changed on disk;
    // asks where a document also has unsaved local edits.
    void reloadOpenDocumentsFromDisk();

    // Why the active document's last write failed or was skipped; empty once it is written.
    QString lastSaveError() const { return m_lastSaveError; }
    // The same for any open document: it stays until that document is written.
    QString saveError(const QString& path) const;
    // Returns once every write of a document asked for so far is on disk (or failed). Run before
    // anything else reads or changes the files: git, the assistant.
    void flushPendingWrites();
    BackgroundWriter& writerForTesting() { return *m_writer; }
    // Holds every document's writes, from the one in flight done now until the returned hold is
    // released or dropped (on any thread): git commits and merges the files meanwhile, and a
    // write landing in between would make it refuse. What was typed is written when the last
    // hold ends, after the merged files have been met as changes from outside.
    class WriteHold
    {
    public:
        explicit WriteHold(WorkspaceState& state);
        ~WriteHold();
        WriteHold(const WriteHold&) = delete;
        WriteHold& operator=(const WriteHold&) = delete;
        void release();

    private:
        QPointer<WorkspaceState> m_state;
        std::atomic<bool> m_released { false };
    };
    std::shared_ptr<WriteHold> holdWrites();
    bool areWritesHeld() const { return m_writeHolds > 0; }
    // Why the active document could not be opened (unreadable, not UTF-8), or may only be read
    // (read-only); empty when it could.
    QString documentError() const { return m_documentError; }

    // ---- Quitting --------------------------------------------------------------------------
    // The open documents holding text that is not on disk (their last write failed or was
    // refused, or the user put off deciding about another program's change), in tab order.
    // Waits for the writes asked for so far first: a write on its way is no failure.
    QStringList documentsWithUnsavedText();
    // Before the program ends: asks about each of documentsWithUnsavedText() in turn, naming it
    // and saying why it is not on disk. "Save" writes it (a temporary one through the save
    // panel), "Save As..." writes its text to a file chosen in the save panel, "Don't Save" drops
    // its unsaved text (it shows its file's version again), "Cancel" stops. A save that fails or
    // is cancelled stops too: the document keeps its text and its error, and its tab is the
    // active one so the error shows. True when the program may end: every text is on disk or
    // was dropped by the user.
    bool confirmQuit();

    // ---- File operations -------------------------------------------------------------------
    std::optional<QString> targetDirectory(const std::optional<QString>& url) const;
    void createNewFile(const std::optional<QString>& in = std::nullopt);
    void createNewFolder(const std::optional<QString>& in = std::nullopt);
    void moveItem(const QString& from, const QString& to);
    void renameFile(const QString& url, const QString& newName);
    void deleteFile(const QString& url);
    // Why the last file operation failed; empty after one succeeded.
    QString lastFileOperationError() const { return m_lastFileOperationError; }
    // Why changes made on disk by other programs are not (or not all) followed in the open
    // folder, for the window to show; empty while they are, and when no folder is open.
    QString folderWatchError() const { return m_folderWatchError; }

    // ---- Session and recents ---------------------------------------------------------------
    QList<RecentEntity> recentEntities() const { return m_recentEntities; }
    void setRecentEntities(const QList<RecentEntity>& entities);
    void addRecent(const QString& url, bool isDirectory);

    // ---- Project search --------------------------------------------------------------------
    QString globalSearchQuery() const { return m_globalSearchQuery; }
    void setGlobalSearchQuery(const QString& query);
    QVector<SearchResult> globalSearchResults() const { return m_globalSearchResults; }
    void setGlobalSearchResults(const QVector<SearchResult>& results);
    // Searches the folder off the main thread; only the newest query's hits are published.
    void performGlobalSearch();

    // ---- Git -------------------------------------------------------------------------------
    GitSyncState gitSyncState() const { return m_gitSyncState; }
    void setGitSyncState(const GitSyncState& state);
    QStringList conflictingFilesList() const { return m_conflictingFilesList; }
    void setConflictingFilesList(const QStringList& files);
    int autoCommitIntervalMinutes() const { return m_autoCommitIntervalMinutes; }
    void setAutoCommitIntervalMinutes(int minutes);
    bool autoPushAfterCommit() const { return m_autoPushAfterCommit; }
    void setAutoPushAfterCommit(bool on);
    void checkGitStatus();
    void startAutoCommitTimer();
    // The window attaches the git orchestration right after creating the state, before a folder
    // is opened; without one (tests of the workspace alone) the status stays "no repository".
    void attachGit(std::unique_ptr<WorkspaceGitHooks> hooks);
    WorkspaceGitHooks* gitHooks() const { return m_gitHooks.get(); }
    const QTimer& autoCommitTimer() const { return m_autoCommitTimer; }
    const QTimer& fetchTimer() const { return m_fetchTimer; }

    // ---- Settings --------------------------------------------------------------------------
    double editorFontSize() const { return m_editorFontSize; }
    void setEditorFontSize(double size);
    bool isReadingMode() const { return m_isReadingMode; }
    void setIsReadingMode(bool on);
    QSet<QString> activeFileExtensions() const { return m_activeFileExtensions; }
    void setActiveFileExtensions(const QSet<QString>& extensions);
    bool showHiddenFiles() const { return m_showHiddenFiles; }
    void setShowHiddenFiles(bool on);
    bool confirmFileDeletion() const { return m_confirmFileDeletion; }
    void setConfirmFileDeletion(bool on);

    // ---- Status of the active document ------------------------------------------------------
    YAMLValidator::ValidationResult yamlValidationResult() const { return m_yamlValidationResult; }
    void setYamlValidationResult(const YAMLValidator::ValidationResult& result);

    // ---- Window, sheets and panels ---------------------------------------------------------
    bool showingConnectGitModal() const { return m_showingConnectGitModal; }
    void setShowingConnectGitModal(bool on);
    bool showingConflictGitModal() const { return m_showingConflictGitModal; }
    void setShowingConflictGitModal(bool on);
    bool showingSettingsModal() const { return m_showingSettingsModal; }
    void setShowingSettingsModal(bool on);
    bool isAgentChatOpen() const { return m_isAgentChatOpen; }
    void setIsAgentChatOpen(bool on);
    double agentChatWidth() const { return m_agentChatWidth; }
    void setAgentChatWidth(double width);
    // The assistant's bridge, attached once by the window right after creating the state and
    // owned until the state goes; null when none was attached.
    void attachAgentBridge(std::unique_ptr<WorkspaceAgentBridge> bridge);
    WorkspaceAgentBridge* agentBridge() const { return m_agentBridge.get(); }

    // ---- Find in document ------------------------------------------------------------------
    bool isLocalSearchVisible() const { return m_isLocalSearchVisible; }
    void setIsLocalSearchVisible(bool on);
    QString localSearchQuery() const { return m_localSearchQuery; }
    void setLocalSearchQuery(const QString& query);
    int currentLocalMatchIndex() const { return m_currentLocalMatchIndex; }
    void setCurrentLocalMatchIndex(int index);
    int totalLocalMatchCount() const { return m_totalLocalMatchCount; }
    void setTotalLocalMatchCount(int count);

Q_SIGNALS:
    void selectedURLChanged();
    void expandedPathsChanged();
    void folderURLChanged();
    void rootNodeChanged();
    void gitSyncStateChanged();
    void showingConnectGitModalChanged();
    void showingConflictGitModalChanged();
    void conflictingFilesListChanged();
    void openTabsChanged();
    void activeTabURLChanged();
    // The active document's text changed (an edit or a replacement); not sent for a switch of
    // tabs, which activeTabURLChanged tells.
    void currentFileContentChanged();
    // The document goes away (its tab closed): whatever shows it lets go of it now.
    void documentClosing(quillon::Document* document);
    void recentEntitiesChanged();
    void editorFontSizeChanged();
    void isReadingModeChanged();
    void yamlValidationResultChanged();
    void showingSettingsModalChanged();
    void isAgentChatOpenChanged();
    void agentChatWidthChanged();
    void agentBridgeChanged();
    void activeFileExtensionsChanged();
    void showHiddenFilesChanged();
    void confirmFileDeletionChanged();
    void autoCommitIntervalMinutesChanged();
    void autoPushAfterCommitChanged();
    void globalSearchQueryChanged();
    void globalSearchResultsChanged();
    void isLocalSearchVisibleChanged();
    void localSearchQueryChanged();
    void currentLocalMatchIndexChanged();
    void totalLocalMatchCountChanged();
    void lastSaveErrorChanged();
    void documentErrorChanged();
    void lastFileOperationErrorChanged();
    void folderWatchErrorChanged();
    // Something of the workspace changed that no single property names (tree rebuilt, item
    // created or deleted).
    void workspaceChanged();

private:
    void readSettings();
    // The array of strings stored under the key; nullopt when absent or of another type.
    static std::optional<QStringList> storedStringList(const QString& key);
    void onFolderChanged();
    void onActiveTabChanged(const QString& previous);
    void followActiveDocument();
    void setLastSaveError(const QString& error);
    void setDocumentError(const QString& error);
    void setLastFileOperationError(const QString& error);
    void setFolderWatchError(const QString& error);
    void saveSessionState();
    void restoreSavedSession();
    void loadRecents();
    void saveRecents();
    void remapTabs(const QString& oldPath, const QString& newPath);
    // Another program may have changed open documents under the folder.
    void followChangesOnDisk();
    // Watches the open documents the folder's watch does not cover.
    void watchDocumentsOutsideFolder();
    void onWriteFinished(const BackgroundWriter::Result& result);
    void releaseWriteHold();
    void closeDocument(const QString& path);
    bool saveDocumentAs(const QString& path);
    // Whether Save can write the document over its own file: false when the file is gone (it is
    // never made again) or the document could not be read (its file is never overwritten).
    bool canSaveInPlace(const QString& path) const;
    // Asks what to do with the one document's text that is not on disk and does it; true when
    // none is left.
    bool settleUnsavedText(const QString& path);
    // The document shows its file's version again (or, when the file can't be read, what was
    // last read from or written to it).
    void dropUnsavedText(const QString& path);
    // The first of Untitled.md, Untitled 1.md, Untitled 2.md, ... (from the number `from` on)
    // that nothing in the folder holds yet; its number goes to *number.
    static QString freeUntitledPath(const QString& folder, int from = 0, int* number = nullptr);
    void removeTemporaryDocument(const QString& path);
    void finishDeletion(const QString& path);
    bool confirmName(const QString& name);

    std::unique_ptr<DirectoryWatcher> m_directoryWatcher;
    std::unique_ptr<OpenFileWatcher> m_outsideWatcher;
    std::unique_ptr<BackgroundWriter> m_writer;
    int m_writeHolds = 0;
    // The documents of the open tabs that have been shown, by standardized path.
    QHash<QString, Document*> m_documents;
    QMetaObject::Connection m_activeDocumentEdited;
    QMetaObject::Connection m_activeDocumentReplaced;
    QMetaObject::Connection m_activeDocumentSaveError;
    QMetaObject::Connection m_activeDocumentReadError;
    std::unique_ptr<WorkspaceGitHooks> m_gitHooks;

    QString m_selectedURL;
    QSet<QString> m_expandedPaths;
    QString m_folderURL;
    FileNode* m_rootNode = nullptr;
    GitSyncState m_gitSyncState;
    bool m_showingConnectGitModal = false;
    bool m_showingConflictGitModal = false;
    QStringList m_conflictingFilesList;
    QTimer m_fetchTimer;
    QStringList m_openTabs;
    QString m_activeTabURL;
    QList<RecentEntity> m_recentEntities;
    double m_editorFontSize = 15;
    bool m_isReadingMode = false;
    bool m_showingSettingsModal = false;
    bool m_isAgentChatOpen = false;
    double m_agentChatWidth = 340;
    std::unique_ptr<WorkspaceAgentBridge> m_agentBridge;
    QSet<QString> m_activeFileExtensions;
    bool m_showHiddenFiles = false;
    bool m_confirmFileDeletion = true;
    int m_autoCommitIntervalMinutes = 3;
    bool m_autoPushAfterCommit = true;
    QTimer m_autoCommitTimer;
    QString m_globalSearchQuery;
    QVector<SearchResult> m_globalSearchResults;
    YAMLValidator::ValidationResult m_yamlValidationResult;
    quint64 m_searchGeneration = 0;
    bool m_isLocalSearchVisible = false;
    QString m_localSearchQuery;
    int m_currentLocalMatchIndex = 0;
    int m_totalLocalMatchCount = 0;
    bool m_isRestoringSession = false;
    QString m_lastSaveError;
    QString m_documentError;
    QString m_lastFileOperationError;
    QString m_folderWatchError;
};

} // namespace quillon
