#include "app/Updater.h"

#include "app/AppLog.h"
#include "platform/UserPrompts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#ifndef QUILLON_UPDATE_FEED_URL
#define QUILLON_UPDATE_FEED_URL ""
#endif

namespace quillon {

namespace {
constexpr int kTimeoutMs = 15000;
constexpr qint64 kMaxFeedBytes = 1 << 20;
} // namespace

Updater::Updater(QUrl feedURL, QString currentVersion, UserPrompts& prompts, QObject* parent)
    : QObject(parent)
    , m_feedURL(std::move(feedURL))
    , m_currentVersion(std::move(currentVersion))
    , m_prompts(prompts)
{
    // Like the updater it stands in for: a check may start once the application is running.
    QTimer::singleShot(0, this, [this] { setCanCheck(true); });
}

Updater::~Updater()
{
    // Going away (the program quits) ends a running check without an outcome: its "Operation
    // canceled" is no failure to tell anyone about.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl Updater::configuredFeedURL()
{
    const QByteArray fromEnvironment = qgetenv("QUILLON_UPDATE_FEED_URL");
    const QString address = fromEnvironment.isEmpty() ? QStringLiteral(QUILLON_UPDATE_FEED_URL)
                                                      : QString::fromUtf8(fromEnvironment);
    return QUrl(address.trimmed());
}

void Updater::setCanCheck(bool on)
{
    if (m_canCheck == on)
        return;
    m_canCheck = on;
    Q_EMIT canCheckForUpdatesChanged(on);
}

void Updater::checkForUpdates()
{
    if (!m_canCheck)
        return;
    if (m_feedURL.isEmpty()) {
        finish({ Outcome::NotConfigured, {}, {}, {} });
        return;
    }
    const bool loopback = m_feedURL.host() == QStringLiteral("127.0.0.1")
        || m_feedURL.host() == QStringLiteral("localhost");
    const QString scheme = m_feedURL.scheme();
    if (!m_feedURL.isValid()
        || !(scheme == QStringLiteral("https") || (scheme == QStringLiteral("http") && loopback))) {
        finish(
            { Outcome::Failed, {}, {}, QStringLiteral("The update feed address is not valid.") });
        return;
    }
    setCanCheck(false);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_feedURL);
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxFeedBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        Result result;
        if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
        } else {
            result = evaluateFeed(reply->readAll(), m_currentVersion);
        }
        setCanCheck(true);
        finish(result);
    });
}

void Updater::finish(const Result& result)
{
    if (result.outcome == Outcome::Failed)
        qCWarning(lcApp) << "Update check failed:" << result.error;
    Q_EMIT finished(result);
    UserPrompts::Alert alert;
    alert.message = message(result);
    alert.warning = result.outcome == Outcome::Failed;
    alert.buttons = { QStringLiteral("OK") };
    if (result.outcome == Outcome::UpdateAvailable)
        alert.informativeText = result.downloadURL.toString();
    m_prompts.runAlert(alert);
}

int Updater::compareVersions(const QString& a, const QString& b)
{
    const QStringList pa = a.trimmed().split(QLatin1Char('.'));
    const QStringList pb = b.trimmed().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < qMax(pa.size(), pb.size()); ++i) {
        const qlonglong x = i < pa.size() ? pa.at(i).toLongLong() : 0;
        const qlonglong y = i < pb.size() ? pb.at(i).toLongLong() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

static bool isVersion(const QString& v)
{
    if (v.isEmpty())
        return false;
    for (const QString& part : v.split(QLatin1Char('.'))) {
        bool ok = false;
        part.toULongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

Updater::Result Updater::evaluateFeed(const QByteArray& body, const QString& currentVersion)
{
    Result result;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    QJsonArray entries;
    if (doc.isArray())
        entries = doc.array();
    else if (doc.isObject())
        entries.append(doc.object());
    for (const QJsonValue& value : std::as_const(entries)) {
        const QJsonObject entry = value.toObject();
        const QString version = entry.value(QStringLiteral("version")).toString().trimmed();
        const QUrl url(entry.value(QStringLiteral("url")).toString().trimmed());
        if (!isVersion(version))
            continue;
        if (result.version.isEmpty() || compareVersions(version, result.version) > 0) {
            result.version = version;
            result.downloadURL = url;
        }
    }
    if (result.version.isEmpty()) {
        result.error = QStringLiteral("The update feed could not be read.");
        return result;
    }
    result.outcome = compareVersions(result.version, currentVersion) > 0 ? Outcome::UpdateAvailable
                                                                         : Outcome::UpToDate;
    return result;
}

QString Updater::message(const Result& result)
{
    switch (result.outcome) {
    case Outcome::UpToDate:
        return QStringLiteral("Quillon is up to date.");
    case Outcome::UpdateAvailable:
        return QStringLiteral("Quillon %1 is available.").arg(result.version);
    case Outcome::NotConfigured:
        return QStringLiteral(
            "This build has no update feed: updates come from your package manager.");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("Could not check for updates: %1").arg(result.error);
}

} // namespace quillon
