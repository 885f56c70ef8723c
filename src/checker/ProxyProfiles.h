#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QHash>
#include <QObject>

#include "checker/ResponseHead.h"

namespace checker
{

class TransferChannel;

/// How each proxy answers for itself, and whose answer a head that came through an HTTP proxy is: the server's, or
/// the proxy's own error page.
///
/// A proxy that cannot reach the server (the name does not resolve, the connection is refused, the server is
/// silent) answers itself, with an error page of its own: tinyproxy with 500, privoxy with 404 or 503, squid with
/// 502, 503 or 504. Such a head is no answer of the server's. It is told apart by, in this order:
/// - the marks proxies put on their own errors: squid's X-Squid-Error, an error in Proxy-Status (RFC 9209), and a 407
///   (the proxy wants credentials), which only a proxy sends;
/// - otherwise, for a status of 400 or more, the proxy's profile: its answer for a name that cannot exist (a name
///   under .invalid, RFC 6761), learnt once per run (learn()). A head is the proxy's own when it carries every header
///   of that answer with the same value, those that change from one answer to the next left out (Date, the length,
///   the connection's, cookies, ...): tinyproxy's "Server: tinyproxy/1.11.1", privoxy's fixed Last-Modified and
///   Expires. Where the answer holds nothing that would set it apart from a server's error page (only a content type,
///   say), the head must also have its status and no other header. A head with Via, where the proxy's own answer had
///   none, was forwarded: proxies such as tinyproxy add Via to what they forward and not to what they write.
/// Anything else, and everything below 400, is the server's answer.
class ProxyProfiles : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProxyProfiles)

public:
    /// Whose answer a head is.
    enum class Judgement
    {
        Server,             // the server's own answer
        ProxyCouldNotReach, // the proxy's error: it could not reach or hear from the server
        ProxyRefused,       // the proxy's refusal (403, 407): the server was not asked
        NeedsProfile,       // only the proxy's profile can tell, and it has not been learnt
    };

    /// The profiles of the calling thread, made when none is alive.
    static std::shared_ptr<ProxyProfiles> forThisThread();
    ~ProxyProfiles() override;

    /// Whose answer a head that came through the HTTP proxy `proxy` is (see the class).
    Judgement judge(const QByteArray& proxy, const ResponseHead& head) const;
    /// What a proxy's own error with this status means for the server: it was not reached, or not asked.
    static Judgement ownError(int status);
    /// Starts learning how proxy answers for itself, unless that is being or has been learnt; learnt() follows, at the
    /// latest after timeoutMs.
    void learn(const QByteArray& proxy, int timeoutMs);
    /// True once proxy's profile is learnt (also when the proxy gave no usable answer).
    bool isLearnt(const QByteArray& proxy) const;
    /// Forgets the profiles learnt, so that the next requests learn them again; those being learnt are kept.
    void forget();

signals:
    /// proxy's profile has been learnt.
    void learnt(const QByteArray& proxy);

private:
    ProxyProfiles() = default;

    struct Profile
    {
        TransferChannel* probe = nullptr;  // the request that asks the proxy, while it runs
        std::optional<ResponseHead> error; // the proxy's own answer for a name that cannot exist, when usable
        QList<std::pair<QByteArray, QByteArray>> marks; // the headers of that answer that mark it
    };

    void probeFinished(const QByteArray& proxy);

    QHash<QByteArray, Profile> m_profiles;
};

} // namespace checker
