#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/SignalCache.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;

namespace {

QList<SignalPostBody> records(int from, int to)
{
    QList<SignalPostBody> result;
    for (int i = from; i <= to; ++i)
        result.append(test::makeRecord(i));
    return result;
}

QList<int> indexes(const QList<SignalPostBody>& bodies)
{
    QList<int> result;
    for (const SignalPostBody& body : bodies)
        result.append(body.payload.value(QStringLiteral("index")).toInt());
    return result;
}

QByteArray cacheFile(const QList<SignalPostBody>& bodies)
{
    QJsonArray array;
    for (const SignalPostBody& body : bodies)
        array.append(body.toCacheJson());
    return QJsonDocument(array).toJson();
}

} // namespace

TEST(SignalCache, KeepsTheNewestRecordsWithinTheLimit)
{
    test::TempTree tree;
    SignalCache cache(std::nullopt, 10000, tree.filePath("cache"));
    for (const SignalPostBody& body : records(1, 10001))
        cache.push(body);
    EXPECT_EQ(cache.count(), 10000);
    EXPECT_EQ(indexes(cache.pop()).first(), 2);

    SignalCache zero(std::nullopt, 0, tree.filePath("zero"));
    zero.push(test::makeRecord(1));
    EXPECT_EQ(zero.count(), 0);
    SignalCache negative(std::nullopt, -5, tree.filePath("negative"));
    negative.push(test::makeRecord(1));
    EXPECT_EQ(negative.count(), 0);
}

TEST(SignalCache, PopsOldestFirstInBatchesOfAHundred)
{
    test::TempTree tree;
    SignalCache cache(std::nullopt, 10000, tree.filePath("cache"));
    cache.push(records(1, 250));
    const QList<SignalPostBody> first = cache.pop();
    EXPECT_EQ(first.size(), 100);
    EXPECT_EQ(indexes(first).first(), 1);
    EXPECT_EQ(cache.pop().size(), 100);
    const QList<SignalPostBody> last = cache.pop();
    EXPECT_EQ(last.size(), 50);
    EXPECT_EQ(indexes(last).last(), 250);
    EXPECT_TRUE(cache.pop().isEmpty());
}

TEST(SignalCache, BatchPutBackGoesBehindNewerRecords)
{
    test::TempTree tree;
    SignalCache cache(std::nullopt, 5, tree.filePath("cache"));
    cache.push(records(1, 3));
    const QList<SignalPostBody> batch = cache.pop();
    cache.push(records(4, 6));
    cache.push(batch);
    // Limit 5: the oldest at the front (4) is trimmed, the batch survives whole.
    EXPECT_EQ(indexes(cache.pop()), (QList<int> { 5, 6, 1, 2, 3 }));
}

TEST(SignalCache, RoundTripsThroughTheFileAcrossARestart)
{
    test::TempTree tree;
    const QString path = tree.filePath("missing/folder/telemetrysignalcache");
    test::LogCollector log;
    {
        SignalCache cache(log.handler(), 100, path);
        cache.push(records(1, 3));
        cache.backupCache();
        EXPECT_EQ(cache.count(), 0);
    }
    ASSERT_TRUE(QFile::exists(path));
    const qint64 size = QFileInfo(path).size();
    SignalCache restarted(log.handler(), 100, path);
    EXPECT_EQ(restarted.count(), 3);
    EXPECT_FALSE(QFile::exists(path));
    const QString url = QUrl::fromLocalFile(path).toString();
    EXPECT_EQ(log.lines(),
        (QStringList { "INFO: Loading Telemetry cache from: " + url,
            QStringLiteral("INFO: Saved Telemetry cache %1 bytes of 3 signals").arg(size),
            "INFO: Loading Telemetry cache from: " + url, "INFO: Loaded 3 signals" }));
    const QList<SignalPostBody> loaded = restarted.pop();
    EXPECT_EQ(loaded, records(1, 3));
}

TEST(SignalCache, LoadKeepsTheLastRecordsOfALongFile)
{
    test::TempTree tree;
    const QString path = tree.write("cache", cacheFile(records(1, 12)));
    SignalCache cache(std::nullopt, 10, path);
    EXPECT_EQ(indexes(cache.pop()), (QList<int> { 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 }));
}

TEST(SignalCache, InvalidFileIsDeletedAndOnlyTheLoadingLineIsLogged)
{
    test::TempTree tree;
    const QString path = tree.write("cache", "not json");
    test::LogCollector log;
    SignalCache cache(log.handler(), 10, path);
    EXPECT_EQ(cache.count(), 0);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith("INFO: Loading Telemetry cache from: file://"));
}

TEST(SignalCache, OneBadRecordDoesNotDiscardTheOthers)
{
    test::TempTree tree;
    QJsonArray array;
    array.append(test::makeRecord(1).toCacheJson());
    QJsonObject broken = test::makeRecord(2).toCacheJson();
    broken.insert(QStringLiteral("isTestMode"), false);
    array.append(broken);
    array.append(QStringLiteral("junk"));
    array.append(test::makeRecord(3).toCacheJson());
    const QString path = tree.write("cache", QJsonDocument(array).toJson());

    SignalCache cache(std::nullopt, 10, path);
    EXPECT_EQ(indexes(cache.pop()), (QList<int> { 1, 3 }));
}

TEST(SignalCache, SecondBackupKeepsWhatTheFirstSaved)
{
    test::TempTree tree;
    const QString path = tree.filePath("cache");
    SignalCache cache(std::nullopt, 100, path);
    cache.push(records(1, 2));
    cache.backupCache();
    cache.backupCache();
    cache.push(test::makeRecord(3));
    cache.backupCache();

    SignalCache restarted(std::nullopt, 100, path);
    EXPECT_EQ(indexes(restarted.pop()), (QList<int> { 1, 2, 3 }));
}

TEST(SignalCache, EmptyBackupWritesAnEmptyArray)
{
    test::TempTree tree;
    const QString path = tree.filePath("cache");
    SignalCache cache(std::nullopt, 100, path);
    cache.backupCache();
    EXPECT_EQ(QJsonDocument::fromJson(tree.read("cache")).array().size(), 0);
}

TEST(SignalCache, FailedBackupKeepsRecordsInMemory)
{
    test::TempTree tree;
    tree.write("blocker", "a file where a folder should be");
    test::LogCollector log;
    SignalCache cache(log.handler(), 100, tree.filePath("blocker/cache"));
    cache.push(records(1, 2));
    cache.backupCache();
    EXPECT_EQ(cache.count(), 2);
    EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error),
        QStringList { QStringLiteral("Error saving Telemetry cache") });
}

TEST(SignalCache, ARecordOutOfRangeCostsOnlyItself)
{
    // The JSON reader refuses 1e400 outright, and a date this far out overflows milliseconds.
    test::TempTree tree;
    QByteArray huge = QJsonDocument(test::makeRecord(2, 1.5).toCacheJson()).toJson();
    huge.replace("1.5", "1e400");
    ASSERT_TRUE(huge.contains("1e400"));
    QJsonObject late = test::makeRecord(4).toCacheJson();
    late.insert(QStringLiteral("receivedAt"), 9223371500000000.0);
    QJsonObject early = test::makeRecord(5).toCacheJson();
    early.insert(QStringLiteral("receivedAt"), -9223371500000000.0);
    const QByteArray text = "[" + QJsonDocument(test::makeRecord(1).toCacheJson()).toJson() + ","
        + huge + ",\n" + QJsonDocument(test::makeRecord(3, 0.25).toCacheJson()).toJson() + ","
        + QJsonDocument(late).toJson() + "," + QJsonDocument(early).toJson()
        + ", {\"type\": \"a,]}\"}" + "," + QJsonDocument(test::makeRecord(6).toCacheJson()).toJson()
        + "]\n";
    const QString path = tree.write("cache", text);

    test::LogCollector log;
    SignalCache cache(log.handler(), 10, path);
    const QList<SignalPostBody> loaded = cache.pop();
    EXPECT_EQ(indexes(loaded), (QList<int> { 1, 3, 6 }));
    ASSERT_EQ(loaded.size(), 3);
    EXPECT_EQ(loaded[1].floatValue, 0.25);
    EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error),
        QStringList { QStringLiteral("Skipped 4 unreadable cached signals") });

    // Text that is no array at all still costs the whole file.
    for (const QByteArray& bad :
        { QByteArray("[{\"a\": 1}"), QByteArray("[1] 2"), QByteArray("{}") }) {
        tree.write("cache", bad);
        SignalCache again(std::nullopt, 10, path);
        EXPECT_EQ(again.count(), 0) << bad.constData();
    }
}

TEST(SignalCache, SomethingOtherThanAFileAtThePathIsLeftAloneWithoutWaiting)
{
    test::TempTree tree;
    const QString path = tree.filePath("cache");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    std::promise<int> counted;
    std::future<int> result = counted.get_future();
    std::thread start([&] {
        SignalCache cache(std::nullopt, 10, path);
        counted.set_value(cache.count());
    });
    const bool finished = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!finished) {
        // A reader blocked in open() is let go by a writer, so the test ends either way.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    start.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(result.get(), 0);
    EXPECT_FALSE(QFileInfo(path).isFile()) << "the FIFO is still there, untouched";

    // The next backup puts a real file in its place.
    SignalCache cache(std::nullopt, 10, path);
    cache.push(test::makeRecord(1));
    cache.backupCache();
    EXPECT_TRUE(QFileInfo(path).isFile());
    SignalCache restarted(std::nullopt, 10, path);
    EXPECT_EQ(indexes(restarted.pop()), QList<int> { 1 });
}

TEST(SignalCache, TheSavedRecordsAreReadOffTheCreatingThread)
{
    test::TempTree tree;
    const QString path = tree.write("cache", cacheFile(records(1, 2)));
    QMutex mutex;
    QList<QThread*> threads;
    LogHandler handler(LogHandler::LogLevel::debug, [&](LogHandler::LogLevel, const QString&) {
        QMutexLocker lock(&mutex);
        threads.append(QThread::currentThread());
    });
    SignalCache cache(handler, 10, path);
    EXPECT_EQ(cache.count(), 2);
    QMutexLocker lock(&mutex);
    ASSERT_FALSE(threads.isEmpty());
    for (QThread* thread : threads)
        EXPECT_NE(thread, QThread::currentThread());
}
