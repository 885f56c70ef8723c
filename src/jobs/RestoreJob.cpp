#include "jobs/RestoreJob.h"

#include <algorithm>
#include <iterator>

#include "favorites/Maintenance.h"
#include "favorites/Recovery.h"

namespace jobs
{

using End = std::function<void(const RestoreResult&)>;

namespace
{

// The work ended in an exception, perhaps half-way: what it left is finished or undone at once, as the next start
// would, and the table shows the outcome. When that fails too, its failure says where the old favorites are.
void recoverThenEnd(const JobContext& job, const QString& favPath, const RestoreResult& result, End end)
{
    runInWorker<JobResult>(
        job.load, LongWork::Restore,
        [favPath](favorites::Progress&) {
            JobResult recovered;
            favorites::recoverInterruptedRestore(favPath, nullptr, &recovered.failure);
            return recovered;
        },
        [job, result, end = std::move(end)](const JobResult& recovered) {
            RestoreResult told = result;
            if (restoreLeftFavoritesChanged(recovered.failure))
                told.failure = recovered.failure;
            reloadIfChanged(job.load, restoreLeftFavoritesChanged(told.failure), [end, told] { end(told); });
        });
}

void endRestore(const JobContext& job, const QString& favPath, const RestoreResult& result, End end)
{
    if (result.failure.kind == WorkFailure::Unexpected) {
        recoverThenEnd(job, favPath, result, std::move(end));
        return;
    }
    // All or nothing: unless its failure says otherwise, a restore that failed has changed nothing, and the table stays
    // as it is, with the verdicts of the check not saved yet.
    const bool changed = result.ok() ? !result.undone : restoreLeftFavoritesChanged(result.failure);
    reloadIfChanged(job.load, changed, [end = std::move(end), result] { end(result); });
}

// Complete, but what it replaced cannot go to the Recycle Bin: gone for good, or the restore undone.
void settleRestore(const JobContext& job, const QString& favPath, const RestoreResult& restored, End end)
{
    const bool deleteOld = job.answers.confirmDeleteForGood(Command::Restore, {favPath}, restored.replaced.why);
    runInWorker<JobResult>(
        job.load, LongWork::Restore,
        [favPath, deleteOld](favorites::Progress&) {
            JobResult settled;
            favorites::settleRestore(favPath, deleteOld, &settled.failure);
            return settled;
        },
        [job, favPath, restored, deleteOld, end = std::move(end)](const JobResult& settled) {
            RestoreResult result = restored;
            result.failure = settled.failure;
            result.undone = settled.ok() && !deleteOld;
            endRestore(job, favPath, result, end);
        });
}

} // namespace

bool restoreLeftFavoritesChanged(const platform::Failure& failure)
{
    using favorites::MaintenanceFailure;
    static const platform::FailureKind kChanged[] = {
        MaintenanceFailure::RestoreNotUndone,
        MaintenanceFailure::WorkingFolderGone,
        MaintenanceFailure::ReplacedFavoritesKept,
        MaintenanceFailure::ReplacedFavoritesNotDeleted,
        MaintenanceFailure::InterruptedRestoreNotRecovered,
        WorkFailure::Unexpected,
    };
    return std::find(std::begin(kChanged), std::end(kChanged), failure.kind) != std::end(kChanged);
}

RestoreResult restoreFiles(const QString& backupFolder, const QString& favPath, const QString& replacedName,
                           favorites::Progress& progress)
{
    RestoreResult result;
    result.replaced.name = replacedName;
    favorites::restoreFavorites(backupFolder, favPath, &result.failure, &result.leftOut, &result.replaced, &progress);
    return result;
}

void startRestore(const JobContext& job, End end)
{
    const QString favPath = job.state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(job.state.programFolder);
    const QString replacedName = job.answers.replacedFavoritesName();
    runInWorker<RestoreResult>(
        job.load, LongWork::Restore,
        [backupFolder, favPath, replacedName](favorites::Progress& progress) {
            return restoreFiles(backupFolder, favPath, replacedName, progress);
        },
        [job, favPath, end = std::move(end)](const RestoreResult& restored) {
            if (!restored.ok() || restored.replaced.inRecycleBin)
                endRestore(job, favPath, restored, end);
            else
                settleRestore(job, favPath, restored, end);
        });
}

} // namespace jobs
