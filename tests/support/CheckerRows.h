#pragma once

#include <QString>
#include <QStringList>

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

} // namespace testsupport
