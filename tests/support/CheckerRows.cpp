#include "support/CheckerRows.h"

#include <algorithm>
#include <cstring>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "checker/TransferChannel.h"
#include "support/ChildRun.h"
#include "table/LinkTable.h"

namespace testsupport
{

void setRows(table::LinkTable& table, const QStringList& addresses, table::Verdict initial)
{
    QVector<table::LinkRow> rows;
    for (int i = 0; i < addresses.size(); ++i) {
        table::LinkRow row;
        row.fileName = QStringLiteral("row%1.url").arg(i + 1);
        row.filePath = QStringLiteral("/fav");
        row.url = addresses[i];
        row.outcome = table::Outcome::of(initial);
        rows.append(row);
    }
    table.load(rows);
}

QStringList rowStates(const table::LinkTable& table)
{
    QStringList states{QString()};
    for (const table::LinkRow& row : table.rows())
        states.append(table::verdictText(row.outcome.verdict));
    return states;
}

void setVerdict(table::LinkTable& table, int row, table::Verdict verdict)
{
    table.setOutcome(row, table::Outcome::of(verdict));
}

void setAllStates(table::LinkTable& table, table::Verdict verdict)
{
    for (int i = 1; i <= table.rowCount(); ++i)
        setVerdict(table, i, verdict);
}

table::History savedChecks(const QStringList& fields)
{
    table::History history;
    for (int k = 0; k < fields.size() && k < table::History::kDepth; ++k)
        history.checks[std::size_t(k)] = table::SavedCheck::fromText(fields.at(k));
    return history;
}

QHostAddress spreadAddress(int i)
{
    return QHostAddress(QStringLiteral("127.66.%1.%2").arg(i / 250).arg(1 + i % 250));
}

SpreadKind spreadKind(int i)
{
    const int k = i % 20;
    return k < 14 ? SpreadKind::Ok : k < 17 ? SpreadKind::NotFound : SpreadKind::Refused;
}

QString spreadUrl(int i, quint16 port)
{
    return QStringLiteral("http://%1:%2/%3")
        .arg(spreadAddress(i).toString())
        .arg(port)
        .arg(spreadKind(i) == SpreadKind::NotFound ? 404 : 200);
}

QString spreadVerdict(int i)
{
    return table::verdictText(spreadKind(i) == SpreadKind::Refused ? table::Verdict::Dead : table::Verdict::Alive);
}

QStringList ownResolverWrapper(const QString& dir, const QHostAddress& nameserver, QString* skipReason)
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty()) {
        *skipReason = QStringLiteral("unshare(1) is not installed: no network namespace of the test's own");
        return {};
    }
    if (QProcess::execute(unshare, {QStringLiteral("-rnm"), QStringLiteral("true")}) != 0) {
        *skipReason = QStringLiteral("user, network and mount namespaces are not allowed here (unshare -rnm true)");
        return {};
    }
    const QString resolv = dir + QStringLiteral("/resolv.conf");
    const QString nsswitch = dir + QStringLiteral("/nsswitch.conf");
    QFile r(resolv);
    QFile n(nsswitch);
    if (!r.open(QIODevice::WriteOnly) || !n.open(QIODevice::WriteOnly) ||
        r.write("nameserver " + nameserver.toString().toLatin1() + '\n') < 0 || n.write("hosts: files dns\n") < 0) {
        *skipReason = QStringLiteral("cannot write the resolver configuration into ") + dir;
        return {};
    }
    const QString script = QStringLiteral("mount --bind \"$1\" /etc/resolv.conf || exit 97\n"
                                          "mount --bind \"$2\" /etc/nsswitch.conf || exit 97\n"
                                          "shift 2\n"
                                          "exec \"$@\"\n");
    return {unshare,
            QStringLiteral("-rnm"),
            QStringLiteral("sh"),
            QStringLiteral("-c"),
            script,
            QStringLiteral("sh"),
            resolv,
            nsswitch};
}

int runInOwnResolverNamespace(const QString& testFunction, const QHostAddress& nameserver, QByteArray* output,
                              QString* skipReason)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *skipReason = QStringLiteral("no temporary folder for the resolver configuration");
        return -1;
    }
    const QStringList wrapper = ownResolverWrapper(dir.path(), nameserver, skipReason);
    if (wrapper.isEmpty())
        return -1;
    const int code = runSelfInChild(wrapper, testFunction, QStringLiteral("1"), output, 180000);
    if (code == 97) {
        *skipReason = QStringLiteral("cannot replace the resolver configuration inside the namespace (mount --bind "
                                     "refused)");
        return -1;
    }
    return code;
}

bool inOwnResolverNamespace(const QHostAddress& nameserver)
{
    // A new network namespace has its loopback interface down.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq lo{};
    std::strcpy(lo.ifr_name, "lo");
    bool up = ioctl(fd, SIOCGIFFLAGS, &lo) == 0;
    lo.ifr_flags |= IFF_UP;
    up = up && ioctl(fd, SIOCSIFFLAGS, &lo) == 0;
    close(fd);
    if (!up)
        return false;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!(iface.flags() & QNetworkInterface::IsLoopBack))
            return false;
    }
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        qunsetenv(name);
    QFile resolv(QStringLiteral("/etc/resolv.conf"));
    return resolv.open(QIODevice::ReadOnly) &&
           resolv.readAll().trimmed() == "nameserver " + nameserver.toString().toLatin1();
}

QList<int> stagesOf(const QSignalSpy& spy)
{
    QList<int> stages;
    for (const QList<QVariant>& args : spy)
        stages.append(int(args.at(0).value<checker::TransferChannel::Stage>()));
    return stages;
}

QString describeStages(const QList<int>& stages)
{
    QStringList parts;
    for (int s : stages)
        parts << QString::number(s);
    return parts.join(QLatin1Char(' '));
}

table::Outcome lastOutcome(const QSignalSpy& spy)
{
    return spy.isEmpty() ? table::Outcome() : spy.last().at(0).value<table::Outcome>();
}

} // namespace testsupport

namespace table
{

char* toString(Verdict verdict)
{
    const QString text = verdictText(verdict);
    return qstrdup(text.isEmpty() ? "(none)" : qPrintable(text));
}

namespace
{

const char* reasonName(Reason reason)
{
    switch (reason) {
    case Reason::Unknown:
        return "Unknown";
    case Reason::Answered:
        return "Answered";
    case Reason::NameNotResolved:
        return "NameNotResolved";
    case Reason::ConnectionRefused:
        return "ConnectionRefused";
    case Reason::CouldNotConnect:
        return "CouldNotConnect";
    case Reason::ConnectionReset:
        return "ConnectionReset";
    case Reason::ClosedWithoutAnswer:
        return "ClosedWithoutAnswer";
    case Reason::NotHttp:
        return "NotHttp";
    case Reason::HeadTooLarge:
        return "HeadTooLarge";
    case Reason::TimedOut:
        return "TimedOut";
    case Reason::ProxyCouldNotReach:
        return "ProxyCouldNotReach";
    case Reason::SecureConnectionFailed:
        return "SecureConnectionFailed";
    }
    return "?";
}

} // namespace

char* toString(Reason reason)
{
    return qstrdup(reasonName(reason));
}

char* toString(const Outcome& outcome)
{
    QString text = verdictText(outcome.verdict);
    text = (text.isEmpty() ? QStringLiteral("(none)") : text) + QLatin1Char(' ') +
           QLatin1String(reasonName(outcome.reason));
    if (outcome.status != 0)
        text += QLatin1Char(' ') + QString::number(outcome.status);
    if (!outcome.movedTo.isEmpty())
        text += QStringLiteral(" -> ") + outcome.movedTo;
    return qstrdup(qPrintable(text));
}

char* toString(const History& history)
{
    QStringList fields;
    for (const SavedCheck& check : history.checks)
        fields.append(check.text());
    return qstrdup(qPrintable(fields.join(u'|')));
}

} // namespace table
