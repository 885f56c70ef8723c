#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "checker/ResponseHead.h"
#include "table/Verdict.h"

namespace checker
{

class CurlMulti;
class ProxyProfiles;

/// One asynchronous HEAD request at a time, reporting the stages it reaches and, at its end, its outcome.
///
/// The stages are what libcurl's callbacks tell: Resolving when the request starts (the name is being looked up),
/// Connecting once its socket is opened (the name is known), Sending once the connection stands and the request is
/// about to go, Waiting once it has gone, Receiving at the first line of the answer, Closing when the connection is
/// closed. They are reported from the channel's event loop, never from inside head() or cancel(), in their order and
/// only forwards: a stage reached again after a later one (the socket of a name's second address) is not reported
/// again, and stages reached before the event loop comes round are reported together. Every started request ends
/// with exactly one finished(), unless it is cancelled, which reports nothing more.
///
/// The outcome (table::Outcome):
/// - alive (Answered, with the status) once a status line that libcurl takes has come from the server, whatever
///   follows it: a close, a reset, silence, a head too large, a head without end. A 301, 302, 303, 307 or 308 also
///   carries the address it names (movedTo), made absolute against the address asked; for it the head is read to its
///   end (or to what breaks it off), for any other status the request ends at the status line;
/// - dead, with the kind of failure (table::Reason), when no status line came: the name does not resolve, the
///   connection is refused, cannot be made, or is reset, the server closes without a word, what comes back is no
///   HTTP (HTTP/0.9, another protocol), its first line is longer than libcurl takes, nothing came within the
///   time-out, the TLS handshake of an https address failed, or the proxy answered for itself that it could not
///   reach or hear from the server (see ProxyProfiles);
/// - none (Verdict::None), when the server was never asked and its row must keep its previous result: this program
///   ran out of descriptors, sockets or memory (failedLocally()), or the proxy refused to ask it (its own 403 or
///   407: a policy, or credentials it wants).
///
/// Each request is one HEAD request on a connection of its own, closed once the answer is in, so a channel holds at
/// most one socket whatever the number of servers it has visited; no request is ever sent again. Redirects are not
/// followed (a redirect is an answer), no credentials are ever sent (the user-info part of the address is dropped;
/// a 401 is an answer), no cookies are stored or sent. An https address is asked over TLS with the certificate not
/// verified: the question is whether the server answers, and nothing is sent but the request. The proxy is the one
/// the user has set (platform::systemProxy: the system's settings on Windows, elsewhere the environment as curl reads
/// it), except for loopback hosts, which are always reached directly. The time-out covers everything from head() to
/// the end of the answer, the name look-up included; when a proxy's answer can only be judged by how that proxy
/// answers for itself, which is learnt once per run, the outcome may wait for that too, as long again at most. Name
/// look-ups run side by side, one per request. Every channel of a thread shares one libcurl multi handle driven by
/// that thread's event loop: no thread of the program's own does network work.
class TransferChannel : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TransferChannel)

public:
    /// The stages of a request, in their order.
    enum class Stage
    {
        Resolving,  // started: the host's name is being looked up
        Connecting, // the name is known; the connection is on its way
        Sending,    // connected; the request is being sent
        Waiting,    // the request has gone; waiting for the answer
        Receiving,  // the answer is coming in
        Closing,    // the connection is closed
    };
    Q_ENUM(Stage)

    /// How long a request waits for its answer, the name's look-up included.
    static constexpr int kRequestTimeoutMs = 40000;
    /// Free descriptors a request needs: its socket, the name look-up's pair, and room for the rest of the program.
    /// A request that ends without an answer while fewer are free has no verdict (failedLocally).
    static constexpr int kDescriptorReserve = 8;

    /// An idle channel whose requests give up after requestTimeoutMs without an answer.
    explicit TransferChannel(int requestTimeoutMs = kRequestTimeoutMs, QObject* parent = nullptr);
    ~TransferChannel() override;

    /// Starts a HEAD request for the address, exactly as given (see requestUrl), and returns at once. Returns false,
    /// starting nothing and reporting nothing, when the channel is busy, the address is not an http or https URL with
    /// a host, or the program is short of memory (failedLocally() then says so).
    bool head(const QString& address);

    /// True from a successful head() until finished() or cancel().
    bool isBusy() const { return m_busy; }

    /// True when the last head() was refused, or the last request ended without an answer, because this program ran
    /// out of descriptors, sockets or memory (the system's error says so, or fewer than kDescriptorReserve
    /// descriptors are free at its end): the server was not asked, and its silence must not be taken for an answer
    /// of "dead".
    bool failedLocally() const { return m_failedLocally; }

    /// Ends the request in progress without any further report, closing its connection; does nothing on an idle
    /// channel.
    void cancel();

    /// The time-out applied to requests started from now on, in milliseconds.
    int requestTimeout() const { return m_timeoutMs; }
    /// Changes the time-out of later requests (at least 1 ms).
    void setRequestTimeout(int ms);

    /// The URL a request for the address goes to: the address as written, with the host as the name system knows it
    /// (IDNA), without user name and password, and only what cannot stand in a request line (blanks, control
    /// characters, characters outside ASCII as UTF-8) percent-encoded; escapes are never decoded or encoded again.
    /// libcurl then takes the dot segments out of its path (/a/../b goes as /b), as browsers do. Empty when no
    /// request can be made of it: not a valid URL as written (a leading blank, a blank in the host), a scheme other
    /// than http or https, no host, a port outside 1..65535, or a URL libcurl does not take.
    static QByteArray requestUrl(const QString& address);

    /// True when the HTTP library looks names up without blocking its caller (one look-up per request, side by
    /// side). Without it every look-up would hold up the event loop of the channels' thread.
    static bool lookupsInParallel();

signals:
    /// The request in progress has reached a stage.
    void stageReached(checker::TransferChannel::Stage stage);
    /// The request has ended: what it found out of the server.
    void finished(const table::Outcome& outcome);

private:
    friend class CurlMulti;
    friend class ProxyProfiles;

    struct Callbacks; // libcurl's callbacks of the request in progress

    // A channel that asks a proxy how it answers for itself (ProxyProfiles): it reads whole heads and judges nothing.
    struct ProxyProbe
    {
    };
    TransferChannel(ProxyProbe, int requestTimeoutMs, QObject* parent);

    /// Starts the request for url through proxy ("" for none).
    bool start(const QByteArray& url, const QByteArray& proxy);
    /// The head of the last answer, as far as it came (status 0 when none came).
    const ResponseHead& lastHead() const { return m_head; }
    /// True when the request in progress reads its answer's head to its end rather than stopping at the status line.
    bool readsWholeHead() const;

    /// The request has ended with the given libcurl result: its handle is released and its outcome settled.
    void transferDone(int result);
    /// The outcome of the request just ended, when it can be told now.
    std::optional<table::Outcome> outcome(int result, long osError, long connectCode, long proxyError);
    /// Tells the outcome once the proxy's profile is known.
    void judgeWhenLearnt();
    void settle(const table::Outcome& outcome);
    /// Notes a stage the request in progress has reached, to be reported from the event loop.
    void reach(Stage stage);
    bool hasReached(Stage stage) const;
    /// Reports the stages reached since the last report, in their order, then the outcome once there is one.
    void report();
    void release();

    std::shared_ptr<CurlMulti> m_multi;
    std::shared_ptr<ProxyProfiles> m_profiles; // none for a channel that probes a proxy
    void* m_easy = nullptr;                    // the libcurl easy handle of the request in progress
    qintptr m_socket = -1;                     // the socket that request holds open, -1 for none
    int m_timeoutMs = kRequestTimeoutMs;
    QByteArray m_url;                      // what the request in progress asks for
    QByteArray m_proxy;                    // through which proxy; "" for none
    bool m_forwardedByProxy = false;       // an HTTP proxy forwards it (no tunnel): an answer may be the proxy's own
    quint32 m_reached = 0;                 // bit s: the request in progress has reached stage s
    std::optional<Stage> m_reported;       // the last of its stages reported
    std::optional<table::Outcome> m_final; // its outcome, once settled
    QMetaObject::Connection m_waitForProfile;
    ResponseHead m_head;         // what has come of the answer's head
    int m_headLines = 0;         // lines of the current head received so far
    bool m_reportPosted = false; // a report is on its way through the event loop
    bool m_shortage = false;     // a socket could not be opened for want of descriptors, buffers or memory
    bool m_busy = false;
    bool m_failedLocally = false;
};

} // namespace checker
