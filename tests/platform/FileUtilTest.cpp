#include "platform/FileUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillon;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct stat statOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A folder whose entries may not be added, removed or renamed, for as long as this lives.
struct ReadOnlyFolder
{
    QString path;
    explicit ReadOnlyFolder(const QString& folder)
        : path(folder)
    {
        ::chmod(QFile::encodeName(path).constData(), 0555);
    }
    ~ReadOnlyFolder() { ::chmod(QFile::encodeName(path).constData(), 0755); }
    bool refusesNewFiles() const
    {
        const QByteArray probe = QFile::encodeName(path + s("/probe"));
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            return errno == EACCES;
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }
};

// Saves `text` in a child process that the file size limit kills in the middle of the save, as a
// crash would. Returns the child's number, which no process has any more.
pid_t crashInTheMiddleOfASave(const QString& path, const QString& text)
{
    const pid_t child = ::fork();
    if (child == 0) {
        struct rlimit limit = {};
        ::setrlimit(RLIMIT_CORE, &limit);
        limit.rlim_cur = limit.rlim_max = 4;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_DFL);
        QString error;
        FileUtil::writeTextAtomic(path, text, FileUtil::LineEnding::Lf, &error);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    return child;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

TEST(FileUtil, StandardizedPathResolvesDotsAndTrailingSlashes)
{
    EXPECT_EQ(FileUtil::standardizedPath(s("/w/a/./b/../c/")), s("/w/a/c"));
    EXPECT_EQ(FileUtil::standardizedPath(s("/w//x.md")), s("/w/x.md"));
    EXPECT_EQ(FileUtil::standardizedPath(s("rel.md")), QDir::currentPath() + s("/rel.md"));
    EXPECT_TRUE(FileUtil::standardizedPath(QString()).isEmpty());
}

TEST(FileUtil, IsUnderNeedsAWholePathComponent)
{
    struct Case
    {
        const char* path;
        const char* folder;
        bool under;
    };
    const Case cases[] = {
        { "/w/a", "/w/a", true },
        { "/w/a/x.md", "/w/a", true },
        { "/w/a/b/c.md", "/w/a", true },
        { "/w/ab", "/w/a", false },
        { "/w/ab.md", "/w/a", false },
        { "/w", "/w/a", false },
        { "/w/a", "/", true },
        { "/w/a", "", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileUtil::isUnder(s(c.path), s(c.folder)), c.under)
            << c.path << " in " << c.folder;
}

TEST(FileUtil, CrlfFileReadsAsLfAndIsWrittenBackByteForByte)
{
    test::TempTree tree;
    const QByteArray original("# Title\r\n\r\nline \xc3\xa9\r\nlast");
    const QString path = tree.write(s("crlf.md"), original);

    const FileUtil::TextFile file = FileUtil::readText(path);
    ASSERT_TRUE(file.ok) << file.error.toStdString();
    EXPECT_EQ(file.lineEnds.usual(), LineEnds::Kind::CrLf);
    EXPECT_EQ(file.text, s("# Title\n\nline \u00e9\nlast"));
    EXPECT_EQ(file.digest, QCryptographicHash::hash(original, QCryptographicHash::Sha256));

    QString error;
    QByteArray digest;
    ASSERT_TRUE(FileUtil::writeTextAtomic(path, file.text, file.lineEnds, &error, &digest));
    EXPECT_EQ(tree.read(s("crlf.md")), original);
    EXPECT_EQ(digest, file.digest);
    EXPECT_EQ(FileUtil::digestOfFile(path), file.digest);

    // An edit with a new line keeps the file's style.
    ASSERT_TRUE(FileUtil::writeTextAtomic(path, file.text + s("\nmore"), file.lineEnds, &error));
    EXPECT_EQ(tree.read(s("crlf.md")), original + "\r\nmore");
}

TEST(FileUtil, LfFileAndBomAndLoneCarriageReturns)
{
    test::TempTree tree;
    const QString lf = tree.write(s("lf.md"), "a\nb\r\nc\rd");
    const FileUtil::TextFile file = FileUtil::readText(lf);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.lineEnds.usual(), LineEnds::Kind::Lf);
    EXPECT_EQ(file.text, s("a\nb\nc\rd"));

    const QString bom = tree.write(s("bom.md"), "\xEF\xBB\xBFhello\n");
    const FileUtil::TextFile withBom = FileUtil::readText(bom);
    ASSERT_TRUE(withBom.ok);
    EXPECT_EQ(withBom.text, s("hello\n"));

    const FileUtil::TextFile empty = FileUtil::readText(tree.write(s("empty.md"), ""));
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.text.isEmpty());
}

TEST(FileUtil, InvalidUtf8IsRefused)
{
    test::TempTree tree;
    const QByteArray samples[] = {
        QByteArray("caf\xe9 latin-1"),
        QByteArray("overlong \xc0\xaf"),
        QByteArray("surrogate \xed\xa0\x80"),
        QByteArray("cut off \xe2\x82"),
        QByteArray("\xff\xfe\x00h", 4),
    };
    for (const QByteArray& bytes : samples) {
        const QString path = tree.write(s("bad.md"), bytes);
        const FileUtil::TextFile file = FileUtil::readText(path);
        EXPECT_FALSE(file.ok) << bytes.toHex().constData();
        EXPECT_TRUE(file.notUtf8);
        EXPECT_TRUE(file.text.isEmpty());
        EXPECT_TRUE(file.error.contains(s("bad.md"))) << file.error.toStdString();
        EXPECT_TRUE(file.error.contains(s("UTF-8"))) << file.error.toStdString();
    }
}

TEST(FileUtil, UnreadableFileIsAnErrorButNotAnEncodingProblem)
{
    test::TempTree tree;
    const FileUtil::TextFile missing = FileUtil::readText(tree.filePath(s("missing.md")));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.notUtf8);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_TRUE(FileUtil::digestOfFile(tree.filePath(s("missing.md"))).isEmpty());

    const FileUtil::TextFile folder = FileUtil::readText(tree.mkdir(s("sub")));
    EXPECT_FALSE(folder.ok);
    EXPECT_FALSE(folder.error.isEmpty());

    const QString fifo = tree.filePath(s("pipe.md"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const FileUtil::TextFile pipe = FileUtil::readText(fifo); // must not block
    EXPECT_FALSE(pipe.ok);
    EXPECT_FALSE(pipe.error.isEmpty());
    EXPECT_TRUE(FileUtil::digestOfFile(fifo).isEmpty());
}

TEST(FileUtil, AtomicWriteKeepsPermissionsAndReportsFailure)
{
    test::TempTree tree;
    const QString path = tree.write(s("private.md"), "old");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QString error;
    ASSERT_TRUE(FileUtil::writeTextAtomic(path, s("new"), FileUtil::LineEnding::Lf, &error));
    EXPECT_EQ(tree.read(s("private.md")), "new");
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther
        | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::WriteOwner);

    // A linked document is written through its link, which stays a link.
    const QString link = tree.filePath(s("link.md"));
    ASSERT_TRUE(QFile::link(path, link));
    ASSERT_TRUE(FileUtil::writeTextAtomic(link, s("via link"), FileUtil::LineEnding::Lf, &error));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(tree.read(s("private.md")), "via link");

    error.clear();
    EXPECT_FALSE(FileUtil::writeTextAtomic(
        tree.filePath(s("no/such/folder/x.md")), s("x"), FileUtil::LineEnding::Lf, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tree.filePath(s("no"))));
}

TEST(FileUtil, InAFolderThatMayNotBeWrittenTheFileItselfIsRewritten)
{
    test::TempTree tree;
    const QString path = tree.write(s("shared/note.md"), "old text");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    const struct stat before = statOf(path);
    const test::ObeyFilePermissions obey;
    const ReadOnlyFolder folder(tree.filePath(s("shared")));
    if (!obey.active() || !folder.refusesNewFiles())
        GTEST_SKIP() << "file permissions cannot be made to apply here";

    QString error;
    ASSERT_TRUE(
        FileUtil::writeTextAtomic(path, s("a longer, new text"), FileUtil::LineEnding::Lf, &error))
        << error.toStdString();
    EXPECT_EQ(tree.read(s("shared/note.md")), "a longer, new text");
    ASSERT_TRUE(FileUtil::writeTextAtomic(path, s("short"), FileUtil::LineEnding::Lf, &error));
    EXPECT_EQ(tree.read(s("shared/note.md")), "short");
    // The same file, with its permissions, and nothing else in the folder.
    EXPECT_EQ(statOf(path).st_ino, before.st_ino);
    EXPECT_EQ(statOf(path).st_mode, before.st_mode);
    EXPECT_EQ(entries(folder.path), QStringList { s("note.md") });

    {
        // A write that fails half-way puts back what the file held.
        const test::FileSizeLimit limit(8);
        EXPECT_FALSE(FileUtil::writeTextAtomic(
            path, s("far too long for the limit"), FileUtil::LineEnding::Lf, &error));
    }
    EXPECT_EQ(tree.read(s("shared/note.md")), "short");

    // A file that may not be written either: the real reason, and the file untouched.
    ::chmod(QFile::encodeName(path).constData(), 0440);
    error.clear();
    EXPECT_FALSE(FileUtil::writeTextAtomic(path, s("lost?"), FileUtil::LineEnding::Lf, &error));
    EXPECT_TRUE(error.contains(s("Permission denied"))) << error.toStdString();
    EXPECT_EQ(tree.read(s("shared/note.md")), "short");
}

TEST(FileUtil, WhatACrashedSaveLeftIsKnownAsOursAndGoesWithTheNextSave)
{
    struct Name
    {
        const char* name;
        bool ours;
    };
    const Name names[] = {
        { ".note.md.quillon-save-4242-aB3dE9", true },
        { ".a.quillon-save-b.md.quillon-save-1-zzzzzz", true },
        { "note.md.quillon-save-4242-aB3dE9", false },
        { ".note.md.quillon-save--aB3dE9", false },
        { ".note.md.quillon-save-4242-aB3dE", false },
        { ".quillon-aB3dE9", false },
    };
    for (const Name& n : names)
        EXPECT_EQ(FileUtil::isSaveTemporaryName(s(n.name)), n.ours) << n.name;

    test::TempTree tree;
    // A name too long to take the marker whole is shortened, never cut inside a character.
    const QString longName = QString(120, QChar(0xe9)) + s(".md");
    for (const QString& document : { s("note.md"), longName }) {
        SCOPED_TRACE(document.size());
        const QString path = tree.write(document, "old");
        const pid_t crashed = crashInTheMiddleOfASave(path, QString(64, u'x'));
        EXPECT_EQ(tree.read(document), "old");
        QStringList left = entries(tree.path());
        left.removeAll(document);
        ASSERT_EQ(left.size(), 1);
        const QString leftover = left.first();
        EXPECT_TRUE(FileUtil::isSaveTemporaryName(leftover)) << leftover.toStdString();
        EXPECT_TRUE(leftover.contains(s(".quillon-save-%1-").arg(crashed)));
        EXPECT_EQ(QFile::decodeName(QFile::encodeName(leftover)), leftover);

        // Kept: one of this process, which runs; one that a save elsewhere holds. Gone: the
        // crashed one, and one whose number now belongs to another program.
        const QString ours = s(".other.md.quillon-save-%1-abc123").arg(::getpid());
        const QString held = s(".held.md.quillon-save-%1-Zz9Zz9").arg(crashed);
        const QString reused = s(".x.md.quillon-save-%1-AAAAAA").arg(::getppid());
        const QString notOurs = s(".quillon-aB3dE9");
        for (const QString& name : { ours, held, reused, notOurs })
            tree.write(name, "x");
        QFile holder(tree.filePath(held));
        ASSERT_TRUE(holder.open(QIODevice::ReadOnly));
        ASSERT_EQ(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

        QString error;
        ASSERT_TRUE(FileUtil::writeTextAtomic(path, s("new"), FileUtil::LineEnding::Lf, &error));
        EXPECT_EQ(tree.read(document), "new");
        QStringList expected = { document, ours, held, notOurs };
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(entries(tree.path()), expected);
        for (const QString& name : { document, ours, held, notOurs })
            QFile::remove(tree.filePath(name));
    }
}

TEST(FileUtil, CreatingAFileNeverTouchesAnExistingItem)
{
    test::TempTree tree;
    const QString path = tree.filePath(s("Untitled.md"));
    QString error;
    QByteArray digest;
    ASSERT_TRUE(FileUtil::createTextFile(
        path, s("# Untitled\n\n"), FileUtil::LineEnding::Lf, &error, &digest));
    EXPECT_EQ(tree.read(s("Untitled.md")), "# Untitled\n\n");
    EXPECT_EQ(digest, FileUtil::digestOfFile(path));

    tree.write(s("taken.md"), "mine");
    tree.mkdir(s("folder.md"));
    for (const char* name : { "Untitled.md", "taken.md", "folder.md" }) {
        EXPECT_FALSE(FileUtil::createTextFile(
            tree.filePath(s(name)), s("new"), FileUtil::LineEnding::Lf, &error));
        EXPECT_TRUE(error.contains(s("already exists"))) << error.toStdString();
    }
    EXPECT_EQ(tree.read(s("taken.md")), "mine");
    EXPECT_FALSE(FileUtil::createTextFile(
        tree.filePath(s("missing/x.md")), s("x"), FileUtil::LineEnding::Lf, &error));
}

TEST(FileUtil, RenameNeverReplacesAnExistingItem)
{
    test::TempTree tree;
    const QString a = tree.write(s("a.md"), "A");
    const QString b = tree.write(s("b.md"), "B");
    const QString dir = tree.mkdir(s("dir"));
    const QString emptyDir = tree.mkdir(s("empty"));
    tree.write(s("dir/inside.md"), "I");

    struct Case
    {
        QString from;
        QString to;
    };
    const Case refused[] = {
        { a, b }, // file onto file
        { a, dir }, // file onto folder
        { dir, emptyDir }, // plain rename(2) would replace an empty folder
        { dir, b }, // folder onto file
    };
    for (const Case& c : refused) {
        QString error;
        EXPECT_FALSE(FileUtil::renameNoReplace(c.from, c.to, &error)) << c.to.toStdString();
        EXPECT_TRUE(error.contains(s("already exists"))) << error.toStdString();
    }
    EXPECT_EQ(tree.read(s("a.md")), "A");
    EXPECT_EQ(tree.read(s("b.md")), "B");
    EXPECT_EQ(tree.read(s("dir/inside.md")), "I");
    EXPECT_TRUE(QFileInfo(emptyDir).isDir());
}

TEST(FileUtil, RenameMovesFilesAndFolders)
{
    test::TempTree tree;
    const QString a = tree.write(s("a.md"), "A");
    const QString dir = tree.mkdir(s("dir"));
    tree.write(s("dir/x/inside.md"), "I");
    tree.mkdir(s("target"));

    QString error;
    ASSERT_TRUE(FileUtil::renameNoReplace(a, tree.filePath(s("target/a2.md")), &error))
        << error.toStdString();
    EXPECT_EQ(tree.read(s("target/a2.md")), "A");
    EXPECT_FALSE(QFileInfo::exists(a));

    ASSERT_TRUE(FileUtil::renameNoReplace(dir, tree.filePath(s("target/dir")), &error));
    EXPECT_EQ(tree.read(s("target/dir/x/inside.md")), "I");

    EXPECT_FALSE(FileUtil::renameNoReplace(
        tree.filePath(s("target")), tree.filePath(s("target/dir/target")), &error));
    EXPECT_TRUE(error.contains(s("into itself"))) << error.toStdString();

    EXPECT_FALSE(
        FileUtil::renameNoReplace(tree.filePath(s("gone.md")), tree.filePath(s("g.md")), &error));
    EXPECT_TRUE(error.contains(s("no longer exists"))) << error.toStdString();
}

TEST(FileUtil, TrashMovesTheItemAndReportsFailure)
{
    test::TempTree tree;
    const QString file = tree.write(s("trash me.md"), "bye");
    const QString folder = tree.mkdir(s("folder"));
    tree.write(s("folder/x.md"), "x");

    QString error;
    ASSERT_TRUE(FileUtil::moveToTrash(file, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file));
    ASSERT_TRUE(FileUtil::moveToTrash(folder, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    const QString trash
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + s("/Trash/files");
    EXPECT_TRUE(QFileInfo::exists(trash + s("/trash me.md")));
    EXPECT_TRUE(QFileInfo::exists(trash + s("/folder/x.md")));

    error.clear();
    EXPECT_FALSE(FileUtil::moveToTrash(file, &error));
    EXPECT_TRUE(error.contains(s("trash me.md"))) << error.toStdString();
}

TEST(FileUtil, ADamagedTrashFailsAndLeavesTheItemWhereItWas)
{
    test::TempTree tree;
    const QString file = tree.write(s("keep me.md"), "still here");
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    const QString savedCwd = QDir::currentPath();
    const QString dataHome = tree.mkdir(s("data"));
    tree.write(s("data/Trash"), "not a folder");
    const QString cwd = tree.mkdir(s("cwd"));
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());
    QDir::setCurrent(cwd);

    QString error;
    const bool moved = FileUtil::moveToTrash(file, &error);

    QDir::setCurrent(savedCwd);
    qputenv("XDG_DATA_HOME", savedDataHome);
    EXPECT_FALSE(moved);
    EXPECT_TRUE(error.contains(s("keep me.md"))) << error.toStdString();
    EXPECT_EQ(tree.read(s("keep me.md")), QByteArray("still here"));
    EXPECT_TRUE(QDir(cwd).isEmpty()) << "nothing may land below the working folder";
}

TEST(FileUtil, RemovePermanentlyRemovesFoldersButNeverFollowsALink)
{
    test::TempTree tree;
    tree.write(s("keep/precious.md"), "keep");
    tree.write(s("doomed/a/b.md"), "b");
    const QString link = tree.filePath(s("link"));
    ASSERT_TRUE(QFile::link(tree.filePath(s("keep")), link));

    QString error;
    ASSERT_TRUE(FileUtil::removePermanently(link, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(tree.read(s("keep/precious.md")), "keep");

    ASSERT_TRUE(FileUtil::removePermanently(tree.filePath(s("doomed")), &error));
    EXPECT_FALSE(QFileInfo::exists(tree.filePath(s("doomed"))));

    EXPECT_FALSE(FileUtil::removePermanently(tree.filePath(s("doomed")), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(FileUtil, ItemNameValidation)
{
    struct Case
    {
        QString name;
        bool valid;
    };
    const Case cases[] = {
        { s("notes.md"), true },
        { s("New Folder 1"), true },
        { s("..hidden"), true },
        { s("\u00e9t\u00e9.md"), true },
        { QString(), false },
        { s("   "), false },
        { s("a/b"), false },
        { s("../escape"), false },
        { s("."), false },
        { s(".."), false },
        { s("nul") + QChar(0) + s("x"), false },
        { QString(256, QLatin1Char('x')), false },
    };
    for (const Case& c : cases) {
        QString reason;
        EXPECT_EQ(FileUtil::isValidItemName(c.name, &reason), c.valid) << c.name.toStdString();
        EXPECT_EQ(reason.isEmpty(), c.valid) << c.name.toStdString();
    }
}

// The other program's version, swapped out by a replace and then impossible to put back (its
// place taken from under us), is kept under a name of its own that no sweep of temporaries removes.
TEST(FileUtil, AnOtherVersionThatCannotBePutBackKeepsANameOfItsOwn)
{
    test::TempTree tree;
    const QString path = tree.write(QStringLiteral("notes.md"), "theirs\n");
    FileUtil::ReplaceChecks checks;
    checks.holdsExpected = [&](const QString& what) {
        if (what == path)
            return true;
        QFile::remove(path); // the swapped-out version is not ours, and the place is gone
        return false;
    };
    QString error;
    EXPECT_EQ(
        FileUtil::replaceFile(path, "mine\n", checks, &error), FileUtil::ReplaceOutcome::Failed);
    EXPECT_EQ(tree.read(QStringLiteral("notes (other version).md")), "theirs\n");
    EXPECT_TRUE(error.contains(QStringLiteral("notes (other version).md"))) << error.toStdString();
    const QStringList left = QDir(tree.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList { QStringLiteral("notes (other version).md") });
}

TEST(FileUtil, ALongFileReadInPiecesHoldsWhatItReadsWholeHolds)
{
    // Characters of every UTF-8 length put across every place a piece may be cut, a BOM, a
    // broken sequence at a cut, and a file with CR LF breaks: read in pieces, each gives what
    // reading it whole gives.
    test::TempTree tree;
    const qsizetype cut = ChunkedText::kPiece;
    const QList<QByteArray> characters { "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80" };
    int n = 0;
    for (const QByteArray& character : characters) {
        for (qsizetype before = -4; before <= 1; ++before) {
            for (const bool bom : { false, true }) {
                QByteArray bytes(3 * cut + 100, 'a');
                for (int piece = 1; piece <= 2; ++piece)
                    bytes.replace(piece * cut + before, character.size(), character);
                if (bom)
                    bytes.prepend("\xEF\xBB\xBF");
                const QString path = tree.write(s("long%1.md").arg(n++), bytes);
                const FileUtil::TextFile whole = FileUtil::readText(path, false);
                const FileUtil::PiecesFile pieces = FileUtil::readTextInPieces(path);
                ASSERT_TRUE(whole.ok);
                ASSERT_TRUE(pieces.ok) << pieces.error.toStdString();
                EXPECT_EQ(pieces.text.toString(), whole.text)
                    << character.size() << " bytes at " << before << " bom " << bom;
                EXPECT_GT(pieces.text.pieces().size(), 2);
                EXPECT_EQ(pieces.lineEnds.hasByteOrderMark(), bom);
            }
        }
    }
    QByteArray broken(3 * cut, 'a');
    broken[cut] = char(0xe2);
    const FileUtil::PiecesFile refused
        = FileUtil::readTextInPieces(tree.write(s("bad.md"), broken));
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.notUtf8);
    EXPECT_TRUE(refused.error.contains(s("UTF-8"))) << refused.error.toStdString();

    // A file of many pieces: characters across cuts anywhere in it, and a broken sequence far
    // into it, read as reading it whole does.
    QByteArray many;
    for (int i = 0; many.size() < 70 * cut; ++i)
        many += QByteArray(int(i * 7919 % 3000), 'b') + characters[i % 3] + "\n";
    const QString manyPath = tree.write(s("many.md"), many);
    const FileUtil::PiecesFile manyPieces = FileUtil::readTextInPieces(manyPath);
    ASSERT_TRUE(manyPieces.ok);
    EXPECT_EQ(manyPieces.text.toString(), FileUtil::readText(manyPath, false).text);
    many[many.size() - 2 * cut] = char(0xf0);
    const FileUtil::PiecesFile manyRefused
        = FileUtil::readTextInPieces(tree.write(s("many-bad.md"), many));
    EXPECT_FALSE(manyRefused.ok);
    EXPECT_TRUE(manyRefused.notUtf8);

    // Past a few megabytes the bytes are read, and the pieces decoded, by several threads.
    QByteArray large;
    for (int i = 0; large.size() < 5 * 1024 * 1024 + 123; ++i)
        large += QByteArray::number(i) + characters[i % 3] + "\n";
    const QString largePath = tree.write(s("large.md"), large);
    EXPECT_EQ(FileUtil::readText(largePath, false).text, QString::fromUtf8(large));
    EXPECT_EQ(FileUtil::readTextInPieces(largePath).text.toString(), QString::fromUtf8(large));
    large[3 * 1024 * 1024] = char(0xff);
    const FileUtil::TextFile largeRefused
        = FileUtil::readText(tree.write(s("large-bad.md"), large), false);
    EXPECT_FALSE(largeRefused.ok);
    EXPECT_TRUE(largeRefused.notUtf8);

    QByteArray crlf;
    while (crlf.size() < 3 * cut)
        crlf += "a line\r\n";
    const FileUtil::PiecesFile folded = FileUtil::readTextInPieces(tree.write(s("crlf.md"), crlf));
    ASSERT_TRUE(folded.ok);
    EXPECT_EQ(folded.text.toString(), QString::fromUtf8(crlf).replace(s("\r\n"), s("\n")));
    EXPECT_EQ(folded.lineEnds.usual(), LineEnds::Kind::CrLf);
}
