#include "checker/TransferChannel.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QHostAddress>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

#include "platform/Descriptors.h"

namespace checker
{

namespace
{

// The system's proxy settings, except that loopback hosts are always reached directly: the global
// system-proxy factory has that exception built in, a per-manager factory has to make it itself.
class SystemProxyFactory : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        const QString host = query.peerHostName();
        // No host at all is the drain request of a retired manager, which must fail where it is.
        if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
            QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

bool schemeSupported(const QString& scheme)
{
    if (scheme == QLatin1String("http"))
        return true;
#if QT_CONFIG(ssl)
    if (scheme == QLatin1String("https"))
        return QSslSocket::supportsSsl();
#endif
    return false;
}

} // namespace

TransferChannel::TransferChannel(int requestTimeoutMs, QObject* parent)
    : QObject(parent), m_deadline(new QTimer(this)), m_timeoutMs(qMax(1, requestTimeoutMs))
{
    m_manager = makeManager();
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &TransferChannel::conclude);
}

TransferChannel::~TransferChannel()
{
    release();
}

QNetworkAccessManager* TransferChannel::makeManager()
{
    auto* manager = new QNetworkAccessManager(this);
    manager->setProxyFactory(new SystemProxyFactory);
    manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // Leaving the authenticator untouched sends no credentials: the 401 itself is the answer.
    connect(manager, &QNetworkAccessManager::authenticationRequired, this, [](QNetworkReply*, QAuthenticator*) {});
    connect(manager, &QNetworkAccessManager::proxyAuthenticationRequired, this,
            [](const QNetworkProxy&, QAuthenticator*) {});
    // The manager's network thread is started now, not at its first real request: a run starts every
    // channel's first request at the same moment, and a thread whose event loop cannot get a descriptor
    // takes the whole program down. A request without a host starts the thread and fails in it at once.
    if (platform::descriptorsAvailable(kDescriptorReserve)) {
        QNetworkReply* warmUp = manager->head(QNetworkRequest(QUrl(QStringLiteral("http://"))));
        connect(warmUp, &QNetworkReply::finished, warmUp, &QObject::deleteLater);
    }
    return manager;
}

void TransferChannel::retireManager()
{
    // Qt reads a response head one byte at a time straight from the socket and goes back to its network
    // thread's event loop only when no byte is waiting. A server that keeps sending (a head of megabytes,
    // 1xx responses without end) holds that thread, and with it the abort, for as long as it sends:
    // a later request on the same manager would wait behind it, and deleting the manager would wait up
    // to 5 s for the thread. So the next request goes to a fresh manager, and the old one is deleted once
    // its thread has come back: a request without a host fails inside that thread at once (no look-up,
    // no connection), and it is handled only after the abort, which was posted to the thread first.
    QNetworkAccessManager* old = m_manager;
    disconnect(old, nullptr, this, nullptr);
    old->setParent(nullptr);
    QNetworkReply* drain = old->head(QNetworkRequest(QUrl(QStringLiteral("http://"))));
    connect(drain, &QNetworkReply::finished, old, &QObject::deleteLater);
    m_manager = makeManager();
}

QUrl TransferChannel::requestUrl(const QString& address)
{
    // Decided here rather than by the network layer: Qt turns an invalid URL or port into a misleading
    // "connection refused" and an empty host into a name look-up.
    QUrl url(address, QUrl::TolerantMode);
    if (address.isEmpty() || !url.isValid() || !schemeSupported(url.scheme()) || url.host().isEmpty())
        return QUrl();
    const int port = url.port();
    if (port != -1 && (port < 1 || port > 65535))
        return QUrl();
    url.setUserInfo(QString());
    return url;
}

bool TransferChannel::Execute(const QString& address, const QString& operation)
{
    if (m_reply || operation != QLatin1String("HEAD"))
        return false;
    const QUrl url = requestUrl(address);
    if (!url.isValid())
        return false;
    // A request needs a socket, and the first one of a network manager also a thread whose event loop
    // needs a descriptor of its own; a thread that cannot get one takes the whole program down. Out of
    // descriptors, the request is not made at all: that is this program's shortage, not the server's.
    m_failedLocally = false;
    if (!platform::descriptorsAvailable(kDescriptorReserve)) {
        m_failedLocally = true;
        return false;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // One question per address and run: the connection is of no further use once the answer is in. Left
    // open, idle connections would pile up one per server visited until the program runs out of
    // descriptors, on servers that keep them open for minutes. The header asks the server to close; the
    // zero expiry makes Qt close its side some 10 ms after the answer, whatever the server does.
    request.setRawHeader("Connection", "close");
    request.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute, 0);
    const quint64 serial = ++m_serial;
    // "Requesting" is reported as an event of its own, so that no report runs inside the caller's
    // Execute. It is posted before the request is handed to the network thread, whose reports are
    // posted to this thread later and therefore come after it.
    QMetaObject::invokeMethod(
        this, [this, serial] { progress(serial, icRequesting); }, Qt::QueuedConnection);
    QNetworkReply* reply = m_manager->head(request);
    if (!reply)
        return false;

    m_reply = reply;
    m_progress = icNone;
    connect(reply, &QNetworkReply::requestSent, this, [this, serial] { progress(serial, icRequestSent); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, serial] { progress(serial, icResponseReceived); });
    connect(reply, &QNetworkReply::finished, this, &TransferChannel::conclude);
    m_deadline->start(m_timeoutMs);
    return true;
}

bool TransferChannel::isLocalShortage(const QNetworkReply* reply)
{
    // Qt reports a socket it could not create (out of descriptors, buffers or memory) as an unknown
    // network error whose text is the socket layer's own, translated like ours. The other unknown network
    // errors (unreachable network or host) are about the way to the server. A failure of any kind while
    // the program is still short of descriptors (a name look-up that could not open its files, say)
    // cannot be trusted either.
    const QString outOfResources = QCoreApplication::translate("QNativeSocketEngine", "Out of resources");
    if (reply->error() == QNetworkReply::UnknownNetworkError && reply->errorString() == outOfResources)
        return true;
    return reply->error() != QNetworkReply::OperationCanceledError &&
           !platform::descriptorsAvailable(kDescriptorReserve);
}

bool TransferChannel::StillExecuting() const
{
    return !m_reply.isNull();
}

void TransferChannel::Cancel()
{
    release();
}

void TransferChannel::setRequestTimeout(int ms)
{
    m_timeoutMs = qMax(1, ms);
}

void TransferChannel::progress(quint64 serial, State state)
{
    // Only for the request in progress, and only forwards: the dial never turns back.
    if (!m_reply || serial != m_serial || state <= m_progress)
        return;
    m_progress = state;
    emit StateChanged(state);
}

void TransferChannel::conclude()
{
    if (!m_reply)
        return;
    // A status code means the server answered, whatever error() makes of the status; at the deadline
    // a response whose headers are in counts as answered too. The channel is idle before the report, so
    // that the receiver may start the next request at once.
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = status.isValid();
    m_failedLocally = !answered && isLocalShortage(m_reply);
    // Qt waits past a 100 Continue, but takes any other 1xx for the whole response and keeps the
    // connection for the next request, with the rest of the server's answer (or its silence) still on
    // it. That connection goes with the manager.
    const bool interim = answered && status.toInt() < 200;
    release();
    if (interim)
        retireManager();
    emit StateChanged(answered ? icResponseCompleted : icError);
}

void TransferChannel::release()
{
    m_deadline->stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    // abort() emits finished synchronously: cut the reply off from us first.
    disconnect(reply, nullptr, this, nullptr);
    const bool running = reply->isRunning();
    if (running)
        reply->abort();
    reply->deleteLater();
    if (running)
        retireManager();
}

} // namespace checker
