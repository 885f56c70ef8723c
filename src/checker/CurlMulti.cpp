#include "checker/CurlMulti.h"

#include <vector>

#include <curl/curl.h>

#include <QSocketNotifier>
#include <QThreadStorage>

#include "checker/TransferChannel.h"
#include "platform/Descriptors.h"

namespace checker
{

namespace
{

CURLM* multiOf(void* multi)
{
    return static_cast<CURLM*>(multi);
}

// One per thread: a channel's notifiers and timer belong to the thread whose event loop drives them.
QThreadStorage<std::weak_ptr<CurlMulti>> perThread;

} // namespace

struct CurlMulti::Callbacks
{
    static int socket(CURL*, curl_socket_t s, int what, void* self, void*)
    {
        static_cast<CurlMulti*>(self)->watch(qintptr(s), what);
        return 0;
    }

    static int timer(CURLM*, long timeoutMs, void* self)
    {
        // Never acted on here: libcurl must not be called from inside its own callback.
        QTimer& t = static_cast<CurlMulti*>(self)->m_timer;
        if (timeoutMs < 0)
            t.stop();
        else
            t.start(int(qMin<long>(timeoutMs, 24L * 3600 * 1000)));
        return 0;
    }
};

std::shared_ptr<CurlMulti> CurlMulti::forThisThread()
{
    std::shared_ptr<CurlMulti> multi = perThread.localData().lock();
    if (!multi) {
        multi.reset(new CurlMulti);
        perThread.localData() = multi;
    }
    return multi;
}

int CurlMulti::features()
{
    static const int features = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        return info ? info->features : 0;
    }();
    return features;
}

CurlMulti::CurlMulti()
{
    if (!(features() & CURL_VERSION_ASYNCHDNS))
        qWarning("libcurl looks names up only synchronously: every look-up holds up the event loop");
    m_multi = curl_multi_init();
    curl_multi_setopt(multiOf(m_multi), CURLMOPT_SOCKETFUNCTION, &Callbacks::socket);
    curl_multi_setopt(multiOf(m_multi), CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multiOf(m_multi), CURLMOPT_TIMERFUNCTION, &Callbacks::timer);
    curl_multi_setopt(multiOf(m_multi), CURLMOPT_TIMERDATA, this);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { act(qintptr(CURL_SOCKET_TIMEOUT), 0); });
    m_recheck.setInterval(platform::socketRecheckIntervalMs());
    QObject::connect(&m_recheck, &QTimer::timeout, [this] { recheck(); });
}

CurlMulti::~CurlMulti()
{
    // Every channel has removed its handle by now; the notifiers go with their parent.
    curl_multi_cleanup(multiOf(m_multi));
}

bool CurlMulti::add(void* easy)
{
    if (curl_multi_add_handle(multiOf(m_multi), static_cast<CURL*>(easy)) != CURLM_OK)
        return false;
    // The transfer starts now rather than one turn of the event loop later, at the time-out libcurl asks for.
    m_timer.stop();
    act(qintptr(CURL_SOCKET_TIMEOUT), 0);
    return true;
}

void CurlMulti::remove(void* easy)
{
    curl_multi_remove_handle(multiOf(m_multi), static_cast<CURL*>(easy));
}

void CurlMulti::watch(qintptr socket, int what)
{
    Watch& w = m_watches[socket];
    auto want = [&](QSocketNotifier*& notifier, QSocketNotifier::Type type, int event, bool on) {
        if (on && !notifier) {
            notifier = new QSocketNotifier(socket, type, &m_notifiers);
            QObject::connect(notifier, &QSocketNotifier::activated, [this, socket, event] { act(socket, event); });
        } else if (!on && notifier) {
            // This may run inside that notifier's own signal: it goes once the signal has returned.
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
        }
    };
    const bool remove = what == CURL_POLL_REMOVE;
    want(w.read, QSocketNotifier::Read, CURL_CSELECT_IN, !remove && (what & CURL_POLL_IN));
    want(w.write, QSocketNotifier::Write, CURL_CSELECT_OUT, !remove && (what & CURL_POLL_OUT));
    if (remove)
        m_watches.erase(socket);
    // Where the platform's notifiers may miss an event, libcurl looks at each watched socket again now and then,
    // whatever the notifiers say.
    if (m_watches.empty())
        m_recheck.stop();
    else if (!m_recheck.isActive() && m_recheck.interval() > 0)
        m_recheck.start();
}

void CurlMulti::recheck()
{
    std::vector<qintptr> sockets;
    sockets.reserve(m_watches.size());
    for (const auto& [socket, w] : m_watches)
        sockets.push_back(socket);
    // No event named: libcurl finds out itself what the socket has for it.
    for (qintptr socket : sockets)
        act(socket, 0);
}

void CurlMulti::act(qintptr socket, int events)
{
    int running = 0;
    curl_multi_socket_action(multiOf(m_multi), curl_socket_t(socket), events, &running);
    collectFinished();
}

void CurlMulti::collectFinished()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multiOf(m_multi), &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        char* channel = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &channel);
        // The channel removes the handle, which ends this message; the loop reads the next one afresh.
        if (channel)
            reinterpret_cast<TransferChannel*>(channel)->transferDone(int(result));
    }
}

} // namespace checker
