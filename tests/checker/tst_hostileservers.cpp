// Servers that answer badly or not at all, against one transfer channel and against a whole check run.
//
// The rule: an HTTP answer is a complete response head (a status line, as libcurl reads it, and a header block
// ending in an empty line) of any status, interim ones (1xx) included; it gives state 12, "YES", at once, whatever
// follows it. Anything else gives state 11, "NO". Every request is sent once, has exactly one final state, at the
// latest at its time-out, and its connection is closed once the verdict is in; the channel is ready for its next
// request afterwards, also on the same server. The request asks for the address as written, through the proxy
// the environment names as curl reads it. The servers run on a thread of their own, as a server on another machine
// would, so that a flood never waits on the checker nor the other way round.

#include <algorithm>
#include <memory>

#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include "checker/LinkChecker.h"
#include "checker/TransferChannel.h"
#include "favorites/Catalogue.h"
#include "support/CheckerRows.h"
#include "support/ChildRun.h"
#include "support/LoopbackHttpServer.h"
#include "support/ProcessStatus.h"
#include "support/ServerThread.h"
#include "table/LinkTable.h"

using checker::LinkChecker;
using checker::TransferChannel;
using testsupport::finalCount;
using testsupport::LoopbackHttpServer;
using testsupport::ServerThread;
using testsupport::statesOf;

namespace
{

// A final state that has not come this long after the time-out is a hang.
constexpr int kGraceMs = 5000;
// The cases that can only end at the deadline meet a short one; the others a long one, long before which they end.
constexpr int kShortTimeoutMs = 1000;
constexpr int kLongTimeoutMs = 30000;

// The name server of the proxy test, inside its own network namespace.
const QHostAddress kNameServer(QStringLiteral("127.0.0.1"));

// The mixed run: 2,000 rows, 40 channels, the real dispatch and watch intervals, a short time-out.
constexpr int kMixedRows = 2000;
constexpr int kMixedChannels = 40;
constexpr int kMixedTimeoutMs = 2000;
constexpr qint64 kPeakRssLimitKb = 500 * 1024;
// What this process may still use once a probe's verdict is in and its connection closed, over half a second.
constexpr qint64 kRestCpuMs = 100;
constexpr qint64 kRestGrowthKb = 2 * 1024;

// The listeners of a hostile server on each of its addresses, in this order.
enum Listener
{
    Serving = 0, // handles requests by path, hostile routes included
    Resetting,   // resets every connection as soon as it is accepted
    Silent,      // accepts connections and never reads from them nor writes to them
    ListenersPerAddress,
};

struct Behaviour
{
    const char* name;
    const char* path; // on the serving listener; the other listeners never read it
    Listener listener;
    int finalState; // 12: an answer, 11: none
    bool floods;    // the server sends without end once it has the request
    bool atTimeOut; // only the time-out can end it
};

// A flood that nobody reads stops once the kernel's buffers on both ends are full: a few MiB on
// loopback. Far more than that means someone is reading it.
constexpr qint64 kFloodBound = 32 * 1024 * 1024;

// Waits until the server's floods have sent nothing more for half a second; returns the bytes sent,
// or -1 when they are still going after 5 s.
qint64 floodAtRest(ServerThread& server)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = server.floodedBytes();
    QElapsedTimer still;
    still.start();
    while (clock.elapsed() < 5000) {
        QTest::qWait(100);
        const qint64 now = server.floodedBytes();
        if (now != last) {
            last = now;
            still.restart();
        } else if (still.elapsed() >= 500) {
            return now;
        }
    }
    return -1;
}

const Behaviour kBehaviours[] = {
    {"accept and never answer", "/200", Silent, 11, false, true},
    {"head one byte a second", "/trickle", Serving, 11, false, true},
    {"endless body to HEAD", "/endless-body", Serving, 12, true, false},
    {"endless chunked body", "/endless-chunked", Serving, 12, true, false},
    {"1 MiB head in 1 KiB lines", "/huge-head-lines", Serving, 11, false, false},
    {"1 MiB head in one line", "/huge-head-line", Serving, 11, false, false},
    {"garbage bytes", "/garbage", Serving, 11, false, false},
    {"HTTP/0.9 reply", "/http09", Serving, 11, false, false},
    {"TLS handshake on the plain port", "/tls", Serving, 11, false, false},
    {"close after the status line", "/status-only", Serving, 11, false, false},
    {"close after the status line and a header", "/status-and-header", Serving, 11, false, false},
    {"reset after accept", "/200", Resetting, 11, false, false},
    {"reset after the request", "/reset", Serving, 11, false, false},
    {"status line with two blanks", "/two-blanks", Serving, 12, false, false},
    {"version in lower case", "/lower-case", Serving, 12, false, false},
    {"100 Continue then close", "/only-100-close", Serving, 12, false, false},
    {"100 Continue then silence", "/only-1xx", Serving, 12, false, false},
    {"103 Early Hints then close", "/only-103-close", Serving, 12, false, false},
    {"103 Early Hints then silence", "/only-103", Serving, 12, false, false},
    {"100 Continue without end", "/endless-1xx", Serving, 12, true, false},
    {"header lines without end", "/endless-head", Serving, 11, true, false},
};

// Rows of the mixed run that answer plainly, among the hostile ones.
const Behaviour kControls[] = {
    {"control 200", "/200", Serving, 12, false, false},
    {"control 404", "/404", Serving, 12, false, false},
};

// This process's processor time (user and system) so far, in ms; -1 where it cannot be read.
qint64 processCpuMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields 14 and 15 (utime, stime) in clock ticks, counted after the command name's closing parenthesis.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toLongLong() + fields[12].toLongLong()) * 1000 / sysconf(_SC_CLK_TCK);
}

bool ipv6LoopbackAvailable()
{
    QTcpServer probe;
    return probe.listen(QHostAddress(QHostAddress::LocalHostIPv6), 0);
}

// A server with every hostile route and, on each address i, listener i * ListenersPerAddress + Listener.
std::unique_ptr<ServerThread> startHostileServer(const QList<QHostAddress>& addresses)
{
    auto server = std::make_unique<ServerThread>();
    const QHash<QString, LoopbackHttpServer::Route> routes = LoopbackHttpServer::hostileRoutes();
    for (auto it = routes.begin(); it != routes.end(); ++it)
        server->setRoute(it.key(), it.value());
    server->call([](LoopbackHttpServer& s) { s.setRecordRequests(false); });
    for (const QHostAddress& address : addresses) {
        if (!server->listen(address) || !server->listen(address, 0, LoopbackHttpServer::OnAccept::Reset) ||
            !server->listen(address, 0, LoopbackHttpServer::OnAccept::Silent))
            return nullptr;
    }
    return server;
}

QString addressOf(ServerThread& server, const Behaviour& behaviour, int addressIndex = 0)
{
    return server.url(QLatin1String(behaviour.path), addressIndex * ListenersPerAddress + behaviour.listener);
}

} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT

private slots:
    void verdictPerBehaviour_data();
    void verdictPerBehaviour();
    void requestTargetAsWritten_data();
    void requestTargetAsWritten();
    void proxyAsTheEnvironmentNamesIt_data();
    void proxyAsTheEnvironmentNamesIt();
    void eachServerAskedOnce_data();
    void eachServerAskedOnce();
    void mixedRun();
};

void TestHostileServers::verdictPerBehaviour_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("listener");
    QTest::addColumn<int>("finalState");
    QTest::addColumn<bool>("floods");
    QTest::addColumn<bool>("atTimeOut");

    for (const char* host : {"127.0.0.1", "::1"}) {
        for (const Behaviour& b : kBehaviours) {
            QTest::addRow("%s %s", host, b.name) << QString::fromLatin1(host) << QString::fromLatin1(b.path)
                                                 << int(b.listener) << b.finalState << b.floods << b.atTimeOut;
        }
    }
}

void TestHostileServers::verdictPerBehaviour()
{
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(int, listener);
    QFETCH(int, finalState);
    QFETCH(bool, floods);
    QFETCH(bool, atTimeOut);

    const QHostAddress address(host);
    if (address.protocol() == QAbstractSocket::IPv6Protocol && !ipv6LoopbackAvailable())
        QSKIP("IPv6 loopback (::1) is not available on this machine: the ::1 cases cannot run");
    std::unique_ptr<ServerThread> server = startHostileServer({address});
    QVERIFY(server);

    const int timeoutMs = atTimeOut ? kShortTimeoutMs : kLongTimeoutMs;
    TransferChannel channel(timeoutMs);
    QSignalSpy states(&channel, &TransferChannel::StateChanged);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(channel.Execute(server->url(path, listener), QStringLiteral("HEAD")));
    QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, timeoutMs + kGraceMs);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!channel.StillExecuting());
    const QList<int> seen = statesOf(states);
    qInfo("%s %s: states %s after %lld ms (time-out %d ms)", qPrintable(host), qPrintable(path),
          qPrintable(testsupport::describeStates(seen)), static_cast<long long>(elapsed), timeoutMs);
    QCOMPARE(seen.last(), finalState);
    // What the server did decides, not the deadline: the verdict comes long before it (a bound for hangs, however
    // busy the machine; the times are printed above).
    if (!atTimeOut)
        QVERIFY2(elapsed < kLongTimeoutMs / 3, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    // Whatever the server did, it was asked: this program was short of nothing.
    QVERIFY(!channel.failedLocally());
    QCOMPARE(seen.first(), int(TransferChannel::icResolvingHost));
    // The answer is a complete head, nothing else.
    QCOMPARE(seen.contains(TransferChannel::icResponseReceived), finalState == TransferChannel::icResponseCompleted);
    for (int s : seen)
        QVERIFY(s >= TransferChannel::icNone && s <= TransferChannel::icResponseCompleted);

    // Once the verdict is in, the connection is closed: nothing more is read of it, and a server that sends
    // without end costs this process neither memory nor processor time from then on.
    QTRY_COMPARE(server->openConnections(), 0);
    if (floods) {
        const qint64 flooded = floodAtRest(*server);
        qInfo("flood at rest after %lld bytes", static_cast<long long>(flooded));
        QVERIFY2(flooded >= 0, "the flood did not come to rest within 5 s");
        QVERIFY(flooded < kFloodBound);
    }
    const qint64 cpuBefore = processCpuMs();
    const qint64 rssBefore = testsupport::processStatusKb("VmRSS:");
    QTest::qWait(500);
    QCOMPARE(finalCount(states), 1);
    if (cpuBefore >= 0 && rssBefore >= 0) {
        const qint64 cpu = processCpuMs() - cpuBefore;
        const qint64 growth = testsupport::processStatusKb("VmRSS:") - rssBefore;
        QVERIFY2(cpu < kRestCpuMs && growth < kRestGrowthKb,
                 qPrintable(QStringLiteral("after the verdict: %1 ms of processor time, %2 kB more memory in 500 ms")
                                .arg(cpu)
                                .arg(growth)));
    }

    // The channel is free for its next row, on the very same server.
    states.clear();
    QVERIFY(channel.Execute(server->url(QStringLiteral("/200")), QStringLiteral("HEAD")));
    QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, timeoutMs + kGraceMs);
    QCOMPARE(statesOf(states).last(), int(TransferChannel::icResponseCompleted));
}

void TestHostileServers::requestTargetAsWritten_data()
{
    QTest::addColumn<QString>("written");   // what follows the host and port in the favorite's address
    QTest::addColumn<QByteArray>("target"); // what the server must see in the request line

    QTest::newRow("an escape of a letter") << "/%69ndex.html" << QByteArray("/%69ndex.html");
    QTest::newRow("a stray percent sign") << "/%zz" << QByteArray("/%zz");
    QTest::newRow("a valid escape beside a stray one") << "/%69ndex%zz" << QByteArray("/%69ndex%zz");
    QTest::newRow("escapes in the query") << "/a?q=%2F%zz&r=%41%" << QByteArray("/a?q=%2F%zz&r=%41%");
    QTest::newRow("an escaped slash") << "/a%2Fb/c" << QByteArray("/a%2Fb/c");
    QTest::newRow("characters a browser leaves as they are")
        << "/~a/b;c=d,e!$'()*+@:" << QByteArray("/~a/b;c=d,e!$'()*+@:");
    QTest::newRow("a blank and a tab") << "/a b\tc" << QByteArray("/a%20b%09c");
    QTest::newRow("characters outside ASCII, as UTF-8")
        << QString::fromUtf8("/größe?stadt=köln&q=收藏")
        << QByteArray("/gr%C3%B6%C3%9Fe?stadt=k%C3%B6ln&q=%E6%94%B6%E8%97%8F");
    QTest::newRow("no path") << "" << QByteArray("/");
    QTest::newRow("a fragment is not sent") << "/page?x=1#part two" << QByteArray("/page?x=1");
}

void TestHostileServers::requestTargetAsWritten()
{
    // The server is asked for exactly what the favorite names: another spelling may be another resource, or an
    // error of the server's (400 where the address as written would get 404).
    QFETCH(QString, written);
    QFETCH(QByteArray, target);
    ServerThread server;
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost)));
    const QString address = server.url(QString()) + written;
    TransferChannel channel(kLongTimeoutMs);
    QSignalSpy states(&channel, &TransferChannel::StateChanged);
    QVERIFY2(channel.Execute(address, QStringLiteral("HEAD")), qPrintable(address));
    QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, kLongTimeoutMs + kGraceMs);
    QCOMPARE(statesOf(states).last(), int(TransferChannel::icResponseCompleted));
    QList<QByteArray> seen;
    server.call([&](LoopbackHttpServer& s) {
        for (const LoopbackHttpServer::Request& request : s.requests())
            seen << request.target;
    });
    QCOMPARE(seen, QList<QByteArray>{target});
}

void TestHostileServers::proxyAsTheEnvironmentNamesIt_data()
{
    QTest::addColumn<QStringList>("environment"); // NAME=value; %PROXY% stands for the proxy's host and port
    QTest::addColumn<QString>("host");            // the favorite's host
    QTest::addColumn<bool>("viaProxy");

    const QString site = QStringLiteral("site.tessaly.test");
    QTest::newRow("http_proxy without a scheme") << QStringList{"http_proxy=%PROXY%"} << site << true;
    QTest::newRow("http_proxy with a scheme") << QStringList{"http_proxy=http://%PROXY%"} << site << true;
    QTest::newRow("all_proxy") << QStringList{"all_proxy=http://%PROXY%"} << site << true;
    QTest::newRow("HTTP_PROXY in capitals is not read") << QStringList{"HTTP_PROXY=http://%PROXY%"} << site << false;
    QTest::newRow("https_proxy is not for http") << QStringList{"https_proxy=%PROXY%"} << site << false;
    QTest::newRow("no_proxy names the host")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=site.tessaly.test"} << site << false;
    QTest::newRow("no_proxy names its domain")
        << QStringList{"all_proxy=%PROXY%", "no_proxy=tessaly.test"} << site << false;
    QTest::newRow("loopback by number is reached directly")
        << QStringList{"http_proxy=%PROXY%", "all_proxy=%PROXY%"} << "127.0.0.1" << false;
    QTest::newRow("localhost is reached directly")
        << QStringList{"http_proxy=%PROXY%", "all_proxy=%PROXY%"} << "localhost" << false;
}

void TestHostileServers::proxyAsTheEnvironmentNamesIt()
{
    if (!testsupport::isChildRun()) {
        // Inside a network namespace that has only loopback, where the favorite's name is looked up at a name
        // server of the test's own: a request that misses the proxy can reach nothing else.
        QByteArray output;
        QString why;
        const QString function =
            QStringLiteral("proxyAsTheEnvironmentNamesIt:") + QLatin1String(QTest::currentDataTag());
        const int code = testsupport::runInOwnResolverNamespace(function, kNameServer, &output, &why);
        if (code == -1)
            QSKIP(qPrintable(why));
        QVERIFY2(code == 0, output.right(6000).constData());
        return;
    }
    QFETCH(QStringList, environment);
    QFETCH(QString, host);
    QFETCH(bool, viaProxy);
    QVERIFY(testsupport::inOwnResolverNamespace(kNameServer));
    // Every name is the server's, on 127.0.0.1; the proxy answers whatever it is asked.
    LoopbackHttpServer server;
    LoopbackHttpServer proxy;
    QVERIFY(server.listen() && proxy.listen());
    QVERIFY(server.listenNameService(kNameServer, 53, QHostAddress(QHostAddress::LocalHost), 0));
    const QString proxyAddress = QStringLiteral("127.0.0.1:%1").arg(proxy.port());
    for (QString setting : std::as_const(environment)) {
        setting.replace(QLatin1String("%PROXY%"), proxyAddress);
        const int equals = int(setting.indexOf(QLatin1Char('=')));
        qputenv(setting.left(equals).toLatin1().constData(), setting.mid(equals + 1).toLatin1());
    }
    const QByteArray target = "/page?x=%41";
    const QString address = QStringLiteral("http://%1:%2").arg(host).arg(server.port()) + QLatin1String(target);

    TransferChannel channel(kLongTimeoutMs);
    QSignalSpy states(&channel, &TransferChannel::StateChanged);
    QVERIFY(channel.Execute(address, QStringLiteral("HEAD")));
    QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, kLongTimeoutMs + kGraceMs);
    QCOMPARE(statesOf(states).last(), int(TransferChannel::icResponseCompleted));
    if (viaProxy) {
        // A proxy is asked for the whole address.
        QCOMPARE(server.totalRequests(), 0);
        QCOMPARE(proxy.totalRequests(), 1);
        QCOMPARE(proxy.requests().constFirst().target, address.toLatin1());
    } else {
        QCOMPARE(proxy.acceptedConnections(), 0);
        QCOMPARE(server.totalRequests(), 1);
        QCOMPARE(server.requests().constFirst().target, target);
    }
}

void TestHostileServers::eachServerAskedOnce_data()
{
    QTest::addColumn<int>("channels");
    QTest::newRow("1 channel") << 1;
    QTest::newRow("10 channels") << 10;
}

void TestHostileServers::eachServerAskedOnce()
{
    // Servers that break off after they have read the request: no answer, and no second chance either. A run
    // sends every request once.
    QFETCH(int, channels);
    std::unique_ptr<ServerThread> server = startHostileServer({QHostAddress(QHostAddress::LocalHost)});
    QVERIFY(server);
    server->call([](LoopbackHttpServer& s) { s.setRecordRequests(true); });
    const char* const paths[] = {"/reset", "/status-and-header", "/http09"};
    constexpr int kRowsEach = 10;
    QStringList urls;
    for (int r = 0; r < 3 * kRowsEach; ++r)
        urls << server->url(QLatin1String(paths[r % 3])) + QStringLiteral("?row=%1").arg(r + 1);
    table::LinkTable linkTable;
    testsupport::setRows(linkTable, urls, table::Verdict::Alive);

    LinkChecker checker(linkTable);
    checker.setRequestTimeout(kShortTimeoutMs);
    checker.setDispatchInterval(5);
    checker.setThreadCount(channels);
    QSignalSpy verdicts(&checker, &LinkChecker::verdict);
    QSignalSpy finished(&checker, &LinkChecker::runFinished);
    checker.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QTest::qWait(300);

    QCOMPARE(verdicts.count(), 3 * kRowsEach);
    for (int r = 1; r <= 3 * kRowsEach; ++r) {
        int asked = 0;
        server->call([&](LoopbackHttpServer& s) { asked = s.requestsWithQueryItem(QStringLiteral("row=%1").arg(r)); });
        QVERIFY2(asked == 1,
                 qPrintable(QStringLiteral("row %1 (%2) asked %3 times").arg(r).arg(urls[r - 1]).arg(asked)));
        QCOMPARE(linkTable.verdict(r), table::Verdict::Dead);
    }
}

void TestHostileServers::mixedRun()
{
    QList<QHostAddress> addresses = {QHostAddress(QHostAddress::LocalHost)};
    if (ipv6LoopbackAvailable())
        addresses << QHostAddress(QHostAddress::LocalHostIPv6);
    else
        qInfo("IPv6 loopback (::1) is not available on this machine: the mixed run uses 127.0.0.1 only");
    std::unique_ptr<ServerThread> server = startHostileServer(addresses);
    QVERIFY(server);

    // Every behaviour and the controls in turn, then shuffled (with a fixed seed) so that every kind meets every
    // other on a channel.
    QList<const Behaviour*> kinds;
    for (const Behaviour& b : kBehaviours)
        kinds << &b;
    for (const Behaviour& b : kControls)
        kinds << &b;
    QList<const Behaviour*> picks;
    for (int i = 0; picks.size() < kMixedRows; ++i)
        picks << kinds[i % kinds.size()];
    QRandomGenerator random(20240611);
    std::shuffle(picks.begin(), picks.end(), random);

    QStringList urls;
    for (int r = 0; r < kMixedRows; ++r)
        urls << addressOf(*server, *picks[r], r % int(addresses.size())) + QStringLiteral("?row=%1").arg(r + 1);
    table::LinkTable linkTable;
    testsupport::setRows(linkTable, urls);

    LinkChecker checker(linkTable);
    checker.setRequestTimeout(kMixedTimeoutMs);
    checker.setThreadCount(kMixedChannels);
    QCOMPARE(checker.threadCount(), kMixedChannels);
    QSignalSpy verdicts(&checker, &LinkChecker::verdict);
    QSignalSpy finished(&checker, &LinkChecker::runFinished);

    QElapsedTimer clock;
    clock.start();
    checker.start();
    // Generous: every row waiting for its time-out on one channel alone would still fit.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 300000);
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(300);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(checker.requestsInProgress(), 0);

    QHash<int, int> perRow;
    for (const QList<QVariant>& args : verdicts) {
        ++perRow[args.at(0).toInt()];
        QCOMPARE(args.at(1).value<table::Verdict>(), linkTable.verdict(args.at(0).toInt()));
    }
    QHash<QString, int> missing; // behaviour -> rows without a verdict
    for (int r = 1; r <= kMixedRows; ++r) {
        if (!perRow.contains(r))
            ++missing[QLatin1String(picks[r - 1]->name)];
    }
    for (auto it = missing.cbegin(); it != missing.cend(); ++it)
        qInfo("  no verdict: %-34s %4d rows", qPrintable(it.key()), it.value());
    QCOMPARE(perRow.size(), kMixedRows);
    QHash<QString, QPair<int, int>> tally; // behaviour -> (YES, NO)
    for (int r = 1; r <= kMixedRows; ++r) {
        const Behaviour& b = *picks[r - 1];
        QVERIFY2(
            perRow.value(r) == 1,
            qPrintable(
                QStringLiteral("row %1 (%2): %3 verdicts").arg(r).arg(QLatin1String(b.name)).arg(perRow.value(r))));
        const QString state = table::verdictText(linkTable.verdict(r));
        QPair<int, int>& counts = tally[QLatin1String(b.name)];
        (linkTable.verdict(r) == table::Verdict::Alive ? counts.first : counts.second)++;
        const QString expected = table::verdictText(
            b.finalState == TransferChannel::icResponseCompleted ? table::Verdict::Alive : table::Verdict::Dead);
        QVERIFY2(state == expected, qPrintable(QStringLiteral("row %1 (%2, %3): %4, expected %5")
                                                   .arg(r)
                                                   .arg(QLatin1String(b.name), urls[r - 1], state, expected)));
    }

    const qint64 peakKb = testsupport::processStatusKb("VmHWM:");
    qInfo("mixed run: %d rows on %d address(es), %d channels, time-out %d ms: %lld ms; peak RSS %lld kB", kMixedRows,
          int(addresses.size()), kMixedChannels, kMixedTimeoutMs, static_cast<long long>(elapsed),
          static_cast<long long>(peakKb));
    for (auto it = tally.cbegin(); it != tally.cend(); ++it)
        qInfo("  %-34s YES %4d  NO %4d", qPrintable(it.key()), it.value().first, it.value().second);
#ifndef TESSALY_SANITIZED
    // (AddressSanitizer keeps up to 256 MB of freed memory aside to catch late uses: there the figure says little.)
    if (peakKb >= 0)
        QVERIFY2(peakKb < kPeakRssLimitKb, qPrintable(QStringLiteral("peak RSS %1 kB").arg(peakKb)));
#endif
}

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
