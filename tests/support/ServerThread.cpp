#include "support/ServerThread.h"

#include <QMetaObject>

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

int ServerThread::openConnections()
{
    int n = 0;
    call([&](LoopbackHttpServer& server) { n = server.openConnections(); });
    return n;
}

int ServerThread::acceptedConnections()
{
    int n = 0;
    call([&](LoopbackHttpServer& server) { n = server.acceptedConnections(); });
    return n;
}

int ServerThread::totalRequests()
{
    int n = 0;
    call([&](LoopbackHttpServer& server) { n = server.totalRequests(); });
    return n;
}

qint64 ServerThread::floodedBytes()
{
    qint64 n = 0;
    call([&](LoopbackHttpServer& server) { n = server.floodedBytes(); });
    return n;
}

} // namespace testsupport
