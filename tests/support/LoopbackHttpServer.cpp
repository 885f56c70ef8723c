#include "support/LoopbackHttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#endif

namespace testsupport
{

namespace
{

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

LoopbackHttpServer::Route answerRoute(int status, const QByteArray& extraHeaders = QByteArray())
{
    LoopbackHttpServer::Route route;
    route.status = status;
    route.extraHeaders = extraHeaders;
    return route;
}

LoopbackHttpServer::Route dropRoute(LoopbackHttpServer::Route::Kind kind)
{
    LoopbackHttpServer::Route route;
    route.kind = kind;
    return route;
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(QObject* parent) : QObject(parent)
{
    m_routes.insert(QStringLiteral("/200"), answerRoute(200));
    m_routes.insert(QStringLiteral("/404"), answerRoute(404));
    m_routes.insert(QStringLiteral("/405"), answerRoute(405, "Allow: GET\r\n"));
    m_routes.insert(QStringLiteral("/301"), answerRoute(301, "Location: /200\r\n"));
    m_routes.insert(QStringLiteral("/401"), answerRoute(401, "WWW-Authenticate: Basic realm=\"test\"\r\n"));
    m_routes.insert(QStringLiteral("/reset"), dropRoute(Route::Reset));
    m_routes.insert(QStringLiteral("/close"), dropRoute(Route::Close));
    m_routes.insert(QStringLiteral("/hang"), dropRoute(Route::Hang));
    Route slow = answerRoute(200);
    slow.delayFromQuery = true;
    m_routes.insert(QStringLiteral("/slow"), slow);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    for (QTcpServer* server : std::as_const(m_servers))
        server->close();
    const QSet<QTcpSocket*> sockets = m_sockets;
    for (QTcpSocket* socket : sockets) {
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        delete socket;
    }
}

bool LoopbackHttpServer::listen(const QHostAddress& address, quint16 port)
{
    if (!address.isLoopback())
        return false;
    auto* server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(server); });
    m_servers.append(server);
    return true;
}

quint16 LoopbackHttpServer::port(int listener) const
{
    return listener >= 0 && listener < m_servers.size() ? m_servers[listener]->serverPort() : 0;
}

QHostAddress LoopbackHttpServer::address(int listener) const
{
    return listener >= 0 && listener < m_servers.size() ? m_servers[listener]->serverAddress() : QHostAddress();
}

QString LoopbackHttpServer::url(const QString& path, int listener) const
{
    QHostAddress host = address(listener);
    const QString hostText = host.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                                 : host.toString();
    return QStringLiteral("http://%1:%2%3").arg(hostText).arg(port(listener)).arg(path);
}

void LoopbackHttpServer::setRoute(const QString& path, const Route& route)
{
    m_routes.insert(path, route);
}

void LoopbackHttpServer::resetCounters()
{
    m_perPath.clear();
    m_requests.clear();
    m_total = 0;
    m_maxOpen = m_sockets.size();
    m_maxInFlight = m_inFlight;
}

quint16 LoopbackHttpServer::closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LoopbackHttpServer::onNewConnection(QTcpServer* server)
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        m_sockets.insert(socket);
        m_maxOpen = qMax(m_maxOpen, int(m_sockets.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);

        const int lineEnd = head.indexOf("\r\n");
        const QByteArray requestLine = lineEnd < 0 ? head : head.left(lineEnd);
        const QList<QByteArray> parts = requestLine.split(' ');
        Request request;
        request.method = parts.value(0);
        const QString target = QString::fromLatin1(parts.value(1));
        const int question = target.indexOf(QLatin1Char('?'));
        request.path = question < 0 ? target : target.left(question);
        request.query = question < 0 ? QString() : target.mid(question + 1);
        request.headers = lineEnd < 0 ? QByteArray() : head.mid(lineEnd + 2);
        // Requests with a body are not expected; skip one if it comes anyway.
        for (const QByteArray& line : request.headers.split('\n')) {
            if (line.trimmed().toLower().startsWith("content-length:"))
                buffer.remove(0, line.mid(line.indexOf(':') + 1).trimmed().toInt());
        }
        handle(socket, request);
        if (!m_sockets.contains(socket) || socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

void LoopbackHttpServer::handle(QTcpSocket* socket, const Request& request)
{
    ++m_total;
    ++m_perPath[request.path];
    if (m_record)
        m_requests.append(request);
    ++m_pending[socket];
    ++m_inFlight;
    m_maxInFlight = qMax(m_maxInFlight, m_inFlight);
    emit requestReceived(request.path);
    if (!m_sockets.contains(socket))
        return;

    const Route route = m_routes.value(request.path, answerRoute(404));
    switch (route.kind) {
    case Route::Answer: {
        int delay = route.delayMs;
        if (route.delayFromQuery)
            delay = QUrlQuery(request.query).queryItemValue(QStringLiteral("ms")).toInt();
        if (delay <= 0) {
            answer(socket, route, request.method);
        } else {
            const QByteArray method = request.method;
            QTimer::singleShot(delay, socket, [this, socket, route, method] { answer(socket, route, method); });
        }
        break;
    }
    case Route::Reset:
#if defined(Q_OS_UNIX)
    {
        // Linger on with a zero time-out turns the close into a reset.
        struct linger reset = {1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
#endif
        dropRequest(socket);
        socket->abort();
        break;
    case Route::Close:
        dropRequest(socket);
        socket->disconnectFromHost();
        break;
    case Route::Hang:
        break;
    }
}

void LoopbackHttpServer::answer(QTcpSocket* socket, const Route& route, const QByteArray& method)
{
    if (!m_sockets.contains(socket) || m_pending.value(socket) <= 0)
        return;
    QByteArray response = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) +
                          "\r\nContent-Length: " + QByteArray::number(route.body.size()) + "\r\n" + route.extraHeaders +
                          "\r\n";
    if (method != "HEAD")
        response += route.body;
    socket->write(response);
    dropRequest(socket);
}

void LoopbackHttpServer::dropRequest(QTcpSocket* socket)
{
    if (m_pending.value(socket) <= 0)
        return;
    --m_pending[socket];
    --m_inFlight;
}

void LoopbackHttpServer::forget(QTcpSocket* socket)
{
    if (!m_sockets.remove(socket))
        return;
    m_inFlight -= m_pending.take(socket);
    m_buffers.remove(socket);
    socket->deleteLater();
}

} // namespace testsupport
