#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QScopeGuard>

#include <sys/stat.h>
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
        return writer.write({ path, text, LineEnds(), signature, expected, LineEnds(), replace });
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
    EXPECT_EQ(r.results.back().text, "b50");
    EXPECT_TRUE(r.results.back().signature.sameFileVersion(FileSignature::of(b)));
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

TEST(BackgroundWriter, EditsTravelAloneAndAWriterWithoutTheTextAsksForIt)
{
    test::TempTree tree;
    const QString a = tree.write("a.md", "hello");
    const FileSignature signature = FileSignature::of(a);
    Recorder r;
    auto change = [&](QList<TextChange> changes, qsizetype length) {
        BackgroundWriter::Request request { a, {}, LineEnds(), signature, "hello", LineEnds() };
        request.hasText = false;
        request.changes = std::move(changes);
        request.length = length;
        return r.writer.write(std::move(request));
    };
    r.write(a, "hello", signature, "hello");
    // Queued one after another, the edits of several keys are applied in order.
    change({ { 5, 0, " world" } }, 11);
    change({ { 0, 1, "J" }, { 11, 0, "!" } }, 12);
    r.writer.flush();
    EXPECT_EQ(tree.read("a.md"), "Jello world!");
    ASSERT_FALSE(r.results.empty());
    EXPECT_EQ(r.results.back().status, Status::Written);
    EXPECT_EQ(r.results.back().text, "Jello world!");
    // Written one by one, with the results let go (the writer then reuses its older copy) or
    // kept.
    QString expected = QStringLiteral("Jello world!");
    for (int i = 0; i < 6; ++i) {
        change({ { i, 1, QString::number(i) } }, expected.size());
        expected.replace(i, 1, QString::number(i));
        r.writer.flush();
        EXPECT_EQ(tree.read("a.md"), expected.toUtf8());
        if (i % 3 != 2)
            r.results.clear();
    }

    // Edits the writer cannot place (it forgot the file, or they do not fit its text) write
    // nothing and ask for the whole text.
    r.results.clear();
    r.writer.forget(a);
    change({ { 0, 0, "x" } }, 13);
    r.writer.flush();
    for (const TextChange& misfit : { TextChange { 9, 0, "x" }, TextChange { 0, 0, "x" } }) {
        r.write(a, "whole", signature, "hello", true);
        r.writer.flush();
        change({ misfit }, misfit.position == 0 ? 99 : 6);
        r.writer.flush();
    }
    ASSERT_EQ(r.results.size(), 5u);
    for (size_t i : { 0, 2, 4 })
        EXPECT_TRUE(r.results[i].needsText) << i;
    EXPECT_EQ(r.results[3].status, Status::Written);
    EXPECT_EQ(tree.read("a.md"), "whole");
}
