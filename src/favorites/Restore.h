#pragma once

#include <QString>

#include "favorites/FileOps.h"
#include "favorites/Progress.h"
#include "platform/Failure.h"
#include "platform/SystemError.h"

// The file work of 还原收藏夹: the Favorites folder made what the backup holds again, all or nothing.

namespace favorites
{

/// What became of the favorites a restore replaced.
struct ReplacedFavorites
{
    QString name;              // in: the name of the one folder they go to the Recycle Bin in; out: the one it got
    bool inRecycleBin = false; // out: they are there; else they are kept aside until settleRestore()
    platform::SystemError why; // out, when not in the Recycle Bin: why not (none: no Recycle Bin for the volume)
};

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

} // namespace favorites
