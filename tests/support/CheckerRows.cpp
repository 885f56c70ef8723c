#include "support/CheckerRows.h"

#include "favorites/Catalogue.h"
#include "table/LinkTable.h"

namespace testsupport
{

void setRows(favorites::Catalogue& catalogue, table::LinkTable& table, const QStringList& addresses,
             const QString& initialState)
{
    catalogue.clearFiles();
    table.clearRows();
    for (int i = 0; i < addresses.size(); ++i) {
        catalogue.fileName.append(QStringLiteral("row%1.url").arg(i + 1));
        catalogue.filePath.append(QStringLiteral("/fav"));
        table.rowUrl.append(addresses[i]);
        table.rowFolder.append(QString());
        table.rowState.append(initialState);
        table.rowHistory.append(table::History{});
    }
    catalogue.fileCount = int(addresses.size());
}

} // namespace testsupport
