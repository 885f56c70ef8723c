#pragma once

#include <memory>
#include <unordered_map>

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace checker
{

/// libcurl's multi interface driven by the event loop of one thread: a socket notifier for each socket libcurl
/// asks to watch and one timer for the time-outs it asks for. The transfer channels of a thread share it; it
/// lives while one of them does. A finished transfer is handed to its channel (the easy handle's private
/// pointer) outside every libcurl callback, so that the channel may release its handle there.
class CurlMulti
{
    Q_DISABLE_COPY_MOVE(CurlMulti)

public:
    /// The multi handle of the calling thread, made when none is alive.
    static std::shared_ptr<CurlMulti> forThisThread();
    ~CurlMulti();

    /// The features of the linked libcurl (CURL_VERSION_*), after its one global initialisation.
    static int features();

    /// Adds an easy handle whose private pointer is its TransferChannel and starts its transfer; false when
    /// libcurl refuses it. A transfer that ends at once is handed to its channel before this returns. Must not be
    /// called from inside a libcurl callback.
    bool add(void* easy);
    /// Removes an easy handle; its connection is closed. Must not be called from inside a libcurl callback.
    void remove(void* easy);

private:
    CurlMulti();

    struct Callbacks; // libcurl's socket and timer callbacks
    void watch(qintptr socket, int what);
    void act(qintptr socket, int events);
    void recheck();
    void collectFinished();

    struct Watch
    {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    void* m_multi = nullptr;
    QObject m_notifiers; // parent of every socket notifier, also of those on their way out
    QTimer m_timer;      // libcurl's one time-out
    QTimer m_recheck;    // looks at every watched socket again now and then, where the platform needs it
    std::unordered_map<qintptr, Watch> m_watches;
};

} // namespace checker
