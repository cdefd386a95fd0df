#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

namespace quillon::test {

// A small HTTP server on 127.0.0.1 (ephemeral port) that records every request and answers
// from a script: a status, a dropped connection or a slow reply.
class LoopbackServer : public QObject
{
    Q_OBJECT

public:
    struct Reply
    {
        enum class Kind { Status, Drop } kind = Kind::Status;
        int status = 200;
        int delayMs = 0;
        QByteArray body;

        static Reply withStatus(int status) { return { Kind::Status, status, 0, {} }; }
        static Reply dropped() { return { Kind::Drop, 0, 0, {} }; }
        static Reply slow(int delayMs, int status = 200)
        {
            return { Kind::Status, status, delayMs, {} };
        }
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
        QDateTime at;
    };

    LoopbackServer();

    QUrl baseURL() const;
    // Replies used in order; once used up, every request gets the fallback.
    void script(const QList<Reply>& replies);
    void setFallback(const Reply& reply) { m_fallback = reply; }

    QList<Request> requests() const;
    int requestCount() const;

private:
    void handleConnection();
    void respond(class QTcpSocket* socket);

    QTcpServer m_server;
    QList<Reply> m_script;
    Reply m_fallback;
    QList<Request> m_requests;
};

} // namespace quillon::test
