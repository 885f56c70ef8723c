// Servers that answer badly or not at all, against one transfer channel and against a whole check run.
//
// The rule: an HTTP answer is a status line and a complete header block that Qt hands over (its status
// code attribute is set); it gives state 12, "YES", whatever follows it. Anything else gives state 11,
// "NO". Every request has exactly one final state, at the latest at its time-out, and the channel is
// ready for its next request afterwards, also on the same server. The servers run on a thread of their
// own, as a server on another machine would, so that a flood never waits on the checker nor the other
// way round.

#include <algorithm>
#include <memory>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include "checker/LinkChecker.h"
#include "checker/TransferChannel.h"
#include "favorites/Catalogue.h"
#include "support/CheckerRows.h"
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
// Every case without an answer meets the deadline; the quick ones end long before it.
constexpr int kShortTimeoutMs = 1000;
// Qt reads a response head one byte per system call: a 1 MiB head takes seconds (about 3 s here).
constexpr int kLongTimeoutMs = 30000;

// The mixed run: 2,000 rows, 40 channels, the real dispatch and watch intervals, a short time-out.
constexpr int kMixedRows = 2000;
constexpr int kMixedChannels = 40;
constexpr int kMixedTimeoutMs = 2000;
// Each 1 MiB head keeps a Qt network thread reading for seconds of processor time, whatever the
// time-out: a few of them show what they do to a run, hundreds would only measure the machine.
constexpr int kMixedHugeHeadRowsEach = 2;
constexpr qint64 kPeakRssLimitKb = 500 * 1024;

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
    int finalState;  // 12: an answer, 11: none
    int timeoutMs;   // for the single-channel test
    bool inMixedRun; // the ones without end keep a Qt network thread for as long as the server sends
    bool floods;     // the server sends without end after the answer
};

// Whether an answer arrives within the time-out of the mixed run depends on the machine's speed.
bool verdictDependsOnSpeed(const Behaviour& behaviour)
{
    return behaviour.timeoutMs == kLongTimeoutMs;
}

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
    {"accept and never answer", "/200", Silent, 11, kShortTimeoutMs, true, false},
    {"head one byte a second", "/trickle", Serving, 11, kShortTimeoutMs, true, false},
    {"endless body to HEAD", "/endless-body", Serving, 12, kShortTimeoutMs, true, true},
    {"endless chunked body", "/endless-chunked", Serving, 12, kShortTimeoutMs, true, true},
    {"1 MiB head in 1 KiB lines", "/huge-head-lines", Serving, 12, kLongTimeoutMs, true, false},
    {"1 MiB head in one line", "/huge-head-line", Serving, 12, kLongTimeoutMs, true, false},
    {"garbage bytes", "/garbage", Serving, 11, kShortTimeoutMs, true, false},
    {"HTTP/0.9 reply", "/http09", Serving, 11, kShortTimeoutMs, true, false},
    {"TLS handshake on the plain port", "/tls", Serving, 11, kShortTimeoutMs, true, false},
    {"close after the status line", "/status-only", Serving, 11, kShortTimeoutMs, true, false},
    {"reset after accept", "/200", Resetting, 11, kShortTimeoutMs, true, false},
    {"100 Continue only", "/only-1xx", Serving, 11, kShortTimeoutMs, true, false},
    {"103 Early Hints only", "/only-103", Serving, 12, kShortTimeoutMs, true, false},
    {"100 Continue without end", "/endless-1xx", Serving, 11, kShortTimeoutMs, false, true},
    {"header lines without end", "/endless-head", Serving, 11, kShortTimeoutMs, false, true},
};

// Rows of the mixed run that answer plainly, among the hostile ones.
const Behaviour kControls[] = {
    {"control 200", "/200", Serving, 12, kShortTimeoutMs, true, false},
    {"control 404", "/404", Serving, 12, kShortTimeoutMs, true, false},
};

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

QString describe(const QList<int>& states)
{
    QStringList parts;
    for (int s : states)
        parts << QString::number(s);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT

private slots:
    void verdictPerBehaviour_data();
    void verdictPerBehaviour();
    void hugeHeadCutByTheDeadline();
    void retiredManagersAreReleased();
    void mixedRun();
};

void TestHostileServers::verdictPerBehaviour_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("listener");
    QTest::addColumn<int>("finalState");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("floods");

    for (const char* host : {"127.0.0.1", "::1"}) {
        for (const Behaviour& b : kBehaviours) {
            QTest::addRow("%s %s", host, b.name)
                << QString::fromLatin1(host) << QString::fromLatin1(b.path) << int(b.listener) << b.finalState
                << b.timeoutMs << (b.floods && b.finalState == 12);
        }
    }
}

void TestHostileServers::verdictPerBehaviour()
{
    QFETCH(QString, host);
    QFETCH(QString, path);
    QFETCH(int, listener);
    QFETCH(int, finalState);
    QFETCH(int, timeoutMs);
    QFETCH(bool, floods);

    const QHostAddress address(host);
    if (address.protocol() == QAbstractSocket::IPv6Protocol && !ipv6LoopbackAvailable())
        QSKIP("IPv6 loopback (::1) is not available on this machine: the ::1 cases cannot run");
    std::unique_ptr<ServerThread> server = startHostileServer({address});
    QVERIFY(server);

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
          qPrintable(describe(seen)), static_cast<long long>(elapsed), timeoutMs);
    QCOMPARE(seen.last(), finalState);
    QCOMPARE(seen.first(), int(TransferChannel::icRequesting));
    // The answer is what Qt handed over as a response, nothing else.
    QCOMPARE(seen.contains(TransferChannel::icResponseReceived), finalState == TransferChannel::icResponseCompleted);
    for (int s : seen)
        QVERIFY(s >= TransferChannel::icNone && s <= TransferChannel::icResponseCompleted);

    if (floods) {
        // Qt reads no body for HEAD. Whether it drops the connection at once depends on whether body
        // bytes were already there when it read the head; if not, it leaves them unread on an idle
        // connection and TCP holds the server back. Either way the flood comes to rest, bounded by the
        // kernel's socket buffers, and takes no memory of ours.
        const qint64 flooded = floodAtRest(*server);
        qInfo("flood at rest after %lld bytes; connections still open: %d", static_cast<long long>(flooded),
              server->openConnections());
        QVERIFY2(flooded >= 0, "the flood did not come to rest within 5 s");
        QVERIFY(flooded < kFloodBound);
    }
    QTest::qWait(200);
    QCOMPARE(finalCount(states), 1);

    // The channel is free for its next row, on the very same server.
    states.clear();
    QVERIFY(channel.Execute(server->url(QStringLiteral("/200")), QStringLiteral("HEAD")));
    QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, timeoutMs + kGraceMs);
    QCOMPARE(statesOf(states).last(), int(TransferChannel::icResponseCompleted));
}

void TestHostileServers::hugeHeadCutByTheDeadline()
{
    // With a time-out far shorter than the time Qt takes to read a 1 MiB head, the deadline comes
    // while Qt's network thread is still reading it. The channel must still go on at once.
    std::unique_ptr<ServerThread> server = startHostileServer({QHostAddress(QHostAddress::LocalHost)});
    QVERIFY(server);
    TransferChannel channel(100);
    QSignalSpy states(&channel, &TransferChannel::StateChanged);
    for (const char* path : {"/huge-head-lines", "/huge-head-line"}) {
        states.clear();
        QVERIFY(channel.Execute(server->url(QLatin1String(path)), QStringLiteral("HEAD")));
        QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, 100 + kGraceMs);
        // Which side of the deadline the head lands on depends on the machine; on this one, the deadline.
        qInfo("%s with a 100 ms time-out: states %s", path, qPrintable(describe(statesOf(states))));

        states.clear();
        channel.setRequestTimeout(kShortTimeoutMs);
        QVERIFY(channel.Execute(server->url(QStringLiteral("/200")), QStringLiteral("HEAD")));
        QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, kShortTimeoutMs + kGraceMs);
        QCOMPARE(statesOf(states).last(), int(TransferChannel::icResponseCompleted));
        channel.setRequestTimeout(100);
    }
}

void TestHostileServers::retiredManagersAreReleased()
{
    // A request cut off while Qt's network thread is held by a server that never stops sending leaves
    // that thread to the server. Once the server stops, nothing of it may stay behind.
    const QByteArray networkThread("QNetworkAccessM");
    if (testsupport::processThreadCount(networkThread) < 0)
        QSKIP("no /proc/self/task here: threads cannot be counted");
    // Managers retired by earlier tests go first: Qt may still be reading what their servers sent.
    QTRY_COMPARE_WITH_TIMEOUT(testsupport::processThreadCount(networkThread), 0, 60000);
    const int before = 0;
    {
        std::unique_ptr<ServerThread> server = startHostileServer({QHostAddress(QHostAddress::LocalHost)});
        QVERIFY(server);
        auto channel = std::make_unique<TransferChannel>(300);
        QSignalSpy states(channel.get(), &TransferChannel::StateChanged);
        for (const char* path : {"/endless-1xx", "/endless-head", "/hang"}) {
            states.clear();
            QVERIFY(channel->Execute(server->url(QLatin1String(path)), QStringLiteral("HEAD")));
            QTRY_COMPARE_WITH_TIMEOUT(finalCount(states), 1, 300 + kGraceMs);
            QCOMPARE(statesOf(states).last(), int(TransferChannel::icError));
        }
        // Cancelled, and the channel removed, while the server still holds a thread.
        QVERIFY(channel->Execute(server->url(QStringLiteral("/endless-1xx")), QStringLiteral("HEAD")));
        QTest::qWait(100);
        channel->Cancel();
        QCOMPARE(finalCount(states), 1);
        channel.reset();
        qInfo("network threads while the server still sends: %d (before: %d)",
              testsupport::processThreadCount(networkThread), before);
    }
    QTRY_COMPARE_WITH_TIMEOUT(testsupport::processThreadCount(networkThread), before, 30000);
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

    // The 1 MiB heads a few times on every address, every other behaviour and the controls in turn on
    // the rest, then shuffled (with a fixed seed) so that every kind meets every other on a channel.
    QList<const Behaviour*> cheap;
    QList<const Behaviour*> picks;
    for (const Behaviour& b : kBehaviours) {
        if (!b.inMixedRun)
            continue;
        if (verdictDependsOnSpeed(b)) {
            for (int i = 0; i < kMixedHugeHeadRowsEach * int(addresses.size()); ++i)
                picks << &b;
        } else {
            cheap << &b;
        }
    }
    for (const Behaviour& b : kControls)
        cheap << &b;
    for (int i = 0; picks.size() < kMixedRows; ++i)
        picks << cheap[i % cheap.size()];
    QRandomGenerator random(20240611);
    std::shuffle(picks.begin(), picks.end(), random);

    QStringList urls;
    for (int r = 0; r < kMixedRows; ++r)
        urls << addressOf(*server, *picks[r], r % int(addresses.size())) + QStringLiteral("?row=%1").arg(r + 1);
    table::LinkTable linkTable;
    testsupport::setRows(linkTable, urls);

    LinkChecker checker(linkTable);
    checker.setRequestTimeout(kMixedTimeoutMs);
    checker.Slider1_Change(kMixedChannels);
    QCOMPARE(checker.threadCount(), kMixedChannels);
    QSignalSpy verdicts(&checker, &LinkChecker::verdict);
    QSignalSpy finished(&checker, &LinkChecker::runFinished);

    QElapsedTimer clock;
    clock.start();
    checker.StartTh();
    // Generous: every row waiting for its time-out on one channel alone would still fit.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 300000);
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(300);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(checker.requestsInProgress(), 0);

    QHash<int, int> perRow;
    for (const QList<QVariant>& args : verdicts) {
        ++perRow[args.at(0).toInt()];
        QCOMPARE(args.at(1).toString(), linkTable.rowState(args.at(0).toInt()));
    }
    QCOMPARE(perRow.size(), kMixedRows);
    QHash<QString, QPair<int, int>> tally; // behaviour -> (YES, NO)
    for (int r = 1; r <= kMixedRows; ++r) {
        const Behaviour& b = *picks[r - 1];
        QVERIFY2(
            perRow.value(r) == 1,
            qPrintable(
                QStringLiteral("row %1 (%2): %3 verdicts").arg(r).arg(QLatin1String(b.name)).arg(perRow.value(r))));
        const QString& state = linkTable.rowState(r);
        QPair<int, int>& counts = tally[QLatin1String(b.name)];
        (state == table::kYes ? counts.first : counts.second)++;
        if (verdictDependsOnSpeed(b)) {
            QVERIFY(state == table::kYes || state == table::kNo);
            continue;
        }
        const QString expected = b.finalState == TransferChannel::icResponseCompleted ? table::kYes : table::kNo;
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
    if (peakKb >= 0)
        QVERIFY2(peakKb < kPeakRssLimitKb, qPrintable(QStringLiteral("peak RSS %1 kB").arg(peakKb)));
}

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
