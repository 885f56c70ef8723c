#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

class QSignalSpy;

#include "table/Verdict.h"

namespace table
{
class LinkTable;

// How QCOMPARE prints the table's values.
char* toString(Verdict verdict);
char* toString(const History& history);
char* toString(Reason reason);
char* toString(const Outcome& outcome);
} // namespace table

namespace testsupport
{

/// Loads the table by hand with one row per address: file names "row<i>.url" in the folder "/fav", every verdict
/// none (or initial), no history.
void setRows(table::LinkTable& table, const QStringList& addresses, table::Verdict initial = table::Verdict::None);

/// Every row's verdict as the results file writes it ("YES", "NO", ""), with an empty element 0 in front (so
/// element i is row i).
QStringList rowStates(const table::LinkTable& table);
/// Sets row `row`'s verdict, with nothing known of its reason.
void setVerdict(table::LinkTable& table, int row, table::Verdict verdict);
/// Sets every row's verdict.
void setAllStates(table::LinkTable& table, table::Verdict verdict);
/// A history of saved checks as the results file's fields hold them, the first saved first; missing ones empty.
table::History savedChecks(const QStringList& fields);

/// Favorites spread over many servers, one per loopback address 127.66.x.y, all on one port, as a user's
/// favorites are spread over the web. Server i (0-based) answers 200, answers 404 (14 and 3 in 20), or has
/// no listener at all, so that its connection is refused (3 in 20).
enum class SpreadKind
{
    Ok,
    NotFound,
    Refused,
};
QHostAddress spreadAddress(int i);
SpreadKind spreadKind(int i);
/// The address of favorite i: "http://127.66.x.y:<port>/200", or "/404" for a NotFound server.
QString spreadUrl(int i, quint16 port);
/// The verdict favorite i must get: "NO" for a refused server, "YES" for the others.
QString spreadVerdict(int i);

/// A wrapper for runSelfInChild (ChildRun.h): the child runs in network and mount namespaces of its own (and a
/// user namespace), where nothing but loopback exists and every name is looked up at nameserver, a loopback
/// address, through the resolver configuration (resolv.conf, nsswitch.conf) written into dir, which must
/// outlive the child. Empty, with the reason in skipReason, where the machine allows no such namespaces. The
/// child ends with code 97 when the configuration could not be put in place.
QStringList ownResolverWrapper(const QString& dir, const QHostAddress& nameserver, QString* skipReason);
/// Runs testFunction ("name" or "name:data tag") of this test binary again in such a child, with a resolver
/// configuration of its own in a temporary folder, and returns its exit code; output receives what it printed.
/// -1, with the reason in skipReason, where the machine allows no such child.
int runInOwnResolverNamespace(const QString& testFunction, const QHostAddress& nameserver, QByteArray* output,
                              QString* skipReason);
/// In such a child: brings the loopback interface up and leaves no proxy in the environment; false when the
/// child has any other interface or the resolver configuration is not the one written.
bool inOwnResolverNamespace(const QHostAddress& nameserver);

/// The stages a transfer channel reported, from a spy on its stageReached signal, as numbers (Resolving 0 ..).
QList<int> stagesOf(const QSignalSpy& spy);
/// Stages as text, "0 1 2 ...", for messages.
QString describeStages(const QList<int>& stages);
/// The outcome a spy on a transfer channel's finished signal caught last (none when it caught nothing).
table::Outcome lastOutcome(const QSignalSpy& spy);

} // namespace testsupport
