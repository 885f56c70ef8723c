#include "checker/TransferChannel.h"

#include <optional>

#include <curl/curl.h>

#include <QHostAddress>
#include <QMetaObject>
#include <QUrl>

#include "checker/CurlMulti.h"
#include "checker/ProxyProfiles.h"
#include "platform/Descriptors.h"
#include "platform/SystemProxy.h"

namespace checker
{

namespace
{

CURL* easyOf(void* easy)
{
    return static_cast<CURL*>(easy);
}

bool schemeSupported(const QString& scheme)
{
    if (scheme == QLatin1String("http"))
        return true;
    return scheme == QLatin1String("https") && (CurlMulti::features() & CURL_VERSION_SSL) != 0;
}

// The proxy for a request to url, as libcurl names it: "" (none) for loopback hosts, elsewhere the one the user set.
QByteArray proxyFor(const QUrl& url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
        return QByteArray();
    return platform::systemProxy(url);
}

// True for a proxy that speaks HTTP (its scheme http, https or none), as against a SOCKS proxy.
bool isHttpProxy(const QByteArray& proxy)
{
    const int scheme = int(proxy.indexOf("://"));
    if (scheme < 0)
        return true;
    const QByteArray name = proxy.left(scheme).toLower();
    return name == "http" || name == "https";
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address a redirect names, made absolute against the address asked, as libcurl would follow it.
QString resolvedLocation(const QByteArray& asked, const QByteArray& location)
{
    if (location.isEmpty())
        return QString();
    QString resolved;
    CURLU* url = curl_url();
    char* text = nullptr;
    if (url && curl_url_set(url, CURLUPART_URL, asked.constData(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location.constData(), CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) ==
            CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = QString::fromUtf8(text);
    } else {
        resolved = QUrl::fromEncoded(asked).resolved(QUrl(QString::fromUtf8(location))).toString();
    }
    curl_free(text);
    curl_url_cleanup(url);
    return resolved;
}

// The kind of failure when no status line came, from libcurl's result and the system's error.
table::Reason failureOf(int result, long osError, bool connected)
{
    using table::Reason;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return Reason::NameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_PROXY:
        // A server that accepts and resets at once may be seen to do so while the connection is being made.
        if (platform::isConnectionReset(int(osError)))
            return Reason::ConnectionReset;
        return platform::isConnectionRefused(int(osError)) ? Reason::ConnectionRefused : Reason::CouldNotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return Reason::TimedOut;
    case CURLE_GOT_NOTHING:
        return Reason::ClosedWithoutAnswer;
    case CURLE_UNSUPPORTED_PROTOCOL: // HTTP/0.9, which libcurl takes for anything that is no status line
    case CURLE_WEIRD_SERVER_REPLY:
        return Reason::NotHttp;
    case CURLE_OUT_OF_MEMORY: // libcurl's word for a head line longer than it takes
        return Reason::HeadTooLarge;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
        return platform::isConnectionReset(int(osError)) ? Reason::ConnectionReset : Reason::SecureConnectionFailed;
    default:
        break;
    }
    if (platform::isConnectionReset(int(osError)))
        return Reason::ConnectionReset;
    return connected ? Reason::ClosedWithoutAnswer : Reason::CouldNotConnect;
}

// The part of an address after its host and port, as written, with only what cannot stand in a request line
// percent-encoded: blanks, control characters and, as UTF-8, every character outside ASCII. Escapes already in it
// stay exactly as they are, valid or not.
QByteArray requestLineSafe(const QString& rest)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray safe;
    for (const char c : rest.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f)
            safe.append('%').append(hex[byte >> 4]).append(hex[byte & 0xf]);
        else
            safe.append(c);
    }
    return safe;
}

// True when libcurl's own parser takes the URL as it stands.
bool curlTakes(const QByteArray& url)
{
    CURLU* parsed = curl_url();
    const bool taken = parsed && curl_url_set(parsed, CURLUPART_URL, url.constData(), 0) == CURLUE_OK;
    curl_url_cleanup(parsed);
    return taken;
}

} // namespace

// libcurl calls these from inside the multi handle's work: they only record what libcurl tells, never report.
struct TransferChannel::Callbacks
{
    static curl_socket_t open(void* self, curlsocktype, curl_sockaddr* address)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        // One socket per channel at any moment: a second address is tried only once the first one's socket
        // is closed.
        if (channel->m_socket != -1)
            return CURL_SOCKET_BAD;
        int error = 0;
        const long long socket = platform::openSocket(address->family, address->socktype, address->protocol, &error);
        if (socket == -1) {
            channel->m_shortage = channel->m_shortage || platform::isResourceShortage(error);
            return CURL_SOCKET_BAD;
        }
        channel->m_socket = qintptr(socket);
        // The name has been looked up, and the connection is on its way.
        channel->reach(Stage::Connecting);
        return curl_socket_t(socket);
    }

    static int close(void* self, curl_socket_t socket)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        platform::closeSocket(static_cast<long long>(socket));
        if (qintptr(socket) == channel->m_socket)
            channel->m_socket = -1;
        channel->reach(Stage::Closing);
        return 0;
    }

    // Called once the connection stands (through a proxy's tunnel, and after the TLS handshake), just before the
    // request is sent.
    static int connected(void* self, char*, char*, int, int)
    {
        static_cast<TransferChannel*>(self)->reach(Stage::Sending);
        return CURL_PREREQFUNC_OK;
    }

    // Called all through the transfer; the size of the request sent so far tells when it has gone.
    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        if (!channel->hasReached(Stage::Waiting)) {
            long sent = 0;
            curl_easy_getinfo(easyOf(channel->m_easy), CURLINFO_REQUEST_SIZE, &sent);
            if (sent > 0)
                channel->reach(Stage::Waiting);
        }
        return 0;
    }

    // libcurl hands over a head line by line, the status line first (only once it has taken it as one), and ends it
    // with a line that starts with CR or LF. A short count is its way to end a transfer from a callback.
    static size_t header(char* line, size_t size, size_t count, void* self)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        const size_t length = size * count;
        channel->reach(Stage::Receiving);
        if (length == 0 || line[0] == '\r' || line[0] == '\n') {
            // A complete head, interim ones (1xx) included: nothing that follows can make the server any less there.
            return channel->m_head.status > 0 ? 0 : length;
        }
        if (channel->m_headLines++ == 0) {
            long status = 0;
            curl_easy_getinfo(easyOf(channel->m_easy), CURLINFO_RESPONSE_CODE, &status);
            channel->m_head = ResponseHead();
            channel->m_head.status = int(status);
            // The server has answered in HTTP: unless its headers have something to tell, the request ends here.
            return status > 0 && !channel->readsWholeHead() ? 0 : length;
        }
        channel->m_head.addLine(QByteArray(line, qsizetype(length)));
        return length;
    }

    static size_t discard(char*, size_t size, size_t count, void*) { return size * count; }
};

TransferChannel::TransferChannel(int requestTimeoutMs, QObject* parent)
    : QObject(parent), m_multi(CurlMulti::forThisThread()), m_profiles(ProxyProfiles::forThisThread()),
      m_timeoutMs(qMax(1, requestTimeoutMs))
{
}

TransferChannel::TransferChannel(ProxyProbe, int requestTimeoutMs, QObject* parent)
    : QObject(parent), m_multi(CurlMulti::forThisThread()), m_timeoutMs(qMax(1, requestTimeoutMs))
{
}

TransferChannel::~TransferChannel()
{
    release();
}

QByteArray TransferChannel::requestUrl(const QString& address)
{
    // Whether the address names an http or https server, and which, is decided here rather than by the HTTP library,
    // which would make a request of more than this; the host as the name system knows it (IDNA).
    QUrl url(address, QUrl::TolerantMode);
    if (address.isEmpty() || !url.isValid() || !schemeSupported(url.scheme()) || url.host().isEmpty())
        return QByteArray();
    const int port = url.port();
    if (port != -1 && (port < 1 || port > 65535))
        return QByteArray();
    const QString start = url.scheme() + QLatin1String("://");
    if (!address.startsWith(start, Qt::CaseInsensitive))
        return QByteArray();
    // No credentials are ever sent.
    url.setUserInfo(QString());
    // The rest (path, query, fragment) goes as written: the server is asked for exactly what the favorite names.
    int rest = int(start.size());
    while (rest < address.size() && address[rest] != QLatin1Char('/') && address[rest] != QLatin1Char('?') &&
           address[rest] != QLatin1Char('#'))
        ++rest;
    const QByteArray sent =
        start.toLatin1() + url.authority(QUrl::FullyEncoded).toLatin1() + requestLineSafe(address.mid(rest));
    return curlTakes(sent) ? sent : QByteArray();
}

bool TransferChannel::lookupsInParallel()
{
    return (CurlMulti::features() & CURL_VERSION_ASYNCHDNS) != 0;
}

bool TransferChannel::head(const QString& address)
{
    if (m_busy)
        return false;
    const QByteArray url = requestUrl(address);
    if (url.isEmpty())
        return false;
    return start(url, proxyFor(QUrl::fromEncoded(url)));
}

bool TransferChannel::readsWholeHead() const
{
    // A redirect's Location, and through a proxy the headers that tell whose answer it is; what a proxy is asked
    // about itself is read whole.
    return isRedirect(m_head.status) || m_forwardedByProxy || !m_profiles;
}

bool TransferChannel::start(const QByteArray& url, const QByteArray& proxy)
{
    if (m_busy)
        return false;
    m_failedLocally = false;
    CURL* easy = curl_easy_init();
    if (!easy) {
        m_failedLocally = true;
        return false;
    }
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Mozilla/5.0");
    // The proxy is decided here, for every request: libcurl reads nothing of the environment.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Whether the server answers is the question, not who it is: nothing is sent but the request.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    // Nor is the system's store of certificates read for each request, as it would be to verify one.
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    // One question per address and run: the connection is of no use once the answer is in. Left open, idle
    // connections would pile up one per server visited until the program runs out of descriptors.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // The whole exchange, look-up included, within the time-out; the addresses of a name one after the other.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(m_timeoutMs));
    curl_easy_setopt(easy, CURLOPT_HAPPY_EYEBALLS_TIMEOUT_MS, long(m_timeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A request cut off in the middle of its look-up (time-out, cancel) leaves the look-up's thread to finish on
    // its own instead of waiting for it here, on the window's thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Callbacks::open);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Callbacks::close);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Callbacks::connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Callbacks::progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Callbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Callbacks::discard);

    m_url = url;
    m_proxy = proxy;
    m_forwardedByProxy = m_profiles && !proxy.isEmpty() && isHttpProxy(proxy) && url.startsWith("http:");
    m_reached = 0;
    m_reported.reset();
    m_final.reset();
    m_head = ResponseHead();
    m_headLines = 0;
    m_shortage = false;
    m_easy = easy;
    m_busy = true;
    // First: the transfer starts inside add(), and stages of its own may already follow.
    reach(Stage::Resolving);
    if (!m_multi->add(easy)) {
        m_busy = false;
        release();
        return false;
    }
    return true;
}

void TransferChannel::transferDone(int result)
{
    // What libcurl knows of the request, read before its handle goes.
    long osError = 0;
    long connectCode = 0;
    long proxyError = 0;
    curl_easy_getinfo(easyOf(m_easy), CURLINFO_OS_ERRNO, &osError);
    curl_easy_getinfo(easyOf(m_easy), CURLINFO_HTTP_CONNECTCODE, &connectCode);
    curl_easy_getinfo(easyOf(m_easy), CURLINFO_PROXY_ERROR, &proxyError);
    release();
    if (const std::optional<table::Outcome> told = outcome(result, osError, connectCode, proxyError)) {
        settle(*told);
        return;
    }
    // Whose answer it is can only be told by how the proxy answers for itself: learnt first, once per run.
    m_waitForProfile = connect(m_profiles.get(), &ProxyProfiles::learnt, this, [this](const QByteArray& proxy) {
        if (proxy == m_proxy)
            judgeWhenLearnt();
    });
    m_profiles->learn(m_proxy, m_timeoutMs);
    if (m_profiles->isLearnt(m_proxy))
        judgeWhenLearnt();
}

std::optional<table::Outcome> TransferChannel::outcome(int result, long osError, long connectCode, long proxyError)
{
    if (m_head.status > 0) {
        if (m_forwardedByProxy) {
            switch (m_profiles->judge(m_proxy, m_head)) {
            case ProxyProfiles::Judgement::NeedsProfile:
                return std::nullopt;
            case ProxyProfiles::Judgement::ProxyCouldNotReach:
                return table::Outcome::failure(table::Reason::ProxyCouldNotReach);
            case ProxyProfiles::Judgement::ProxyRefused:
                return table::Outcome::of(table::Verdict::None);
            case ProxyProfiles::Judgement::Server:
                break;
            }
        }
        return table::Outcome::answer(
            m_head.status, isRedirect(m_head.status) ? resolvedLocation(m_url, m_head.value("location")) : QString());
    }
    // No answer because this program could not get a socket, a descriptor or memory says nothing about the server;
    // nor does any failure while the program is short of descriptors (a name look-up that could not open its socket,
    // say), which is the one look at the descriptors a request costs. A time-out is the server's silence.
    m_failedLocally = m_shortage || platform::isResourceShortage(int(osError)) ||
                      (result != CURLE_OPERATION_TIMEDOUT && !platform::descriptorsAvailable(kDescriptorReserve));
    if (m_failedLocally)
        return table::Outcome::of(table::Verdict::None);
    // A proxy that would not open a tunnel (https) answered for itself; so does a SOCKS proxy.
    if (connectCode >= 300)
        return ProxyProfiles::ownError(int(connectCode)) == ProxyProfiles::Judgement::ProxyRefused
                   ? table::Outcome::of(table::Verdict::None)
                   : table::Outcome::failure(table::Reason::ProxyCouldNotReach);
    if (result == CURLE_PROXY) {
        switch (proxyError) {
        case CURLPX_REPLY_HOST_UNREACHABLE:
        case CURLPX_REPLY_NETWORK_UNREACHABLE:
        case CURLPX_REPLY_CONNECTION_REFUSED:
        case CURLPX_REPLY_TTL_EXPIRED:
        case CURLPX_REPLY_GENERAL_SERVER_FAILURE:
            return table::Outcome::failure(table::Reason::ProxyCouldNotReach);
        case CURLPX_REPLY_NOT_ALLOWED:
            return table::Outcome::of(table::Verdict::None);
        default:
            return table::Outcome::failure(table::Reason::CouldNotConnect);
        }
    }
    return table::Outcome::failure(failureOf(result, osError, hasReached(Stage::Sending)));
}

void TransferChannel::judgeWhenLearnt()
{
    disconnect(m_waitForProfile);
    if (!m_busy || m_final)
        return;
    // A profile now learnt tells, one way or the other.
    const std::optional<table::Outcome> told = outcome(CURLE_OK, 0, 0, 0);
    settle(told.value_or(table::Outcome::answer(m_head.status)));
}

void TransferChannel::settle(const table::Outcome& outcome)
{
    m_final = outcome;
    reach(Stage::Closing);
}

void TransferChannel::cancel()
{
    if (!m_busy)
        return;
    // What has been reached and not reported yet is not reported any more.
    m_busy = false;
    disconnect(m_waitForProfile);
    release();
}

void TransferChannel::setRequestTimeout(int ms)
{
    m_timeoutMs = qMax(1, ms);
}

bool TransferChannel::hasReached(Stage stage) const
{
    return (m_reached & (1u << int(stage))) != 0;
}

void TransferChannel::reach(Stage stage)
{
    m_reached |= 1u << int(stage);
    // One report for whatever is reached before the event loop comes round to it.
    if (!m_reportPosted) {
        m_reportPosted = true;
        QMetaObject::invokeMethod(this, &TransferChannel::report, Qt::QueuedConnection);
    }
}

void TransferChannel::report()
{
    m_reportPosted = false;
    // The stages reached since the last report, in their order. The dial only turns forwards: a stage reached again
    // after a later one (the socket of a name's second address) is not shown again.
    const int from = m_reported ? int(*m_reported) + 1 : int(Stage::Resolving);
    for (int stage = from; m_busy && stage <= int(Stage::Closing); ++stage) {
        if (hasReached(Stage(stage))) {
            m_reported = Stage(stage);
            emit stageReached(*m_reported);
        }
    }
    if (m_busy && m_final) {
        m_busy = false;
        emit finished(*m_final);
    }
}

void TransferChannel::release()
{
    CURL* easy = easyOf(m_easy);
    if (!easy)
        return;
    m_easy = nullptr;
    // Removing the handle closes its connection, through the close callback.
    m_multi->remove(easy);
    curl_easy_cleanup(easy);
    if (m_socket != -1) {
        qWarning("TransferChannel: libcurl left socket %lld open; closed here", static_cast<long long>(m_socket));
        platform::closeSocket(m_socket);
        m_socket = -1;
    }
}

} // namespace checker
