#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace checker
{

/// One asynchronous HTTP transfer at a time, reporting its progress as numbered states.
///
/// States: 0 none, 1 resolving host, 2 host resolved, 3 connecting, 4 connected, 5 requesting,
/// 6 request sent, 7 receiving response, 8 response received, 9 disconnecting, 10 disconnected,
/// 11 error (no HTTP answer), 12 response completed (an HTTP answer of any status).
/// Of the intermediate states only 5, 6 and 8 are observable through Qt and reported. Every started
/// request ends with exactly one report of 11 or 12, unless it is cancelled, which reports nothing.
///
/// Each channel has its own network access manager, so channels never queue behind each other for
/// connections to the same host. Redirects are not followed (a redirect is an answer), no credentials
/// are ever sent (a 401 is an answer), cookies are neither stored nor sent, and the proxy is the one the
/// system configures, except for loopback hosts, which are always reached directly. https addresses are
/// probed too (when TLS is available); a certificate the system does not trust gives no answer. The
/// time-out counts from Execute to the end of the answer, however slowly it trickles in. Every connection
/// is closed once its answer is in, so a channel holds at most one socket whatever the number of servers
/// it has visited. A request that is cut off (time-out, Cancel) takes its manager with it, so that a server
/// which keeps Qt's network thread busy cannot hold up the channel's later requests.
class TransferChannel : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TransferChannel)

public:
    // Of a fixed type, so that a number out of range reported to a handler (which ignores it) is still a value of
    // the type.
    enum State : int
    {
        icNone = 0,
        icResolvingHost = 1,
        icHostResolved = 2,
        icConnecting = 3,
        icConnected = 4,
        icRequesting = 5,
        icRequestSent = 6,
        icReceivingResponse = 7,
        icResponseReceived = 8,
        icDisconnecting = 9,
        icDisconnected = 10,
        icError = 11,
        icResponseCompleted = 12,
    };
    Q_ENUM(State)

    static constexpr int kDefaultRequestTimeoutMs = 40000;
    /// Free descriptors a request needs before it is started: its socket, a thread for a fresh network
    /// manager, and room for the rest of the program.
    static constexpr int kDescriptorReserve = 8;

    /// An idle channel whose requests give up after requestTimeoutMs without a complete answer.
    explicit TransferChannel(int requestTimeoutMs = kDefaultRequestTimeoutMs, QObject* parent = nullptr);
    ~TransferChannel() override;

    /// Starts an operation ("HEAD" only) on the address, exactly as given, and returns at once.
    /// Returns false, starting nothing and reporting nothing, when the channel is busy, the operation is
    /// not "HEAD", the address is not an http or https URL with a host (see requestUrl), or the program
    /// is short of descriptors (failedLocally() then says so).
    bool Execute(const QString& address, const QString& operation);

    /// True from a successful Execute until its final state is reported or it is cancelled.
    bool StillExecuting() const;

    /// True when the last Execute was refused, or the last request ended without an answer, because this
    /// program ran out of descriptors, sockets or memory: the server was never asked, and its silence
    /// must not be taken for an answer of "dead".
    bool failedLocally() const { return m_failedLocally; }

    /// Ends the request in progress without any further report; does nothing on an idle channel.
    void Cancel();

    /// The time-out applied to requests started from now on, in milliseconds.
    int requestTimeout() const { return m_timeoutMs; }
    /// Changes the time-out of later requests (at least 1 ms).
    void setRequestTimeout(int ms);

    /// The URL a request for the address would go to; an invalid QUrl when no request can be made of
    /// it: not a valid URL as written (a leading or trailing blank makes it invalid), a scheme other
    /// than http or https, no host, or a port outside 1..65535.
    static QUrl requestUrl(const QString& address);

signals:
    /// A state of the request in progress.
    void StateChanged(checker::TransferChannel::State state);

private:
    static bool isLocalShortage(const QNetworkReply* reply);
    void progress(quint64 serial, State state);
    void conclude();
    void release();
    QNetworkAccessManager* makeManager();
    void retireManager();

    QNetworkAccessManager* m_manager = nullptr;
    QTimer* m_deadline = nullptr;
    QPointer<QNetworkReply> m_reply;
    int m_timeoutMs = kDefaultRequestTimeoutMs;
    quint64 m_serial = 0;      // identifies the request a queued report belongs to
    State m_progress = icNone; // last intermediate state reported for the request in progress
    bool m_failedLocally = false;
};

} // namespace checker
