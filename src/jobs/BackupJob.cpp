#include "jobs/BackupJob.h"

#include "favorites/Backup.h"
#include "favorites/Maintenance.h"

namespace jobs
{

BackupResult backUpFiles(const QString& favPath, const QString& backupFolder, favorites::Progress& progress)
{
    BackupResult result;
    favorites::backupFavorites(favPath, backupFolder, &result.failure, &result.leftOut, &progress);
    return result;
}

void startBackup(const JobContext& job, std::function<void(const BackupResult&)> end)
{
    const QString favPath = job.state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(job.state.programFolder);
    runInWorker<BackupResult>(
        job.load, LongWork::Backup,
        [favPath, backupFolder](favorites::Progress& progress) { return backUpFiles(favPath, backupFolder, progress); },
        std::move(end));
}

} // namespace jobs
