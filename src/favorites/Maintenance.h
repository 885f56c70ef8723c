#pragma once

#include <QString>
#include <QStringList>

#include "favorites/Catalogue.h"
#include "favorites/FileOps.h"
#include "platform/Failure.h"

// The commands that change the Favorites folder as a whole: deleting the dead favorites, backing the folder up and
// restoring it. Each checks its preconditions first and touches nothing when they fail. Backup and restore are
// exact (names byte for byte, links as links, every mode kept) and all or nothing: a failure, or the program being
// stopped at any moment, never leaves a backup or a Favorites folder that is neither the old one nor the new one.

namespace favorites
{

/// The failures of the commands on the Favorites folder as a whole.
enum class MaintenanceFailure
{
    NoFavoritesFolder,              // no path
    FavoritesFolderMissing,         // path: the Favorites folder
    FavoritesNotAFolder,            // path: the Favorites folder
    NotInFavorites,                 // path: a file outside the Favorites folder
    BackupOverlapsFavorites,        // path: the backup folder
    WorkingFolderOverlapsFavorites, // path: the working folder beside the backup
    InterruptedBackupNotRecovered,  // path: the previous backup set aside
    WorkingFolderNotOurs,           // path: a folder of a working folder's name that the program did not make
    RestoreNotUndone,               // path: the working folder that holds the old favorites; system: why
    InterruptedRestoreNotRecovered, // path: the working folder that holds the old favorites; system: why
    OldBackupNotReplaced,           // path: the backup folder
    NewBackupNotPlaced,             // path: the backup folder
    NoBackup,                       // path: the backup folder
    BackupUnreadable,               // path: the backup folder
};

/// The backup folder of a program folder: program folder + separator + "data".
QString backupFolderPath(const QString& programFolder);

/// Why favPath cannot be worked on (no failure when it can): empty, missing, or not a folder.
platform::Failure favoritesFolderProblem(const QString& favPath);

/// True when one of the two folders is the other or lies inside it (after resolving links and "..").
bool foldersOverlap(const QString& a, const QString& b);

/// Deletes each of the given shortcut files (full paths) that lies inside favPath, in order, stopping at the first
/// that cannot be deleted. A file already gone counts as deleted. deleted receives how many are gone. Returns false
/// with the reason in *failure; nothing is done when favPath cannot be worked on.
bool deleteFavorites(const QString& favPath, const QStringList& files, int* deleted = nullptr,
                     platform::Failure* failure = nullptr);

/// Replaces the backup folder with a fresh copy of favPath. The copy is built beside the old backup, in the working
/// folder backupFolder + ".new", and takes its place only once it is complete, the previous one set aside in
/// backupFolder + ".old" until then: a failed backup leaves the previous one whole. A backup stopped half-way is
/// put right first. Named pipes, sockets and devices (and, on Windows, links) cannot be backed up: they are left
/// out and listed in *leftOut. Refuses when favPath cannot be worked on, something other than a folder stands where
/// the backup goes, a folder of a working folder's name is not the program's own, or any of them lies inside the
/// Favorites folder or the other way round.
bool backupFavorites(const QString& favPath, const QString& backupFolder, platform::Failure* failure = nullptr,
                     LeftOut* leftOut = nullptr);

/// Makes the contents of favPath those of the backup folder, all or nothing. The backup is first copied whole into
/// a working folder inside favPath; only then are the current entries moved aside into a second working folder and
/// the new ones moved in, by renames; only then is the old set deleted. When a step fails, everything is put back
/// as it was and *failure says what failed. Entries at the top of favPath that are hidden or system are kept where
/// they are (and an entry of the backup with the same name is not brought in). What the backup cannot hold or this
/// system cannot make is left out and listed in *leftOut. Refuses, changing nothing, when there is no backup
/// folder, favPath cannot be worked on, or the two folders lie inside each other. The backup itself is never
/// changed, except that a backup stopped between setting the previous one aside and putting the new one in place
/// is first put in place.
bool restoreFavorites(const QString& backupFolder, const QString& favPath, platform::Failure* failure = nullptr,
                      LeftOut* leftOut = nullptr);

/// What was found of a restore that was stopped half-way (the program killed, the machine off).
enum class InterruptedRestore
{
    None,     // nothing: no restore was under way
    Undone,   // stopped before the new favorites were moved in: the Favorites folder is as it was before
    Finished, // stopped once the old favorites were all set aside: the restore has been completed
};

/// Finishes or undoes a restore of favPath that was stopped half-way, as far as it had come, and says which in
/// *found. Returns false with the reason when it cannot; everything then stays where it was found (the old
/// favorites in the working folder the failure names), and nothing is deleted.
bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found = nullptr,
                               platform::Failure* failure = nullptr);

/// True for a working folder of a restore inside the Favorites folder (the program's own, hidden from the table).
bool isRestoreWorkingFolder(const QString& path);

} // namespace favorites

template <> struct platform::IsFailureKind<favorites::MaintenanceFailure> : std::true_type
{
};
