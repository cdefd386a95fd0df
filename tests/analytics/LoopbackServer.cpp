#include "LoopbackServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace quillon::test {

LoopbackServer::LoopbackServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::handleConnection);
}

QUrl LoopbackServer::baseURL() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

void LoopbackServer::script(const QList<Reply>& replies)
{
    m_script = replies;
}

QList<LoopbackServer::Request> LoopbackServer::requests() const
{
    return m_requests;
}

int LoopbackServer::requestCount() const
{
    return int(m_requests.size());
}

void LoopbackServer::handleConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { respond(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackServer::respond(QTcpSocket* socket)
{
    QByteArray buffered = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype headerEnd = buffered.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("buffer", buffered);
        return;
    }
    Request request;
    const QList<QByteArray> lines = buffered.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(
                lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length").toLongLong();
    if (buffered.size() < headerEnd + 4 + length) {
        socket->setProperty("buffer", buffered);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    request.body = buffered.mid(headerEnd + 4, length);
    request.at = QDateTime::currentDateTimeUtc();
    m_requests.append(request);

    const Reply reply = m_script.isEmpty() ? m_fallback : m_script.takeFirst();
    if (reply.kind == Reply::Kind::Drop) {
        socket->abort();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    auto send = [guard, reply] {
        if (!guard)
            return;
        const QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status)
            + " Status\r\nContent-Type: text/plain\r\nContent-Length: "
            + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body;
        guard->write(response);
        guard->disconnectFromHost();
    };
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, this, send);
    else
        send();
}

} // namespace quillon::test
