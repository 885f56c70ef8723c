#pragma once

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

namespace testsupport
{

/// A small HTTP/1.1 server for tests and benchmarks, listening on loopback addresses only.
///
/// It answers by path (the query is ignored for routing, but available to behaviours):
///   /200, /404, /405 (405 to HEAD, with Allow: GET), /301 (Location: /200), /401 (a Basic challenge),
///   /reset (the connection is reset at once, no answer), /close (closed without an answer),
///   /hang (accepted and never answered), /slow?ms=N (200 after N ms). Any other path gets 404.
/// Routes can be added or replaced with setRoute(), which is how fault injection is meant to grow.
/// Connections are kept alive between requests. The server counts open connections, requests in
/// flight (received and not yet answered or dropped) and the peaks of both, and requests per path.
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
            Answer, // send status (after delayMs, or after the request's ?ms=N when delayFromQuery)
            Reset,  // reset the connection (TCP RST), no answer
            Close,  // close the connection normally, no answer
            Hang,   // keep the connection open and never answer
        };
        Kind kind = Answer;
        int status = 200;
        QByteArray extraHeaders; // complete header lines, each ending in "\r\n"
        QByteArray body;         // sent to GET, announced by Content-Length to HEAD as well
        int delayMs = 0;
        bool delayFromQuery = false;
    };

    /// A request as received.
    struct Request
    {
        QByteArray method;
        QString path;       // without the query
        QString query;      // without the '?'
        QByteArray headers; // the raw header lines after the request line
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    /// Starts listening on one more loopback address (port 0: any free port). Refuses, returning false,
    /// a non-loopback address or a port that cannot be bound.
    bool listen(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    /// The port of listener i (in the order of listen calls); 0 when there is none.
    quint16 port(int listener = 0) const;
    /// The address of listener i.
    QHostAddress address(int listener = 0) const;
    /// "http://<address>:<port><path>" for listener i; path starts with '/'.
    QString url(const QString& path, int listener = 0) const;

    /// Adds or replaces the behaviour of a path.
    void setRoute(const QString& path, const Route& route);
    /// Keep every request in requests() (on by default; off for long benchmark runs).
    void setRecordRequests(bool on) { m_record = on; }

    int openConnections() const { return m_sockets.size(); }
    int maxOpenConnections() const { return m_maxOpen; }
    int inFlight() const { return m_inFlight; }
    int maxInFlight() const { return m_maxInFlight; }
    int totalRequests() const { return m_total; }
    /// Requests received for the path (query ignored).
    int requestCount(const QString& path) const { return m_perPath.value(path); }
    /// Every request received, in order (when recording).
    const QList<Request>& requests() const { return m_requests; }
    /// Sets every counter and the request record back to zero; the peaks restart from the present.
    void resetCounters();

    /// A loopback port on which nothing listens, for "connection refused".
    static quint16 closedPort();

signals:
    /// A request has been received and is about to be handled.
    void requestReceived(const QString& path);

private:
    void onNewConnection(QTcpServer* server);
    void onReadyRead(QTcpSocket* socket);
    void handle(QTcpSocket* socket, const Request& request);
    void answer(QTcpSocket* socket, const Route& route, const QByteArray& method);
    void dropRequest(QTcpSocket* socket);
    void forget(QTcpSocket* socket);

    QList<QTcpServer*> m_servers;
    QHash<QString, Route> m_routes;
    QSet<QTcpSocket*> m_sockets;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QHash<QTcpSocket*, int> m_pending; // requests in flight per connection
    QHash<QString, int> m_perPath;
    QList<Request> m_requests;
    bool m_record = true;
    int m_maxOpen = 0;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
    int m_total = 0;
};

} // namespace testsupport
