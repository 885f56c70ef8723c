#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QByteArray>
#include <QString>

namespace checker
{

class CurlMulti;

/// One asynchronous HTTP transfer at a time, reporting its progress as numbered states.
///
/// States: 0 none, 1 resolving host, 2 host resolved, 3 connecting, 4 connected, 5 requesting,
/// 6 request sent, 7 receiving response, 8 response received, 9 disconnecting, 10 disconnected,
/// 11 error (no HTTP answer), 12 response completed (an HTTP answer of any status).
/// The states are the stages libcurl tells of through its callbacks: 1 when the request starts, 2 and 3 when its
/// socket is opened (the name has been looked up), 4 and 5 once it is connected (the request is about to go), 6
/// once the request has been sent (the progress callback's request size), 7 at the first line of the answer, 8
/// at the end of its head, 9 and 10 when the socket is closed, then 11 or 12. They are reported from the channel's
/// event loop, never from inside Execute or Cancel: each report gives the stages reached since the last one, in
/// their order, and the dial only turns forwards (a stage reached again after a later one, as the socket of a
/// name's second address, is not reported again). Every started request ends with exactly one report of 11 or
/// 12, unless it is cancelled, which reports nothing more.
///
/// An HTTP answer is a complete response head (a status line and a header block ending in an empty line) of
/// any status, interim ones (1xx) included, as libcurl reads it: every spelling of a status line that libcurl
/// takes is one, and the request ends as soon as the first head is complete. A head larger than libcurl takes
/// (100 KiB a line, 300 KiB in all) is none.
///
/// Each request is one HEAD request on a connection of its own, closed once the answer is in, so a channel
/// holds at most one socket whatever the number of servers it has visited; no request is ever sent again.
/// Redirects are not followed (a redirect is an answer), no credentials are ever sent (the user-info part
/// of the address is dropped; a 401 is an answer), no cookies are stored or sent, and the proxy is the one
/// the platform's users set (platform::systemProxy: the system's settings on Windows, elsewhere the environment
/// as curl reads it), except for loopback hosts, which are always reached directly.
/// The channel takes http and https addresses; a certificate the system does not trust gives no answer. (The
/// checker hands it only addresses that contain "http://", so an https address reaches it only when
/// "http://" comes later in it.) The time-out covers everything from Execute to the end of the answer, the
/// name look-up included; name look-ups run side by side, one per request. Every channel of a thread shares
/// one libcurl multi handle driven by that thread's event loop: no thread of the program's own does network
/// work.
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

    /// How long a request waits for its answer, the name's look-up included.
    static constexpr int kRequestTimeoutMs = 40000;
    /// Free descriptors a request needs: its socket, the name look-up's pair, and room for the rest of the program.
    /// A request that ends without an answer while fewer are free has no verdict (failedLocally).
    static constexpr int kDescriptorReserve = 8;

    /// An idle channel whose requests give up after requestTimeoutMs without a complete answer.
    explicit TransferChannel(int requestTimeoutMs = kRequestTimeoutMs, QObject* parent = nullptr);
    ~TransferChannel() override;

    /// Starts an operation ("HEAD" only) on the address, exactly as given, and returns at once.
    /// Returns false, starting nothing and reporting nothing, when the channel is busy, the operation is
    /// not "HEAD", the address is not an http or https URL with a host (see requestUrl), or the program
    /// is short of memory (failedLocally() then says so).
    bool Execute(const QString& address, const QString& operation);

    /// True from a successful Execute until its final state is reported or it is cancelled.
    bool StillExecuting() const { return m_busy; }

    /// True when the last Execute was refused, or the last request ended without an answer, because this
    /// program ran out of descriptors, sockets or memory (the system's error says so, or fewer than
    /// kDescriptorReserve descriptors are free at its end): the server was not asked, and its silence must not
    /// be taken for an answer of "dead".
    bool failedLocally() const { return m_failedLocally; }

    /// Ends the request in progress without any further report, closing its connection; does nothing on an
    /// idle channel.
    void Cancel();

    /// The time-out applied to requests started from now on, in milliseconds.
    int requestTimeout() const { return m_timeoutMs; }
    /// Changes the time-out of later requests (at least 1 ms).
    void setRequestTimeout(int ms);

    /// The URL a request for the address goes to: the address as written, with the host as the name system
    /// knows it (IDNA), without user name and password, and only what cannot stand in a request line
    /// (blanks, control characters, characters outside ASCII as UTF-8) percent-encoded; escapes are never
    /// decoded or encoded again. Empty when no request can be made of it: not a valid URL as written (a
    /// leading blank, a blank in the host), a scheme other than http or https, no host, a port outside
    /// 1..65535, or a URL libcurl does not take.
    static QByteArray requestUrl(const QString& address);

    /// True when the HTTP library looks names up without blocking its caller (one look-up per request, side
    /// by side). Without it every look-up would hold up the event loop of the channels' thread.
    static bool lookupsInParallel();

signals:
    /// A state of the request in progress.
    void StateChanged(checker::TransferChannel::State state);

private:
    friend class CurlMulti;

    struct Callbacks; // libcurl's callbacks of the request in progress

    /// The request has ended with the given libcurl result: its handle is released and its final state reported.
    void transferDone(int result);
    /// Notes a stage the request in progress has reached, to be reported from the event loop.
    void reach(State stage);
    bool hasReached(State stage) const;
    /// Reports the stages reached since the last report, in their order, then the final state once there is one.
    void report();
    void release();

    std::shared_ptr<CurlMulti> m_multi;
    void* m_easy = nullptr; // the libcurl easy handle of the request in progress
    qintptr m_socket = -1;  // the socket that request holds open, -1 for none
    int m_timeoutMs = kRequestTimeoutMs;
    quint32 m_reached = 0;        // bit s: the request in progress has reached state s
    State m_reported = icNone;    // the last of its stages reported
    std::optional<State> m_final; // 11 or 12, once it has ended
    bool m_reportPosted = false;  // a report is on its way through the event loop
    bool m_headComplete = false;  // an answer's complete head has arrived
    bool m_shortage = false;      // a socket could not be opened for want of descriptors, buffers or memory
    bool m_busy = false;
    bool m_failedLocally = false;
};

} // namespace checker
