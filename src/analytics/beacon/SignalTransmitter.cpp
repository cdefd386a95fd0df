#include "analytics/beacon/SignalTransmitter.h"

#include "analytics/beacon/SignalCache.h"
#include "analytics/beacon/SignalManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>

#include <cmath>

namespace quillon {

namespace {

using Level = LogHandler::LogLevel;

constexpr int kRequestTimeoutMs = 60000;

// The statuses at which the service will never take the batch; anything else may pass later.
std::optional<QString> rejectionReason(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("Bad Request (400)");
    case 401:
        return QStringLiteral("Unauthorized (401)");
    case 403:
        return QStringLiteral("Forbidden (403)");
    case 404:
        return QStringLiteral("Not Found (404)");
    case 413:
        return QStringLiteral("Payload Too Large (413)");
    case 422:
        return QStringLiteral("Unprocessable Entity (422)");
    case 501:
        return QStringLiteral("Not Implemented (501)");
    case 505:
        return QStringLiteral("HTTP Version Not Supported (505)");
    default:
        return std::nullopt;
    }
}

} // namespace

SignalTransmitter::SignalTransmitter(std::shared_ptr<TelemetryManagerConfiguration> configuration,
    std::shared_ptr<SignalCache> signalCache)
    : m_configuration(std::move(configuration))
    , m_signalCache(std::move(signalCache))
{
}

SignalTransmitter::~SignalTransmitter() = default;

void SignalTransmitter::log(int level, const QString& message) const
{
    m_configuration->log(Level(level), message);
}

void SignalTransmitter::startLoop()
{
    m_network = new QNetworkAccessManager(this);
    m_sendTimer = new QTimer(this);
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    connect(m_sendTimer, &QTimer::timeout, this, &SignalTransmitter::attemptToSendNextBatch);

    attemptToSendNextBatch();
    {
        QMutexLocker lock(&m_mutex);
        m_consecutiveFailures = 0;
    }
    scheduleNextTransmission();
}

void SignalTransmitter::shutDown()
{
    requeueBatchesInFlight();
    m_shuttingDown = true;
    if (m_sendTimer)
        m_sendTimer->stop();
    delete m_network;
    m_network = nullptr;
}

void SignalTransmitter::scheduleNextTransmission()
{
    if (m_shuttingDown || !m_sendTimer)
        return;
    m_sendTimer->stop();
    double delay;
    {
        QMutexLocker lock(&m_mutex);
        delay = std::min(m_configuration->maxBackoffInterval(),
            m_configuration->transmitInterval() * std::pow(2.0, double(m_consecutiveFailures)));
        m_scheduledDelays.append(delay);
        if (m_scheduledDelays.size() > 1000)
            m_scheduledDelays.removeFirst();
    }
    m_sendTimer->start(int(std::llround(std::max(delay, 0.0) * 1000.0)));
}

void SignalTransmitter::handleSendSuccess()
{
    {
        QMutexLocker lock(&m_mutex);
        ++m_sendCompletions;
        m_consecutiveFailures = 0;
    }
    scheduleNextTransmission();
}

void SignalTransmitter::handleSendFailure(const QList<SignalPostBody>& requeue)
{
    if (!requeue.isEmpty())
        m_signalCache->push(requeue);
    {
        QMutexLocker lock(&m_mutex);
        ++m_sendCompletions;
        ++m_consecutiveFailures;
    }
    scheduleNextTransmission();
}

void SignalTransmitter::attemptToSendNextBatch()
{
    if (m_shuttingDown || !m_network)
        return;
    log(int(Level::debug),
        QStringLiteral("Current signal cache count: %1").arg(m_signalCache->count()));

    // While analytics are off, records stay where they are and nothing leaves the machine.
    if (m_configuration->analyticsDisabled())
        return handleSendSuccess();

    quint64 batchID = 0;
    QList<SignalPostBody> batch;
    {
        QMutexLocker lock(&m_mutex);
        batch = m_signalCache->pop();
        if (!batch.isEmpty()) {
            batchID = m_nextBatchID++;
            m_batchesInFlight.insert(batchID, batch);
        }
    }
    if (batch.isEmpty())
        return handleSendSuccess();

    log(int(Level::info),
        QStringLiteral("Sending %1 signals leaving a cache of %2 signals")
            .arg(batch.size())
            .arg(m_signalCache->count()));

    QString encodeError;
    const std::optional<QByteArray> data = SignalPostBody::encodeBatch(batch, &encodeError);
    if (!data) {
        log(int(Level::error), QStringLiteral("Failed to encode signal batch: ") + encodeError);
        return handleSendFailure(takeBatchInFlight(batchID));
    }

    const std::optional<QUrl> endpoint = SignalManager::getServiceUrl(
        m_configuration->apiBaseURL(), m_configuration->namespaceName());
    if (!endpoint) {
        log(int(Level::error),
            QStringLiteral("Unable to construct signal API URL for namespace ")
                + m_configuration->namespaceName().value_or(QStringLiteral("nil")));
        return handleSendFailure(takeBatchInFlight(batchID));
    }

    QNetworkRequest request(*endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(kRequestTimeoutMs);
    log(int(Level::debug), QString::fromUtf8(*data));
    QNetworkReply* reply = m_network->post(request, *data);
    connect(reply, &QNetworkReply::finished, this,
        [this, reply, batchID] { handleReply(reply, batchID); });
}

QList<SignalPostBody> SignalTransmitter::takeBatchInFlight(quint64 batchID)
{
    QMutexLocker lock(&m_mutex);
    return m_batchesInFlight.take(batchID);
}

void SignalTransmitter::requeueBatchesInFlight()
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_batchesInFlight.cbegin(); it != m_batchesInFlight.cend(); ++it)
        m_signalCache->push(it.value());
    m_batchesInFlight.clear();
}

void SignalTransmitter::handleReply(QNetworkReply* reply, quint64 batchID)
{
    reply->deleteLater();
    if (m_shuttingDown)
        return;
    // Empty when the batch was already put back because the program is quitting.
    const QList<SignalPostBody> batch = takeBatchInFlight(batchID);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);

    if (!status.isValid() && reply->error() != QNetworkReply::NoError) {
        log(int(Level::error), reply->errorString());
        return handleSendFailure(batch);
    }
    const int code = status.isValid() ? status.toInt() : 0;
    if (code >= 200 && code <= 299) {
        const QByteArray body = reply->readAll();
        QString text;
        if (!body.isEmpty()) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            text = decoder(body);
            if (!decoder.hasError())
                log(int(Level::debug), text);
        }
        return handleSendSuccess();
    }
    if (const std::optional<QString> reason = rejectionReason(code)) {
        log(int(Level::error),
            QStringLiteral("Dropping %1 signal(s): rejected by server %2")
                .arg(batch.size())
                .arg(*reason));
        return handleSendSuccess();
    }
    log(int(Level::debug),
        QStringLiteral("Failed to send events (status %1), will try again later").arg(code));
    handleSendFailure(batch);
}

int SignalTransmitter::consecutiveFailures() const
{
    QMutexLocker lock(&m_mutex);
    return m_consecutiveFailures;
}

int SignalTransmitter::sendCompletions() const
{
    QMutexLocker lock(&m_mutex);
    return m_sendCompletions;
}

QList<double> SignalTransmitter::scheduledDelays() const
{
    QMutexLocker lock(&m_mutex);
    return m_scheduledDelays;
}

} // namespace quillon
