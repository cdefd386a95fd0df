#include "analytics/beacon/SignalManager.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/CryptoHashing.h"
#include "analytics/beacon/DefaultSignalPayload.h"
#include "analytics/beacon/SignalCache.h"
#include "analytics/beacon/SignalTransmitter.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>
#include <QTimer>

#include <cmath>

namespace quillon {

namespace {

using Level = LogHandler::LogLevel;

const QString kDefaultUserIdentifierKey = QStringLiteral("defaultUserIdentifier");

} // namespace

SignalManager::SignalManager(
    std::shared_ptr<TelemetryManagerConfiguration> configuration, const QString& cacheFilePath)
    : m_configuration(std::move(configuration))
{
    std::optional<LogHandler> cacheLog
        = m_configuration->swiftUIPreviewMode() ? std::nullopt : m_configuration->logHandler();
    m_signalCache
        = std::make_shared<SignalCache>(cacheLog, m_configuration->cacheLimit(), cacheFilePath);

    m_mainContext = new QObject;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (m_mainContext->thread() != app->thread())
            m_mainContext->moveToThread(app->thread());
        QObject::connect(
            app, &QCoreApplication::aboutToQuit, m_mainContext, [this] { appWillTerminate(); },
            Qt::DirectConnection);
    }

    // Records are built one at a time, in the order their signals came in.
    m_recordQueue = std::make_shared<QThreadPool>();
    m_recordQueue->setMaxThreadCount(1);

    m_thread.setObjectName(QStringLiteral("SignalTimer"));
    m_transmitter = new SignalTransmitter(m_configuration, m_signalCache);
    m_transmitter->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
    QMetaObject::invokeMethod(
        m_transmitter, [t = m_transmitter] { t->startLoop(); }, Qt::QueuedConnection);
}

SignalManager::~SignalManager()
{
    SignalTransmitter* transmitter = m_transmitter;
    if (QThread::currentThread() != &m_thread) {
        QMetaObject::invokeMethod(
            transmitter,
            [transmitter] {
                transmitter->shutDown();
                delete transmitter;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    } else {
        transmitter->shutDown();
        delete transmitter;
        m_thread.quit();
    }
    if (m_mainContext->thread() == QThread::currentThread())
        delete m_mainContext;
    else
        m_mainContext->deleteLater();
}

void SignalManager::processSignal(const QString& signalName,
    const QMap<QString, QString>& parameters, std::optional<double> floatValue,
    const std::optional<QString>& customUserID,
    const std::shared_ptr<TelemetryManagerConfiguration>& configuration)
{
    // The steps hold what they use, not the manager: a manager released meanwhile (possibly on
    // another thread) must not be reached by signals still on their way.
    const std::shared_ptr<TelemetryManagerConfiguration> ownConfiguration = m_configuration;
    const std::shared_ptr<SignalCache> cache = m_signalCache;
    const std::shared_ptr<QThreadPool> recordQueue = m_recordQueue;
    auto onMainThread = [ownConfiguration, cache, recordQueue, signalName, parameters, floatValue,
                            customUserID, configuration] {
        const QString defaultUser = defaultUserIdentifier(*ownConfiguration);
        const QMap<QString, QString> defaults = DefaultSignalPayload::parameters();
        recordQueue->start([=] {
            const std::optional<SignalPostBody> record = buildRecord(*configuration, signalName,
                defaults, parameters, floatValue, customUserID, defaultUser);
            if (!record)
                return;
            configuration->log(
                Level::debug, QStringLiteral("Process signal: ") + record->description());
            cache->push(*record);
        });
    };
    if (QCoreApplication::instance())
        QMetaObject::invokeMethod(m_mainContext, onMainThread, Qt::QueuedConnection);
    else
        onMainThread();
}

std::optional<SignalPostBody> SignalManager::buildRecord(
    const TelemetryManagerConfiguration& configuration, const QString& signalName,
    const QMap<QString, QString>& defaults, const QMap<QString, QString>& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID,
    const QString& defaultUser)
{
    // A value the encoder refuses would fail every batch the record travels in.
    if (floatValue && !std::isfinite(*floatValue)) {
        configuration.log(Level::error,
            QStringLiteral("Dropping signal '%1': its float value is not a finite "
                           "number")
                .arg(signalName));
        return std::nullopt;
    }
    QMap<QString, QString> enriched;
    for (const auto& enricher : configuration.metadataEnrichers()) {
        if (!enricher)
            continue;
        const QMap<QString, QString> extra
            = enricher->extraParameters(signalName, customUserID, floatValue);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            enriched.insert(it.key(), it.value());
    }
    QMap<QString, QString> payload = defaults;
    for (auto it = enriched.cbegin(); it != enriched.cend(); ++it)
        payload.insert(it.key(), it.value());
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        payload.insert(it.key(), it.value());

    SignalPostBody record;
    record.receivedAt = QDateTime::currentDateTimeUtc();
    record.appID = configuration.telemetryAppID();
    record.clientUser
        = CryptoHashing::sha256(customUserID.value_or(defaultUser), configuration.salt());
    record.sessionID = configuration.sessionID().toString(QUuid::WithoutBraces).toUpper();
    record.type = signalName;
    record.floatValue = floatValue;
    record.payload = payload;
    record.isTestMode = configuration.testMode() ? QStringLiteral("true") : QStringLiteral("false");
    return record;
}

void SignalManager::attemptToSendNextBatchOfCachedSignals(int delayMs)
{
    SignalTransmitter* transmitter = m_transmitter;
    if (delayMs <= 0) {
        QMetaObject::invokeMethod(
            transmitter, [transmitter] { transmitter->attemptToSendNextBatch(); },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        transmitter,
        [transmitter, delayMs] {
            QTimer::singleShot(
                delayMs, transmitter, [transmitter] { transmitter->attemptToSendNextBatch(); });
        },
        Qt::QueuedConnection);
}

QString SignalManager::defaultUserIdentifier() const
{
    return defaultUserIdentifier(*m_configuration);
}

QString SignalManager::defaultUserIdentifier(const TelemetryManagerConfiguration& configuration)
{
    if (const std::optional<QString> user = configuration.defaultUser())
        return *user;
    UserDefaults* suite = Beacon::customDefaults();
    // Generating and storing the identifier is one step, so two threads never store two.
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    if (suite) {
        if (const std::optional<QString> stored = suite->stringValue(kDefaultUserIdentifierKey))
            return *stored;
    }
    const QString identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (suite)
        suite->setString(kDefaultUserIdentifierKey, identifier);
    return identifier;
}

std::optional<QUrl> SignalManager::getServiceUrl(
    const QUrl& baseURL, const std::optional<QString>& namespaceName)
{
    QString text = baseURL.toString();
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    if (namespaceName && !namespaceName->isEmpty())
        text += QStringLiteral("v2/namespace/") + *namespaceName + QLatin1Char('/');
    else
        text += QStringLiteral("v2/");
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

void SignalManager::appWillTerminate()
{
    m_configuration->log(Level::debug, QStringLiteral("appWillTerminate()"));
    m_transmitter->requeueBatchesInFlight();
    m_signalCache->backupCache();
}

int SignalManager::consecutiveFailures() const
{
    return m_transmitter->consecutiveFailures();
}

int SignalManager::sendCompletions() const
{
    return m_transmitter->sendCompletions();
}

QList<double> SignalManager::scheduledDelays() const
{
    return m_transmitter->scheduledDelays();
}

} // namespace quillon
