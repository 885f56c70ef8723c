#include "checker/TransferChannel.h"

#include <optional>

#include <curl/curl.h>

#include <QHostAddress>
#include <QMetaObject>
#include <QUrl>

#include "checker/CurlMulti.h"
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

// The proxy for a request to url, as libcurl names it: "" (none, whatever the environment says) for loopback hosts;
// elsewhere the platform's, or nothing where libcurl reads the user's settings from the environment itself.
std::optional<QByteArray> proxyFor(const QUrl& url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
        return QByteArray();
    return platform::systemProxy(url);
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
        channel->reach(icHostResolved);
        channel->reach(icConnecting);
        return curl_socket_t(socket);
    }

    static int close(void* self, curl_socket_t socket)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        platform::closeSocket(static_cast<long long>(socket));
        if (qintptr(socket) == channel->m_socket)
            channel->m_socket = -1;
        channel->reach(icDisconnecting);
        channel->reach(icDisconnected);
        return 0;
    }

    // Called once the connection stands, just before the request is sent.
    static int connected(void* self, char*, char*, int, int)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        channel->reach(icConnected);
        channel->reach(icRequesting);
        return CURL_PREREQFUNC_OK;
    }

    // Called all through the transfer; the size of the request sent so far tells when it has gone.
    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        if (!channel->hasReached(icRequestSent)) {
            long sent = 0;
            curl_easy_getinfo(easyOf(channel->m_easy), CURLINFO_REQUEST_SIZE, &sent);
            if (sent > 0)
                channel->reach(icRequestSent);
        }
        return 0;
    }

    static size_t header(char* line, size_t size, size_t count, void* self)
    {
        auto* channel = static_cast<TransferChannel*>(self);
        const size_t length = size * count;
        channel->reach(icReceivingResponse);
        // libcurl hands over a head line by line and ends it with a line that starts with CR or LF.
        if (length == 0 || (line[0] != '\r' && line[0] != '\n'))
            return length;
        long status = 0;
        curl_easy_getinfo(easyOf(channel->m_easy), CURLINFO_RESPONSE_CODE, &status);
        if (status <= 0)
            return length;
        // A complete head whose status line libcurl has taken, of any status: the server has answered in HTTP. An
        // interim one (1xx) counts too, since what follows it cannot make the server any less there. The transfer
        // ends here, without waiting for more: a short count is libcurl's way to stop a transfer from a callback.
        channel->m_headComplete = true;
        channel->reach(icResponseReceived);
        return 0;
    }

    static size_t discard(char*, size_t size, size_t count, void*) { return size * count; }
};

TransferChannel::TransferChannel(int requestTimeoutMs, QObject* parent)
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

bool TransferChannel::Execute(const QString& address, const QString& operation)
{
    if (m_busy || operation != QLatin1String("HEAD"))
        return false;
    const QByteArray url = requestUrl(address);
    if (url.isEmpty())
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
    // Without a proxy of ours libcurl takes the one the environment names.
    if (const std::optional<QByteArray> proxy = proxyFor(QUrl::fromEncoded(url)))
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy->constData());
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // One question per address and run: the connection is of no use once the answer is in. Left open, idle
    // connections would pile up one per server visited until the program runs out of descriptors.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // The whole exchange, look-up included, within the time-out; the addresses of a name one after the other.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(m_timeoutMs));
    curl_easy_setopt(easy, CURLOPT_HAPPY_EYEBALLS_TIMEOUT_MS, long(m_timeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A request cut off in the middle of its look-up (time-out, Cancel) leaves the look-up's thread to finish on
    // its own instead of waiting for it here, on the window's thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // A revocation list that cannot be fetched says nothing about the server.
    curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
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

    m_reached = 0;
    m_reported = icNone;
    m_final.reset();
    m_headComplete = false;
    m_shortage = false;
    m_easy = easy;
    m_busy = true;
    // First: the transfer starts inside add(), and stages of its own may already follow.
    reach(icResolvingHost);
    if (!m_multi->add(easy)) {
        m_busy = false;
        release();
        return false;
    }
    return true;
}

void TransferChannel::transferDone(int result)
{
    const bool answered = m_headComplete;
    // No answer because this program could not get a socket, a descriptor or memory says nothing about the
    // server; nor does any failure while the program is short of descriptors (a name look-up that could not open
    // its socket, say), which is the one look at the descriptors a request costs. A time-out is the server's
    // silence. (libcurl's own CURLE_OUT_OF_MEMORY is no such sign: it also stands for a head too large to take.)
    long osError = 0;
    if (!answered)
        curl_easy_getinfo(easyOf(m_easy), CURLINFO_OS_ERRNO, &osError);
    m_failedLocally =
        !answered && (m_shortage || platform::isResourceShortage(int(osError)) ||
                      (result != CURLE_OPERATION_TIMEDOUT && !platform::descriptorsAvailable(kDescriptorReserve)));
    release();
    m_final = answered ? icResponseCompleted : icError;
    reach(*m_final);
}

void TransferChannel::Cancel()
{
    if (!m_busy)
        return;
    // What has been reached and not reported yet is not reported any more.
    m_busy = false;
    release();
}

void TransferChannel::setRequestTimeout(int ms)
{
    m_timeoutMs = qMax(1, ms);
}

bool TransferChannel::hasReached(State stage) const
{
    return (m_reached & (1u << stage)) != 0;
}

void TransferChannel::reach(State stage)
{
    m_reached |= 1u << stage;
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
    for (int stage = m_reported + 1; m_busy && stage <= icDisconnected; ++stage) {
        if (hasReached(State(stage))) {
            m_reported = State(stage);
            emit StateChanged(m_reported);
        }
    }
    if (m_busy && m_final) {
        m_busy = false;
        emit StateChanged(*m_final);
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
