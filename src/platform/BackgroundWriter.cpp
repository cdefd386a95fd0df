#include "platform/BackgroundWriter.h"

#include "platform/ContentHash.h"
#include "platform/FileUtil.h"

#include <QFile>
#include <QMetaObject>
#include <QScopeGuard>
#include <QTimer>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace quillon {

namespace {

qint64 nanoseconds(const struct timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

qint64 nowNs()
{
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

// Longer than the coarse clock that stamps file times advances in.
constexpr qint64 kClockTickNs = 20 * 1000 * 1000;

QByteArray readAll(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QByteArray bytes = file.readAll();
    *ok = file.error() == QFileDevice::NoError;
    return bytes;
}

quint64 hashOf(const QByteArray& bytes)
{
    ContentHash hash;
    hash.add(bytes.constData(), bytes.size());
    return hash.result();
}

// Whether the file at `path` holds `size` bytes that hash to `hash`: read a piece at a time, so
// that checking a long file takes no memory of its length (nor the page faults of it). `between`
// runs after each few pieces.
bool holdsBytesHashed(
    const QString& path, qint64 size, quint64 hash, const std::function<void()>& between)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    constexpr qsizetype kPiece = 256 * 1024;
    thread_local QByteArray buffer(kPiece, Qt::Uninitialized);
    ContentHash read;
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), size_t(kPiece));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        total += n;
        if (total > size)
            return false;
        read.add(buffer.constData(), qsizetype(n));
        if (between && total % (4 * kPiece) == 0)
            between();
    }
    return total == size && read.result() == hash;
}

} // namespace

FileSignature FileSignature::of(const QString& path)
{
    FileSignature signature;
    signature.takenNs = nowNs();
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return signature;
    signature.exists = true;
    signature.device = st.st_dev;
    signature.inode = st.st_ino;
    signature.size = st.st_size;
    signature.modifiedNs = nanoseconds(st.st_mtim);
    signature.changedNs = nanoseconds(st.st_ctim);
    return signature;
}

bool FileSignature::isRacy() const
{
    return takenNs - std::max(modifiedNs, changedNs) < kClockTickNs;
}

BackgroundWriter::BackgroundWriter(QObject* parent)
    : QObject(parent)
    , m_thread([this] { run(); })
{
}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 BackgroundWriter::write(Request request)
{
    quint64 ticket = 0;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        ticket = m_nextTicket++;
        Clock::time_point asked = Clock::now();
        m_keyUntil.store((asked + kMakeWay).time_since_epoch().count(), std::memory_order_relaxed);
        for (auto waiting = m_queue.begin(); waiting != m_queue.end(); ++waiting) {
            if (waiting->request.path == request.path && waiting->request.owner == request.owner) {
                // Typing on does not hold the write back for longer than its first change.
                asked = waiting->asked;
                // It keeps what the older request expected: that is still what the file holds.
                request.expectedSignature = waiting->request.expectedSignature;
                request.expectedText = waiting->request.expectedText;
                request.expectedLineEnds = waiting->request.expectedLineEnds;
                request.replaceAnyChange |= waiting->request.replaceAnyChange;
                // The newest text goes to the back, so writes (and their results) keep the
                // order of their tickets.
                m_queue.erase(waiting);
                break;
            }
        }
        // A writer with a file in hand looks at the queue again once that one is done: only an
        // idle one needs waking, which spares each key of a typing run a wake-up of the thread.
        wake = m_queue.empty() && !m_busy;
        m_queue.push_back({ std::move(request), ticket, asked });
    }
    if (wake)
        m_wake.notify_one();
    return ticket;
}

void BackgroundWriter::flush()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_flushes;
    }
    m_wake.notify_all();
    const auto done = qScopeGuard([this] {
        std::lock_guard lock(m_mutex);
        --m_flushes;
    });
    // A result's handler may ask for another write: that one is waited for too.
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
        }
        deliverResults(true);
        // The worker may already have taken up such a write.
        std::lock_guard lock(m_mutex);
        if (m_queue.empty() && !m_busy && m_results.empty())
            return;
    }
}

void BackgroundWriter::forget(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_forgotten.append(path);
}

void BackgroundWriter::setMinimumRestForTesting(std::chrono::milliseconds rest)
{
    std::lock_guard lock(m_mutex);
    m_minimumRest = rest;
}

void BackgroundWriter::run()
{
    std::unique_lock lock(m_mutex);
    const auto hasWork = [this] { return m_stopping || !m_queue.empty(); };
    for (;;) {
        if (!m_wake.wait_for(lock, kKeepBytes, hasWork)) {
            // Idle: the room kept for the next write goes back.
            QByteArray bytes = std::exchange(m_bytes, {});
            lock.unlock();
            bytes = {};
            lock.lock();
            m_wake.wait(lock, hasWork);
        }
        for (const QString& path : std::as_const(m_forgotten)) {
            m_written.remove(path);
            m_restsUntil.remove(path);
        }
        m_forgotten.clear();
        if (m_queue.empty())
            return; // stopping, with nothing left to write
        const auto rest = m_restsUntil.constFind(m_queue.front().request.path);
        Clock::time_point until = m_queue.front().asked + kSettle;
        if (rest != m_restsUntil.constEnd())
            until = std::max(until, *rest);
        if (!m_stopping && m_flushes == 0 && Clock::now() < until) {
            // Newer requests for the file take this one's place meanwhile.
            m_wake.wait_until(lock, until, [this] { return m_stopping || m_flushes > 0; });
            continue;
        }
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        const Clock::time_point started = Clock::now();
        Result result = perform(job);
        const Clock::time_point ended = Clock::now();
        lock.lock();
        m_restsUntil.insert(job.request.path,
            ended + std::max<Clock::duration>((ended - started) * kRestFactor, m_minimumRest));
        m_results.push_back(std::move(result));
        m_busy = false;
        m_idle.notify_all();
        // Posted without the lock: the window's thread takes the results as soon as it is told,
        // and posting takes a lock of Qt's own that the window's thread holds at times.
        lock.unlock();
        QMetaObject::invokeMethod(this, &BackgroundWriter::deliver, Qt::QueuedConnection);
        lock.lock();
    }
}

void BackgroundWriter::setBeforeReplaceForTesting(std::function<void(const QString&)> hook)
{
    std::lock_guard lock(m_mutex);
    m_beforeReplace = std::move(hook);
}

// Whether the file at `path` (the document, or its version that was just replaced) is the one the
// job expects. `verified` is a signature of the document already found to be that version.
bool BackgroundWriter::holdsExpected(const Job& job, const QString& path, const FileSignature& seen,
    const FileSignature& verified, QByteArray* diskDigest)
{
    const Request& request = job.request;
    // Any change since a signature that is not racy moves the modification time; a rename
    // moves only the change time.
    if (verified.exists && !verified.isRacy() && seen.exists && seen.device == verified.device
        && seen.inode == verified.inode && seen.size == verified.size
        && seen.modifiedNs == verified.modifiedNs)
        return true;
    const auto own = m_written.constFind(request.path);
    const bool ownIsNewest = own != m_written.constEnd();
    if (!seen.isRacy()) {
        if (seen.sameFileVersion(request.expectedSignature) && !request.expectedSignature.isRacy())
            return true;
        if (ownIsNewest && seen.sameFileVersion(own->signature) && !own->signature.isRacy())
            return true;
    }
    // The times cannot tell: compare what the file holds, most often what we wrote last.
    Clock::duration waited {};
    if (ownIsNewest && seen.size == own->size
        && holdsBytesHashed(path, own->size, own->hash, [&] { makeWay(&waited); }))
        return true;
    bool ok = false;
    const QByteArray bytes = readAll(path, &ok);
    if (!ok)
        return false;
    if (bytes == request.expectedLineEnds.encode(request.expectedText))
        return true;
    *diskDigest = FileUtil::digestOfBytes(bytes);
    return false;
}

BackgroundWriter::Result BackgroundWriter::perform(const Job& job)
{
    const Request& request = job.request;
    Result result;
    result.path = request.path;
    result.ticket = job.ticket;
    result.owner = request.owner;
    const FileSignature now = FileSignature::of(request.path);
    if (!now.exists) {
        result.status = Status::Missing;
        return result;
    }
    if (!request.replaceAnyChange
        && !holdsExpected(job, request.path, now, FileSignature(), &result.diskDigest)) {
        result.status = Status::ChangedOnDisk;
        return result;
    }
    Clock::duration waited {};
    const auto makingWay = [&] { makeWay(&waited); };
    request.lineEnds.encodeInto(request.text, &m_bytes, makingWay);
    const QByteArray& bytes = m_bytes;
    FileUtil::ReplaceChecks checks;
    checks.betweenStretches = makingWay;
    if (!request.replaceAnyChange) {
        checks.holdsExpected = [&](const QString& path) {
            return holdsExpected(job, path, FileSignature::of(path), now, &result.diskDigest);
        };
    }
    std::function<void(const QString&)> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_beforeReplace;
    }
    if (hook)
        checks.beforeReplace = [&] { hook(request.path); };
    switch (FileUtil::replaceFile(request.path, bytes, checks, &result.error)) {
    case FileUtil::ReplaceOutcome::Replaced:
        break;
    case FileUtil::ReplaceOutcome::Changed:
        result.status = Status::ChangedOnDisk;
        return result;
    case FileUtil::ReplaceOutcome::Missing:
        result.status = Status::Missing;
        return result;
    case FileUtil::ReplaceOutcome::ReadOnly:
        result.readOnly = true;
        result.status = Status::Failed;
        return result;
    case FileUtil::ReplaceOutcome::Failed:
        result.status = Status::Failed;
        return result;
    }
    result.status = Status::Written;
    result.text = request.text;
    result.lineEnds = request.lineEnds;
    result.bytes = bytes.size();
    result.signature = FileSignature::of(request.path);
    m_written.insert(request.path, { result.signature, bytes.size(), hashOf(bytes) });
    return result;
}

void BackgroundWriter::makeWay(Clock::duration* waited)
{
    while (m_flushes.load() == 0 && *waited < kMostWaited) {
        const Clock::time_point until(Clock::duration(m_keyUntil.load(std::memory_order_relaxed)));
        const Clock::time_point now = Clock::now();
        if (now >= until)
            return;
        const Clock::duration step = std::min<Clock::duration>(until - now, kMostWaited - *waited);
        std::this_thread::sleep_for(step);
        *waited += step;
    }
}

void BackgroundWriter::deliver()
{
    deliverResults(false);
}

void BackgroundWriter::deliverResults(bool wait)
{
    std::vector<Result> results;
    {
        // The writer may hold the lock a moment, or be off its core with it: a turn of the
        // window's loop does not wait for that, it takes the results a little later. Not on the
        // very next turn: asking again at once would spin the window's thread for as long.
        std::unique_lock lock(m_mutex, std::defer_lock);
        if (wait) {
            lock.lock();
        } else if (!lock.try_lock()) {
            QTimer::singleShot(kRetryDelivery, this, &BackgroundWriter::deliver);
            return;
        }
        results.swap(m_results);
    }
    for (const Result& result : results)
        Q_EMIT finished(result);
}

} // namespace quillon
