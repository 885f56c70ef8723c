#pragma once

#include <utility>

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace testsupport
{

/// A small HTTP/1.1 server for tests and benchmarks, listening on loopback addresses only.
///
/// It answers by path (the query is ignored for routing, but available to behaviours):
///   /200, /404, /500, /503, /405 (405 to HEAD, with Allow: GET), /301 (Location: /200), /401 (a Basic challenge),
///   /reset (the connection is reset at once, no answer), /close (closed without an answer),
///   /hang (accepted and never answered), /slow?ms=N (200 after N ms). Any other path gets 404.
/// A listener may speak TLS (listenTls), with the self-signed certificate of tests/data/tls for localhost and the
/// loopback addresses; it serves the same routes.
/// Routes can be added or replaced with setRoute(). Faults are injected with the raw kinds of Route
/// (bytes sent as they are, trickled, or flooded without end) and, before any request is read, with
/// the accept action of a listener (reset at once, or never read). hostileRoutes() has a ready set.
/// Connections are kept alive between requests. The server counts open connections, requests in
/// flight (received and not yet answered or dropped) and the peaks of both, requests per path, and the
/// bytes written by floods. A flood writes only while the peer takes the bytes, so its memory stays
/// bounded on both sides; a connection a raw kind has taken over reads and discards anything more.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoopbackHttpServer)

public:
    /// What the server does with a request.
    struct Route
    {
        enum Kind
        {
            Answer,  // send status (after delayMs, or after the request's ?ms=N when delayFromQuery)
            Reset,   // reset the connection (TCP RST), no answer
            Close,   // close the connection normally, no answer
            Hang,    // keep the connection open and never answer
            Raw,     // send raw as it is; then close when closeAfter, else keep the connection open
            Trickle, // send raw one byte every byteIntervalMs, then keep the connection open
            Flood,   // send raw, then flood over and over for as long as the connection is open
            Hold,    // keep the request until releaseHeld(), then answer status
        };
        Kind kind = Answer;
        int status = 200;
        QByteArray extraHeaders; // complete header lines, each ending in "\r\n"
        QByteArray body;         // sent to GET, announced by Content-Length to HEAD as well
        int delayMs = 0;
        bool delayFromQuery = false;
        QByteArray raw;   // Raw, Trickle, Flood: the bytes sent first, whatever the method
        QByteArray flood; // Flood: repeated after raw (must not be empty)
        int byteIntervalMs = 1000;
        bool closeAfter = false;
        bool resetAfter = false; // Raw: reset the connection after the bytes instead
    };

    /// What a listener does with a connection before reading anything from it.
    enum class OnAccept
    {
        Serve,  // read requests and handle them by route
        Reset,  // reset the connection at once (TCP RST)
        Silent, // keep the connection open, never read from it and never write to it
        Greet,  // send another protocol's greeting (an SSH server's) at once, then keep silent
    };

    /// A request as received.
    struct Request
    {
        QByteArray method;
        QByteArray target;  // the request target exactly as received ("/a?b", or "http://host/a?b" to a proxy)
        QString path;       // without the query
        QString query;      // without the '?'
        QByteArray headers; // the raw header lines after the request line
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    /// Starts listening on one more loopback address (port 0: any free port). Refuses, returning false,
    /// a non-loopback address or a port that cannot be bound.
    bool listen(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0,
                OnAccept onAccept = OnAccept::Serve);
    /// The same for a listener that speaks TLS: it serves requests by route once the handshake is done.
    bool listenTls(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    /// The port of listener i (in the order of listen calls); 0 when there is none.
    quint16 port(int listener = 0) const;
    /// The address of listener i.
    QHostAddress address(int listener = 0) const;
    /// "http://<address>:<port><path>" for listener i ("https://" for a TLS listener); path starts with '/'.
    QString url(const QString& path, int listener = 0) const;

    /// Adds or replaces the behaviour of a path.
    void setRoute(const QString& path, const Route& route);
    /// The behaviour of every path without a route of its own (by default a 404).
    void setOtherPathsRoute(const Route& route) { m_otherPaths = route; }
    /// Also answers name look-ups (DNS over UDP) on a loopback address and port: each query after delayMs, an A
    /// query with the address answer, any other with no record. With names, only those names are known: a query for
    /// any other is answered that the name does not exist (NXDOMAIN). False when the port cannot be bound.
    bool listenNameService(const QHostAddress& address, quint16 port, const QHostAddress& answer, int delayMs,
                           const QStringList& names = QStringList());
    /// The names whose look-ups are waiting for their answer, the most of them at once, and the queries answered.
    int lookupsInFlight() const { return int(m_lookups.size()); }
    int maxLookupsInFlight() const { return m_maxLookups; }
    int queriesAnswered() const { return m_queriesAnswered; }
    /// Keep every request in requests() (on by default; off for long benchmark runs).
    void setRecordRequests(bool on) { m_record = on; }

    int openConnections() const { return m_sockets.size(); }
    int maxOpenConnections() const { return m_maxOpen; }
    int inFlight() const { return m_inFlight; }
    int maxInFlight() const { return m_maxInFlight; }
    int totalRequests() const { return m_total; }
    /// Connections accepted, over all listeners (also those reset or left silent at once).
    int acceptedConnections() const { return m_accepted; }
    /// Bytes written by Flood routes so far.
    qint64 floodedBytes() const { return m_flooded; }
    /// Requests received for the path (query ignored).
    int requestCount(const QString& path) const { return m_perPath.value(path); }
    /// Every request received, in order (when recording).
    const QList<Request>& requests() const { return m_requests; }
    /// How many of them have the item (such as "row=3") among the items of their query.
    int requestsWithQueryItem(const QString& item) const;
    /// Answers every request a Hold route keeps, and hands the answers to the system before it returns.
    void releaseHeld();
    /// Sets every counter and the request record back to zero; the peaks restart from the present.
    void resetCounters();

    /// A loopback port on which nothing listens, for "connection refused".
    static quint16 closedPort();

    /// The hostile behaviours by path: /trickle (a 200 head one byte per second), /endless-body (a
    /// 200 head without length, then body bytes without end), /endless-chunked (a chunked 200, chunks
    /// without end), /huge-head-lines and /huge-head-line (a 200 status line, then a 1 MiB header block
    /// of 1 KiB lines or of one line, then close), /garbage (binary bytes, connection kept open), /http09
    /// (a bare HTML body, then close), /tls (a TLS ServerHello record, connection kept open),
    /// /status-only (a 200 status line, then close), /status-and-header (a 200 status line and one header, then
    /// close), /status-then-reset (a 200 status line, then a reset), /status-then-silence (a 200 status line, then
    /// nothing), /redirect-then-silence (a 301 status line and its Location, then nothing), /long-status-line (a status
    /// line of 200 KiB, longer than libcurl takes), /only-1xx (one 100 Continue, then nothing), /only-100-close (one
    /// 100 Continue, then close), /only-103 (one 103 Early Hints, then nothing), /only-103-close (the same, then
    /// close), /endless-1xx (100 Continue responses without end), /endless-head (a 200 status line, then header lines
    /// without end), /two-blanks ("HTTP/1.1  200 OK", two blanks after the version), /lower-case ("http/1.1 200 OK").
    /// /hang is the existing route.
    static QHash<QString, Route> hostileRoutes();

signals:
    /// A request has been received and is about to be handled.
    void requestReceived(const QString& path);

private:
    void onNewConnection(QTcpServer* server, OnAccept onAccept);
    void takeOver(QTcpSocket* socket, const Route& route);
    void trickle(QTcpSocket* socket, QByteArray rest, int intervalMs);
    void feedFlood(QTcpSocket* socket, const QByteArray& chunk);
    void onReadyRead(QTcpSocket* socket);
    void handle(QTcpSocket* socket, const Request& request);
    void answer(QTcpSocket* socket, const Route& route, const QByteArray& method);
    void dropRequest(QTcpSocket* socket);
    void forget(QTcpSocket* socket);
    void onQuery(QUdpSocket* socket, quint32 answer, int delayMs, const QSet<QByteArray>& names);
    bool addListener(QTcpServer* server, const QHostAddress& address, quint16 port, OnAccept onAccept);

    QList<QTcpServer*> m_servers;
    QHash<QString, Route> m_routes;
    Route m_otherPaths;
    QSet<QTcpSocket*> m_sockets;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QHash<QTcpSocket*, int> m_pending; // requests in flight per connection
    QSet<QTcpSocket*> m_takenOver;     // connections a raw kind owns: further input is discarded
    QList<std::pair<QTcpSocket*, std::pair<Route, QByteArray>>> m_held; // requests a Hold route keeps, and method
    QHash<QString, int> m_perPath;
    QList<Request> m_requests;
    bool m_record = true;
    int m_maxOpen = 0;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
    int m_total = 0;
    int m_accepted = 0;
    qint64 m_flooded = 0;
    QHash<QByteArray, int> m_lookups; // names with queries waiting for their answer -> how many
    int m_maxLookups = 0;
    int m_queriesAnswered = 0;
};

} // namespace testsupport
