#include "analytics/beacon/TrialConversionTracker.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/Clock.h"
#include "analytics/beacon/TransactionUpdateSource.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace quillon {

namespace {

const QString kLastTrial = QStringLiteral("lastTrial");
constexpr int kWaitSliceMs = 50;

std::optional<TrialConversionTracker::StoredTrial> decodeTrial(const QByteArray& data)
{
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    const QJsonValue productID = object.value(QStringLiteral("productID"));
    const QJsonValue originalID = object.value(QStringLiteral("originalTransactionID"));
    if (!productID.isString() || !originalID.isDouble() || originalID.toDouble() < 0)
        return std::nullopt;
    return TrialConversionTracker::StoredTrial { productID.toString(),
        quint64(originalID.toInteger()) };
}

} // namespace

std::shared_ptr<TransactionUpdateQueue> TransactionUpdateQueue::shared()
{
    static const auto queue = std::make_shared<TransactionUpdateQueue>();
    return queue;
}

void TransactionUpdateQueue::push(const TransactionUpdate& update)
{
    QMutexLocker lock(&m_mutex);
    m_updates.enqueue(update);
    m_available.wakeAll();
}

void TransactionUpdateQueue::finish()
{
    QMutexLocker lock(&m_mutex);
    m_finished = true;
    m_available.wakeAll();
}

std::optional<TransactionUpdate> TransactionUpdateQueue::waitForUpdate(int timeoutMs)
{
    QMutexLocker lock(&m_mutex);
    if (m_updates.isEmpty() && !m_finished)
        m_available.wait(&m_mutex, QDeadlineTimer(timeoutMs));
    if (m_updates.isEmpty())
        return std::nullopt;
    return m_updates.dequeue();
}

bool TransactionUpdateQueue::hasEnded() const
{
    QMutexLocker lock(&m_mutex);
    return m_finished && m_updates.isEmpty();
}

TrialConversionTracker& TrialConversionTracker::shared()
{
    static TrialConversionTracker* tracker = [] {
        auto* created = new TrialConversionTracker(TransactionUpdateQueue::shared());
        // The tracker lives as long as the process, but its threads must be done before the
        // settings they write to are torn down at exit, or a write still running then finds
        // its settings (and their lock) destroyed under it.
        qAddPostRoutine([] {
            TrialConversionTracker& shared = TrialConversionTracker::shared();
            shared.stopObserving();
            shared.waitForPersistence();
        });
        return created;
    }();
    return *tracker;
}

TrialConversionTracker::TrialConversionTracker(
    std::shared_ptr<TransactionUpdateSource> updates, UserDefaults* storeOverride)
    : m_updates(std::move(updates))
    , m_storeOverride(storeOverride)
{
    m_persistenceQueue.setMaxThreadCount(1);
    if (UserDefaults* defaults = store())
        if (const std::optional<QByteArray> data = defaults->dataValue(kLastTrial))
            m_currentTrial = decodeTrial(*data);
    if (m_currentTrial)
        startObservingTransactions();
}

TrialConversionTracker::~TrialConversionTracker()
{
    stopObserving();
    m_persistenceQueue.waitForDone();
}

UserDefaults* TrialConversionTracker::store() const
{
    return m_storeOverride ? m_storeOverride : Beacon::customDefaults();
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::currentTrial() const
{
    QMutexLocker lock(&m_mutex);
    return m_currentTrial;
}

void TrialConversionTracker::setCurrentTrial(const std::optional<StoredTrial>& trial)
{
    {
        QMutexLocker lock(&m_mutex);
        m_currentTrial = trial;
    }
    UserDefaults* target = store();
    if (!target)
        return;
    m_persistenceQueue.start([target, trial] {
        if (!trial) {
            target->remove(kLastTrial);
            return;
        }
        const QJsonObject object { { QStringLiteral("productID"), trial->productID },
            { QStringLiteral("originalTransactionID"), qint64(trial->originalTransactionID) } };
        target->setData(kLastTrial, QJsonDocument(object).toJson(QJsonDocument::Compact));
    });
}

void TrialConversionTracker::waitForPersistence()
{
    m_persistenceQueue.waitForDone();
}

void TrialConversionTracker::startObservingTransactions()
{
    stopObserving();
    QMutexLocker lock(&m_mutex);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelled = cancelled;
    m_task = QThread::create([this, cancelled] { observe(cancelled); });
    m_task->start();
}

void TrialConversionTracker::stopObserving()
{
    QThread* task;
    {
        QMutexLocker lock(&m_mutex);
        task = std::exchange(m_task, nullptr);
        if (m_cancelled)
            m_cancelled->store(true);
        m_cancelled.reset();
    }
    if (!task)
        return;
    if (task == QThread::currentThread()) {
        QObject::connect(task, &QThread::finished, task, &QObject::deleteLater);
        return;
    }
    task->wait();
    delete task;
}

bool TrialConversionTracker::isObserving() const
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled && !m_cancelled->load();
}

void TrialConversionTracker::endObservationFromLoop(
    const std::shared_ptr<std::atomic<bool>>& cancelled)
{
    setCurrentTrial(std::nullopt);
    cancelled->store(true);
}

void TrialConversionTracker::observe(std::shared_ptr<std::atomic<bool>> cancelled)
{
    while (!cancelled->load() && !m_updates->hasEnded()) {
        const std::optional<TransactionUpdate> update = m_updates->waitForUpdate(kWaitSliceMs);
        if (!update || cancelled->load() || !update->verified)
            continue;
        const std::optional<StoredTrial> trial = currentTrial();
        const StoreTransaction& transaction = update->transaction;
        if (!trial || transaction.productID != trial->productID
            || transaction.originalID != trial->originalTransactionID)
            continue;
        const bool expired
            = transaction.expirationDate && Clock::now().msecsTo(*transaction.expirationDate) < 0;
        if (transaction.revocationDate || expired || transaction.isUpgraded) {
            endObservationFromLoop(cancelled);
        } else if (!transaction.isFreeTrial()) {
            Beacon::internalSignal(QStringLiteral("Beacon.Purchase.convertedFromTrial"),
                transaction.purchaseParameters(), transaction.priceInUSD());
            endObservationFromLoop(cancelled);
        }
    }
}

} // namespace quillon
