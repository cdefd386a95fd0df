#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace quillon {

class UserPrompts;

// The update check: reads the update feed (JSON: one object, or an array of objects, each with
// "version" and "url") over the network, compares its newest version with ours and tells the
// user the outcome. Without a feed address it says that updates come from the package manager.
// canCheckForUpdates is false until the first turn of the event loop and while a check runs.
class Updater : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { UpToDate, UpdateAvailable, Failed, NotConfigured };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString version; // the feed's newest version
        QUrl downloadURL;
        QString error;
    };

    // `feedURL` empty: no feed. `currentVersion` is ours ("0.1.0").
    Updater(QUrl feedURL, QString currentVersion, UserPrompts& prompts, QObject* parent = nullptr);
    ~Updater() override;

    // The feed address of this build: QUILLON_UPDATE_FEED_URL from the environment, else the
    // address configured at build time; empty when neither is set.
    static QUrl configuredFeedURL();

    bool canCheckForUpdates() const { return m_canCheck; }
    QUrl feedURL() const { return m_feedURL; }
    // Starts a user-initiated check; the outcome is shown in an alert and reported by finished().
    void checkForUpdates();

    // The newest entry of a feed body against `currentVersion`.
    static Result evaluateFeed(const QByteArray& body, const QString& currentVersion);
    // <0, 0, >0 as a is older, equal, newer than b; dotted numbers, missing parts are 0.
    static int compareVersions(const QString& a, const QString& b);
    // The alert's text for an outcome.
    static QString message(const Result& result);

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void finished(const Updater::Result& result);

private:
    void setCanCheck(bool on);
    void finish(const Result& result);

    QUrl m_feedURL;
    QString m_currentVersion;
    UserPrompts& m_prompts;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    bool m_canCheck = false;
};

} // namespace quillon
