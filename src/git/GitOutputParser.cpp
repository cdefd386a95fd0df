#include "git/GitOutputParser.h"

#include <QRegularExpression>

#include <cstring>

namespace quillon::GitOutputParser {

namespace {

bool isConflictCode(char x, char y)
{
    // DD, AU, UD, UA, DU, AA, UU
    if (x == 'U' || y == 'U')
        return true;
    return (x == 'D' && y == 'D') || (x == 'A' && y == 'A');
}

int readCount(QByteArrayView text, QByteArrayView word)
{
    const qsizetype at = text.indexOf(word);
    if (at < 0)
        return 0;
    qsizetype i = at + word.size();
    qint64 value = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (++digits > 9)
            return 0;
        ++i;
    }
    return digits ? int(value) : 0;
}

} // namespace

void parseBranchLine(QByteArrayView line, GitStatusResult& result)
{
    static constexpr QByteArrayView noCommits("No commits yet on ");
    static constexpr QByteArrayView initialCommit("Initial commit on ");
    static constexpr QByteArrayView detached("HEAD (no branch)");
    // Both prefixes have the same length; what follows reads like any other branch line.
    static_assert(noCommits.size() == initialCommit.size());
    if (line.startsWith(noCommits) || line.startsWith(initialCommit)) {
        result.unbornBranch = true;
        line = line.sliced(noCommits.size());
    }
    if (line.startsWith(detached))
        return;

    QByteArrayView head = line;
    QByteArrayView tracking;
    const qsizetype bracket = line.indexOf(" [");
    if (bracket >= 0) {
        head = line.first(bracket);
        tracking = line.sliced(bracket + 2);
    }
    // Ref names cannot contain "..", so the first "..." separates branch and upstream.
    const qsizetype dots = head.indexOf("...");
    if (dots >= 0) {
        result.branch = QString::fromUtf8(head.first(dots));
        result.upstream = QString::fromUtf8(head.sliced(dots + 3));
    } else {
        result.branch = QString::fromUtf8(head);
    }
    if (!tracking.isEmpty()) {
        result.upstreamGone = tracking.startsWith("gone]");
        result.ahead = readCount(tracking, "ahead ");
        result.behind = readCount(tracking, "behind ");
    }
}

GitStatusResult parseStatus(const QByteArray& output)
{
    GitStatusResult result;
    const char* data = output.constData();
    const qsizetype size = output.size();
    qsizetype pos = 0;
    bool skipNext = false;
    while (pos < size) {
        const void* nul = std::memchr(data + pos, '\0', size_t(size - pos));
        const qsizetype end = nul ? static_cast<const char*>(nul) - data : size;
        const QByteArrayView record(data + pos, end - pos);
        pos = end + 1;
        if (skipNext) {
            // The source path of a rename or copy.
            skipNext = false;
            continue;
        }
        if (record.isEmpty())
            continue;
        if (record.startsWith("## ")) {
            parseBranchLine(record.sliced(3), result);
            continue;
        }
        if (record.size() < 4 || record[2] != ' ')
            continue;
        const char x = record[0];
        const char y = record[1];
        if (x == 'R' || x == 'C' || y == 'R' || y == 'C')
            skipNext = true;
        const QString path = QString::fromUtf8(record.sliced(3));
        if (isConflictCode(x, y))
            result.conflictingFiles.append(path);
        else
            result.changedFiles.append(path);
    }
    result.changedFileCount = int(result.changedFiles.size());
    result.hasConflicts = !result.conflictingFiles.isEmpty();
    result.isClean = result.changedFiles.isEmpty() && result.conflictingFiles.isEmpty();
    return result;
}

QString parseBranchName(const QByteArray& output)
{
    const QString name = QString::fromUtf8(output).trimmed();
    if (name.isEmpty() || name == QLatin1String("HEAD"))
        return QStringLiteral("main");
    return name;
}

std::optional<QString> parseRemoteURL(const QByteArray& output)
{
    const QString url = QString::fromUtf8(output).trimmed();
    if (url.isEmpty())
        return std::nullopt;
    return url;
}

bool parseIsInsideWorkTree(const QByteArray& output)
{
    return output.trimmed() == "true";
}

QSet<int> parseUnmergedStages(const QByteArray& output)
{
    // "<mode> SP <object> SP <stage> TAB <path> NUL"
    QSet<int> stages;
    for (const QByteArray& record : output.split('\0')) {
        const qsizetype tab = record.indexOf('\t');
        if (tab < 2)
            continue;
        const char stage = record[tab - 1];
        if (stage >= '1' && stage <= '3' && record[tab - 2] == ' ')
            stages.insert(stage - '0');
    }
    return stages;
}

bool isAuthenticationFailure(const QString& stderrText)
{
    // Only phrases git, curl and ssh print when credentials are missing or refused. A plain
    // "401" or "permission denied" may be part of a file name or a local file error.
    static const QRegularExpression pattern(
        QStringLiteral("authentication failed"
                       "|could not read (username|password)"
                       "|terminal prompts disabled"
                       "|the requested url returned error: 40[13]"
                       "|invalid username or password"
                       "|http basic: access denied"
                       "|permission denied \\((publickey|password|keyboard-interactive)"
                       "|^remote: permission to .* denied"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    return pattern.match(stderrText).hasMatch();
}

} // namespace quillon::GitOutputParser
