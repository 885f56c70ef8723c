#include "table/Loader.h"

#include "favorites/ShortcutFile.h"
#include "platform/Paths.h"
#include "table/ResultsFile.h"

namespace table {

QString displayName(const QString& fileName)
{
    return fileName.size() > 4 ? fileName.chopped(4) : QString();
}

QString relativeFolder(const QString& favPath, const QString& folder)
{
    return folder.mid(favPath.size());
}

void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, LinkTableModel& model,
               const QString& resultsPath)
{
    const SavedRows saved = readResults(resultsPath);
    const int count = catalogue.fileCount;

    table.clearRows();
    ++table.generation;
    table.rowUrl.reserve(count + 1);
    table.rowFolder.reserve(count + 1);
    table.rowState.reserve(count + 1);
    table.rowHistory.reserve(count + 1);

    QVector<LinkTableModel::RowCells> rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const QString& folder = catalogue.filePath.at(i);
        const QString& name = catalogue.fileName.at(i);
        table.rowUrl.append(favorites::GetUrl(platform::joinPath(folder, name)));
        table.rowFolder.append(relativeFolder(catalogue.favPath, folder));
        table.rowState.append(QString());
        table.rowHistory.append(saved.historyFor(folder, name));

        const History& h = table.rowHistory.constLast();
        rows.append({table.rowFolder.constLast(), displayName(name), table.rowUrl.constLast(), QString(), h[1], h[2],
                     h[3], h[4]});
    }
    model.setRows(std::move(rows));
}

} // namespace table
