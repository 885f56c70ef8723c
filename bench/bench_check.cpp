// Pace of a whole check run against a fast local server (over http and over https), and what it costs the event loop
// and memory; how the channels' first ticks spread; what a hostile server costs once its verdict is in.
//
//   bench_check           the full set of figures (a few minutes)
//   bench_check --help    the options for single runs and servers (kUsage below)
//
// The server runs on a thread of its own, so it never waits on the checker's event loop.

#if __has_include("support/LoopbackHttpServer.h")

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QUrl>
#include <QThread>
#include <QTimer>

#include "checker/LinkChecker.h"
#include "checker/TransferChannel.h"
#include "platform/Descriptors.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/LoopbackHttpServer.h"
#include "support/ProcessStatus.h"
#include "support/ServerThread.h"
#include "table/LinkTable.h"

using testsupport::LoopbackHttpServer;

namespace
{

constexpr int kHosts = 8; // 127.0.0.2 .. 127.0.0.9

QHostAddress hostAddress(int i)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + i % kHosts));
}

QString linkUrl(int i, quint16 port, bool https = false)
{
    return QStringLiteral("%1://%2:%3/200?i=%4")
        .arg(QLatin1String(https ? "https" : "http"), hostAddress(i).toString())
        .arg(port)
        .arg(i);
}

// Processor time (user and system) of this process, and of the calling thread, in ms.
double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Listens on 127.0.0.1 (the page) and 127.0.0.2..9 (the links), all on one port, plain or over TLS.
quint16 listenEverywhere(LoopbackHttpServer& server, bool tls = false)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const quint16 port = LoopbackHttpServer::closedPort();
        auto listen = [&](const QHostAddress& address) {
            return tls ? server.listenTls(address, port) : server.listen(address, port);
        };
        bool ok = port != 0 && listen(QHostAddress(QHostAddress::LocalHost));
        for (int i = 0; ok && i < kHosts; ++i)
            ok = listen(hostAddress(i));
        if (ok)
            return port;
    }
    return 0;
}

// The benchmark's server on a thread of its own, listening on 127.0.0.1..9, on one port plainly and on another over
// TLS.
class BenchServer : public testsupport::ServerThread
{
public:
    BenchServer()
    {
        call([this](LoopbackHttpServer& server) {
            server.setRecordRequests(false);
            m_port = listenEverywhere(server);
            m_tlsPort = listenEverywhere(server, true);
        });
    }
    quint16 port(bool tls = false) const { return tls ? m_tlsPort : m_port; }
    /// The processor time the server's thread has used so far, in ms.
    double cpuMs()
    {
        double ms = 0;
        call([&](LoopbackHttpServer&) { ms = threadCpuMs(); });
        return ms;
    }

private:
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};

struct RunFigures
{
    int verdicts = 0;
    int yes = 0;
    qint64 workMs = 0; // start to last verdict
    qint64 runMs = 0;  // start to runFinished (includes the completion watch's granularity)
    qint64 maxStallMs = 0;
    double meanRequestMs = 0; // from the first stage reported to the end, per request
    int wrong = -1;           // verdicts other than expected, when expected verdicts are given
    int maxSockets = -1;      // peaks of this process's open sockets and descriptors, when sampled
    int maxDescriptors = -1;
    double cpuMs = 0; // this process's processor time over the run
};

QStringList plainUrls(int rows, quint16 port, bool https = false)
{
    QStringList urls;
    urls.reserve(rows);
    for (int i = 0; i < rows; ++i)
        urls << linkUrl(i, port, https);
    return urls;
}

// One whole run with the default intervals (40 ms ticks, 800 ms watch). With expected verdicts, also
// counts the rows that got another one and samples the open sockets and descriptors every 5 ms.
RunFigures timedRun(const QStringList& urls, int threads, const QStringList& expected = QStringList())
{
    table::LinkTable linkTable;
    testsupport::setRows(linkTable, urls);

    checker::LinkChecker checker(linkTable);
    checker.setThreadCount(threads);
    checker.setHttpsAsked(true);

    RunFigures figures;
    QElapsedTimer clock;
    QObject::connect(&checker, &checker::LinkChecker::verdict, [&](int, table::Verdict value) {
        ++figures.verdicts;
        if (value == table::Verdict::Alive)
            ++figures.yes;
        figures.workMs = clock.elapsed();
    });

    std::vector<qint64> requestStart(std::size_t(threads), -1);
    qint64 requestNs = 0;
    int requestsTimed = 0;
    // From the first stage a request reports to its end.
    QObject::connect(&checker, &checker::LinkChecker::channelStageChanged, [&](int channel) {
        if (requestStart[std::size_t(channel)] < 0)
            requestStart[std::size_t(channel)] = clock.nsecsElapsed();
    });
    QObject::connect(&checker, &checker::LinkChecker::channelIdle, [&](int channel) {
        qint64& start = requestStart[std::size_t(channel)];
        if (start >= 0) {
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

    QTimer sampler;
    auto sample = [&] {
        int sockets = 0;
        const int descriptors = testsupport::openDescriptors(&sockets);
        figures.maxSockets = qMax(figures.maxSockets, sockets);
        figures.maxDescriptors = qMax(figures.maxDescriptors, descriptors);
    };
    QObject::connect(&sampler, &QTimer::timeout, sample);

    QEventLoop loop;
    QObject::connect(&checker, &checker::LinkChecker::runFinished, &loop, &QEventLoop::quit);
    clock.start();
    sinceProbe.start();
    probe.start();
    if (!expected.isEmpty()) {
        sample();
        sampler.start(5);
    }
    const double cpuBefore = processCpuMs();
    checker.start();
    loop.exec();
    figures.runMs = clock.elapsed();
    figures.cpuMs = processCpuMs() - cpuBefore;
    figures.meanRequestMs = requestsTimed > 0 ? requestNs / 1e6 / requestsTimed : 0.0;
    if (!expected.isEmpty()) {
        figures.wrong = 0;
        for (int i = 0; i < expected.size(); ++i)
            figures.wrong += table::verdictText(linkTable.verdict(i + 1)) != expected.at(i);
    }
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

// How many requests to one host run at once, one per channel.
void connectionCap(BenchServer& server)
{
    const int requests = 24;
    const QString url = QStringLiteral("http://127.0.0.2:%1/slow?ms=300").arg(server.port());
    server.resetCounters();
    std::vector<std::unique_ptr<checker::TransferChannel>> channels;
    int done = 0;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < requests; ++i) {
        channels.push_back(std::make_unique<checker::TransferChannel>());
        QObject::connect(channels.back().get(), &checker::TransferChannel::finished, [&] {
            if (++done == requests)
                loop.quit();
        });
        channels.back()->head(url);
    }
    loop.exec();
    std::printf("%d channels: %d HEAD requests of 300 ms to one host: %.2f s, at most %d at once\n", requests, requests,
                clock.elapsed() / 1000.0, server.maxInFlight());
    std::fflush(stdout);
}

// Threads of this process with the pool at its largest and nothing to do.
void idleThreads()
{
    table::LinkTable linkTable;
    checker::LinkChecker checker(linkTable);
    const int before = testsupport::processThreadCount();
    checker.setThreadCount(checker::LinkChecker::kMaxThreads);
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("threads while idle: %d with 1 channel, %d with %d channels (the benchmark's server thread included)\n",
                before, testsupport::processThreadCount(), checker::LinkChecker::kMaxThreads);
    std::fflush(stdout);
}

// The many servers of a spread run, in a process of their own: their descriptors are not the checker's.
// One listening socket per loopback address, served through epoll: thousands of idle listeners then cost
// nothing per request, where Qt's event loop would look at every one of them on each turn and become the
// bottleneck of the measurement. Answers HEAD and GET by path (/404 gets 404, anything else 200) and, as
// many web servers do, keeps every connection open until the client closes it.
int serveSpread(int servers)
{
    platform::raiseOpenFileLimit();
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::unordered_map<int, std::string> heads; // open connection -> request bytes not yet answered
    std::unordered_map<int, bool> listeners;
    quint16 port = 0;
    for (int i = 0; i < servers; ++i) {
        if (testsupport::spreadKind(i) == testsupport::SpreadKind::Refused)
            continue;
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(testsupport::spreadAddress(i).toIPv4Address());
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
            std::fprintf(stderr, "cannot listen on %s (open-file limit too low?)\n",
                         qPrintable(testsupport::spreadAddress(i).toString()));
            return 1;
        }
        if (port == 0) {
            socklen_t length = sizeof address;
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            port = ntohs(address.sin_port);
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(poller, EPOLL_CTL_ADD, fd, &event);
        listeners[fd] = true;
    }
    std::printf("PORT %u\n", unsigned(port));
    std::fflush(stdout);

    std::vector<epoll_event> events(256);
    for (;;) {
        const int n = epoll_wait(poller, events.data(), int(events.size()), -1);
        for (int k = 0; k < n; ++k) {
            const int fd = events[std::size_t(k)].data.fd;
            if (listeners.count(fd)) {
                for (int client; (client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                    epoll_event event{};
                    event.events = EPOLLIN;
                    event.data.fd = client;
                    epoll_ctl(poller, EPOLL_CTL_ADD, client, &event);
                    heads[client];
                }
                continue;
            }
            char buffer[4096];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN)
                    continue;
                heads.erase(fd);
                close(fd); // also leaves the epoll set
                continue;
            }
            std::string& head = heads[fd];
            head.append(buffer, std::size_t(got));
            for (std::size_t end; (end = head.find("\r\n\r\n")) != std::string::npos; head.erase(0, end + 4)) {
                const std::size_t target = head.find(' ') + 1; // "HEAD /404 HTTP/1.1"
                const bool notFound = head.compare(target, 5, "/404 ") == 0;
                const char* answer = notFound ? "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"
                                              : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
                // A few dozen bytes always fit in an idle connection's send buffer.
                if (write(fd, answer, std::strlen(answer)) < 0)
                    break;
            }
        }
    }
}

// A check over favorites on as many servers as favorites, with the soft open-file limit at 1024.
int spreadRun(int servers, int threads)
{
    QProcess helper;
    helper.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve-spread"), QString::number(servers)});
    quint16 port = 0;
    while (port == 0 && helper.waitForReadyRead(30000)) {
        const QByteArray line = helper.readLine().trimmed();
        if (line.startsWith("PORT "))
            port = quint16(line.mid(5).toUInt());
    }
    if (port == 0) {
        std::fprintf(stderr, "the server process did not start: %s\n", helper.readAllStandardError().constData());
        return 1;
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(1024, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);

    QStringList urls;
    QStringList expected;
    for (int i = 0; i < servers; ++i) {
        urls << testsupport::spreadUrl(i, port);
        expected << testsupport::spreadVerdict(i);
    }
    const RunFigures f = timedRun(urls, threads, expected);
    printRun("spread", servers, threads, f);
    std::printf("           %d servers, open-file limit %llu: %d wrong verdicts, at most %d sockets and %d "
                "descriptors open\n",
                servers, static_cast<unsigned long long>(limit.rlim_cur), f.wrong, f.maxSockets, f.maxDescriptors);
    std::fflush(stdout);
    helper.kill();
    helper.waitForFinished();
    return f.wrong == 0 && f.verdicts == servers ? 0 : 1;
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

const QHostAddress kNameServer(QStringLiteral("127.0.0.1"));

// In a child with a network namespace of its own: a check over favorites on names of their own, each name looked
// up at the loopback name server, which answers after lookupMs.
int lookupRun(int favorites, int lookupMs)
{
    constexpr int kThreads = checker::LinkChecker::kMaxThreads;
    if (!testsupport::inOwnResolverNamespace(kNameServer)) {
        std::fprintf(stderr, "lookups: not in a network namespace of its own\n");
        return 1;
    }
    testsupport::ServerThread servers;
    servers.call([](LoopbackHttpServer& server) { server.setRecordRequests(false); });
    if (!servers.listen(QHostAddress(QHostAddress::LocalHost)) ||
        !servers.listenNameService(kNameServer, 53, QHostAddress(QHostAddress::LocalHost), lookupMs)) {
        std::fprintf(stderr, "lookups: cannot listen on 127.0.0.1\n");
        return 1;
    }
    const int port = QUrl(servers.url(QStringLiteral("/"))).port();
    QStringList urls;
    for (int i = 0; i < favorites; ++i)
        urls << QStringLiteral("http://n%1.tessaly.test:%2/200?i=%1").arg(i).arg(port);
    const RunFigures f = timedRun(urls, kThreads);
    // Ideally each channel spends on a row its 40 ms tick, the look-up and the round trip after it.
    const double roundTrip = qMax(0.0, f.meanRequestMs - lookupMs);
    const double ideal = std::ceil(double(favorites) / kThreads) * (40.0 + lookupMs + roundTrip);
    std::printf(
        "lookups   %5d favorites on as many names, look-ups of %4d ms, %d ch: %d verdicts (%d YES)  work %6.2f s  "
        "ideal %6.2f s (round trip %.1f ms)  %5.1f%% of ideal  at most %d look-ups at once\n",
        favorites, lookupMs, kThreads, f.verdicts, f.yes, f.workMs / 1000.0, ideal / 1000.0, roundTrip,
        f.workMs > 0 ? 100.0 * ideal / double(f.workMs) : 0.0, servers.maxLookupsInFlight());
    std::fflush(stdout);
    return f.verdicts == favorites && f.yes == favorites ? 0 : 1;
}

// lookupRun in a child of its own, where no look-up can leave the machine.
int lookupCase(int favorites, int lookupMs)
{
    QTemporaryDir dir;
    QString why;
    QStringList command = testsupport::ownResolverWrapper(dir.path(), kNameServer, &why);
    if (command.isEmpty()) {
        std::printf("lookups: skipped: %s\n", qPrintable(why));
        return 0;
    }
    command << QCoreApplication::applicationFilePath() << QStringLiteral("--lookups-child")
            << QString::number(favorites) << QString::number(lookupMs);
    QByteArray output;
    const int code = testsupport::runCommand(command.takeFirst(), command, &output, 600000);
    std::printf("%s", output.constData());
    if (code == 97)
        std::printf("lookups: skipped: cannot replace the resolver configuration inside the namespace\n");
    std::fflush(stdout);
    return code == 97 ? 0 : code;
}

int client(quint16 port, int threads, int rows)
{
    const RunFigures f = timedRun(plainUrls(rows, port), threads);
    printRun("tessaly", rows, threads, f);
    return f.verdicts == rows ? 0 : 1;
}

// One run against the benchmark's own server, with the processor time this process spent on it.
void serverRun(BenchServer& server, int threads, int rows, bool https = false)
{
    server.resetCounters();
    const double serverCpuBefore = server.cpuMs();
    const RunFigures f = timedRun(plainUrls(rows, server.port(https), https), threads);
    const double serverCpu = server.cpuMs() - serverCpuBefore;
    printRun(https ? "https run" : "run", rows, threads, f);
    std::printf("           server saw %d requests over at most %d connections; processor time %.0f ms per 1,000 "
                "favorites (the server's thread left out; it spent %.0f ms)\n",
                server.totalRequests(), server.maxOpenConnections(), (f.cpuMs - serverCpu) * 1000.0 / qMax(1, rows),
                serverCpu * 1000.0 / qMax(1, rows));
    std::fflush(stdout);
}

// Channels started together have their first ticks spread over one period instead of all falling at its end. Four
// channels, a period of a second: when their first requests reach the server.
void tickSpread()
{
    constexpr int kPeriodMs = 1000;
    constexpr int kChannels = 4;
    testsupport::ServerThread server;
    if (!server.listen(QHostAddress(QHostAddress::LocalHost))) {
        std::fprintf(stderr, "tick spread: cannot listen on 127.0.0.1\n");
        return;
    }
    QStringList urls;
    for (int r = 0; r < kChannels; ++r)
        urls << server.url(QStringLiteral("/200?row=%1").arg(r + 1));
    table::LinkTable linkTable;
    testsupport::setRows(linkTable, urls);
    checker::LinkChecker checker(linkTable);
    checker.setDispatchInterval(kPeriodMs);
    checker.setThreadCount(kChannels);
    QElapsedTimer clock;
    QList<qint64> sent;
    QObject::connect(&checker, &checker::LinkChecker::channelStageChanged,
                     [&](int, checker::TransferChannel::Stage stage) {
                         if (stage == checker::TransferChannel::Stage::Resolving)
                             sent << clock.elapsed();
                     });
    QEventLoop loop;
    QObject::connect(&checker, &checker::LinkChecker::runFinished, &loop, &QEventLoop::quit);
    clock.start();
    checker.start();
    loop.exec();
    QStringList times;
    for (qint64 ms : sent)
        times << QString::number(ms);
    std::printf("tick spread: %d channels started together, period %d ms: first requests at %s ms (spread %lld ms of "
                "the %d ms between the first and the last tick)\n",
                kChannels, kPeriodMs, qPrintable(times.join(QLatin1String(", "))),
                sent.size() >= 2 ? static_cast<long long>(sent.last() - sent.first()) : 0LL,
                kPeriodMs * (kChannels - 1) / kChannels);
    std::fflush(stdout);
}

// What a hostile server costs this process once its verdict is in and its connection closed: processor time and
// memory growth over the next 500 ms, for the servers that flood or trickle.
void hostileAtRest()
{
    const QHash<QString, LoopbackHttpServer::Route> routes = LoopbackHttpServer::hostileRoutes();
    for (const char* path : {"/endless-body", "/endless-chunked", "/endless-1xx", "/endless-head", "/huge-head-lines",
                             "/trickle", "/status-then-silence"}) {
        testsupport::ServerThread server;
        for (auto it = routes.begin(); it != routes.end(); ++it)
            server.setRoute(it.key(), it.value());
        if (!server.listen(QHostAddress(QHostAddress::LocalHost)))
            return;
        checker::TransferChannel channel(1000);
        QEventLoop loop;
        table::Outcome outcome;
        QObject::connect(&channel, &checker::TransferChannel::finished, [&](const table::Outcome& o) {
            outcome = o;
            loop.quit();
        });
        channel.head(server.url(QLatin1String(path)));
        loop.exec();
        while (server.openConnections() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const double cpuBefore = processCpuMs();
        const qint64 rssBefore = testsupport::processStatusKb("VmRSS:");
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("hostile %-22s %s: then %.1f ms of processor time and %+lld kB of memory in 500 ms; %lld bytes "
                    "flooded\n",
                    path, outcome.verdict == table::Verdict::Alive ? "YES" : "NO", processCpuMs() - cpuBefore,
                    static_cast<long long>(testsupport::processStatusKb("VmRSS:") - rssBefore),
                    static_cast<long long>(server.floodedBytes()));
        std::fflush(stdout);
    }
}

int fullSet()
{
    BenchServer server;
    if (server.port() == 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.2..9\n");
        return 1;
    }
    std::printf("server: 127.0.0.2..9 port %u, own thread; intervals 40 ms / 800 ms; %d cores\n",
                unsigned(server.port()), QThread::idealThreadCount());
    connectionCap(server);
    idleThreads();

    for (int threads : {1, 10, 40}) {
        serverRun(server, threads, 1000);
        serverRun(server, threads, 1000, true);
    }
    tickSpread();
    hostileAtRest();

    const qint64 hwmBefore = testsupport::processStatusKb("VmHWM:");
    const qint64 rssBefore = testsupport::processStatusKb("VmRSS:");
    server.resetCounters();
    const RunFigures big = timedRun(plainUrls(10000, server.port()), 40);
    printRun("big run", 10000, 40, big);
    std::printf("memory: VmHWM %lld kB before, %lld kB after; VmRSS %lld kB before, %lld kB after\n",
                static_cast<long long>(hwmBefore), static_cast<long long>(testsupport::processStatusKb("VmHWM:")),
                static_cast<long long>(rssBefore), static_cast<long long>(testsupport::processStatusKb("VmRSS:")));

    // Many servers: every favorite on a server of its own. The descriptors held must not grow with them.
    int status = 0;
    for (int servers : {1000, 3000})
        status |= spreadRun(servers, 40);
    // Names that take long to look up, as those of old favorites do.
    status |= lookupCase(1000, 300);
    status |= lookupCase(400, 1000);
    return status;
}

const char kUsage[] =
    "Usage: bench_check [option]\n"
    "The pace of check runs over loopback servers, and what they cost. Without an option, the full set of figures.\n"
    "  --run THREADS ROWS [https]     one timed run against the benchmark's own server (127.0.0.2..9), over https\n"
    "                                 (TLS, the certificate not verified) when asked\n"
    "  --tick-spread                  when the first requests of channels started together reach the server\n"
    "  --hostile                      processor time and memory in the 500 ms after the verdict on hostile servers\n"
    "  --spread SERVERS THREADS       one timed run over SERVERS favorites on as many loopback servers\n"
    "                                 (127.66.x.y), under the 1024 open files a desktop session gives a program\n"
    "  --lookups FAVORITES MS         one timed run over FAVORITES favorites on as many names, each looked up in\n"
    "                                 MS ms, 40 channels, in a network namespace of its own\n"
    "  --serve ROWS                   only the server, with /links.html listing ROWS links; prints PORT <n>\n"
    "  --serve-spread SERVERS         only the many servers; prints PORT <n>\n"
    "  --client PORT THREADS ROWS     one timed run over the links of a server started with --serve\n"
    "  --help                         this text\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 2 && (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("--serve"))
        return serve(args[2].toInt());
    if (args.size() >= 3 && args[1] == QLatin1String("--serve-spread"))
        return serveSpread(args[2].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("--spread"))
        return spreadRun(args[2].toInt(), args[3].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("--lookups"))
        return lookupCase(args[2].toInt(), args[3].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("--lookups-child"))
        return lookupRun(args[2].toInt(), args[3].toInt());
    if (args.size() >= 5 && args[1] == QLatin1String("--client"))
        return client(quint16(args[2].toUInt()), args[3].toInt(), args[4].toInt());
    if (args.size() >= 4 && args[1] == QLatin1String("--run")) {
        BenchServer server;
        serverRun(server, args[2].toInt(), args[3].toInt(), args.size() >= 5 && args[4] == QLatin1String("https"));
        return 0;
    }
    if (args.size() >= 2 && args[1] == QLatin1String("--tick-spread")) {
        tickSpread();
        return 0;
    }
    if (args.size() >= 2 && args[1] == QLatin1String("--hostile")) {
        hostileAtRest();
        return 0;
    }
    if (args.size() >= 2) {
        // Anything else is a mistake: it runs nothing, rather than the whole set.
        std::fprintf(stderr, "bench_check: unknown or incomplete option: %s\n%s", qPrintable(args.mid(1).join(' ')),
                     kUsage);
        return 2;
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
