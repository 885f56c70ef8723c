#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include "table/Verdict.h"

namespace table
{

/// One favorite as a row of the link table.
struct LinkRow
{
    QString fileName; // the shortcut file's name, extension included
    QString filePath; // the folder that holds it, no trailing separator
    QString url;      // rowUrl: the address read from the file ("" when it has none)
    QString folder;   // rowFolder: the folder relative to the Favorites folder, "" or "/Links/News" style
    Outcome outcome;  // the current check's verdict and its reason; none until the favorite is asked
    History history;  // the saved checks

    bool operator==(const LinkRow& other) const;
    bool operator!=(const LinkRow& other) const { return !(*this == other); }
};

/// The link table: one row per favorite, and the only store of what the program knows of each. The grid
/// shows it, the checker writes verdicts into it, the commands and the edit dialog read and change it.
///
/// Rows are numbered 1..rowCount() everywhere, as the files of the enumeration the load was made from.
/// Every load starts a new generation: a row number taken in one generation (a check's request, say) means
/// nothing in the next, and isCurrent() is the one place that tells. Every change is announced, so that a
/// view never holds a copy of its own.
class LinkTable : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkTable)

public:
    explicit LinkTable(QObject* parent = nullptr) : QObject(parent) {}

    int rowCount() const { return int(m_rows.size()); }
    /// True for 1..rowCount().
    bool hasRow(int row) const { return row >= 1 && row <= rowCount(); }
    /// Moves on with every load.
    quint64 generation() const { return m_generation; }
    /// True from announceReload() until the next load: the rows are about to be replaced, and a verdict written into
    /// them now may not reach the new ones.
    bool isReloadPending() const { return m_reloadPending; }
    /// True when row `row` exists and the table has not been loaded again since `generation`.
    bool isCurrent(int row, quint64 generation) const { return generation == m_generation && hasRow(row); }

    /// Row `row`; the row must exist (hasRow).
    const LinkRow& row(int row) const { return m_rows.at(row - 1); }
    /// Every row, in order (row i is element i - 1).
    const QVector<LinkRow>& rows() const { return m_rows; }

    // The fields of row `row` under the names the rest of the program knows them by; the row must exist.
    const QString& fileName(int row) const { return this->row(row).fileName; }
    const QString& filePath(int row) const { return this->row(row).filePath; }
    const QString& rowUrl(int row) const { return this->row(row).url; }
    const QString& rowFolder(int row) const { return this->row(row).folder; }
    Verdict verdict(int row) const { return this->row(row).outcome.verdict; }
    const Outcome& outcome(int row) const { return this->row(row).outcome; }
    const History& history(int row) const { return this->row(row).history; }
    /// The shortcut file of row `row`: filePath joined with fileName.
    QString fullPath(int row) const;

    /// A load is on its way (a command has changed, or is changing, what is on disk): until it has replaced the rows,
    /// isReloadPending() says so, and whoever has something to write into a row holds it back until rowsReset.
    void announceReload() { m_reloadPending = true; }
    /// Replaces every row (a load): the generation moves on, no reload is pending any more, and rowsReset follows.
    void load(QVector<LinkRow> rows);
    /// Sets what the current check learnt of row `row`; nothing for a row that does not exist.
    void setOutcome(int row, const Outcome& outcome);
    /// Sets every row's history at once (the save); a list of another length than the rows changes nothing.
    void setHistories(const QVector<History>& histories);
    /// Row `row` now stands for the file fileName in filePath, whose address is url (an edit); nothing for a row
    /// that does not exist.
    void setFavorite(int row, const QString& fileName, const QString& filePath, const QString& folder,
                     const QString& url);

signals:
    /// Every row is about to be replaced.
    void rowsAboutToBeReset();
    /// Every row has been replaced.
    void rowsReset();
    /// Rows first..last (1-based, inclusive) have changed.
    void rowsChanged(int first, int last);

private:
    QVector<LinkRow> m_rows;
    quint64 m_generation = 0;
    bool m_reloadPending = false;
};

} // namespace table
