#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace quillon;

namespace {

using Status = BackgroundWriter::Status;

struct Recorder
{
    BackgroundWriter writer;
    std::vector<BackgroundWriter::Result> results;
    Recorder()
    {
        QObject::connect(&writer, &BackgroundWriter::finished, &writer,
            [this](const BackgroundWriter::Result& r) { results.push_back(r); });
    }
    // A write of `text` to a file believed to hold `expected` as of `signature`.
    quint64 write(const QString& path, const QString& text, const FileSignature& signature,
        const QString& expected, bool replace = false)
    {
        return writer.write({ path, ChunkedText(text), LineEnds(), signature, ChunkedText(expected),
            LineEnds(), replace });
    }
};

void overwriteInPlace(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(BackgroundWriter, TheNewestTextWinsAndResultsComeInOrder)
{
    test::TempTree tree;
    const QString a = tree.write("a.md", "a0");
    const QString b = tree.write("b.md", "b0");
    const FileSignature sa = FileSignature::of(a);
    const FileSignature sb = FileSignature::of(b);
    Recorder r;
    for (int i = 1; i <= 50; ++i) {
        r.write(a, QStringLiteral("a%1").arg(i), sa, "a0");
        r.write(b, QStringLiteral("b%1").arg(i), sb, "b0");
    }
    r.writer.flush();
    EXPECT_EQ(tree.read("a.md"), "a50");
    EXPECT_EQ(tree.read("b.md"), "b50");
    ASSERT_FALSE(r.results.empty());
    EXPECT_LE(r.results.size(), 100u);
    for (size_t i = 0; i < r.results.size(); ++i) {
        EXPECT_EQ(r.results[i].status, Status::Written) << r.results[i].error.toStdString();
        if (i > 0) {
            EXPECT_LT(r.results[i - 1].ticket, r.results[i].ticket);
        }
    }
    EXPECT_EQ(r.results.back().text.toString(), "b50");
    EXPECT_TRUE(r.results.back().signature.sameFileVersion(FileSignature::of(b)));
}

TEST(BackgroundWriter, AFileJustWrittenRestsAndThenGetsTheNewestTextUnlessFlushed)
{
    test::TempTree tree;
    const QString path = tree.write("doc.md", "zero");
    const FileSignature loaded = FileSignature::of(path);
    Recorder r;
    r.writer.setMinimumRestForTesting(std::chrono::milliseconds(400));
    auto waitForResults = [&](size_t count) {
        return test::waitUntil([&] {
            QCoreApplication::processEvents();
            return r.results.size() >= count;
        });
    };
    // After a pause a keystroke is written at once.
    r.write(path, "one", loaded, "zero");
    ASSERT_TRUE(waitForResults(1));
    EXPECT_EQ(tree.read("doc.md"), "one");

    // The next ones wait while the file rests; the newest of them is written, once.
    r.write(path, "two", loaded, "zero");
    r.write(path, "three", loaded, "zero");
    QTest::qWait(150);
    EXPECT_EQ(r.results.size(), 1u);
    EXPECT_EQ(tree.read("doc.md"), "one");
    ASSERT_TRUE(waitForResults(2));
    EXPECT_EQ(r.results[1].status, Status::Written) << r.results[1].error.toStdString();
    EXPECT_EQ(r.results[1].text.toString(), "three");
    EXPECT_EQ(tree.read("doc.md"), "three");

    // A flush does not wait for the rest: what is saved now is on disk now.
    r.write(path, "four", loaded, "zero");
    QTest::qWait(50); // resting
    EXPECT_EQ(tree.read("doc.md"), "three");
    QElapsedTimer clock;
    clock.start();
    r.writer.flush();
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_EQ(tree.read("doc.md"), "four");
    EXPECT_EQ(r.results.size(), 3u);
}

TEST(BackgroundWriter, AnotherProgramsVersionIsNeverOverwrittenUnlessAsked)
{
    test::TempTree tree;
    const QString path = tree.write("doc.md", "mine");
    struct Change
    {
        const char* what;
        QByteArray bytes;
    };
    // Same size, in place, at once: the times may not move, the content does.
    for (const Change& change : { Change { "same size", "MINE" }, Change { "longer", "theirs" } }) {
        SCOPED_TRACE(change.what);
        tree.write("doc.md", "mine");
        const FileSignature before = FileSignature::of(path);
        overwriteInPlace(path, change.bytes);
        Recorder r;
        r.write(path, "mine, edited", before, "mine");
        r.writer.flush();
        ASSERT_EQ(r.results.size(), 1u);
        EXPECT_EQ(r.results[0].status, Status::ChangedOnDisk);
        EXPECT_EQ(r.results[0].diskDigest, FileUtil::digestOfBytes(change.bytes));
        EXPECT_EQ(tree.read("doc.md"), change.bytes);

        r.write(path, "mine, edited", before, "mine", true);
        r.writer.flush();
        EXPECT_EQ(r.results.back().status, Status::Written);
        EXPECT_EQ(tree.read("doc.md"), "mine, edited");
    }
}

TEST(BackgroundWriter, InAFolderThatMayNotBeWrittenTheFileIsWrittenInPlaceWithTheSameChecks)
{
    test::TempTree tree;
    const QString path = tree.write("shared/doc.md", "one");
    const QByteArray folder = QFile::encodeName(tree.filePath("shared"));
    struct stat before = {};
    ::stat(QFile::encodeName(path).constData(), &before);
    // The writer's thread inherits the permissions from this one.
    const test::ObeyFilePermissions obey;
    ::chmod(folder.constData(), 0555);
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0755); });
    if (!obey.active() || QFile(tree.filePath("shared/probe")).open(QIODevice::WriteOnly))
        GTEST_SKIP() << "file permissions cannot be made to apply here";

    const FileSignature loaded = FileSignature::of(path);
    Recorder r;
    r.write(path, "two", loaded, "one");
    r.writer.flush();
    // The caller has not heard of the first write yet: it still expects "one".
    r.write(path, "six", loaded, "one");
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 2u);
    EXPECT_EQ(r.results[0].status, Status::Written) << r.results[0].error.toStdString();
    EXPECT_EQ(r.results[1].status, Status::Written) << r.results[1].error.toStdString();
    EXPECT_EQ(tree.read("shared/doc.md"), "six");
    EXPECT_EQ(r.results[1].signature.inode, quint64(before.st_ino));

    // Another program's change of the same size, in the same file, is still never overwritten.
    overwriteInPlace(path, "SIX");
    r.write(path, "seven", r.results[1].signature, "six");
    r.writer.flush();
    EXPECT_EQ(r.results.back().status, Status::ChangedOnDisk);
    EXPECT_EQ(tree.read("shared/doc.md"), "SIX");
}

TEST(BackgroundWriter, ItsOwnWritesAndAMereTouchAreNoChange)
{
    test::TempTree tree;
    const QString path = tree.write("doc.md", "one");
    const FileSignature loaded = FileSignature::of(path);
    Recorder r;
    r.write(path, "two", loaded, "one");
    r.writer.flush();
    // The caller has not heard of the first write yet: it still expects "one".
    r.write(path, "three", loaded, "one");
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 2u);
    EXPECT_EQ(r.results[1].status, Status::Written);
    EXPECT_EQ(tree.read("doc.md"), "three");

    const FileSignature written = r.results[1].signature;
    struct utimbuf later
    {
        2000000000, 2000000000
    };
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &later), 0);
    r.write(path, "four", written, "three");
    r.writer.flush();
    EXPECT_EQ(r.results.back().status, Status::Written);
    EXPECT_EQ(tree.read("doc.md"), "four");
}

TEST(BackgroundWriter, AMissingFileIsNotCreatedAndQueuedWritesOutliveTheWriter)
{
    test::TempTree tree;
    const QString gone = tree.filePath("gone.md");
    const QString kept = tree.write("kept.md", "old");
    const FileSignature signature = FileSignature::of(kept);
    {
        Recorder r;
        r.write(gone, "text", FileSignature(), "");
        r.writer.flush();
        ASSERT_EQ(r.results.size(), 1u);
        EXPECT_EQ(r.results[0].status, Status::Missing);
        EXPECT_FALSE(QFile::exists(gone));
        for (int i = 0; i < 20; ++i)
            r.write(kept, QStringLiteral("new %1").arg(i), signature, "old");
    }
    EXPECT_EQ(tree.read("kept.md"), "new 19");
}

// The writer takes a snapshot that shares the caller's pieces: the caller types on, the file gets
// the text as it was when the write was asked for, every line with its own end, and a surrogate
// pair or a CR LF that straddles two pieces comes out whole.
TEST(BackgroundWriter, ASnapshotIsWrittenWithItsOwnLineEndsWhileTheTextGoesOn)
{
    test::TempTree tree;
    QString raw;
    // Longer than the stretches a long text is encoded and written in.
    for (int i = 0; raw.size() < 80 * ChunkedText::kPiece; ++i)
        raw += QStringLiteral("line %1 \U0001F600%2").arg(i).arg(i % 7 == 0 ? "\n" : "\r\n");
    const QByteArray bytes = "\xEF\xBB\xBF" + raw.toUtf8();
    const QString path = tree.write("doc.md", bytes);
    const FileUtil::TextFile file = FileUtil::readText(path);
    ASSERT_TRUE(file.ok);
    ChunkedText text(file.text);
    ASSERT_GT(text.pieces().size(), 1);
    // A pair split between two pieces.
    const qsizetype boundary = text.pieces().first().size();
    text.replace(boundary - 1, 0, u"\U0001F601");
    QString expected = file.text;
    expected.insert(boundary - 1, QStringLiteral("\U0001F601"));
    LineEnds ends = file.lineEnds;
    ends.applyEdit(text, boundary - 1, 0, 2);

    Recorder r;
    r.writer.write({ path, text, ends, FileSignature::of(path), ChunkedText(file.text),
        file.lineEnds, false });
    text.replace(0, 4, u"LINE"); // typing on while the writer works
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 1u);
    EXPECT_EQ(r.results[0].status, Status::Written) << r.results[0].error.toStdString();
    EXPECT_EQ(r.results[0].text.toString(), expected);
    EXPECT_EQ(tree.read("doc.md"), ends.encode(expected));
    EXPECT_EQ(FileUtil::readText(path).text, expected);
    EXPECT_TRUE(tree.read("doc.md").startsWith("\xEF\xBB\xBFline 0 "));
    EXPECT_EQ(tree.read("doc.md").count("\r\n"), raw.count(QStringLiteral("\r\n")));
}

// A write lets the window's keys go first, but not for ever: a long text is on disk soon even
// while changes to another file are asked for without a pause.
TEST(BackgroundWriter, AWriteThatMakesWayForKeysStillLands)
{
    test::TempTree tree;
    const QString longText = QString(ChunkedText::kPiece * 160, u'x');
    const QString doc = tree.write("doc.md", "old");
    const QString other = tree.write("other.md", "0");
    Recorder r;
    r.write(doc, longText, FileSignature::of(doc), "old");
    QElapsedTimer clock;
    clock.start();
    bool written = false;
    for (int i = 1; !written && clock.elapsed() < 5000; ++i) {
        r.write(other, QString::number(i), {}, {}, true);
        QThread::msleep(2);
        QCoreApplication::processEvents();
        for (const BackgroundWriter::Result& result : r.results)
            written |= result.path == doc && result.status == Status::Written;
    }
    EXPECT_TRUE(written);
    EXPECT_LT(clock.elapsed(), 2000);
    r.writer.flush();
    EXPECT_EQ(tree.read("doc.md").size(), longText.size());
}

namespace {

void append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    file.write(bytes);
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// Another program writes while our text goes to disk (a long document takes a while): what it
// wrote right before ours replaced the file is put back, and the caller hears of it.
TEST(BackgroundWriter, AChangeLandingWhileTheTextIsWrittenIsNeverReplaced)
{
    test::TempTree tree;
    const QByteArray lines = QByteArray("a line of the document\n").repeated(20000);
    const QString path = tree.write("doc.md", lines);
    const FileSignature loaded = FileSignature::of(path);
    Recorder r;
    int raced = 0;
    r.writer.setBeforeReplaceForTesting([&](const QString& file) {
        if (raced++ == 0)
            append(file, "their line\n");
    });
    r.write(path, QString::fromUtf8(lines + "my line\n"), loaded, QString::fromUtf8(lines));
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 1u);
    EXPECT_EQ(r.results[0].status, Status::ChangedOnDisk);
    EXPECT_EQ(r.results[0].diskDigest, FileUtil::digestOfBytes(lines + "their line\n"));
    EXPECT_EQ(tree.read("doc.md"), lines + "their line\n");
    EXPECT_EQ(namesIn(tree.path()), QStringList { "doc.md" });

    // Told to keep ours, the writer replaces theirs.
    r.write(path, QString::fromUtf8(lines + "my line\n"), loaded, QString::fromUtf8(lines), true);
    r.writer.flush();
    EXPECT_EQ(r.results.back().status, Status::Written);
    EXPECT_EQ(tree.read("doc.md"), lines + "my line\n");
    EXPECT_EQ(namesIn(tree.path()), QStringList { "doc.md" });
}

// A file moved away or made read-only at the moment of a write is left as it is: the text is
// not written anywhere, and the old name is not made again.
TEST(BackgroundWriter, AFileMovedAwayOrMadeReadOnlyIsNotWritten)
{
    test::TempTree tree;
    const QString path = tree.write("doc.md", "one");
    const QString moved = tree.filePath("moved.md");
    Recorder r;
    r.writer.setBeforeReplaceForTesting(
        [&](const QString& file) { ASSERT_TRUE(QFile::rename(file, moved)); });
    r.write(path, "two", FileSignature::of(path), "one");
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 1u);
    EXPECT_EQ(r.results[0].status, Status::Missing);
    EXPECT_EQ(namesIn(tree.path()), QStringList { "moved.md" });
    EXPECT_EQ(tree.read("moved.md"), "one");
    r.writer.setBeforeReplaceForTesting({});

    // Read-only to its owner: the superuser's editor, which could write it, does not either.
    const QByteArray encoded = QFile::encodeName(moved);
    ASSERT_EQ(::chmod(encoded.constData(), 0444), 0);
    struct stat before = {};
    ::stat(encoded.constData(), &before);
    r.write(moved, "three", FileSignature::of(moved), "one");
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 2u);
    EXPECT_EQ(r.results[1].status, Status::Failed);
    EXPECT_TRUE(r.results[1].readOnly);
    EXPECT_EQ(tree.read("moved.md"), "one");
    struct stat after = {};
    ::stat(encoded.constData(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0444u);

    // Writable again: written.
    ASSERT_EQ(::chmod(encoded.constData(), 0644), 0);
    r.write(moved, "three", FileSignature::of(moved), "one");
    r.writer.flush();
    EXPECT_EQ(r.results.back().status, Status::Written);
    EXPECT_EQ(tree.read("moved.md"), "three");
}

// Every name of a file with several hard links shows what was saved through one of them.
TEST(BackgroundWriter, AFileWithOtherLinksIsWrittenInPlaceWithTheSameChecks)
{
    test::TempTree tree;
    const QString path = tree.write("doc.md", "one");
    const QString other = tree.filePath("other.md");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    Recorder r;
    r.write(path, "two", FileSignature::of(path), "one");
    r.writer.flush();
    ASSERT_EQ(r.results.size(), 1u);
    EXPECT_EQ(r.results[0].status, Status::Written) << r.results[0].error.toStdString();
    EXPECT_EQ(tree.read("doc.md"), "two");
    EXPECT_EQ(tree.read("other.md"), "two");

    // A change through the other name is another program's.
    overwriteInPlace(other, "TWO");
    r.write(path, "three", r.results[0].signature, "two");
    r.writer.flush();
    EXPECT_EQ(r.results.back().status, Status::ChangedOnDisk);
    EXPECT_EQ(tree.read("doc.md"), "TWO");
    EXPECT_EQ(namesIn(tree.path()), (QStringList { "doc.md", "other.md" }));
}
