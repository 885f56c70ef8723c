#include "support/LoopbackHttpServer.h"

#include <algorithm>

#include <QFile>
#include <QNetworkDatagram>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
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
    case 503:
        return "Service Unavailable";
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

LoopbackHttpServer::Route rawRoute(LoopbackHttpServer::Route::Kind kind, const QByteArray& raw,
                                   const QByteArray& flood = QByteArray(), bool closeAfter = false)
{
    LoopbackHttpServer::Route route;
    route.kind = kind;
    route.raw = raw;
    route.flood = flood;
    route.closeAfter = closeAfter;
    return route;
}

// A close that the peer sees as a reset.
void resetNow(QTcpSocket* socket)
{
#if defined(Q_OS_UNIX)
    // Linger on with a zero time-out turns the close into a reset.
    struct linger reset = {1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
#endif
    socket->abort();
}

// How much a flood keeps queued in the socket beyond what the kernel has taken.
constexpr qint64 kFloodWindow = 64 * 1024;

// What an SSH server says first, before it has read anything.
const QByteArray kGreeting = "SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n";

// The self-signed certificate of the tests' TLS listeners, for localhost, 127.0.0.1 and ::1.
QSslConfiguration tlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QFile certificate(QStringLiteral(TESSALY_TEST_DATA "/tls/loopback-cert.pem"));
    QFile key(QStringLiteral(TESSALY_TEST_DATA "/tls/loopback-key.pem"));
    if (certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly)) {
        configuration.setLocalCertificate(QSslCertificate(certificate.readAll()));
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    }
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(QObject* parent) : QObject(parent), m_otherPaths(answerRoute(404))
{
    m_routes.insert(QStringLiteral("/200"), answerRoute(200));
    m_routes.insert(QStringLiteral("/404"), answerRoute(404));
    m_routes.insert(QStringLiteral("/500"), answerRoute(500));
    m_routes.insert(QStringLiteral("/503"), answerRoute(503));
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
        // What a flood has queued would otherwise still be delivered after the server has gone.
        if (m_takenOver.contains(socket))
            resetNow(socket);
        else
            socket->abort();
        delete socket;
    }
}

bool LoopbackHttpServer::listen(const QHostAddress& address, quint16 port, OnAccept onAccept)
{
    return addListener(new QTcpServer(this), address, port, onAccept);
}

bool LoopbackHttpServer::listenTls(const QHostAddress& address, quint16 port)
{
    auto* server = new QSslServer(this);
    const QSslConfiguration configuration = tlsConfiguration();
    if (configuration.localCertificate().isNull() || configuration.privateKey().isNull()) {
        delete server;
        return false;
    }
    server->setSslConfiguration(configuration);
    return addListener(server, address, port, OnAccept::Serve);
}

bool LoopbackHttpServer::addListener(QTcpServer* server, const QHostAddress& address, quint16 port, OnAccept onAccept)
{
    if (!address.isLoopback() || !server->listen(address, port)) {
        delete server;
        return false;
    }
    // A TLS listener has a connection for us only once its handshake is done, and says so with this signal alone.
    if (qobject_cast<QSslServer*>(server))
        connect(server, &QTcpServer::pendingConnectionAvailable, this,
                [this, server, onAccept] { onNewConnection(server, onAccept); });
    else
        connect(server, &QTcpServer::newConnection, this,
                [this, server, onAccept] { onNewConnection(server, onAccept); });
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
    const bool tls = listener >= 0 && listener < m_servers.size() && qobject_cast<QSslServer*>(m_servers[listener]);
    return QStringLiteral("%1://%2:%3%4")
        .arg(QLatin1String(tls ? "https" : "http"), hostText)
        .arg(port(listener))
        .arg(path);
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
    m_accepted = 0;
    m_flooded = 0;
    m_maxOpen = m_sockets.size();
    m_maxInFlight = m_inFlight;
    m_maxLookups = int(m_lookups.size());
    m_queriesAnswered = 0;
}

bool LoopbackHttpServer::listenNameService(const QHostAddress& address, quint16 port, const QHostAddress& answer,
                                           int delayMs, const QStringList& names)
{
    if (!address.isLoopback())
        return false;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(address, port)) {
        delete socket;
        return false;
    }
    const quint32 ipv4 = answer.toIPv4Address();
    QSet<QByteArray> known;
    for (const QString& name : names)
        known.insert(name.toLower().toLatin1() + '.');
    connect(socket, &QUdpSocket::readyRead, this,
            [this, socket, ipv4, delayMs, known] { onQuery(socket, ipv4, delayMs, known); });
    return true;
}

void LoopbackHttpServer::onQuery(QUdpSocket* socket, quint32 answer, int delayMs, const QSet<QByteArray>& names)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        const QByteArray query = datagram.data();
        // The header (12 bytes), then the question: the name as labels, its type and class.
        QByteArray name;
        int at = 12;
        while (at < query.size() && query[at] != 0) {
            name += query.mid(at + 1, uchar(query[at])) + '.';
            at += 1 + uchar(query[at]);
        }
        at += 1;
        if (at + 4 > query.size())
            continue;
        const bool exists = names.isEmpty() || names.contains(name.toLower());
        const bool typeA = exists && query[at] == 0 && query[at + 1] == 1;
        // The reply repeats the header and the question (and nothing the query added after it).
        QByteArray reply = query.left(at + 4);
        reply[2] = char(0x84 | (query[2] & 0x01)); // a response, authoritative, recursion as desired
        reply[3] = char(exists ? 0x80 : 0x83);     // recursion available; no error, or no such name
        const char counts[] = {0, 1, 0, char(typeA ? 1 : 0), 0, 0, 0, 0};
        reply.replace(4, 8, counts, 8);
        if (typeA) {
            const char record[] = {char(0xc0), 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4};
            reply.append(record, sizeof record);
            for (int shift = 24; shift >= 0; shift -= 8)
                reply.append(char((answer >> shift) & 0xff));
        }
        ++m_lookups[name];
        m_maxLookups = qMax(m_maxLookups, int(m_lookups.size()));
        QTimer::singleShot(delayMs, socket,
                           [this, socket, reply, name, to = datagram.senderAddress(), port = datagram.senderPort()] {
                               socket->writeDatagram(reply, to, port);
                               ++m_queriesAnswered;
                               if (--m_lookups[name] <= 0)
                                   m_lookups.remove(name);
                           });
    }
}

int LoopbackHttpServer::requestsWithQueryItem(const QString& item) const
{
    return int(std::count_if(m_requests.begin(), m_requests.end(), [&](const Request& request) {
        return request.query.split(QLatin1Char('&')).contains(item);
    }));
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

QHash<QString, LoopbackHttpServer::Route> LoopbackHttpServer::hostileRoutes()
{
    QHash<QString, Route> routes;
    Route trickle = rawRoute(Route::Trickle, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    trickle.byteIntervalMs = 1000;
    routes.insert(QStringLiteral("/trickle"), trickle);

    routes.insert(
        QStringLiteral("/endless-body"),
        rawRoute(Route::Flood, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", QByteArray(16 * 1024, 'x')));
    QByteArray chunk = "400\r\n" + QByteArray(0x400, 'y') + "\r\n";
    routes.insert(QStringLiteral("/endless-chunked"),
                  rawRoute(Route::Flood, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", chunk.repeated(16)));

    // 1 MiB of header lines after a good status line: 1024 lines of 1 KiB, or one line of 1 MiB.
    QByteArray lines = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 1024; ++i) {
        QByteArray name = "X-Filler-" + QByteArray::number(i).rightJustified(4, '0') + ": ";
        lines += name + QByteArray(1024 - name.size() - 2, 'h') + "\r\n";
    }
    // Complete answers: the connection is closed after them, so that nothing waits on it.
    const QByteArray end = "Content-Length: 0\r\nConnection: close\r\n\r\n";
    routes.insert(QStringLiteral("/huge-head-lines"), rawRoute(Route::Raw, lines + end, QByteArray(), true));
    const QByteArray oneLine = "HTTP/1.1 200 OK\r\nX-Filler: " + QByteArray(1024 * 1024, 'h') + "\r\n" + end;
    routes.insert(QStringLiteral("/huge-head-line"), rawRoute(Route::Raw, oneLine, QByteArray(), true));

    // Bytes of no protocol at all: a fixed pseudo-random block with no line end in it.
    QByteArray garbage;
    quint32 x = 0x9e3779b9u;
    while (garbage.size() < 4096) {
        x = x * 1664525u + 1013904223u;
        const char c = char(x >> 24);
        if (c != '\n' && c != '\r')
            garbage += c;
    }
    routes.insert(QStringLiteral("/garbage"), rawRoute(Route::Raw, garbage));
    routes.insert(
        QStringLiteral("/http09"),
        rawRoute(Route::Raw, "<html><head><title>old</title></head><body>hello</body></html>\n", QByteArray(), true));

    // A TLS 1.2 ServerHello record, as a server that speaks only TLS would start its side.
    QByteArray hello = QByteArray::fromHex("1603030031" // record: handshake, TLS 1.2, 49 bytes
                                           "0200002d"   // ServerHello, 45 bytes
                                           "0303");     // TLS 1.2
    hello += QByteArray(32, '\x5a');                    // server random
    hello += QByteArray::fromHex("00"                   // no session id
                                 "c02f"                 // TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256
                                 "00"                   // no compression
                                 "0005ff01000100");     // renegotiation_info
    routes.insert(QStringLiteral("/tls"), rawRoute(Route::Raw, hello));

    routes.insert(QStringLiteral("/status-only"), rawRoute(Route::Raw, "HTTP/1.1 200 OK\r\n", QByteArray(), true));
    Route statusThenReset = rawRoute(Route::Raw, "HTTP/1.1 200 OK\r\n");
    statusThenReset.resetAfter = true;
    routes.insert(QStringLiteral("/status-then-reset"), statusThenReset);
    routes.insert(QStringLiteral("/status-then-silence"), rawRoute(Route::Raw, "HTTP/1.1 200 OK\r\n"));
    routes.insert(QStringLiteral("/redirect-then-silence"),
                  rawRoute(Route::Raw, "HTTP/1.1 301 Moved Permanently\r\nLocation: /new/place\r\n"));
    routes.insert(QStringLiteral("/long-status-line"),
                  rawRoute(Route::Raw, "HTTP/1.1 200 " + QByteArray(200 * 1024, 'k') + "\r\n\r\n", QByteArray(), true));
    routes.insert(QStringLiteral("/status-and-header"),
                  rawRoute(Route::Raw, "HTTP/1.1 200 OK\r\nServer: test\r\n", QByteArray(), true));
    const QByteArray continueHead = "HTTP/1.1 100 Continue\r\n\r\n";
    routes.insert(QStringLiteral("/only-1xx"), rawRoute(Route::Raw, continueHead));
    routes.insert(QStringLiteral("/only-100-close"), rawRoute(Route::Raw, continueHead, QByteArray(), true));
    const QByteArray earlyHints = "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n";
    routes.insert(QStringLiteral("/only-103"), rawRoute(Route::Raw, earlyHints));
    routes.insert(QStringLiteral("/only-103-close"), rawRoute(Route::Raw, earlyHints, QByteArray(), true));
    // Status lines that libcurl (and curl) take as they are, though they are not written by the book.
    routes.insert(QStringLiteral("/two-blanks"),
                  rawRoute(Route::Raw, "HTTP/1.1  200 OK\r\nContent-Length: 0\r\n\r\n", QByteArray(), true));
    routes.insert(QStringLiteral("/lower-case"),
                  rawRoute(Route::Raw, "http/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", QByteArray(), true));
    routes.insert(QStringLiteral("/endless-head"),
                  rawRoute(Route::Flood, "HTTP/1.1 200 OK\r\n",
                           QByteArray("X-Endless: " + QByteArray(52, 'e') + "\r\n").repeated(256)));
    routes.insert(QStringLiteral("/endless-1xx"),
                  rawRoute(Route::Flood, QByteArray(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(512)));
    return routes;
}

void LoopbackHttpServer::onNewConnection(QTcpServer* server, OnAccept onAccept)
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        ++m_accepted;
        if (onAccept == OnAccept::Reset) {
            resetNow(socket);
            socket->deleteLater();
            continue;
        }
        if (onAccept == OnAccept::Greet)
            socket->write(kGreeting);
        m_sockets.insert(socket);
        m_maxOpen = qMax(m_maxOpen, int(m_sockets.size()));
        if (onAccept == OnAccept::Serve)
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket* socket)
{
    if (m_takenOver.contains(socket)) {
        socket->readAll();
        return;
    }
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
        request.target = parts.value(1);
        const QString target = QString::fromLatin1(request.target);
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
        if (m_takenOver.contains(socket)) {
            m_buffers.remove(socket);
            return;
        }
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

    const Route route = m_routes.value(request.path, m_otherPaths);
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
        dropRequest(socket);
        resetNow(socket);
        break;
    case Route::Close:
        dropRequest(socket);
        socket->disconnectFromHost();
        break;
    case Route::Hang:
        break;
    case Route::Hold:
        m_held.append({socket, {route, request.method}});
        break;
    case Route::Raw:
    case Route::Trickle:
    case Route::Flood:
        takeOver(socket, route);
        break;
    }
}

void LoopbackHttpServer::takeOver(QTcpSocket* socket, const Route& route)
{
    // Like a server that handles one request per connection at a time: while it misbehaves on this
    // connection it does not read further requests from it. The request stays in flight until the
    // connection ends, unless the route closes the connection itself.
    m_takenOver.insert(socket);
    switch (route.kind) {
    case Route::Raw:
        socket->write(route.raw);
        if (route.resetAfter) {
            socket->flush();
            dropRequest(socket);
            resetNow(socket);
        } else if (route.closeAfter) {
            dropRequest(socket);
            socket->disconnectFromHost();
        }
        break;
    case Route::Trickle:
        trickle(socket, route.raw, route.byteIntervalMs);
        break;
    case Route::Flood:
        socket->write(route.raw);
        if (route.flood.isEmpty())
            break;
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket, chunk = route.flood] { feedFlood(socket, chunk); });
        feedFlood(socket, route.flood);
        break;
    default:
        break;
    }
}

void LoopbackHttpServer::trickle(QTcpSocket* socket, QByteArray rest, int intervalMs)
{
    if (rest.isEmpty())
        return;
    socket->write(rest.left(1));
    rest.remove(0, 1);
    if (rest.isEmpty())
        return;
    // The socket owns the timer: it stops with the connection.
    QTimer::singleShot(qMax(1, intervalMs), socket, [this, socket, rest, intervalMs] {
        if (m_sockets.contains(socket) && socket->state() == QAbstractSocket::ConnectedState)
            trickle(socket, rest, intervalMs);
    });
}

void LoopbackHttpServer::feedFlood(QTcpSocket* socket, const QByteArray& chunk)
{
    // Only as much as the peer takes: what it does not read stays in the kernel's buffers.
    while (m_sockets.contains(socket) && socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() < kFloodWindow) {
        socket->write(chunk);
        m_flooded += chunk.size();
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

void LoopbackHttpServer::releaseHeld()
{
    const auto held = std::exchange(m_held, {});
    for (const auto& [socket, request] : held) {
        answer(socket, request.first, request.second);
        if (m_sockets.contains(socket))
            socket->flush();
    }
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
    m_takenOver.remove(socket);
    m_held.erase(
        std::remove_if(m_held.begin(), m_held.end(), [socket](const auto& held) { return held.first == socket; }),
        m_held.end());
    socket->deleteLater();
}

} // namespace testsupport
