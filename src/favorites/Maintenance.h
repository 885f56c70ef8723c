#pragma once

#include <QString>
#include <QStringList>

#include "favorites/Catalogue.h"
#include "platform/Failure.h"

// The commands that change the Favorites folder as a whole: deleting the dead favorites, backing the
// folder up and restoring it. Each checks its preconditions first and touches nothing when they fail.

namespace favorites
{

/// The backup folder of a program folder: program folder + separator + "data".
QString backupFolderPath(const QString& programFolder);

/// Why favPath cannot be worked on (no failure when it can): empty, missing, or not a folder.
platform::Failure favoritesFolderProblem(const QString& favPath);

/// True when one of the two folders is the other or lies inside it (after resolving links and "..").
bool foldersOverlap(const QString& a, const QString& b);

/// Deletes each of the given shortcut files (full paths) that lies inside favPath, in order, stopping at
/// the first that cannot be deleted. deleted receives how many went. Returns false with the reason in
/// *failure; nothing is done when favPath cannot be worked on.
bool deleteFavorites(const QString& favPath, const QStringList& files, int* deleted = nullptr,
                     platform::Failure* failure = nullptr);

/// Replaces the backup folder with a fresh copy of favPath. The copy is built beside the old backup and
/// takes its place only once it is complete, so a failed backup leaves the previous one whole. A backup that
/// was stopped half-way (the program killed) is put right first, as restoreFavorites does.
/// Refuses when favPath cannot be worked on or lies inside each other with the backup folder or the
/// working folders beside it (backupFolder + ".new" and ".old"). Every file and subfolder keeps its mode.
bool backupFavorites(const QString& favPath, const QString& backupFolder, platform::Failure* failure = nullptr);

/// Replaces the contents of favPath with those of the backup folder: every file directly in favPath and
/// every subfolder that is neither hidden nor system is deleted, then the backup is copied in, every file and
/// subfolder with its mode.
/// Refuses, deleting nothing, when there is no backup folder, favPath cannot be worked on, or the two
/// folders lie inside each other. The backup itself is never changed, except that a backup stopped between
/// setting the previous one aside and putting the new one in place is first put in place.
bool restoreFavorites(const QString& backupFolder, const QString& favPath, platform::Failure* failure = nullptr);

} // namespace favorites
