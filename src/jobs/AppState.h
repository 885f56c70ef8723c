#pragma once

#include <QString>

#include "favorites/Catalogue.h"
#include "table/LinkTable.h"

namespace jobs
{

/// Everything the program knows for the whole of its run: the favorites catalogue, the link table and where its
/// own files live. One instance, owned by main() (or a test) and passed by reference.
struct AppState
{
    favorites::Catalogue catalogue;
    table::LinkTable table;
    QString programFolder; // holds the results file "data.txt" and the backup folder "data"
};

} // namespace jobs
