#include "table/LinkTable.h"

#include <utility>

#include "platform/Paths.h"

namespace table
{

bool LinkRow::operator==(const LinkRow& other) const
{
    return fileName == other.fileName && filePath == other.filePath && url == other.url && folder == other.folder &&
           outcome == other.outcome && history == other.history;
}

QString LinkTable::fullPath(int row) const
{
    return platform::joinPath(filePath(row), fileName(row));
}

void LinkTable::load(QVector<LinkRow> rows)
{
    emit rowsAboutToBeReset();
    m_rows = std::move(rows);
    ++m_generation;
    m_reloadPending = false;
    emit rowsReset();
}

void LinkTable::setOutcome(int row, const Outcome& outcome)
{
    if (!hasRow(row))
        return;
    m_rows[row - 1].outcome = outcome;
    emit rowsChanged(row, row);
}

void LinkTable::setHistories(const QVector<History>& histories)
{
    if (histories.size() != m_rows.size() || m_rows.isEmpty())
        return;
    for (int i = 0; i < rowCount(); ++i)
        m_rows[i].history = histories.at(i);
    emit rowsChanged(1, rowCount());
}

void LinkTable::setFavorite(int row, const QString& fileName, const QString& filePath, const QString& folder,
                            const QString& url)
{
    if (!hasRow(row))
        return;
    LinkRow& r = m_rows[row - 1];
    r.fileName = fileName;
    r.filePath = filePath;
    r.folder = folder;
    r.url = url;
    emit rowsChanged(row, row);
}

} // namespace table
