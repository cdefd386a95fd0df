#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserDefaults.h"
#include "workspace/DirectoryWatcher.h"
#include "workspace/Document.h"
#include "workspace/FileNode.h"
#include "workspace/OpenFileWatcher.h"
#include "workspace/WorkspaceLog.h"
#include "workspace/WorkspaceSettings.h"

#include <QJsonArray>
#include <QJsonValue>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

namespace Settings = WorkspaceSettings;

constexpr int kFetchIntervalMs = 300 * 1000;

QSet<QString> toSet(const QStringList& list)
{
    return QSet<QString>(list.begin(), list.end());
}

// A stored setting read as a number, converting a Boolean or a string the way typed settings
// reads do ("2.5" is 2.5, true is 1, text that is no number is 0); nullopt when absent or of
// another kind.
std::optional<double> storedNumber(const QString& key)
{
    const QJsonValue value = UserDefaults::standard().jsonValue(key);
    if (value.isDouble())
        return value.toDouble();
    if (value.isBool())
        return value.toBool() ? 1.0 : 0.0;
    if (value.isString())
        return value.toString().trimmed().toDouble();
    return std::nullopt;
}

// A stored setting read as a Boolean: a non-zero number, or a string "true", "yes" or a non-zero
// number, is true.
std::optional<bool> storedBool(const QString& key)
{
    const QJsonValue value = UserDefaults::standard().jsonValue(key);
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0;
    if (value.isString()) {
        const QString text = value.toString().trimmed().toLower();
        return text == u"true" || text == u"yes" || text.toDouble() != 0;
    }
    return std::nullopt;
}

} // namespace

WorkspaceState::WorkspaceState(QObject* parent)
    : QObject(parent)
    , m_directoryWatcher(std::make_unique<DirectoryWatcher>())
    , m_outsideWatcher(std::make_unique<OpenFileWatcher>())
    , m_writer(std::make_unique<BackgroundWriter>())
{
    connect(m_writer.get(), &BackgroundWriter::finished, this, &WorkspaceState::onWriteFinished);
    m_fetchTimer.setSingleShot(false);
    m_autoCommitTimer.setSingleShot(false);
    connect(&m_fetchTimer, &QTimer::timeout, this, [this] {
        if (!m_folderURL.isEmpty() && m_gitHooks)
            m_gitHooks->fetchTick();
    });
    connect(&m_autoCommitTimer, &QTimer::timeout, this, [this] {
        flushPendingWrites();
        if (m_gitHooks)
            m_gitHooks->autoCommitTick();
    });
    // The watch is set up on the watcher's own thread, after the tree was first listed and
    // documents may have been opened: list again and look at the open files, so that nothing
    // done to them in between is missed.
    connect(m_directoryWatcher.get(), &DirectoryWatcher::watching, this, [this] {
        refreshFolder();
        followChangesOnDisk();
    });
    connect(m_directoryWatcher.get(), &DirectoryWatcher::watchFailed, this,
        [this](const QString& reason) {
            printLine(QStringLiteral("Quillon: ") + reason);
            setFolderWatchError(reason);
            // The open files are watched one by one from now on: what was done to them
            // meanwhile is looked at now.
            followChangesOnDisk();
        });
    connect(m_outsideWatcher.get(), &OpenFileWatcher::changed, this,
        &WorkspaceState::followChangesOnDisk);

    readSettings();
    loadRecents();
    QTimer::singleShot(0, this, [this] { restoreSavedSession(); });
    startAutoCommitTimer();
}

WorkspaceState::~WorkspaceState()
{
    m_fetchTimer.stop();
    m_autoCommitTimer.stop();
    m_gitHooks.reset();
    m_agentBridge.reset();
    m_directoryWatcher->stop();
    // Documents go before the writer they write through.
    qDeleteAll(std::exchange(m_documents, {}));
}

void WorkspaceState::attachGit(std::unique_ptr<WorkspaceGitHooks> hooks)
{
    m_gitHooks = std::move(hooks);
}

void WorkspaceState::attachAgentBridge(std::unique_ptr<WorkspaceAgentBridge> bridge)
{
    m_agentBridge = std::move(bridge);
    Q_EMIT agentBridgeChanged();
}

void WorkspaceState::readSettings()
{
    // A size no control could have stored (infinite, or far outside the range) would give the
    // editors an unusable font; it is replaced rather than clamped, as a missing one is.
    const double fontSize = storedNumber(Settings::editorFontSize.key()).value_or(0);
    m_editorFontSize = std::isfinite(fontSize) && Settings::editorFontSize.inRange(fontSize)
        ? fontSize
        : Settings::editorFontSize.defaultValue;
    m_isReadingMode
        = storedBool(Settings::isReadingMode.key()).value_or(Settings::isReadingMode.defaultValue);
    m_activeFileExtensions = toSet(storedStringList(Settings::activeFileExtensions.key())
                                       .value_or(Settings::activeFileExtensions.defaultValue));
    m_showHiddenFiles = storedBool(Settings::showHiddenFiles.key())
                            .value_or(Settings::showHiddenFiles.defaultValue);
    m_confirmFileDeletion = storedBool(Settings::confirmFileDeletion.key())
                                .value_or(Settings::confirmFileDeletion.defaultValue);
    const double interval = storedNumber(Settings::autoCommitIntervalMinutes.key())
                                .value_or(Settings::autoCommitIntervalMinutes.defaultValue);
    m_autoCommitIntervalMinutes
        = std::isfinite(interval) ? int(std::clamp(interval, double(INT_MIN), double(INT_MAX))) : 0;
    m_autoPushAfterCommit = storedBool(Settings::autoPushAfterCommit.key())
                                .value_or(Settings::autoPushAfterCommit.defaultValue);
}

std::optional<QStringList> WorkspaceState::storedStringList(const QString& key)
{
    const QJsonValue value = UserDefaults::standard().jsonValue(key);
    if (!value.isArray())
        return std::nullopt;
    QStringList result;
    for (const QJsonValue& v : value.toArray()) {
        if (!v.isString())
            return std::nullopt;
        result.append(v.toString());
    }
    return result;
}

// ---- Folder ---------------------------------------------------------------------------------

void WorkspaceState::setFolderURL(const QString& folder)
{
    m_folderURL = FileUtil::standardizedPath(folder);
    onFolderChanged();
    Q_EMIT folderURLChanged();
}

void WorkspaceState::onFolderChanged()
{
    saveSessionState();
    setFolderWatchError({});
    if (!m_folderURL.isEmpty()) {
        QSet<QString> expanded = m_expandedPaths;
        expanded.insert(m_folderURL);
        setExpandedPaths(expanded);

        refreshFolder();
        addRecent(m_folderURL, true);
        checkGitStatus();
        m_fetchTimer.start(kFetchIntervalMs);
        m_directoryWatcher->start(m_folderURL, [self = QPointer<WorkspaceState>(this)] {
            if (!self)
                return;
            self->refreshFolder();
            if (self && self->m_gitHooks)
                self->m_gitHooks->treeTouched();
            if (self)
                self->followChangesOnDisk();
        });
    } else {
        FileNode* old = m_rootNode;
        m_rootNode = nullptr;
        Q_EMIT rootNodeChanged();
        if (old)
            old->deleteLater();
        setExpandedPaths({});
        setGitSyncState(GitSyncState::noRepository());
        m_fetchTimer.stop();
        m_directoryWatcher->stop();
    }
    watchDocumentsOutsideFolder();
}

// ---- Git ------------------------------------------------------------------------------------

void WorkspaceState::setGitSyncState(const GitSyncState& state)
{
    m_gitSyncState = state;
    Q_EMIT gitSyncStateChanged();
}

void WorkspaceState::setConflictingFilesList(const QStringList& files)
{
    m_conflictingFilesList = files;
    Q_EMIT conflictingFilesListChanged();
}

void WorkspaceState::setAutoCommitIntervalMinutes(int minutes)
{
    m_autoCommitIntervalMinutes = minutes;
    Q_EMIT autoCommitIntervalMinutesChanged();
    UserDefaults::standard().setInt(Settings::autoCommitIntervalMinutes.key(), minutes);
    startAutoCommitTimer();
}

void WorkspaceState::setAutoPushAfterCommit(bool on)
{
    m_autoPushAfterCommit = on;
    Q_EMIT autoPushAfterCommitChanged();
    UserDefaults::standard().setBool(Settings::autoPushAfterCommit.key(), on);
}

void WorkspaceState::checkGitStatus()
{
    if (m_folderURL.isEmpty()) {
        // Asked after every write of a document: the views hear of it only when it changes.
        if (!(m_gitSyncState == GitSyncState::noRepository()))
            setGitSyncState(GitSyncState::noRepository());
        return;
    }
    if (m_gitHooks)
        m_gitHooks->checkStatus();
}

void WorkspaceState::startAutoCommitTimer()
{
    m_autoCommitTimer.stop();
    // A long interval waits as long as a timer can (about 24 days) rather than overflowing.
    if (m_autoCommitIntervalMinutes >= 1)
        m_autoCommitTimer.start(int(std::min<qint64>(
            qint64(m_autoCommitIntervalMinutes) * 60 * 1000, std::numeric_limits<int>::max())));
}

// ---- Settings -------------------------------------------------------------------------------

void WorkspaceState::setEditorFontSize(double size)
{
    m_editorFontSize = size;
    Q_EMIT editorFontSizeChanged();
    UserDefaults::standard().setDouble(Settings::editorFontSize.key(), size);
}

void WorkspaceState::setIsReadingMode(bool on)
{
    m_isReadingMode = on;
    Q_EMIT isReadingModeChanged();
    UserDefaults::standard().setBool(Settings::isReadingMode.key(), on);
}

void WorkspaceState::setActiveFileExtensions(const QSet<QString>& extensions)
{
    m_activeFileExtensions = extensions;
    Q_EMIT activeFileExtensionsChanged();
    UserDefaults::standard().setStringList(
        Settings::activeFileExtensions.key(), QStringList(extensions.begin(), extensions.end()));
    refreshFolder();
}

void WorkspaceState::setShowHiddenFiles(bool on)
{
    m_showHiddenFiles = on;
    Q_EMIT showHiddenFilesChanged();
    UserDefaults::standard().setBool(Settings::showHiddenFiles.key(), on);
    refreshFolder();
}

void WorkspaceState::setConfirmFileDeletion(bool on)
{
    m_confirmFileDeletion = on;
    Q_EMIT confirmFileDeletionChanged();
    UserDefaults::standard().setBool(Settings::confirmFileDeletion.key(), on);
}

// ---- Plain published properties ---------------------------------------------------------------

void WorkspaceState::setSelectedURL(const QString& url)
{
    m_selectedURL = url;
    Q_EMIT selectedURLChanged();
}

void WorkspaceState::setShowingConnectGitModal(bool on)
{
    m_showingConnectGitModal = on;
    Q_EMIT showingConnectGitModalChanged();
}

void WorkspaceState::setShowingConflictGitModal(bool on)
{
    m_showingConflictGitModal = on;
    Q_EMIT showingConflictGitModalChanged();
}

void WorkspaceState::setShowingSettingsModal(bool on)
{
    m_showingSettingsModal = on;
    Q_EMIT showingSettingsModalChanged();
}

void WorkspaceState::setIsAgentChatOpen(bool on)
{
    m_isAgentChatOpen = on;
    Q_EMIT isAgentChatOpenChanged();
}

void WorkspaceState::setAgentChatWidth(double width)
{
    m_agentChatWidth = width;
    Q_EMIT agentChatWidthChanged();
}

void WorkspaceState::setIsLocalSearchVisible(bool on)
{
    m_isLocalSearchVisible = on;
    Q_EMIT isLocalSearchVisibleChanged();
}

void WorkspaceState::setLocalSearchQuery(const QString& query)
{
    m_localSearchQuery = query;
    Q_EMIT localSearchQueryChanged();
}

void WorkspaceState::setCurrentLocalMatchIndex(int index)
{
    m_currentLocalMatchIndex = index;
    Q_EMIT currentLocalMatchIndexChanged();
}

void WorkspaceState::setTotalLocalMatchCount(int count)
{
    m_totalLocalMatchCount = count;
    Q_EMIT totalLocalMatchCountChanged();
}

void WorkspaceState::setYamlValidationResult(const YAMLValidator::ValidationResult& result)
{
    m_yamlValidationResult = result;
    Q_EMIT yamlValidationResultChanged();
}

void WorkspaceState::setLastSaveError(const QString& error)
{
    if (m_lastSaveError == error)
        return;
    m_lastSaveError = error;
    Q_EMIT lastSaveErrorChanged();
}

void WorkspaceState::setDocumentError(const QString& error)
{
    if (m_documentError == error)
        return;
    m_documentError = error;
    Q_EMIT documentErrorChanged();
}

void WorkspaceState::setFolderWatchError(const QString& error)
{
    if (m_folderWatchError == error)
        return;
    m_folderWatchError = error;
    watchDocumentsOutsideFolder();
    Q_EMIT folderWatchErrorChanged();
}

void WorkspaceState::setLastFileOperationError(const QString& error)
{
    if (m_lastFileOperationError == error)
        return;
    m_lastFileOperationError = error;
    Q_EMIT lastFileOperationErrorChanged();
}

} // namespace quillon
