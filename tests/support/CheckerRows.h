#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSignalSpy;

namespace favorites
{
struct Catalogue;
}
namespace table
{
struct LinkTable;
}

namespace testsupport
{

/// Fills catalogue and table by hand with one row per address: fileCount = rows, file names
/// "row<i>.url" in the folder "/fav", rowState all "" (or initialState), no history.
void setRows(favorites::Catalogue& catalogue, table::LinkTable& table, const QStringList& addresses,
             const QString& initialState = QString());

/// The states a transfer channel reported, from a spy on its StateChanged signal.
QList<int> statesOf(const QSignalSpy& spy);
/// How many of them are final (11 no answer, 12 an answer).
int finalCount(const QSignalSpy& spy);

} // namespace testsupport
