#pragma once

#include "platform/ChunkedText.h"
#include "platform/LineEnds.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon {

// What identifies one version of a file without reading it: a change of content by any program
// changes the size, the modification time or (for a replacement) the inode.
struct FileSignature
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    // When the signature was taken. A write within the file system's clock tick after it may
    // leave the times unchanged, so such a signature is only trusted with a look at the content.
    qint64 takenNs = 0;

    static FileSignature of(const QString& path);
    bool sameFileVersion(const FileSignature& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode
            && size == other.size && modifiedNs == other.modifiedNs && changedNs == other.changedNs;
    }
    bool isRacy() const;
};

// Writes text files on a thread of its own, atomically and durably, in the order asked. For a
// file whose write is still waiting, a newer request takes its place: the newest text wins. A
// write is refused when the file no longer holds what the caller last read or wrote (another
// program changed it), unless the caller means to replace that change: that is checked again as
// the file is replaced, and a change that lands while a long text is written is put back.
//
// A file just written rests for a few times as long as its write took before it is written
// again (unless a flush asks for it now): typing into a long document then costs a share of a
// core and the disk's time, not all of it, while a short document is written as soon as ever.
// Every write also waits a moment after the change it was asked for (kSettle), so that it does
// not run beside the key's own work and paint.
//
// A request carries a snapshot of the text: its pieces are shared with the caller's text, which
// the caller goes on editing (only the piece an edit lands in is copied then).
class BackgroundWriter : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString path;
        ChunkedText text;
        LineEnds lineEnds;
        // What the caller believes the file holds.
        FileSignature expectedSignature;
        ChunkedText expectedText;
        LineEnds expectedLineEnds;
        bool replaceAnyChange = false;
        // Who asked (0: nobody in particular); its result carries it back, wherever the file
        // went meanwhile.
        quint64 owner = 0;
    };
    enum class Status { Written, ChangedOnDisk, Missing, Failed };
    struct Result
    {
        QString path;
        quint64 ticket = 0;
        quint64 owner = 0;
        Status status = Status::Failed;
        QString error; // Failed: what went wrong, in the system's words
        // Failed: the file may not be written by us; error says so.
        bool readOnly = false;
        // Written: what the file now holds, and its length.
        ChunkedText text;
        LineEnds lineEnds;
        qint64 bytes = -1;
        FileSignature signature;
        // ChangedOnDisk: the SHA-256 of the other program's version.
        QByteArray diskDigest;
    };

    explicit BackgroundWriter(QObject* parent = nullptr);
    // Finishes the writes already asked for; their results are not delivered.
    ~BackgroundWriter() override;

    // Queues a write and returns its ticket (increasing).
    quint64 write(Request request);
    // Returns when every write asked for is done, with its result delivered.
    void flush();
    // Drops what the writer remembers of the file (its tab closed).
    void forget(const QString& path);
    // Makes every rest last at least `rest` (tests make it long enough to watch).
    void setMinimumRestForTesting(std::chrono::milliseconds rest);
    // Runs `hook` on the writer's thread with the file's path once a new text is ready beside a
    // file, right before it replaces the file (tests play another program there).
    void setBeforeReplaceForTesting(std::function<void(const QString& path)> hook);

Q_SIGNALS:
    // On the writer's owning thread, in the order of the writes.
    void finished(const quillon::BackgroundWriter::Result& result);

private:
    using Clock = std::chrono::steady_clock;
    struct Job
    {
        Request request;
        quint64 ticket = 0;
        // When the oldest change the job carries was asked to be written.
        Clock::time_point asked {};
    };
    // What we last wrote to a file, to know it again when the times cannot tell (as they
    // cannot while the user types: each write follows the last within a tick of the clock).
    struct Written
    {
        FileSignature signature;
        qint64 size = 0;
        // A quick hash: it tells our own bytes from a change, where nobody tries to forge one,
        // at a fraction of the cost of a cryptographic digest of the whole file on every write.
        quint64 hash = 0;
    };
    // How many times its last write's duration a file rests.
    static constexpr int kRestFactor = 3;
    // A write waits this long after the change it was asked for, unless flushed: the key that
    // made the change reaches the screen before the whole file is encoded and written beside it.
    static constexpr std::chrono::milliseconds kSettle { 20 };
    // How long the bytes of the last write are kept for the next one once nothing waits.
    static constexpr std::chrono::seconds kKeepBytes { 3 };
    // A long text is written a stretch at a time. Between stretches the writer waits while the
    // window takes a key (from the change it asks to write, for kMakeWay), so that the two do
    // not share the machine; waiting no more than kMostWaited in all for one write.
    static constexpr std::chrono::milliseconds kMakeWay { 12 };
    static constexpr std::chrono::milliseconds kMostWaited { 200 };
    // How long the window's thread leaves the writer to let go of its lock before it asks again.
    static constexpr std::chrono::milliseconds kRetryDelivery { 1 };

    void run();
    Result perform(const Job& job);
    // Waits while the window takes a key; `waited` counts the waits of one write.
    void makeWay(Clock::duration* waited);
    bool holdsExpected(const Job& job, const QString& path, const FileSignature& seen,
        const FileSignature& verified, QByteArray* diskDigest);
    void deliver();
    // Hands the results over; unless asked to wait, only when the lock is free at once.
    void deliverResults(bool wait);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    std::vector<Result> m_results;
    bool m_busy = false;
    bool m_stopping = false;
    std::atomic<int> m_flushes = 0; // flushes under way: nothing rests, nothing waits
    // Until when (on Clock, in its ticks) the window is taking a key.
    std::atomic<Clock::rep> m_keyUntil = 0;
    std::chrono::milliseconds m_minimumRest { 0 };
    std::function<void(const QString&)> m_beforeReplace;
    quint64 m_nextTicket = 1;
    // Worker thread only: what it last wrote to each file.
    QHash<QString, Written> m_written;
    // Worker thread only: when each file may be written again.
    QHash<QString, Clock::time_point> m_restsUntil;
    // Worker thread only: the bytes being written, kept for the next write. A long document
    // typed into is written again every few keys: a fresh array of its length each time is
    // mapped, faulted in and unmapped, and the unmapping stops the window's thread too.
    QByteArray m_bytes;
    QStringList m_forgotten; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace quillon
