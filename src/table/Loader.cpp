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

QHash<QString, Outcome> currentOutcomes(const QVector<LinkRow>& rows)
{
    QHash<QString, Outcome> outcomes;
    for (const LinkRow& row : rows) {
        if (row.outcome.verdict != Verdict::None)
            outcomes.insert(verdictKey(row.filePath, row.fileName, row.url), row.outcome);
    }
    return outcomes;
}

} // namespace

QVector<LinkRow> readRows(const favorites::Catalogue& catalogue, const QString& resultsPath,
                          favorites::Progress* progress)
{
    const SavedRows saved = readResults(resultsPath);
    const int count = catalogue.fileCount;
    QVector<LinkRow> rows;
    rows.reserve(count);
    if (!favorites::startOn(progress, count))
        return rows;
    for (int i = 1; i <= count; ++i) {
        LinkRow row;
        row.fileName = catalogue.fileName.at(i);
        row.filePath = catalogue.filePath.at(i);
        row.url = favorites::GetUrl(platform::joinPath(row.filePath, row.fileName));
        row.folder = relativeFolder(catalogue.favPath, row.filePath);
        row.history = saved.historyFor(row.filePath, row.fileName);
        rows.append(std::move(row));
        if (!favorites::stepOn(progress))
            break;
    }
    return rows;
}

void keepVerdicts(const QVector<LinkRow>& before, QVector<LinkRow>& rows)
{
    const QHash<QString, Outcome> kept = currentOutcomes(before);
    if (kept.isEmpty())
        return;
    for (LinkRow& row : rows)
        row.outcome = kept.value(verdictKey(row.filePath, row.fileName, row.url));
}

void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, const QString& resultsPath,
               CurrentVerdicts verdicts)
{
    QVector<LinkRow> rows = readRows(catalogue, resultsPath);
    if (verdicts == CurrentVerdicts::Kept)
        keepVerdicts(table.rows(), rows);
    table.load(std::move(rows));
}

} // namespace table
