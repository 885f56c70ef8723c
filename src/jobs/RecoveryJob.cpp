#include "jobs/RecoveryJob.h"

#include "favorites/Maintenance.h"

namespace jobs
{

RecoveryResult recoverStoppedWork(const QString& favPath, const QString& programFolder)
{
    RecoveryResult result;
    // What a stopped backup left: the next backup or restore would put it right too, and says so when it cannot;
    // until then it is only in the way.
    platform::Failure ignored;
    if (!programFolder.isEmpty())
        favorites::recoverInterruptedBackup(favorites::backupFolderPath(programFolder), &ignored);
    if (favorites::favoritesFolderProblem(favPath).failed())
        return result;
    favorites::recoverInterruptedRestore(favPath, &result.found, &result.failure);
    // A restore under way in another running copy is that copy's to finish.
    if (result.failure.kind == favorites::MaintenanceFailure::WorkingFolderInUse)
        result.failure = platform::Failure();
    return result;
}

} // namespace jobs
