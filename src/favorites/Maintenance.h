#pragma once

#include <functional>
#include <initializer_list>

#include <QString>

#include "favorites/FileOps.h"
#include "favorites/Progress.h"
#include "favorites/WorkingFolder.h"
#include "platform/Failure.h"

// What the work on the Favorites folder as a whole shares: deleting the dead favorites (DeleteFavorites.h), backing
// the folder up (Backup.h), restoring it (Restore.h) and putting right a backup or restore stopped half-way
// (Recovery.h). Each checks its preconditions first and touches nothing when they fail. Backup and restore are exact
// (names byte for byte, links as links, every mode kept) and all or nothing: a failure, or the program being stopped
// at any moment, never leaves a backup or a Favorites folder that is neither the old one nor the new one. What delete
// and restore remove from the Favorites folder goes to the Recycle Bin; where there is none, it is deleted for good
// only once the caller, having asked the user, says so. The long ones count their entries through a Progress, which
// may ask them to stop: they stop at the next entry, as safely as at a failure there.

namespace favorites
{

/// The failures of the work on the Favorites folder as a whole.
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
    WorkingFolderInUse,             // path: a working folder that a backup or restore under way holds
    NoRecycleBin,                   // path: what could not go to the Recycle Bin, left where it was; system: why
    ReplacedFavoritesKept,          // path: the folder in the Favorites folder that holds what a restore replaced
    ReplacedFavoritesNotDeleted,    // path: the working folder that holds what is left of them; system: why
    WorkingFolderGone,              // path: the Favorites folder, whose working folder was taken away during a restore
};

/// The backup folder of a program folder: program folder + separator + "data".
QString backupFolderPath(const QString& programFolder);

/// Why favPath cannot be worked on (no failure when it can): empty, missing, or not a folder.
platform::Failure favoritesFolderProblem(const QString& favPath);

/// True when one of the two folders is the other or lies inside it (after resolving links and "..").
bool foldersOverlap(const QString& a, const QString& b);

/// Why a backup or a restore cannot be made between these folders (no failure when it can): the Favorites folder must
/// be usable, and as backup and restore empty and rename the backup folder and its working folders, none of those may
/// be, hold or lie inside the Favorites folder.
platform::Failure backupProblem(const QString& favPath, const QString& backupFolder);

/// False, with WorkingFolderNotOurs, when something that is not the program's own stands at the working folder's path.
bool refuseUnlessOursOrAbsent(const WorkingFolder& folder, platform::Failure* failure);

/// False, naming the first, when one of the working folders is held by a backup or a restore under way.
bool refuseWhileInUse(std::initializer_list<const WorkingFolder*> folders, platform::Failure* failure);

/// Copies what source holds, but what skip names, into a working folder just made, and records the copy complete.
/// Stopped (reported at favPath) or failed, the working folder goes again.
bool copyIntoWorkingFolder(const platform::NativePath& source, WorkingFolder& fresh,
                           const std::function<bool(const platform::NativePath& name)>& skip, const QString& favPath,
                           platform::Failure* failure, LeftOut* leftOut, Progress* progress);

} // namespace favorites

template <> struct platform::IsFailureKind<favorites::MaintenanceFailure> : std::true_type
{
};
