#pragma once

#include <QString>

#include "favorites/Catalogue.h"
#include "table/LinkTable.h"

namespace table
{

/// The name a grid row shows for a file name: the name without its last four characters (the
/// extension ".url"); empty for a name of four characters or fewer.
QString displayName(const QString& fileName);

/// The folder of a file relative to the Favorites folder ("" for the Favorites folder itself).
QString relativeFolder(const QString& favPath, const QString& folder);

/// Loads the link table from the catalogue's collected files: reads every row's address from its shortcut
/// file and merges the saved histories of the results file at resultsPath. Every row's current verdict starts
/// empty, and the table's generation moves on. Never fails: a missing address or results file reads as empty.
void loadTable(const favorites::Catalogue& catalogue, LinkTable& table, const QString& resultsPath);

} // namespace table
