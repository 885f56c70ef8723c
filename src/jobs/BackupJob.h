#pragma once

#include <functional>

#include <QString>

#include "favorites/FileOps.h"
#include "jobs/Job.h"

// 备份收藏夹: the Favorites folder copied whole into the backup folder "data" beside the results file.

namespace jobs
{

/// What 备份收藏夹 did.
struct BackupResult : JobResult
{
    favorites::LeftOut leftOut; // entries that are no file, folder or link this system can make
};

/// The file work, in the worker: favPath copied into backupFolder as favorites::backupFavorites does.
BackupResult backUpFiles(const QString& favPath, const QString& backupFolder, favorites::Progress& progress);

/// Backs the Favorites folder up in the worker behind the busy notice; then end. The favorites and the table are left
/// as they are.
void startBackup(const JobContext& job, std::function<void(const BackupResult&)> end);

} // namespace jobs
