// The repository operations: each is a fixed sequence of git runs in the folder.
#include "git/GitService.h"

#include "git/GitOutputParser.h"
#include "git/KeychainManager.h"
#include "platform/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillon {

namespace {

const QString kLiteralDot = QStringLiteral(".");

// The whole folder but what a crashed save of ours left in it: never staged, never a change.
QStringList wholeFolder()
{
    static const QStringList leftovers = [] {
        QStringList specs;
        for (const QString& glob : FileUtil::saveTemporaryGlobs())
            specs.append(QStringLiteral(":(exclude,glob)**/") + glob);
        return specs;
    }();
    return QStringList { QStringLiteral("--"), kLiteralDot } + leftovers;
}

GitRunResult stageAll(const GitService& service, const QString& folder)
{
    GitInvocation invocation;
    invocation.arguments
        = QStringList { QStringLiteral("add"), QStringLiteral("-A") } + wholeFolder();
    invocation.workingDirectory = folder;
    invocation.pathspecMagic = true;
    return service.run(invocation);
}

// A helper that keeps credentials in the system keyring, when this system has one for git.
QString keyringCredentialHelper(const GitService& service)
{
    static const QString helper = [&service] {
        GitInvocation invocation;
        invocation.arguments = { QStringLiteral("--exec-path") };
        const GitRunResult r = service.run(invocation);
        const QString execPath = QString::fromUtf8(r.standardOutput).trimmed();
        const QString name = QStringLiteral("git-credential-libsecret");
        if ((!execPath.isEmpty() && QFileInfo(execPath + QLatin1Char('/') + name).isExecutable())
            || !QStandardPaths::findExecutable(name).isEmpty())
            return QStringLiteral("libsecret");
        return QString();
    }();
    return helper;
}

} // namespace

std::optional<QString> GitService::topLevel(const QString& folder)
{
    const GitRunResult r
        = runIn(folder, { QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel") });
    if (!r.succeeded())
        return std::nullopt;
    const QString top = QString::fromUtf8(r.standardOutput).trimmed();
    if (top.isEmpty())
        return std::nullopt;
    return top;
}

bool GitService::isRepositoryRoot(const QString& folder)
{
    const GitRunResult r
        = runIn(folder, { QStringLiteral("rev-parse"), QStringLiteral("--show-prefix") });
    return !r.succeeded() || r.standardOutput.trimmed().isEmpty();
}

bool GitService::mergeInProgress(const QString& folder)
{
    return runIn(folder,
        { QStringLiteral("rev-parse"), QStringLiteral("-q"), QStringLiteral("--verify"),
            QStringLiteral("MERGE_HEAD") })
        .succeeded();
}

GitResult<void> GitService::initRepository(const QString& folder)
{
    const GitRunResult init = runIn(folder, { QStringLiteral("init") });
    if (!init.succeeded())
        return init.error();
    configureCredentialHelper(folder);
    stageAll(*this, folder);
    runIn(folder,
        { QStringLiteral("commit"), QStringLiteral("-m"), QStringLiteral("Initial commit") });
    return {};
}

void GitService::configureCredentialHelper(const QString& folder)
{
    // A helper that is not installed would only add an error line to every network command.
    const QString helper = keyringCredentialHelper(*this);
    if (helper.isEmpty())
        return;
    runIn(folder, { QStringLiteral("config"), QStringLiteral("credential.helper"), helper });
}

bool GitService::hasRemote(const QString& folder)
{
    return getRemoteURL(folder).has_value();
}

bool GitService::isGitRepository(const QString& folder)
{
    const GitRunResult r
        = runIn(folder, { QStringLiteral("rev-parse"), QStringLiteral("--is-inside-work-tree") });
    return r.succeeded() && GitOutputParser::parseIsInsideWorkTree(r.standardOutput);
}

std::optional<QString> GitService::getRemoteURL(const QString& folder)
{
    const GitRunResult r = runIn(folder,
        { QStringLiteral("config"), QStringLiteral("--get"), QStringLiteral("remote.origin.url") });
    if (!r.succeeded())
        return std::nullopt;
    return GitOutputParser::parseRemoteURL(r.standardOutput);
}

GitResult<GitStatusResult> GitService::getStatus(const QString& folder)
{
    GitInvocation invocation;
    invocation.arguments = QStringList { QStringLiteral("status"), QStringLiteral("--porcelain=v1"),
        QStringLiteral("-b"), QStringLiteral("-z") }
        + wholeFolder();
    invocation.workingDirectory = folder;
    invocation.noOptionalLocks = true;
    invocation.pathspecMagic = true;
    const GitRunResult r = run(invocation);
    if (!r.succeeded())
        return r.error();
    return GitOutputParser::parseStatus(r.standardOutput);
}

bool GitService::refreshIndex(const QString& folder)
{
    return runIn(folder,
        { QStringLiteral("update-index"), QStringLiteral("-q"), QStringLiteral("--refresh") })
        .succeeded();
}

int GitService::unpushedCommitCount(const QString& folder)
{
    const GitRunResult r = runIn(folder,
        { QStringLiteral("rev-list"), QStringLiteral("--count"), QStringLiteral("HEAD"),
            QStringLiteral("--not"), QStringLiteral("--remotes=origin") });
    if (!r.succeeded())
        return 0;
    return r.standardOutput.trimmed().toInt();
}

GitResult<void> GitService::fetch(const QString& folder, const std::optional<QString>& token)
{
    const auto remote = getRemoteURL(folder);
    const auto config = tokenConfig(token.value_or(QString()), remote.value_or(QString()));
    const GitRunResult r
        = runNetwork(folder, { QStringLiteral("fetch"), QStringLiteral("origin") }, config);
    if (!r.succeeded())
        return r.error();
    return {};
}

GitResult<void> GitService::commitLocal(const QString& folder, const QString& message)
{
    const GitRunResult add = stageAll(*this, folder);
    if (!add.succeeded())
        return add.error();
    QStringList args = { QStringLiteral("commit"), QStringLiteral("-m"),
        message.isEmpty() ? QStringLiteral("Update documents") : message };
    // A workspace inside a larger repository commits only its own folder, not what the user
    // staged elsewhere. A merge in progress can only be concluded whole.
    if (!mergeInProgress(folder) && !isRepositoryRoot(folder))
        args << QStringLiteral("--") << kLiteralDot;
    // A commit with nothing to commit fails; that is not an error here. Any other failure (no
    // identity configured, a refusing hook) leaves the changes staged, and is reported.
    const GitRunResult commit = runIn(folder, args);
    if (!commit.succeeded()
        && runIn(folder,
               { QStringLiteral("diff"), QStringLiteral("--cached"), QStringLiteral("--quiet"),
                   QStringLiteral("--"), kLiteralDot })
                .exitCode
            == 1)
        return commit.error();
    return {};
}

GitResult<void> GitService::commitAndPush(
    const QString& folder, const QString& message, const std::optional<QString>& token)
{
    if (auto committed = commitLocal(folder, message); !committed)
        return committed;
    const auto remote = getRemoteURL(folder);
    if (!remote)
        return {};
    const auto config = tokenConfig(token.value_or(QString()), *remote);
    const QString branch = getCurrentBranch(folder);
    if (!runIn(folder,
            { QStringLiteral("rev-parse"), QStringLiteral("--verify"), QStringLiteral("-q"),
                QStringLiteral("HEAD") })
             .succeeded())
        return {};
    const bool remoteBranchExists = runIn(folder,
        { QStringLiteral("rev-parse"), QStringLiteral("--verify"), QStringLiteral("-q"),
            QStringLiteral("refs/remotes/origin/") + branch })
                                        .succeeded();
    QStringList args = { QStringLiteral("push") };
    if (!remoteBranchExists)
        args << QStringLiteral("-u");
    args << QStringLiteral("origin") << branch;
    const GitRunResult push = runNetwork(folder, args, config);
    if (!push.succeeded())
        return push.error();
    return {};
}

QString GitService::getCurrentBranch(const QString& folder)
{
    // symbolic-ref also names a branch that has no commit yet.
    const GitRunResult r = runIn(folder,
        { QStringLiteral("symbolic-ref"), QStringLiteral("--short"), QStringLiteral("-q"),
            QStringLiteral("HEAD") });
    if (!r.succeeded())
        return QStringLiteral("main");
    return GitOutputParser::parseBranchName(r.standardOutput);
}

void GitService::stageDeletion(const QString& folder, const QString& targetPath)
{
    const QString repository = QDir::cleanPath(folder);
    const QString target = QDir::cleanPath(targetPath);
    if (target == repository)
        return;
    if (target.startsWith(repository + QLatin1Char('/'))) {
        const QString relative = target.mid(repository.size() + 1);
        runIn(folder,
            { QStringLiteral("rm"), QStringLiteral("-r"), QStringLiteral("--cached"),
                QStringLiteral("--ignore-unmatch"), QStringLiteral("-q"), QStringLiteral("--"),
                relative });
    }
    // Staging everything would mark conflicted files, markers and all, as resolved.
    const GitRunResult unmerged = runIn(folder,
        { QStringLiteral("ls-files"), QStringLiteral("-u"), QStringLiteral("--"), kLiteralDot });
    if (!unmerged.succeeded() || !unmerged.standardOutput.isEmpty())
        return;
    stageAll(*this, folder);
}

GitResult<void> GitService::clone(const QString& repoURLString, const std::optional<QString>& token,
    const QString& destinationPath, std::shared_ptr<const std::atomic<bool>> cancelled)
{
    // An address that git would read as an option, or that holds control characters, is refused
    // before anything runs. Anything else goes to git as typed: scp-like "user@host:path"
    // addresses are not URLs but are valid remotes.
    if (repoURLString.isEmpty() || repoURLString.startsWith(QLatin1Char('-')))
        return GitError::invalidURL();
    for (const QChar c : repoURLString) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return GitError::invalidURL();
    }
    GitInvocation invocation;
    invocation.arguments
        = { QStringLiteral("clone"), QStringLiteral("--"), repoURLString, destinationPath };
    invocation.config = tokenConfig(token.value_or(QString()), repoURLString);
    // A first clone transfers the whole history: give it longer than a fetch.
    invocation.timeoutMs = 3 * networkTimeoutMs();
    invocation.cancelled = std::move(cancelled);
    const GitRunResult r = run(invocation);
    if (!r.succeeded())
        return r.error();
    return {};
}

GitResult<QStringList> GitService::unmergedPaths(const QString& folder)
{
    const QString root = topLevel(folder).value_or(folder);
    const GitRunResult listing = runIn(root,
        { QStringLiteral("diff"), QStringLiteral("--name-only"), QStringLiteral("-z"),
            QStringLiteral("--diff-filter=U") });
    if (!listing.succeeded())
        return listing.error();
    QStringList paths;
    for (const QByteArray& entry : listing.standardOutput.split('\0')) {
        if (!entry.isEmpty() && !paths.contains(QString::fromUtf8(entry)))
            paths.append(QString::fromUtf8(entry));
    }
    return paths;
}

GitResult<ConflictVersions> GitService::getConflictDiff(
    const QString& folder, const QString& filePath)
{
    // Conflicted paths are relative to the repository root; run where they resolve.
    const QString root = topLevel(folder).value_or(folder);
    const GitRunResult listing = runIn(root,
        { QStringLiteral("ls-files"), QStringLiteral("-u"), QStringLiteral("-z"),
            QStringLiteral("--"), filePath });
    const QSet<int> stages = GitOutputParser::parseUnmergedStages(listing.standardOutput);
    ConflictVersions versions;
    // Without any unmerged stage git is asked anyway, so that its own message explains why.
    const bool anyStage = !stages.isEmpty();
    if (!anyStage || stages.contains(2)) {
        const GitRunResult ours
            = runIn(root, { QStringLiteral("show"), QStringLiteral(":2:") + filePath });
        if (!ours.succeeded())
            return ours.error();
        versions.ours = QString::fromUtf8(ours.standardOutput);
    } else {
        versions.oursDeleted = true;
    }
    if (!anyStage || stages.contains(3)) {
        const GitRunResult theirs
            = runIn(root, { QStringLiteral("show"), QStringLiteral(":3:") + filePath });
        if (!theirs.succeeded())
            return theirs.error();
        versions.theirs = QString::fromUtf8(theirs.standardOutput);
    } else {
        versions.theirsDeleted = true;
    }
    return versions;
}

GitResult<void> GitService::resolveConflict(
    const QString& folder, const QString& filePath, ConflictChoice choice)
{
    const QString root = topLevel(folder).value_or(folder);
    const GitRunResult listing = runIn(root,
        { QStringLiteral("ls-files"), QStringLiteral("-u"), QStringLiteral("-z"),
            QStringLiteral("--"), filePath });
    const QSet<int> stages = GitOutputParser::parseUnmergedStages(listing.standardOutput);
    const int side = choice == ConflictChoice::keepOurs ? 2 : 3;
    if (!stages.isEmpty() && !stages.contains(side)) {
        // The kept side deleted the file: resolve by deleting it.
        const GitRunResult rm = runIn(root,
            { QStringLiteral("rm"), QStringLiteral("-q"), QStringLiteral("-f"),
                QStringLiteral("--"), filePath });
        if (!rm.succeeded())
            return rm.error();
        return {};
    }
    const GitRunResult checkout = runIn(root,
        { QStringLiteral("checkout"),
            choice == ConflictChoice::keepOurs ? QStringLiteral("--ours")
                                               : QStringLiteral("--theirs"),
            QStringLiteral("--"), filePath });
    if (!checkout.succeeded())
        return checkout.error();
    const GitRunResult add = runIn(root, { QStringLiteral("add"), QStringLiteral("--"), filePath });
    if (!add.succeeded())
        return add.error();
    return {};
}

GitResult<void> GitService::completeMerge(const QString& folder, const QString& message)
{
    const GitRunResult r
        = runIn(folder, { QStringLiteral("commit"), QStringLiteral("-m"), message });
    if (!r.succeeded())
        return r.error();
    return {};
}

std::optional<QString> GitService::tokenForRemote(const QString& folder)
{
    const auto remote = getRemoteURL(folder);
    if (!remote)
        return std::nullopt;
    return KeychainManager::getToken(KeychainManager::extractHost(*remote));
}

} // namespace quillon
