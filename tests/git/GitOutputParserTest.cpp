#include "git/GitOutputParser.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

QByteArray z(std::initializer_list<const char*> records)
{
    QByteArray out;
    for (const char* r : records) {
        out.append(r);
        out.append('\0');
    }
    return out;
}

} // namespace

TEST(GitStatusParse, SortsChangesFromConflictsAndReadsAheadBehind)
{
    const auto s = GitOutputParser::parseStatus(
        z({ "## main...origin/main [ahead 2, behind 1]", " M a.md", "?? b.md", "UU c.md" }));
    EXPECT_FALSE(s.isClean);
    EXPECT_EQ(s.changedFiles, (QStringList { "a.md", "b.md" }));
    EXPECT_EQ(s.changedFileCount, 2);
    EXPECT_TRUE(s.hasConflicts);
    EXPECT_EQ(s.conflictingFiles, QStringList { "c.md" });
    EXPECT_EQ(s.ahead, 2);
    EXPECT_EQ(s.behind, 1);
    EXPECT_EQ(s.branch, "main");
    EXPECT_EQ(s.upstream, "origin/main");
}

TEST(GitStatusParse, EveryConflictCodeIsAConflictAndOneSidedDeletionsAreChanges)
{
    for (const char* code : { "DD", "AU", "UD", "UA", "DU", "AA", "UU" }) {
        const QByteArray record = QByteArray(code) + " f.md";
        const auto s = GitOutputParser::parseStatus(z({ record.constData() }));
        EXPECT_EQ(s.conflictingFiles, QStringList { "f.md" }) << code;
        EXPECT_TRUE(s.changedFiles.isEmpty()) << code;
    }
    const auto s = GitOutputParser::parseStatus(z({ "D  gone.md", " D also.md", "A  new.md" }));
    EXPECT_EQ(s.changedFiles, (QStringList { "gone.md", "also.md", "new.md" }));
    EXPECT_FALSE(s.hasConflicts);
}

TEST(GitStatusParse, BranchLines)
{
    struct Case
    {
        const char* line;
        QString branch;
        QString upstream;
        int ahead;
        int behind;
        bool gone;
        bool unborn;
    };
    const Case cases[] = {
        { "## main", "main", "", 0, 0, false, false },
        { "## main...origin/main", "main", "origin/main", 0, 0, false, false },
        { "## main...origin/main [behind 12]", "main", "origin/main", 0, 12, false, false },
        { "## feature/x...origin/feature/x [gone]", "feature/x", "origin/feature/x", 0, 0, true,
            false },
        { "## No commits yet on main", "main", "", 0, 0, false, true },
        { "## No commits yet on main...origin/main", "main", "origin/main", 0, 0, false, true },
        { "## HEAD (no branch)", "", "", 0, 0, false, false },
        { "## main...origin/main [ahead 99999999999]", "main", "origin/main", 0, 0, false, false },
    };
    for (const Case& c : cases) {
        const auto s = GitOutputParser::parseStatus(z({ c.line }));
        EXPECT_TRUE(s.isClean) << c.line;
        EXPECT_EQ(s.branch, c.branch) << c.line;
        EXPECT_EQ(s.upstream, c.upstream) << c.line;
        EXPECT_EQ(s.ahead, c.ahead) << c.line;
        EXPECT_EQ(s.behind, c.behind) << c.line;
        EXPECT_EQ(s.upstreamGone, c.gone) << c.line;
        EXPECT_EQ(s.unbornBranch, c.unborn) << c.line;
    }
}

TEST(GitStatusParse, PathsAreTakenVerbatim)
{
    // -z output: no quoting, spaces and non-ASCII kept, a rename's source path skipped.
    const auto s = GitOutputParser::parseStatus(z({ "## main", "A  docs/new file.md",
        "?? Notizen/Übersicht.md", "R  moved name.md", "old name.md", " M  leading space.md" }));
    EXPECT_EQ(s.changedFiles,
        (QStringList {
            "docs/new file.md", "Notizen/Übersicht.md", "moved name.md", " leading space.md" }));
}

TEST(GitStatusParse, PathsThatAreNotUtf8StillCountAsChanges)
{
    QByteArray out = z({ "## main" });
    out.append("?? caf\xe9.md");
    out.append('\0');
    const auto s = GitOutputParser::parseStatus(out);
    EXPECT_FALSE(s.isClean);
    EXPECT_EQ(s.changedFileCount, 1);
}

TEST(GitOutputParse, BranchNameRemoteAndStages)
{
    EXPECT_EQ(GitOutputParser::parseBranchName("feature\n"), "feature");
    EXPECT_EQ(GitOutputParser::parseBranchName("HEAD\n"), "main");
    EXPECT_EQ(GitOutputParser::parseBranchName(""), "main");
    EXPECT_EQ(GitOutputParser::parseRemoteURL("  https://h/r.git\n"), QString("https://h/r.git"));
    EXPECT_FALSE(GitOutputParser::parseRemoteURL("\n").has_value());
    EXPECT_TRUE(GitOutputParser::parseIsInsideWorkTree("true\n"));
    EXPECT_FALSE(GitOutputParser::parseIsInsideWorkTree("false\n"));

    QByteArray listing;
    listing.append("100644 aaaa 1\tx y.md");
    listing.append('\0');
    listing.append("100644 bbbb 3\tx y.md");
    listing.append('\0');
    EXPECT_EQ(GitOutputParser::parseUnmergedStages(listing), (QSet<int> { 1, 3 }));
}

TEST(GitOutputParse, AuthenticationFailuresAreToldFromOtherFailures)
{
    struct Case
    {
        const char* stderrText;
        bool auth;
    };
    const Case cases[] = {
        { "fatal: Authentication failed for 'https://h/r.git/'", true },
        { "remote: Invalid username or password.\nfatal: AUTHENTICATION FAILED for 'x'", true },
        { "fatal: could not read Username for 'https://h': terminal prompts disabled", true },
        { "fatal: unable to access 'https://h/r.git/': The requested URL returned error: 401",
            true },
        { "remote: Permission to me/r.git denied to bot.\nfatal: unable to access "
          "'https://h/r.git/': "
          "The requested URL returned error: 403",
            true },
        { "git@h: Permission denied (publickey).\nfatal: Could not read from remote repository.",
            true },
        // Not credentials: a file or folder name with 401, a local permission error, no network.
        { "error: Your local changes to the following files would be overwritten by merge:\n\t"
          "notes/401-errors.md",
            false },
        { "fatal: unable to access 'https://h/401/r.git/': Could not resolve host: h", false },
        { "error: unable to create file notes.md: Permission denied", false },
        { "ssh: Could not resolve hostname h: Name or service not known\n"
          "fatal: Could not read from remote repository.",
            false },
        { "", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(GitOutputParser::isAuthenticationFailure(QString::fromUtf8(c.stderrText)), c.auth)
            << c.stderrText;
}
