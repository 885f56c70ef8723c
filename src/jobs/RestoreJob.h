#pragma once

#include <functional>

#include <QString>

#include "favorites/FileOps.h"
#include "favorites/Restore.h"
#include "jobs/Job.h"

// 还原收藏夹: the Favorites folder made what the backup holds again, all or nothing; what it replaces goes to the
// Recycle Bin.

namespace jobs
{

/// What 还原收藏夹 did.
struct RestoreResult : JobResult
{
    favorites::LeftOut leftOut; // entries of the backup that are no file, folder or link this system can make
    favorites::ReplacedFavorites replaced; // what became of the favorites it replaced
    bool undone = false; // complete, but the user would not lose what it replaced for good: it has been undone
};

/// True when a restore that failed so has left the Favorites folder changed: it could be neither completed nor undone
/// (or only in part), it completed but could not put what it replaced in the Recycle Bin, or its work ended
/// unexpectedly. The table is then loaded again, and the message says where the favorites are instead of that nothing
/// has changed.
bool restoreLeftFavoritesChanged(const platform::Failure& failure);

/// The file work, in the worker: favPath made what backupFolder holds as favorites::restoreFavorites does, the
/// favorites it replaces going to the Recycle Bin in one folder of the given name, or waiting for settleRestore.
RestoreResult restoreFiles(const QString& backupFolder, const QString& favPath, const QString& replacedName,
                           favorites::Progress& progress);

/// Restores the Favorites folder from the backup in the worker behind the busy notice. When what it replaces cannot
/// go to the Recycle Bin, the user is asked whether to delete it for good; no undoes the restore, in a second piece of
/// work. The table is loaded again when the Favorites folder has changed (the favorites still there keeping the
/// verdicts of the check), not when the restore was refused or undone; then end.
void startRestore(const JobContext& job, std::function<void(const RestoreResult&)> end);

} // namespace jobs
