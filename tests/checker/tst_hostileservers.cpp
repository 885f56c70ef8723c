// Servers that answer badly or not at all, against one transfer channel and against a whole check run; and real
// proxies that answer for servers they cannot reach.
//
// The rule: once a status line that libcurl takes has come from the server, the favorite is alive ("YES", Answered
// with that status), whatever follows it: a close, a reset, silence, a head too large or without end. Anything else
// is dead ("NO"), and why (table::Reason). Every request is sent once, has exactly one outcome, at the latest at its
// time-out, and its connection is closed once the outcome is in; the channel is ready for its next request
// afterwards, also on the same server. The request asks for the address as written, through the proxy the
// environment names as curl reads it; a proxy's own error page is no answer of the server's. The servers run on a
// thread of their own, as a server on another machine would, so that a flood never waits on the checker nor the other
// way round.

#include <algorithm>
#include <memory>

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
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
using table::Outcome;
using table::Reason;
using testsupport::LoopbackHttpServer;
using testsupport::ServerThread;
using testsupport::stagesOf;

namespace
{

// The cases that can only end at the deadline meet a short one; the others a long one, long before which they end.
constexpr int kShortTimeoutMs = 1000;
constexpr int kLongTimeoutMs = 30000;
// A request that has not ended this long after its time-out is a hang.
constexpr int kGraceMs = 5000;

// The name server of the tests in a network namespace of their own.
const QHostAddress kNameServer(QStringLiteral("127.0.0.1"));

// The mixed run: 2,000 rows, 40 channels, the real dispatch and watch intervals, a short time-out.
constexpr int kMixedRows = 2000;
constexpr int kMixedChannels = 40;
constexpr int kMixedTimeoutMs = 2000;

// The listeners of a hostile server on each of its addresses, in this order.
enum Listener
{
    Serving = 0, // handles requests by path, hostile routes included
    Resetting,   // resets every connection as soon as it is accepted
    Silent,      // accepts connections and never reads from them nor writes to them
    Greeting,    // greets as an SSH server does, then keeps silent
    ListenersPerAddress,
};

struct Behaviour
{
    const char* name;
    const char* path; // on the serving listener; the other listeners never read it
    Listener listener;
    Outcome expected;       // movedTo relative to the server ("/new/place") where the answer names one
    bool floods = false;    // the server sends without end once it has the request
    bool atTimeOut = false; // only the time-out can end it
};

// A flood that nobody reads stops once the kernel's buffers on both ends are full: a few MiB on loopback. Far more
// than that means someone is reading it.
constexpr qint64 kFloodBound = 32 * 1024 * 1024;

Outcome movedTo(int status, const char* path)
{
    return Outcome::answer(status, QLatin1String(path));
}

const Behaviour kBehaviours[] = {
    {"accept and never answer", "/200", Silent, Outcome::failure(Reason::TimedOut), false, true},
    {"head one byte a second", "/trickle", Serving, Outcome::failure(Reason::TimedOut), false, true},
    {"redirect, then silence", "/redirect-then-silence", Serving, movedTo(301, "/new/place"), false, true},
    {"endless body to HEAD", "/endless-body", Serving, Outcome::answer(200), true},
    {"endless chunked body", "/endless-chunked", Serving, Outcome::answer(200), true},
    {"1 MiB head in 1 KiB lines", "/huge-head-lines", Serving, Outcome::answer(200)},
    {"1 MiB head in one line", "/huge-head-line", Serving, Outcome::answer(200)},
    {"status line of 200 KiB", "/long-status-line", Serving, Outcome::failure(Reason::HeadTooLarge)},
    {"garbage bytes", "/garbage", Serving, Outcome::failure(Reason::NotHttp)},
    {"HTTP/0.9 reply", "/http09", Serving, Outcome::failure(Reason::NotHttp)},
    {"TLS handshake on the plain port", "/tls", Serving, Outcome::failure(Reason::NotHttp)},
    {"another protocol's greeting", "/200", Greeting, Outcome::failure(Reason::NotHttp)},
    {"close after the status line", "/status-only", Serving, Outcome::answer(200)},
    {"close after the status line and a header", "/status-and-header", Serving, Outcome::answer(200)},
    {"reset after the status line", "/status-then-reset", Serving, Outcome::answer(200)},
    {"silence after the status line", "/status-then-silence", Serving, Outcome::answer(200)},
    {"reset after accept", "/200", Resetting, Outcome::failure(Reason::ConnectionReset)},
    {"reset after the request", "/reset", Serving, Outcome::failure(Reason::ConnectionReset)},
    {"closed without a word", "/close", Serving, Outcome::failure(Reason::ClosedWithoutAnswer)},
    {"status line with two blanks", "/two-blanks", Serving, Outcome::answer(200)},
    {"version in lower case", "/lower-case", Serving, Outcome::answer(200)},
    {"100 Continue then close", "/only-100-close", Serving, Outcome::answer(100)},
    {"100 Continue then silence", "/only-1xx", Serving, Outcome::answer(100)},
    {"103 Early Hints then close", "/only-103-close", Serving, Outcome::answer(103)},
    {"103 Early Hints then silence", "/only-103", Serving, Outcome::answer(103)},
    {"100 Continue without end", "/endless-1xx", Serving, Outcome::answer(100), true},
    {"header lines without end", "/endless-head", Serving, Outcome::answer(200), true},
};

// Rows of the mixed run that answer plainly, among the hostile ones.
const Behaviour kControls[] = {
    {"control 200", "/200", Serving, Outcome::answer(200)},
    {"control 404", "/404", Serving, Outcome::answer(404)},
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
            !server->listen(address, 0, LoopbackHttpServer::OnAccept::Silent) ||
            !server->listen(address, 0, LoopbackHttpServer::OnAccept::Greet))
            return nullptr;
    }
    return server;
}

QString addressOf(ServerThread& server, const Behaviour& behaviour, int addressIndex = 0)
{
    return server.url(QLatin1String(behaviour.path), addressIndex * ListenersPerAddress + behaviour.listener);
}

// The outcome a behaviour must have on a server whose address starts with base ("http://127.0.0.1:<port>").
Outcome expectedOn(const Behaviour& behaviour, const QString& base)
{
    Outcome expected = behaviour.expected;
    if (!expected.movedTo.isEmpty())
        expected.movedTo.prepend(base);
    return expected;
}

} // namespace

class TestHostileServers : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase();
    void outcomePerBehaviour_data();
    void outcomePerBehaviour();
    void requestTargetAsWritten_data();
    void requestTargetAsWritten();
    void proxyAsTheEnvironmentNamesIt_data();
    void proxyAsTheEnvironmentNamesIt();
    void proxyAnswersJudged_data();
    void proxyAnswersJudged();
    void proxysOwnErrorIsNoAnswer_data();
    void proxysOwnErrorIsNoAnswer();
    void eachServerAskedOnce_data();
    void eachServerAskedOnce();
    void mixedRun();

private:
    /// In the parent: runs every row of the function in one child in a network namespace of its own (once), and
    /// reports the current row's result from there; true then. False in the child, which runs the row itself.
    bool ranInOwnNamespace(const QString& function);

    QHash<QString, QByteArray> m_childOutput; // test function -> what its run in a namespace of its own printed
    class ProxyLab* m_lab = nullptr;          // the real proxies, in a namespace of their own
};

void TestHostileServers::outcomePerBehaviour_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("behaviour");

    for (const char* host : {"127.0.0.1", "::1"}) {
        for (int b = 0; b < int(std::size(kBehaviours)); ++b)
            QTest::addRow("%s %s", host, kBehaviours[b].name) << QString::fromLatin1(host) << b;
    }
}

void TestHostileServers::outcomePerBehaviour()
{
    QFETCH(QString, host);
    QFETCH(int, behaviour);
    const Behaviour& b = kBehaviours[behaviour];

    const QHostAddress address(host);
    if (address.protocol() == QAbstractSocket::IPv6Protocol && !ipv6LoopbackAvailable())
        QSKIP("IPv6 loopback (::1) is not available on this machine: the ::1 cases cannot run");
    std::unique_ptr<ServerThread> server = startHostileServer({address});
    QVERIFY(server);

    const int timeoutMs = b.atTimeOut ? kShortTimeoutMs : kLongTimeoutMs;
    TransferChannel channel(timeoutMs);
    QSignalSpy stages(&channel, &TransferChannel::stageReached);
    QSignalSpy finished(&channel, &TransferChannel::finished);
    QVERIFY(channel.head(addressOf(*server, b)));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, timeoutMs + kGraceMs);
    QVERIFY(!channel.isBusy());
    const QList<int> seen = stagesOf(stages);
    qInfo("%s %s: stages %s", qPrintable(host), b.path, qPrintable(testsupport::describeStages(seen)));
    // What the server did decides, and says why: a deadline met where the server had done something would show as
    // TimedOut here.
    QCOMPARE(testsupport::lastOutcome(finished), expectedOn(b, server->url(QString(), b.listener)));
    // Whatever the server did, it was asked: this program was short of nothing.
    QVERIFY(!channel.failedLocally());
    QCOMPARE(seen.first(), int(TransferChannel::Stage::Resolving));
    QCOMPARE(seen.last(), int(TransferChannel::Stage::Closing));

    // Once the outcome is in, the connection is closed: nothing more is read of it, and a flood stops at what the
    // kernel's buffers hold.
    QTRY_COMPARE(server->openConnections(), 0);
    if (b.floods) {
        const qint64 flooded = server->floodedBytes();
        qInfo("flooded %lld bytes before the connection was closed", static_cast<long long>(flooded));
        QVERIFY(flooded < kFloodBound);
    }

    // The channel is free for its next row, on the very same server; that request brings the one outcome more.
    QVERIFY(channel.head(server->url(QStringLiteral("/404"))));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kLongTimeoutMs + kGraceMs);
    QCOMPARE(testsupport::lastOutcome(finished), Outcome::answer(404));
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
    // libcurl takes the dot segments out, as browsers do: the server is asked for the resource the address means.
    QTest::newRow("dot segments, as browsers send them") << "/a/./b/../c?d=../e" << QByteArray("/a/c?d=../e");
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
    QSignalSpy finished(&channel, &TransferChannel::finished);
    QVERIFY2(channel.head(address), qPrintable(address));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kLongTimeoutMs + kGraceMs);
    QCOMPARE(testsupport::lastOutcome(finished).verdict, table::Verdict::Alive);
    QList<QByteArray> seen;
    server.call([&](LoopbackHttpServer& s) {
        for (const LoopbackHttpServer::Request& request : s.requests())
            seen << request.target;
    });
    QCOMPARE(seen, QList<QByteArray>{target});
}

namespace
{

// The result of the current row in a child's output ("PASS", "FAIL", "SKIP", or "" when it did not run), and in
// *lines what the child printed about that row.
QByteArray rowResult(const QByteArray& output, const QString& function, QByteArray* lines)
{
    const QByteArray row =
        "TestHostileServers::" + function.toLatin1() + '(' + QByteArray(QTest::currentDataTag()) + ')';
    QByteArray result;
    bool within = false;
    for (const QByteArray& line : output.split('\n')) {
        // A message's further lines are indented.
        if (line.contains(row) || (within && line.startsWith("   "))) {
            within = true;
            *lines += line + '\n';
            if (line.startsWith("PASS   :") || line.startsWith("FAIL!  :") || line.startsWith("SKIP   :"))
                result = line.left(4);
        } else {
            within = false;
        }
    }
    return result;
}

} // namespace

bool TestHostileServers::ranInOwnNamespace(const QString& function)
{
    if (testsupport::isChildRun())
        return false;
    // Every row of the function runs in one child, inside a network namespace that has only loopback, where names are
    // looked up at a name server of the test's own: a request that misses the proxy can reach nothing else. Its
    // servers and proxies start once for all the rows; here each row takes its result from there.
    if (!m_childOutput.contains(function)) {
        QByteArray printed;
        QString why;
        const int code = testsupport::runInOwnResolverNamespace(function, kNameServer, &printed, &why);
        if (code == -1)
            printed = "SKIP: " + why.toUtf8();
        for (const QByteArray& line : printed.split('\n')) {
            if (line.contains("proxy answers:"))
                qInfo("%s", line.mid(line.indexOf("proxy answers:")).constData());
        }
        m_childOutput.insert(function, printed);
    }
    const QByteArray output = m_childOutput.value(function);
    QByteArray lines;
    const QByteArray result = output.startsWith("SKIP: ") ? "SKIP" : rowResult(output, function, &lines);
    if (result == "SKIP")
        QTest::qSkip(lines.isEmpty() ? output.mid(6).constData() : lines.constData(), __FILE__, __LINE__);
    else
        QTest::qVerify(result == "PASS", "the row passed in its namespace",
                       (lines.isEmpty() ? output.right(3000) : lines).constData(), __FILE__, __LINE__);
    return true;
}

void TestHostileServers::proxyAsTheEnvironmentNamesIt_data()
{
    QTest::addColumn<QStringList>("environment"); // NAME=value; %PROXY% stands for the proxy's host and port
    QTest::addColumn<QString>("url");             // %PORT% stands for the server's port (its TLS port for https)
    QTest::addColumn<bool>("viaProxy");

    const QString site = QStringLiteral("http://site.tessaly.test:%PORT%/page?x=%41");
    const QString secure = QStringLiteral("https://site.tessaly.test:%PORT%/page?x=%41");
    QTest::newRow("http_proxy without a scheme") << QStringList{"http_proxy=%PROXY%"} << site << true;
    QTest::newRow("http_proxy with a scheme") << QStringList{"http_proxy=http://%PROXY%"} << site << true;
    QTest::newRow("all_proxy") << QStringList{"all_proxy=http://%PROXY%"} << site << true;
    QTest::newRow("ALL_PROXY in capitals") << QStringList{"ALL_PROXY=http://%PROXY%"} << site << true;
    QTest::newRow("HTTP_PROXY in capitals is not read") << QStringList{"HTTP_PROXY=http://%PROXY%"} << site << false;
    QTest::newRow("an empty http_proxy is none") << QStringList{"http_proxy=", "all_proxy=%PROXY%"} << site << true;
    QTest::newRow("https_proxy is not for http") << QStringList{"https_proxy=%PROXY%"} << site << false;
    QTest::newRow("https_proxy for https") << QStringList{"https_proxy=%PROXY%"} << secure << true;
    QTest::newRow("HTTPS_PROXY in capitals for https") << QStringList{"HTTPS_PROXY=%PROXY%"} << secure << true;
    QTest::newRow("http_proxy is not for https") << QStringList{"http_proxy=%PROXY%"} << secure << false;
    QTest::newRow("no_proxy names the host")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=site.tessaly.test"} << site << false;
    QTest::newRow("no_proxy names its domain")
        << QStringList{"all_proxy=%PROXY%", "no_proxy=tessaly.test"} << site << false;
    QTest::newRow("no_proxy with dots around the domain")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=.tessaly.test."} << site << false;
    QTest::newRow("no_proxy among blanks and commas")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=a.test, ,,SITE.tessaly.test b.test"} << site << false;
    QTest::newRow("NO_PROXY in capitals")
        << QStringList{"http_proxy=%PROXY%", "NO_PROXY=tessaly.test"} << site << false;
    QTest::newRow("no_proxy * for every host") << QStringList{"https_proxy=%PROXY%", "no_proxy=*"} << secure << false;
    QTest::newRow("no_proxy does not name a longer name")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=ite.tessaly.test"} << site << true;
    QTest::newRow("an address in a no_proxy range goes directly")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=10.0.0.0/8"} << "http://10.9.8.7:%PORT%/page?x=%41" << false;
    QTest::newRow("an address outside it through the proxy")
        << QStringList{"http_proxy=%PROXY%", "no_proxy=192.168.0.0/16,10.9.8.6"} << "http://10.9.8.7:%PORT%/page?x=%41"
        << true;
    QTest::newRow("loopback by number is reached directly")
        << QStringList{"http_proxy=%PROXY%", "all_proxy=%PROXY%"} << "http://127.0.0.1:%PORT%/page?x=%41" << false;
    QTest::newRow("localhost is reached directly")
        << QStringList{"http_proxy=%PROXY%", "all_proxy=%PROXY%"} << "http://localhost:%PORT%/page?x=%41" << false;
}

void TestHostileServers::proxyAsTheEnvironmentNamesIt()
{
    if (ranInOwnNamespace(QStringLiteral("proxyAsTheEnvironmentNamesIt")))
        return;
    QFETCH(QStringList, environment);
    QFETCH(QString, url);
    QFETCH(bool, viaProxy);
    QVERIFY(testsupport::inOwnResolverNamespace(kNameServer));
    // Every name is the server's, on 127.0.0.1; the proxy answers 200 for the address it is asked for.
    LoopbackHttpServer server;
    LoopbackHttpServer proxy;
    QVERIFY(server.listen() && server.listenTls() && proxy.listen());
    QVERIFY(server.listenNameService(kNameServer, 53, QHostAddress(QHostAddress::LocalHost), 0));
    const bool secure = url.startsWith(QLatin1String("https:"));
    url.replace(QLatin1String("%PORT%"), QString::number(server.port(secure ? 1 : 0)));
    proxy.setRoute(url.left(url.indexOf(QLatin1Char('?'))), LoopbackHttpServer::Route());
    const QString proxyAddress = QStringLiteral("127.0.0.1:%1").arg(proxy.port());
    for (QString setting : std::as_const(environment)) {
        setting.replace(QLatin1String("%PROXY%"), proxyAddress);
        const int equals = int(setting.indexOf(QLatin1Char('=')));
        qputenv(setting.left(equals).toLatin1().constData(), setting.mid(equals + 1).toLatin1());
    }
    const QUrl address(url);
    const bool reachable = address.host() != QLatin1String("10.9.8.7");

    TransferChannel channel(kLongTimeoutMs);
    QSignalSpy finished(&channel, &TransferChannel::finished);
    QVERIFY(channel.head(url));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kLongTimeoutMs + kGraceMs);
    if (viaProxy) {
        // A proxy is asked for the whole address, or for a tunnel to the server.
        QCOMPARE(server.totalRequests(), 0);
        QCOMPARE(proxy.totalRequests(), 1);
        const LoopbackHttpServer::Request& asked = proxy.requests().constFirst();
        if (secure) {
            QCOMPARE(asked.method, QByteArray("CONNECT"));
            QCOMPARE(asked.target, QStringLiteral("%1:%2").arg(address.host()).arg(address.port()).toLatin1());
            // It would not open the tunnel (no route of this proxy's answers CONNECT): its own error.
            QCOMPARE(testsupport::lastOutcome(finished), Outcome::failure(Reason::ProxyCouldNotReach));
        } else {
            QCOMPARE(asked.target, url.toLatin1());
            QCOMPARE(testsupport::lastOutcome(finished), Outcome::answer(200));
        }
    } else {
        QCOMPARE(proxy.acceptedConnections(), 0);
        if (!reachable) {
            // Nothing but loopback here: tried directly, the address cannot be reached.
            QCOMPARE(testsupport::lastOutcome(finished), Outcome::failure(Reason::CouldNotConnect));
            return;
        }
        QCOMPARE(server.totalRequests(), 1);
        QCOMPARE(server.requests().constFirst().target, QByteArray("/page?x=%41"));
        QCOMPARE(testsupport::lastOutcome(finished), Outcome::answer(404));
    }
}

void TestHostileServers::proxyAnswersJudged_data()
{
    // A proxy of the test's own: its answer for any address it has no route for (a name that cannot exist, among
    // them) stands for its own error page; its answer for the favorite is the row's.
    QTest::addColumn<int>("ownStatus");
    QTest::addColumn<QByteArray>("ownHeaders");
    QTest::addColumn<QString>("favorite"); // asked through the proxy
    QTest::addColumn<int>("status");       // the proxy's answer for the favorite (for https: to its CONNECT)
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<Outcome>("expected");

    const QString site = QStringLiteral("http://site.tessaly.test/page");
    const QString secure = QStringLiteral("https://site.tessaly.test/page");
    const QByteArray tiny = "Server: proxy/1.0\r\nContent-Type: text/html\r\n";
    const Outcome couldNotReach = Outcome::failure(Reason::ProxyCouldNotReach);
    const Outcome notAsked = Outcome::of(table::Verdict::None);
    QTest::newRow("squid's mark") << 404 << QByteArray() << site << 503
                                  << QByteArray("X-Squid-Error: ERR_DNS_FAIL 0\r\n") << couldNotReach;
    QTest::newRow("an error in Proxy-Status")
        << 404 << QByteArray() << site << 502 << QByteArray("Proxy-Status: edge; error=dns_error; rcode=NXDOMAIN\r\n")
        << couldNotReach;
    QTest::newRow("Proxy-Status without an error")
        << 500 << tiny << site << 503 << QByteArray("Proxy-Status: cache; hit\r\n") << Outcome::answer(503);
    QTest::newRow("407: the proxy wants credentials") << 404 << QByteArray() << site << 407 << QByteArray() << notAsked;
    QTest::newRow("the proxy's own 403 refuses")
        << 404 << QByteArray() << site << 403 << QByteArray("X-Squid-Error: ERR_ACCESS_DENIED 0\r\n") << notAsked;
    QTest::newRow("a page like the proxy's own, any status") << 500 << tiny << site << 502 << tiny << couldNotReach;
    QTest::newRow("the server's 500 forwarded with Via")
        << 500 << tiny << site << 500 << QByteArray(tiny + "Via: 1.1 proxy\r\n") << Outcome::answer(500);
    QTest::newRow("the server's own error page")
        << 500 << tiny << site << 500 << QByteArray("Server: nginx\r\nContent-Type: text/html\r\n")
        << Outcome::answer(500);
    QTest::newRow("a plain own page: the same status and nothing more")
        << 502 << QByteArray("Content-Type: text/html\r\n") << site << 502 << QByteArray("Content-Type: text/html\r\n")
        << couldNotReach;
    QTest::newRow("a plain own page: a server's with more")
        << 502 << QByteArray("Content-Type: text/html\r\n") << site << 502
        << QByteArray("Content-Type: text/html\r\nX-App: 1\r\n") << Outcome::answer(502);
    QTest::newRow("a plain own page: another status")
        << 502 << QByteArray("Content-Type: text/html\r\n") << site << 503 << QByteArray("Content-Type: text/html\r\n")
        << Outcome::answer(503);
    QTest::newRow("below 400 the server's") << 500 << tiny << site << 200 << tiny << Outcome::answer(200);
    QTest::newRow("a tunnel refused by policy") << 404 << QByteArray() << secure << 403 << QByteArray() << notAsked;
    QTest::newRow("a tunnel the proxy could not open")
        << 404 << QByteArray() << secure << 502 << QByteArray() << couldNotReach;
}

void TestHostileServers::proxyAnswersJudged()
{
    if (ranInOwnNamespace(QStringLiteral("proxyAnswersJudged")))
        return;
    QFETCH(int, ownStatus);
    QFETCH(QByteArray, ownHeaders);
    QFETCH(QString, favorite);
    QFETCH(int, status);
    QFETCH(QByteArray, headers);
    QFETCH(Outcome, expected);
    QVERIFY(testsupport::inOwnResolverNamespace(kNameServer));
    LoopbackHttpServer proxy;
    QVERIFY(proxy.listen());
    LoopbackHttpServer::Route own;
    own.status = ownStatus;
    own.extraHeaders = ownHeaders;
    proxy.setOtherPathsRoute(own);
    LoopbackHttpServer::Route answer;
    answer.status = status;
    answer.extraHeaders = headers;
    const bool secure = favorite.startsWith(QLatin1String("https:"));
    // A proxy is asked for the whole address, or for a tunnel to host and port.
    proxy.setRoute(secure ? QStringLiteral("site.tessaly.test:443") : favorite, answer);
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(proxy.port());
    qputenv("http_proxy", address);
    qputenv("https_proxy", address);

    TransferChannel channel(kLongTimeoutMs);
    QSignalSpy finished(&channel, &TransferChannel::finished);
    QVERIFY(channel.head(favorite));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 2 * kLongTimeoutMs + kGraceMs);
    QCOMPARE(testsupport::lastOutcome(finished), expected);
    // The proxy was asked for the favorite first, and for a name that cannot exist only where its answer had to be
    // compared with its own.
    QVERIFY(!proxy.requests().isEmpty());
    QVERIFY(proxy.requests().constFirst().target.contains("site.tessaly.test"));
    for (const LoopbackHttpServer::Request& request : proxy.requests().mid(1))
        QVERIFY2(request.target.endsWith(".invalid/"), request.target.constData());
}

// ---------------------------------------------------------------------------------------------------
// Real proxies

// Real proxies from the system's packages, each started once for the child that runs every row of the proxy test,
// in its network namespace, beside the servers they are asked for: a live one (200, 404, 500, 503, and over TLS), a
// silent one, a refused port, and a name server that knows the live names and no other.
class ProxyLab
{
public:
    struct Proxy
    {
        QString name;
        quint16 port = 0;
        std::unique_ptr<QProcess> process;
    };

    ~ProxyLab()
    {
        for (Proxy& proxy : m_proxies) {
            proxy.process->kill();
            proxy.process->waitForFinished(5000);
        }
    }

    // The proxies that are not installed, by name.
    static QStringList missing()
    {
        QStringList names;
        for (const char* name : {"tinyproxy", "privoxy", "squid"}) {
            if (program(QLatin1String(name)).isEmpty())
                names << QLatin1String(name);
        }
        return names;
    }

    bool start(QString* failure)
    {
        if (!m_dir.isValid() || !servers.listen(QHostAddress(QHostAddress::LocalHost)) ||
            !servers.listen(QHostAddress(QHostAddress::LocalHost), 0, LoopbackHttpServer::OnAccept::Silent) ||
            !servers.listenTls(QHostAddress(QHostAddress::LocalHost)) ||
            !servers.listenNameService(kNameServer, 53, QHostAddress(QHostAddress::LocalHost), 0,
                                       {QStringLiteral("live.tessaly.test"), QStringLiteral("silent.tessaly.test"),
                                        QStringLiteral("refused.tessaly.test")})) {
            *failure = QStringLiteral("the servers could not listen");
            return false;
        }
        livePort = QUrl(servers.url(QStringLiteral("/"), 0)).port();
        silentPort = QUrl(servers.url(QStringLiteral("/"), 1)).port();
        tlsPort = QUrl(servers.url(QStringLiteral("/"), 2)).port();
        refusedPort = LoopbackHttpServer::closedPort();
        // Each proxy gives up on a silent server after 2 s (the requests wait longer): what it says then is tested.
        launch(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), QStringLiteral("%CONF%")},
               "Port %PORT%\nListen 127.0.0.1\nTimeout 2\nMaxClients 100\nAllow 127.0.0.1\nViaProxyName \"tinyproxy\"\n"
               "LogLevel Critical\n");
        launch(QStringLiteral("privoxy"), {QStringLiteral("--no-daemon"), QStringLiteral("%CONF%")},
               "listen-address 127.0.0.1:%PORT%\nconfdir /etc/privoxy\nsocket-timeout 2\n");
        // Squid started by root switches to its own user, which this namespace does not have: it runs as another user
        // of a namespace of its own instead.
        launch(QStringLiteral("squid"),
               {QStringLiteral("--map-user=1"), QStringLiteral("--map-group=1"), program(QStringLiteral("squid")),
                QStringLiteral("-N"), QStringLiteral("-f"), QStringLiteral("%CONF%")},
               "http_port 127.0.0.1:%PORT%\nhttp_access allow all\ncache deny all\ncache_mem 8 MB\npid_filename none\n"
               "cache_log %DIR%/squid-cache.log\naccess_log none\nlogfile_rotate 0\nshutdown_lifetime 0 seconds\n"
               "connect_timeout 2 seconds\nread_timeout 2 seconds\npinger_enable off\nvisible_hostname tessaly-test\n"
               "dns_nameservers 127.0.0.1\ncoredump_dir %DIR%\n",
               QStringLiteral("unshare"));
        for (Proxy& proxy : m_proxies) {
            const bool up = QTest::qWaitFor(
                [&] { return accepts(proxy.port) || proxy.process->state() == QProcess::NotRunning; }, 60000);
            if (!up || !accepts(proxy.port)) {
                *failure = QStringLiteral("%1 did not start: %2")
                               .arg(proxy.name, QString::fromLocal8Bit(proxy.process->readAll().right(2000)));
                return false;
            }
        }
        return true;
    }

    quint16 port(const QString& name) const
    {
        for (const Proxy& proxy : m_proxies) {
            if (proxy.name == name)
                return proxy.port;
        }
        return 0;
    }

    ServerThread servers;
    int livePort = 0;
    int silentPort = 0;
    int tlsPort = 0;
    int refusedPort = 0;

private:
    static QString program(const QString& name)
    {
        return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                                     QStringLiteral("/sbin"), QStringLiteral("/bin")});
    }

    static bool accepts(quint16 port)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return socket.waitForConnected(200);
    }

    void launch(const QString& name, QStringList arguments, QByteArray configuration,
                const QString& command = QString())
    {
        Proxy proxy;
        proxy.name = name;
        proxy.port = LoopbackHttpServer::closedPort();
        const QString file = m_dir.filePath(name + QStringLiteral(".conf"));
        configuration.replace("%PORT%", QByteArray::number(proxy.port)).replace("%DIR%", m_dir.path().toLocal8Bit());
        QFile conf(file);
        if (!conf.open(QIODevice::WriteOnly) || conf.write(configuration) != configuration.size())
            qWarning("cannot write %s", qPrintable(file));
        conf.close();
        arguments.replaceInStrings(QStringLiteral("%CONF%"), file);
        proxy.process = std::make_unique<QProcess>();
        proxy.process->setProcessChannelMode(QProcess::MergedChannels);
        proxy.process->start(program(command.isEmpty() ? name : command), arguments);
        m_proxies.push_back(std::move(proxy));
    }

    QTemporaryDir m_dir;
    std::vector<Proxy> m_proxies;
};

namespace
{

// What a proxy answers when asked for a URL, as a raw HEAD request sees it: the status line and the headers that tell
// whose answer it is.
QByteArray rawAnswer(quint16 proxy, const QByteArray& url)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), proxy);
    if (!socket.waitForConnected(5000))
        return "(no connection)";
    socket.write("HEAD " + url + " HTTP/1.1\r\nHost: " + QUrl::fromEncoded(url).host().toLatin1() +
                 "\r\nConnection: close\r\n\r\n");
    QByteArray head;
    while (!head.contains("\r\n\r\n") && socket.waitForReadyRead(15000))
        head += socket.readAll();
    QByteArrayList shown;
    for (const QByteArray& line : head.left(head.indexOf("\r\n\r\n")).split('\n')) {
        const QByteArray lower = line.toLower();
        if (shown.isEmpty() || lower.startsWith("server:") || lower.startsWith("via:") ||
            lower.startsWith("x-squid-error:") || lower.startsWith("last-modified:") ||
            lower.startsWith("proxy-status:"))
            shown << line.trimmed();
    }
    return shown.isEmpty() ? QByteArray("(nothing, the connection closed)") : shown.join("; ");
}

} // namespace

void TestHostileServers::proxysOwnErrorIsNoAnswer_data()
{
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QString>("url"); // %LIVE%, %SILENT%, %TLS%, %REFUSED% stand for the servers' ports
    QTest::addColumn<Outcome>("expected");

    const Outcome couldNotReach = Outcome::failure(Reason::ProxyCouldNotReach);
    for (const char* proxy : {"tinyproxy", "privoxy", "squid"}) {
        const QString name = QLatin1String(proxy);
        auto row = [&](const char* what, const char* url, const Outcome& expected) {
            QTest::addRow("%s, %s", proxy, what) << name << QString::fromLatin1(url) << expected;
        };
        row("dead name", "http://gone.tessaly.test:%LIVE%/200", couldNotReach);
        row("refused port", "http://refused.tessaly.test:%REFUSED%/", couldNotReach);
        // tinyproxy closes the connection without a word when the server is silent; the others say so.
        row("silent server", "http://silent.tessaly.test:%SILENT%/",
            name == QLatin1String("tinyproxy") ? Outcome::failure(Reason::ClosedWithoutAnswer) : couldNotReach);
        row("200", "http://live.tessaly.test:%LIVE%/200", Outcome::answer(200));
        row("404", "http://live.tessaly.test:%LIVE%/404", Outcome::answer(404));
        row("500", "http://live.tessaly.test:%LIVE%/500", Outcome::answer(500));
        row("503", "http://live.tessaly.test:%LIVE%/503", Outcome::answer(503));
        row("https 200", "https://live.tessaly.test:%TLS%/200", Outcome::answer(200));
        row("https dead name", "https://gone.tessaly.test:%TLS%/", couldNotReach);
        row("https refused port", "https://refused.tessaly.test:%REFUSED%/", couldNotReach);
    }
}

void TestHostileServers::proxysOwnErrorIsNoAnswer()
{
    if (ranInOwnNamespace(QStringLiteral("proxysOwnErrorIsNoAnswer")))
        return;
    QFETCH(QString, proxy);
    QFETCH(QString, url);
    QFETCH(Outcome, expected);
    const QStringList missing = ProxyLab::missing();
    if (!missing.isEmpty()) {
        // CI installs them all (scripts/deps.sh): there a missing proxy is a failure.
        const QByteArray why = "not installed: " + missing.join(QLatin1String(", ")).toUtf8();
        if (qgetenv("CI") == "true")
            QFAIL(why.constData());
        QSKIP(why.constData());
    }
    if (!m_lab) {
        QVERIFY(testsupport::inOwnResolverNamespace(kNameServer));
        m_lab = new ProxyLab;
        QString failure;
        QVERIFY2(m_lab->start(&failure), qPrintable(failure));
    }
    url.replace(QLatin1String("%LIVE%"), QString::number(m_lab->livePort))
        .replace(QLatin1String("%SILENT%"), QString::number(m_lab->silentPort))
        .replace(QLatin1String("%TLS%"), QString::number(m_lab->tlsPort))
        .replace(QLatin1String("%REFUSED%"), QString::number(m_lab->refusedPort));
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(m_lab->port(proxy));
    qputenv("http_proxy", address);
    qputenv("https_proxy", address);
    const QString tag = QLatin1String(QTest::currentDataTag());
    if (tag.endsWith(QLatin1String(", dead name")) || tag.endsWith(QLatin1String(", refused port")))
        qInfo("proxy answers: %s: %s", qPrintable(tag), rawAnswer(m_lab->port(proxy), url.toLatin1()).constData());

    TransferChannel channel(kLongTimeoutMs);
    QSignalSpy finished(&channel, &TransferChannel::finished);
    QVERIFY(channel.head(url));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 2 * kLongTimeoutMs + kGraceMs);
    QCOMPARE(testsupport::lastOutcome(finished), expected);
}

void TestHostileServers::cleanupTestCase()
{
    delete m_lab;
    m_lab = nullptr;
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
    const char* const paths[] = {"/reset", "/close", "/http09"};
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
    // The run is over: no request is out that could bring another verdict.
    QCOMPARE(checker.requestsInProgress(), 0);
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
    QCOMPARE(checker.requestsInProgress(), 0);

    QHash<int, int> perRow;
    for (const QList<QVariant>& args : std::as_const(verdicts)) {
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
        QPair<int, int>& counts = tally[QLatin1String(b.name)];
        (linkTable.verdict(r) == table::Verdict::Alive ? counts.first : counts.second)++;
        const int listener = (r - 1) % int(addresses.size()) * ListenersPerAddress + b.listener;
        const Outcome expected = expectedOn(b, server->url(QString(), listener));
        if (linkTable.outcome(r) != expected) {
            const std::unique_ptr<char[]> got(table::toString(linkTable.outcome(r)));
            const std::unique_ptr<char[]> wanted(table::toString(expected));
            QFAIL(qPrintable(
                QStringLiteral("row %1 (%2, %3): %4, expected %5")
                    .arg(r)
                    .arg(QLatin1String(b.name), urls[r - 1], QLatin1String(got.get()), QLatin1String(wanted.get()))));
        }
    }

    // (The pace and the memory of such runs are measured by bench_check --hostile.)
    const qint64 peakKb = testsupport::processStatusKb("VmHWM:");
    qInfo("mixed run: %d rows on %d address(es), %d channels, time-out %d ms: %lld ms; peak RSS %lld kB", kMixedRows,
          int(addresses.size()), kMixedChannels, kMixedTimeoutMs, static_cast<long long>(elapsed),
          static_cast<long long>(peakKb));
    for (auto it = tally.cbegin(); it != tally.cend(); ++it)
        qInfo("  %-42s YES %4d  NO %4d", qPrintable(it.key()), it.value().first, it.value().second);
}

QTEST_GUILESS_MAIN(TestHostileServers)
#include "tst_hostileservers.moc"
