#include "support/ServerThread.h"

#include <QMetaObject>

#include "support/CheckerRows.h"

namespace testsupport
{

ServerThread::ServerThread()
{
    m_server = new LoopbackHttpServer;
    m_server->moveToThread(&m_thread);
    m_thread.start();
}

ServerThread::~ServerThread()
{
    call([](LoopbackHttpServer& server) { delete &server; });
    m_thread.quit();
    m_thread.wait();
}

void ServerThread::call(const std::function<void(LoopbackHttpServer&)>& f)
{
    LoopbackHttpServer* server = m_server;
    QMetaObject::invokeMethod(
        m_server, [server, &f] { f(*server); }, Qt::BlockingQueuedConnection);
}

bool ServerThread::listen(const QHostAddress& address, quint16 port, LoopbackHttpServer::OnAccept onAccept)
{
    bool ok = false;
    call([&](LoopbackHttpServer& server) { ok = server.listen(address, port, onAccept); });
    return ok;
}

bool ServerThread::listenTls(const QHostAddress& address, quint16 port)
{
    bool ok = false;
    call([&](LoopbackHttpServer& server) { ok = server.listenTls(address, port); });
    return ok;
}

quint16 ServerThread::listenSpread(int count)
{
    quint16 port = 0;
    call([&](LoopbackHttpServer& server) {
        // The first address takes any free port; nothing else listens on 127.66.x.y, so the others get it too.
        int first = 0;
        while (first < count && spreadKind(first) == SpreadKind::Refused)
            ++first;
        if (first == count || !server.listen(spreadAddress(first), 0))
            return;
        const quint16 candidate = server.port(0);
        for (int i = first + 1; i < count; ++i) {
            if (spreadKind(i) != SpreadKind::Refused && !server.listen(spreadAddress(i), candidate))
                return;
        }
        port = candidate;
    });
    return port;
}

bool ServerThread::listenNameService(const QHostAddress& address, quint16 port, const QHostAddress& answer, int delayMs,
                                     const QStringList& names)
{
    bool ok = false;
    call([&](LoopbackHttpServer& server) { ok = server.listenNameService(address, port, answer, delayMs, names); });
    return ok;
}

QString ServerThread::url(const QString& path, int listener)
{
    QString text;
    call([&](LoopbackHttpServer& server) { text = server.url(path, listener); });
    return text;
}

void ServerThread::setRoute(const QString& path, const LoopbackHttpServer::Route& route)
{
    call([&](LoopbackHttpServer& server) { server.setRoute(path, route); });
}

void ServerThread::resetCounters()
{
    call([](LoopbackHttpServer& server) { server.resetCounters(); });
}

} // namespace testsupport
