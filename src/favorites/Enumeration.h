#pragma once

#include <QString>

#include "favorites/Catalogue.h"

namespace favorites
{

/// Appends every plain file directly in folder (a file or a link to one; hidden and system files left out) to the
/// catalogue's file list, in the order of platform::listFolder. A folder that cannot be read adds nothing.
void ScanFolder(Catalogue& catalogue, const QString& folder);

/// Runs ScanFolder on every subfolder of folder at any depth, depth-first pre-order: a subfolder's own
/// files come before those of its subfolders. Links to folders are not followed.
void ScanTree(Catalogue& catalogue, const QString& folder);

/// Appends every subfolder of folder at any depth to the catalogue's folder list, in the same order.
void ListFolders(Catalogue& catalogue, const QString& folder);

/// The file enumeration that start-up and every reload run: the file list afresh, root files first.
/// An empty favPath collects nothing.
void collectFiles(Catalogue& catalogue);

} // namespace favorites
