#include "table/Loader.h"

#include <utility>

#include <QHash>

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

namespace
{

// A favorite as a verdict is about it: its file and the address that was asked.
QString verdictKey(const QString& filePath, const QString& fileName, const QString& url)
{
    return filePath + QChar(0) + fileName + QChar(0) + url;
}

QHash<QString, QString> currentVerdicts(const LinkTable& table)
{
    QHash<QString, QString> verdicts;
    for (int i = 1; i <= table.rowCount(); ++i) {
        const LinkRow& row = table.row(i);
        if (!row.state.isEmpty())
            verdicts.insert(verdictKey(row.filePath, row.fileName, row.url), row.state);
    }
    return verdicts;
}

} // namespace

void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, const QString& resultsPath,
               CurrentVerdicts verdicts)
{
    const QHash<QString, QString> kept =
        verdicts == CurrentVerdicts::Kept ? currentVerdicts(table) : QHash<QString, QString>();
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
        if (!kept.isEmpty())
            row.state = kept.value(verdictKey(row.filePath, row.fileName, row.url));
        rows.append(std::move(row));
    }
    table.load(std::move(rows));
}

} // namespace table
