// Pace of a whole check run against a fast local server, and what it costs the event loop and memory.
//
//   bench_check                          the full set of figures (about a minute)
//   bench_check --serve ROWS             only the server: 127.0.0.1..9 on one port, /links.html listing
//                                        ROWS links over 127.0.0.2..9; prints "PORT <n>" and serves until
//                                        killed (used by check_vs_linkchecker.sh)
//   bench_check --run THREADS ROWS       one timed run against the benchmark's own server
//   bench_check --client PORT THREADS ROWS
//                                        one timed run over the links of a server started with --serve
//
// The server runs on a thread of its own, so it never waits on the checker's event loop.

#if __has_include("support/LoopbackHttpServer.h")

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "checker/TransferChannel.h"
#include "favorites/Catalogue.h"
#include "support/CheckerRows.h"
#include "support/LoopbackHttpServer.h"
#include "table/LinkTable.h"

using testsupport::LoopbackHttpServer;

namespace
{

constexpr int kHosts = 8; // 127.0.0.2 .. 127.0.0.9

QHostAddress hostAddress(int i)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + i % kHosts));
}

QString linkUrl(int i, quint16 port)
{
    return QStringLiteral("http://%1:%2/200?i=%3").arg(hostAddress(i).toString()).arg(port).arg(i);
}

// Listens on 127.0.0.1 (the page) and 127.0.0.2..9 (the links), all on one port.
quint16 listenEverywhere(LoopbackHttpServer& server)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto* candidate = new LoopbackHttpServer;
        if (!candidate->listen(QHostAddress(QHostAddress::LocalHost), 0)) {
            delete candidate;
            continue;
        }
        const quint16 port = candidate->port();
        delete candidate;
        bool ok = server.listen(QHostAddress(QHostAddress::LocalHost), port);
        for (int i = 0; ok && i < kHosts; ++i)
            ok = server.listen(hostAddress(i), port);
        if (ok)
            return port;
    }
    return 0;
}

// The server and its thread; every access from outside goes through the server's own thread.
class ServerThread
{
public:
    ServerThread()
    {
        m_server = new LoopbackHttpServer;
        m_server->setRecordRequests(false);
        m_server->moveToThread(&m_thread);
        m_thread.start();
        call([this] { m_port = listenEverywhere(*m_server); });
    }
    ~ServerThread()
    {
        call([this] { delete m_server; });
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }
    template <typename F> void call(F f) { QMetaObject::invokeMethod(m_server, f, Qt::BlockingQueuedConnection); }
    int maxOpenConnections()
    {
        int n = 0;
        call([&] { n = m_server->maxOpenConnections(); });
        return n;
    }
    int maxInFlight()
    {
        int n = 0;
        call([&] { n = m_server->maxInFlight(); });
        return n;
    }
    int total()
    {
        int n = 0;
        call([&] { n = m_server->totalRequests(); });
        return n;
    }
    void reset()
    {
        call([this] { m_server->resetCounters(); });
    }

private:
    QThread m_thread;
    LoopbackHttpServer* m_server = nullptr;
    quint16 m_port = 0;
};

qint64 statusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct RunFigures
{
    int verdicts = 0;
    int yes = 0;
    qint64 workMs = 0; // start to last verdict
    qint64 runMs = 0;  // start to runFinished (includes the completion watch's granularity)
    qint64 maxStallMs = 0;
    double meanRequestMs = 0; // from "requesting" to the final state, per request
};

// One whole run with the default intervals (40 ms ticks, 800 ms watch).
RunFigures timedRun(int rows, int threads, quint16 port)
{
    favorites::Catalogue catalogue;
    table::LinkTable linkTable;
    QStringList urls;
    urls.reserve(rows);
    for (int i = 0; i < rows; ++i)
        urls << linkUrl(i, port);
    testsupport::setRows(catalogue, linkTable, urls);

    checker::LinkChecker checker(catalogue, linkTable);
    checker.Slider1_Change(threads);

    RunFigures figures;
    QElapsedTimer clock;
    QObject::connect(&checker, &checker::LinkChecker::verdict, [&](int, const QString& value) {
        ++figures.verdicts;
        if (value == table::kYes)
            ++figures.yes;
        figures.workMs = clock.elapsed();
    });

    std::vector<qint64> requestStart(std::size_t(threads), -1);
    qint64 requestNs = 0;
    int requestsTimed = 0;
    QObject::connect(&checker, &checker::LinkChecker::indicatorChanged, [&](int channel, int picture) {
        qint64& start = requestStart[std::size_t(channel)];
        if (picture == checker::LinkChecker::pictureForState(checker::TransferChannel::icRequesting)) {
            start = clock.nsecsElapsed();
        } else if (picture == checker::LinkChecker::kIdlePicture && start >= 0) {
            requestNs += clock.nsecsElapsed() - start;
            ++requestsTimed;
            start = -1;
        }
    });

    // Lateness of a 5 ms timer tells how long the event loop was kept from its events.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QElapsedTimer sinceProbe;
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { figures.maxStallMs = qMax(figures.maxStallMs, sinceProbe.restart() - 5); });

    QEventLoop loop;
    QObject::connect(&checker, &checker::LinkChecker::runFinished, &loop, &QEventLoop::quit);
    clock.start();
    sinceProbe.start();
    probe.start();
    checker.StartTh();
    loop.exec();
    figures.runMs = clock.elapsed();
    figures.meanRequestMs = requestsTimed > 0 ? requestNs / 1e6 / requestsTimed : 0.0;
    return figures;
}

void printRun(const char* label, int rows, int threads, const RunFigures& f)
{
    const double rate = f.workMs > 0 ? rows * 1000.0 / double(f.workMs) : 0.0;
    const double cap = 25.0 * threads;
    const double ideal = std::ceil(double(rows) / threads) * 40.0;
    std::printf("%-10s %5d rows %2d ch: %5d verdicts (%d YES)  work %7.2f s  run %7.2f s  %7.1f rows/s  "
                "cap %6.0f  %5.1f%% of cap  (ideal %.2f s)  max stall %lld ms  request %.2f ms\n",
                label, rows, threads, f.verdicts, f.yes, f.workMs / 1000.0, f.runMs / 1000.0, rate, cap,
                100.0 * rate / cap, ideal / 1000.0, static_cast<long long>(f.maxStallMs), f.meanRequestMs);
    std::fflush(stdout);
}

// How many requests to one host run at once through one shared manager, and through one per channel.
void connectionCap(ServerThread& server)
{
    const int requests = 24;
    const QString url = QStringLiteral("http://127.0.0.2:%1/slow?ms=300").arg(server.port());

    server.reset();
    {
        QNetworkAccessManager shared;
        int done = 0;
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < requests; ++i) {
            QNetworkReply* reply = shared.head(QNetworkRequest(QUrl(url)));
            QObject::connect(reply, &QNetworkReply::finished, [&, reply] {
                reply->deleteLater();
                if (++done == requests)
                    loop.quit();
            });
        }
        loop.exec();
        std::printf("one shared manager:   %d HEAD requests of 300 ms to one host: %.2f s, at most %d at once\n",
                    requests, clock.elapsed() / 1000.0, server.maxInFlight());
    }
    server.reset();
    {
        std::vector<std::unique_ptr<checker::TransferChannel>> channels;
        int done = 0;
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < requests; ++i) {
            channels.push_back(std::make_unique<checker::TransferChannel>());
            QObject::connect(channels.back().get(), &checker::TransferChannel::StateChanged, [&](int state) {
                if (state >= checker::TransferChannel::icError && ++done == requests)
                    loop.quit();
            });
            channels.back()->Execute(url, QStringLiteral("HEAD"));
        }
        loop.exec();
        std::printf("one manager/channel:  %d HEAD requests of 300 ms to one host: %.2f s, at most %d at once\n",
                    requests, clock.elapsed() / 1000.0, server.maxInFlight());
    }
    std::fflush(stdout);
}

int serve(int rows)
{
    LoopbackHttpServer server;
    server.setRecordRequests(false);
    const quint16 port = listenEverywhere(server);
    if (port == 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1..9\n");
        return 1;
    }
    QByteArray page = "<!DOCTYPE html>\n<html><head><title>links</title></head><body>\n";
    for (int i = 0; i < rows; ++i)
        page += "<a href=\"" + linkUrl(i, port).toLatin1() + "\">" + QByteArray::number(i) + "</a>\n";
    page += "</body></html>\n";
    LoopbackHttpServer::Route route;
    route.body = page;
    route.extraHeaders = "Content-Type: text/html; charset=utf-8\r\n";
    server.setRoute(QStringLiteral("/links.html"), route);
    std::printf("PORT %u\n", unsigned(port));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int client(quint16 port, int threads, int rows)
{
    const RunFigures f = timedRun(rows, threads, port);
    printRun("tessaly", rows, threads, f);
    return f.verdicts == rows ? 0 : 1;
}

int fullSet()
{
    ServerThread server;
    if (server.port() == 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.2..9\n");
        return 1;
    }
    std::printf("server: 127.0.0.2..9 port %u, own thread; intervals 40 ms / 800 ms; %d cores\n",
                unsigned(server.port()), QThread::idealThreadCount());
    connectionCap(server);

    for (int threads : {1, 10, 40}) {
        server.reset();
        const RunFigures f = timedRun(1000, threads, server.port());
        printRun("run", 1000, threads, f);
        std::printf("           server saw %d requests over at most %d connections\n", server.total(),
                    server.maxOpenConnections());
    }

    const qint64 hwmBefore = statusKb("VmHWM:");
    const qint64 rssBefore = statusKb("VmRSS:");
    server.reset();
    const RunFigures big = timedRun(10000, 40, server.port());
    printRun("big run", 10000, 40, big);
    std::printf("memory: VmHWM %lld kB before, %lld kB after; VmRSS %lld kB before, %lld kB after\n",
                static_cast<long long>(hwmBefore), static_cast<long long>(statusKb("VmHWM:")),
                static_cast<long long>(rssBefore), static_cast<long long>(statusKb("VmRSS:")));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--serve"))
        return serve(args[2].toInt());
    if (args.size() >= 5 && args[1] == QLatin1String("--client"))
        return client(quint16(args[2].toUInt()), args[3].toInt(), args[4].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("--run")) {
        ServerThread server;
        const int rows = args[3].toInt();
        const RunFigures f = timedRun(rows, args[2].toInt(), server.port());
        printRun("run", rows, args[2].toInt(), f);
        return 0;
    }
    return fullSet();
}

#else

#include <cstdio>

int main()
{
    std::printf("bench_check needs the test support library (configure with BUILD_TESTING on)\n");
    return 0;
}

#endif
