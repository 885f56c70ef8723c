#pragma once

#include <QString>

#include "favorites/Catalogue.h"
#include "favorites/Progress.h"
#include "table/LinkTable.h"

namespace table
{

/// The name a grid row shows for a file name: the name without its last four characters (the
/// extension ".url"); empty for a name of four characters or fewer.
QString displayName(const QString& fileName);

/// The folder of a file relative to the Favorites folder ("" for the Favorites folder itself).
QString relativeFolder(const QString& favPath, const QString& folder);

/// What a load does with the verdicts of the check the table holds, which are not saved yet.
enum class CurrentVerdicts
{
    Cleared, // every row starts without one (after a save, which has folded them into the histories)
    Kept,    // a favorite still there, in the same folder, by the same name and with the same address, keeps its own
};

/// The rows of the link table for the catalogue's collected files: every row's address read from its shortcut file
/// and the saved histories of the results file at resultsPath merged in; no current verdicts. Never fails: a missing
/// address or results file reads as empty. Touches nothing but the files, so it may run in a worker; each shortcut
/// file is a step of progress, and asked to stop, it returns the rows read so far.
QVector<LinkRow> readRows(const favorites::Catalogue& catalogue, const QString& resultsPath,
                          favorites::Progress* progress = nullptr);

/// Gives each of rows that is still there, in the same folder, by the same name and with the same address, the
/// current verdict it had in before.
void keepVerdicts(const QVector<LinkRow>& before, QVector<LinkRow>& rows);

/// Loads the link table from the catalogue's collected files (readRows): every row's current verdict starts empty,
/// or as it was (verdicts), and the table's generation moves on.
void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, const QString& resultsPath,
               CurrentVerdicts verdicts = CurrentVerdicts::Cleared);

} // namespace table
