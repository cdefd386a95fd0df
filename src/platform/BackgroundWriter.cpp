#include "platform/BackgroundWriter.h"

#include "platform/FileUtil.h"

#include <QFile>
#include <QMetaObject>

#include <cstring>

#include <sys/stat.h>
#include <time.h>

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

// Whether the file holds exactly `bytes`, read piece by piece rather than copied whole.
bool fileHolds(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != bytes.size())
        return false;
    constexpr qint64 kPiece = 1 << 20;
    QByteArray piece(int(qMin<qint64>(kPiece, qMax<qint64>(1, bytes.size()))), Qt::Uninitialized);
    qint64 at = 0;
    while (at < bytes.size()) {
        const qint64 n = file.read(piece.data(), qMin<qint64>(piece.size(), bytes.size() - at));
        if (n <= 0 || std::memcmp(piece.constData(), bytes.constData() + at, size_t(n)) != 0)
            return false;
        at += n;
    }
    return file.read(piece.data(), 1) == 0;
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
    {
        std::lock_guard lock(m_mutex);
        ticket = m_nextTicket++;
        for (auto waiting = m_queue.begin(); waiting != m_queue.end(); ++waiting) {
            if (waiting->request.path == request.path) {
                // It keeps what the older request expected: that is still what the file holds.
                request.expectedSignature = waiting->request.expectedSignature;
                request.expectedText = waiting->request.expectedText;
                request.expectedLineEnds = waiting->request.expectedLineEnds;
                request.replaceAnyChange |= waiting->request.replaceAnyChange;
                if (!request.hasText) {
                    // The waiting request's text (or the one before it) is what the new changes
                    // were made on.
                    request.changes = waiting->request.changes + request.changes;
                    request.text = std::move(waiting->request.text);
                    request.hasText = waiting->request.hasText;
                }
                // The newest text goes to the back, so writes (and their results) keep the
                // order of their tickets.
                m_queue.erase(waiting);
                break;
            }
        }
        m_queue.push_back({ std::move(request), ticket });
    }
    m_wake.notify_one();
    return ticket;
}

void BackgroundWriter::flush()
{
    // A result's handler may ask for another write (the whole text, when the writer had lost
    // it): that one is waited for too.
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
        }
        deliver();
        std::lock_guard lock(m_mutex);
        if (m_queue.empty())
            return;
    }
}

void BackgroundWriter::forget(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_forgotten.append(path);
}

void BackgroundWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        for (const QString& path : std::as_const(m_forgotten)) {
            m_written.remove(path);
            m_texts.remove(path);
        }
        m_forgotten.clear();
        if (m_queue.empty())
            return; // stopping, with nothing left to write
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        Result result = perform(job);
        lock.lock();
        m_results.push_back(std::move(result));
        m_busy = false;
        m_idle.notify_all();
        QMetaObject::invokeMethod(this, &BackgroundWriter::deliver, Qt::QueuedConnection);
    }
}

bool BackgroundWriter::holdsExpected(
    const Job& job, const FileSignature& now, QByteArray* diskDigest)
{
    const Request& request = job.request;
    const auto own = m_written.constFind(request.path);
    const bool ownIsNewest = own != m_written.constEnd();
    if (!now.isRacy()) {
        if (now.sameFileVersion(request.expectedSignature) && !request.expectedSignature.isRacy())
            return true;
        if (ownIsNewest && now.sameFileVersion(own->signature) && !own->signature.isRacy())
            return true;
    }
    // The times cannot tell: compare what the file holds, most often what we wrote last.
    if (ownIsNewest && fileHolds(request.path, own->bytes))
        return true;
    bool ok = false;
    const QByteArray bytes = readAll(request.path, &ok);
    if (!ok)
        return false;
    if (ownIsNewest && bytes == own->bytes)
        return true;
    if (bytes == request.expectedLineEnds.encode(request.expectedText))
        return true;
    *diskDigest = FileUtil::digestOfBytes(bytes);
    return false;
}

bool BackgroundWriter::takeText(const Request& request, QString* text)
{
    auto forget = [&] {
        m_texts.remove(request.path);
        return false;
    };
    Texts& texts = m_texts[request.path];
    QList<TextChange> changes = request.changes;
    if (request.hasText) {
        *text = request.text;
        texts.spare = QString();
    } else if (texts.newest.isNull() && texts.spare.isNull()) {
        return forget();
    } else if (!texts.spare.isNull() && texts.spare.isDetached()) {
        // The text before the newest is ours alone again (its result was taken): brought up to
        // date in place, it spares copying the newest, which the last result still shares.
        *text = std::exchange(texts.spare, QString());
        changes = texts.spareLag + changes;
    } else {
        *text = texts.newest;
    }
    for (const TextChange& change : std::as_const(changes)) {
        if (change.position < 0 || change.removed < 0
            || change.position + change.removed > text->size())
            return forget();
        text->replace(change.position, change.removed, change.inserted);
    }
    if (request.length >= 0 && text->size() != request.length)
        return forget();
    texts.spare = std::exchange(texts.newest, *text);
    texts.spareLag = request.changes;
    if (request.hasText || texts.spare.isNull())
        texts.spare = QString();
    return true;
}

BackgroundWriter::Result BackgroundWriter::perform(const Job& job)
{
    const Request& request = job.request;
    Result result;
    result.path = request.path;
    result.ticket = job.ticket;
    QString text;
    if (!takeText(request, &text)) {
        result.needsText = true;
        result.status = Status::Failed;
        return result;
    }
    const FileSignature now = FileSignature::of(request.path);
    if (!now.exists) {
        result.status = Status::Missing;
        return result;
    }
    if (!request.replaceAnyChange && !holdsExpected(job, now, &result.diskDigest)) {
        result.status = Status::ChangedOnDisk;
        return result;
    }
    QByteArray bytes = request.lineEnds.encode(text);
    if (!FileUtil::writeBytesAtomic(request.path, bytes, &result.error)) {
        result.status = Status::Failed;
        return result;
    }
    result.status = Status::Written;
    result.text = std::move(text);
    result.lineEnds = request.lineEnds;
    result.signature = FileSignature::of(request.path);
    m_written.insert(request.path, { result.signature, std::move(bytes) });
    return result;
}

void BackgroundWriter::deliver()
{
    std::vector<Result> results;
    {
        std::lock_guard lock(m_mutex);
        results.swap(m_results);
    }
    for (const Result& result : results)
        Q_EMIT finished(result);
}

} // namespace quillon
