#pragma once

#include "platform/LineEnds.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
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

// One change of a text: `removed` units at `position` replaced by `inserted`.
struct TextChange
{
    qsizetype position = 0;
    qsizetype removed = 0;
    QString inserted;
};

// Writes text files on a thread of its own, atomically and durably, in the order asked. For a
// file whose write is still waiting, a newer request takes its place: the newest text wins. A
// write is refused when the file no longer holds what the caller last read or wrote (another
// program changed it), unless the caller means to replace that change.
//
// The writer keeps its own copy of each file's newest text. A request may carry the whole text
// or only the changes since the previous request for that file, so that the caller's text is
// never shared with the writer while the user types (sharing it would copy it on every key).
class BackgroundWriter : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QString path;
        QString text;
        LineEnds lineEnds;
        // What the caller believes the file holds.
        FileSignature expectedSignature;
        QString expectedText;
        LineEnds expectedLineEnds;
        bool replaceAnyChange = false;
        // Without `hasText`: apply `changes`, in order, to the text of the previous request for
        // the same file. `length` is the text's length after them, a check on the way.
        bool hasText = true;
        QList<TextChange> changes {};
        qsizetype length = -1;
    };
    enum class Status { Written, ChangedOnDisk, Missing, Failed };
    struct Result
    {
        QString path;
        quint64 ticket = 0;
        Status status = Status::Failed;
        QString error; // Failed: what went wrong, in the system's words
        // Written: what the file now holds.
        QString text;
        LineEnds lineEnds;
        FileSignature signature;
        // ChangedOnDisk: the SHA-256 of the other program's version.
        QByteArray diskDigest;
        // Failed: the writer had no text to apply the changes to (it forgot the file, or the
        // changes did not fit): the caller sends the whole text again.
        bool needsText = false;
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

Q_SIGNALS:
    // On the writer's owning thread, in the order of the writes.
    void finished(const quillon::BackgroundWriter::Result& result);

private:
    struct Job
    {
        Request request;
        quint64 ticket = 0;
    };
    struct Written
    {
        FileSignature signature;
        QByteArray bytes;
    };
    void run();
    Result perform(const Job& job);
    // The job's text with its changes applied, kept as the file's newest; false without one.
    bool takeText(const Request& request, QString* text);
    bool holdsExpected(const Job& job, const FileSignature& now, QByteArray* diskDigest);
    void deliver();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    std::vector<Result> m_results;
    bool m_busy = false;
    bool m_stopping = false;
    quint64 m_nextTicket = 1;
    // Worker thread only: what it last wrote to each file.
    QHash<QString, Written> m_written;
    // Worker thread only: each file's newest text, and the one before it with the changes that
    // lead from it to the newest.
    struct Texts
    {
        QString newest;
        QString spare;
        QList<TextChange> spareLag;
    };
    QHash<QString, Texts> m_texts;
    QStringList m_forgotten; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace quillon
