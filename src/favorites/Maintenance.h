#pragma once

#include <QString>
#include <QStringList>

#include "favorites/Catalogue.h"
#include "favorites/FileOps.h"
#include "favorites/Progress.h"
#include "platform/Failure.h"
#include "platform/SystemError.h"

// The commands that change the Favorites folder as a whole: deleting the dead favorites, backing the folder up and
// restoring it. Each checks its preconditions first and touches nothing when they fail. Backup and restore are
// exact (names byte for byte, links as links, every mode kept) and all or nothing: a failure, or the program being
// stopped at any moment, never leaves a backup or a Favorites folder that is neither the old one nor the new one.
// What delete and restore remove from the Favorites folder goes to the Recycle Bin; where there is none, it is
// deleted for good only once the caller, having asked the user, says so. The long ones count their entries through a
// Progress, which may ask them to stop: they stop at the next entry, as safely as at a failure there.

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
    WorkingFolderInUse,             // path: a working folder that a backup or restore under way holds
    NoRecycleBin,                   // path: what could not go to the Recycle Bin, left where it was; system: why
    ReplacedFavoritesKept,          // path: the folder in the Favorites folder that holds what a restore replaced
    ReplacedFavoritesNotDeleted,    // path: the working folder that holds what is left of them; system: why
    WorkingFolderGone,              // path: the Favorites folder, whose working folder was taken away during a restore
};

/// How a command removes favorites.
enum class Removal
{
    ToRecycleBin, // into the system's Recycle Bin, where the user can bring them back from
    ForGood,      // deleted: only once the user has agreed, where there is no Recycle Bin
};

/// What became of the favorites a restore replaced.
struct ReplacedFavorites
{
    QString name;              // in: the name of the one folder they go to the Recycle Bin in; out: the one it got
    bool inRecycleBin = false; // out: they are there; else they are kept aside until settleRestore()
    platform::SystemError why; // out, when not in the Recycle Bin: why not (none: no Recycle Bin for the volume)
};

/// The backup folder of a program folder: program folder + separator + "data".
QString backupFolderPath(const QString& programFolder);

/// Why favPath cannot be worked on (no failure when it can): empty, missing, or not a folder.
platform::Failure favoritesFolderProblem(const QString& favPath);

/// True when one of the two folders is the other or lies inside it (after resolving links and "..").
bool foldersOverlap(const QString& a, const QString& b);

/// Removes each of the given shortcut files (full paths) that lies inside favPath, in order, stopping at the first
/// that cannot be removed. A file already gone counts as removed. deleted receives how many are gone. Into the Recycle
/// Bin, each file on its own: one for which the system has none stays where it is and is listed in *notRecycled.
/// Returns false with the reason in *failure; nothing is done when favPath cannot be worked on. Each file is a step of
/// progress.
bool deleteFavorites(const QString& favPath, const QStringList& files, Removal how, int* deleted = nullptr,
                     platform::Failure* failure = nullptr, QStringList* notRecycled = nullptr,
                     Progress* progress = nullptr);

/// Replaces the backup folder with a fresh copy of favPath. The copy is built beside the old backup, in the working
/// folder backupFolder + ".new", and takes its place only once it is complete, the previous one set aside in
/// backupFolder + ".old" until then: a failed backup leaves the previous one whole. A backup stopped half-way is
/// put right first. Named pipes, sockets and devices (and, on Windows, links) cannot be backed up: they are left
/// out and listed in *leftOut. Refuses when favPath cannot be worked on, something other than a folder stands where
/// the backup goes, a folder of a working folder's name is not the program's own, or any of them lies inside the
/// Favorites folder or the other way round. Each entry copied is a step of progress; stopped, the backup is as it was.
bool backupFavorites(const QString& favPath, const QString& backupFolder, platform::Failure* failure = nullptr,
                     LeftOut* leftOut = nullptr, Progress* progress = nullptr);

/// Makes the contents of favPath those of the backup folder, all or nothing. The backup is first copied whole into
/// a working folder inside favPath; only then are the current entries moved aside into a second working folder and
/// the new ones moved in, by renames; only then does the old set go to the Recycle Bin, as one folder inside favPath
/// named replaced->name (from where the Recycle Bin puts it back). When a step fails, everything is put back as it
/// was and *failure says what failed. Entries at the top of favPath that are hidden or system are kept where they
/// are (and an entry of the backup with the same name is not brought in). What the backup cannot hold or this
/// system cannot make is left out and listed in *leftOut. Refuses, changing nothing, when there is no backup
/// folder, favPath cannot be worked on, the two folders lie inside each other, or another restore is under way. The
/// backup itself is never changed, except that a backup stopped between setting the previous one aside and putting
/// the new one in place is first put in place.
///
/// When the old set cannot go to the Recycle Bin, the restore waits, holding it aside, with replaced->inRecycleBin
/// false: settleRestore() then deletes it for good or undoes the restore. Without replaced, the restore is undone
/// at once and fails with NoRecycleBin.
///
/// Each entry of the backup copied in is a step of progress; stopped then, the Favorites folder is as it was. The
/// renames after the copy are not stopped.
bool restoreFavorites(const QString& backupFolder, const QString& favPath, platform::Failure* failure = nullptr,
                      LeftOut* leftOut = nullptr, ReplacedFavorites* replaced = nullptr, Progress* progress = nullptr);

/// Ends a restore of favPath that waits with the old favorites held aside: deletes them for good (deleteOld), or
/// puts them back, undoing the restore. Nothing waiting: nothing done.
bool settleRestore(const QString& favPath, bool deleteOld, platform::Failure* failure = nullptr);

/// What was found of a restore that was stopped half-way (the program killed, the machine off).
enum class InterruptedRestore
{
    None,     // nothing: no restore was under way
    Undone,   // stopped before the new favorites were moved in (or the old ones could not go to the Recycle Bin, which
              // the user had not agreed to): the Favorites folder is as it was before
    Finished, // stopped once the old favorites were all set aside: the restore has been completed
};

/// Finishes or undoes a restore of favPath that was stopped half-way, as far as it had come, and says which in
/// *found. Returns false with the reason when it cannot; everything then stays where it was found (the old
/// favorites in the working folder the failure names), and nothing is deleted. A restore still at work (its working
/// folders held by the running program that makes them) is left alone: false with WorkingFolderInUse.
bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found = nullptr,
                               platform::Failure* failure = nullptr);

/// Puts right what a backup stopped half-way left beside backupFolder: the newest complete backup is put in place
/// when there is none, and what is left of the working folders is removed. A backup still at work is left alone:
/// false with WorkingFolderInUse.
bool recoverInterruptedBackup(const QString& backupFolder, platform::Failure* failure = nullptr);

/// True for a working folder of a restore inside the Favorites folder (the program's own, hidden from the table).
bool isRestoreWorkingFolder(const QString& path);

} // namespace favorites

template <> struct platform::IsFailureKind<favorites::MaintenanceFailure> : std::true_type
{
};
