#include "table/Loader.h"

#include <utility>

#include "favorites/ShortcutFile.h"
#include "platform/Paths.h"
#include "table/ResultsFile.h"

namespace table
{

QString displayName(const QString& fileName)
{
    return fileName.size() > 4 ? fileName.chopped(4) : QString();
}

QString relativeFolder(const QString& favPath, const QString& folder)
{
    return folder.mid(favPath.size());
}

void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, const QString& resultsPath)
{
    const SavedRows saved = readResults(resultsPath);
    const int count = catalogue.fileCount;
    QVector<LinkRow> rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i) {
        LinkRow row;
        row.fileName = catalogue.fileName.at(i);
        row.filePath = catalogue.filePath.at(i);
        row.url = favorites::GetUrl(platform::joinPath(row.filePath, row.fileName));
        row.folder = relativeFolder(catalogue.favPath, row.filePath);
        row.history = saved.historyFor(row.filePath, row.fileName);
        rows.append(std::move(row));
    }
    table.load(std::move(rows));
}

} // namespace table
