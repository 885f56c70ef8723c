#pragma once

#include <functional>

#include <QHostAddress>
#include <QString>
#include <QThread>

#include "support/LoopbackHttpServer.h"

namespace testsupport
{

/// A LoopbackHttpServer on a thread of its own, as a server on another machine would be: a server
/// busy flooding or trickling never waits on the event loop of the code under test, nor the other way
/// round. Every access to the server goes through its thread.
class ServerThread
{
    Q_DISABLE_COPY_MOVE(ServerThread)

public:
    /// Starts the thread with a server that has no listener yet.
    ServerThread();
    /// Deletes the server on its thread, which closes every connection, and ends the thread.
    ~ServerThread();

    /// Runs f on the server's thread and returns when it is done.
    void call(const std::function<void(LoopbackHttpServer&)>& f);

    /// LoopbackHttpServer::listen on the server's thread; false when it refuses.
    bool listen(const QHostAddress& address, quint16 port = 0,
                LoopbackHttpServer::OnAccept onAccept = LoopbackHttpServer::OnAccept::Serve);
    /// LoopbackHttpServer::listenTls on the server's thread; false when it refuses.
    bool listenTls(const QHostAddress& address, quint16 port = 0);
    /// Listens on the address of every server of the spread 0..count-1 that is not Refused (see
    /// CheckerRows.h), all on one port, and returns that port; 0 when no common port could be bound.
    quint16 listenSpread(int count);
    /// LoopbackHttpServer::listenNameService on the server's thread; false when it refuses.
    bool listenNameService(const QHostAddress& address, quint16 port, const QHostAddress& answer, int delayMs,
                           const QStringList& names = QStringList());
    /// LoopbackHttpServer::url of listener i.
    QString url(const QString& path, int listener = 0);
    /// Adds or replaces the behaviour of a path.
    void setRoute(const QString& path, const LoopbackHttpServer::Route& route);

    int openConnections() { return read(&LoopbackHttpServer::openConnections); }
    int maxOpenConnections() { return read(&LoopbackHttpServer::maxOpenConnections); }
    int maxInFlight() { return read(&LoopbackHttpServer::maxInFlight); }
    int acceptedConnections() { return read(&LoopbackHttpServer::acceptedConnections); }
    int totalRequests() { return read(&LoopbackHttpServer::totalRequests); }
    qint64 floodedBytes() { return read(&LoopbackHttpServer::floodedBytes); }
    int lookupsInFlight() { return read(&LoopbackHttpServer::lookupsInFlight); }
    int maxLookupsInFlight() { return read(&LoopbackHttpServer::maxLookupsInFlight); }
    int queriesAnswered() { return read(&LoopbackHttpServer::queriesAnswered); }
    /// LoopbackHttpServer::resetCounters on the server's thread.
    void resetCounters();

private:
    /// One of the server's counters, read on its thread.
    template <typename T> T read(T (LoopbackHttpServer::*counter)() const)
    {
        T value{};
        call([&](LoopbackHttpServer& server) { value = (server.*counter)(); });
        return value;
    }

    QThread m_thread;
    LoopbackHttpServer* m_server = nullptr;
};

} // namespace testsupport
