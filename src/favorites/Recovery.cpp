#include "favorites/Recovery.h"

#include <QFileInfo>
#include <QScopeGuard>

#include "favorites/Maintenance.h"
#include "favorites/RestoreSteps.h"
#include "platform/Paths.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::NativePath;

namespace
{

// Stopped once the old favorites were all set aside (In), or once the new ones were in too (Done): the old favorites go
// to the Recycle Bin; where they cannot, nobody has agreed to lose them, and the restore is undone.
bool finishStoppedRestore(Phase phase, const NativePath& fav, WorkingFolder& old, WorkingFolder& fresh,
                          InterruptedRestore* outcome, Failure* why)
{
    ReplacedFavorites replaced;
    const bool finished =
        (phase == Phase::Done || moveNewIn(fav, old, fresh, why)) && recycleReplaced(fav, old, fresh, &replaced, why);
    *outcome = InterruptedRestore::Finished;
    if (!finished || replaced.inRecycleBin)
        return finished;
    *outcome = InterruptedRestore::Undone;
    return undoCompleteRestore(fav, old, fresh, why);
}

// Finishes or undoes the restore from the phase its old favorites' working folder records, saying which in *outcome.
bool recoverFromPhase(Phase phase, const NativePath& fav, WorkingFolder& old, WorkingFolder& fresh,
                      InterruptedRestore* outcome, Failure* why)
{
    switch (phase) {
    case Phase::None: {
        // Stopped while the backup was being copied in, or no restore at all: the favorites are untouched. (An
        // empty folder is what a stop between making a working folder and marking it leaves.)
        if (fresh.isOurs())
            *outcome = InterruptedRestore::Undone;
        return old.remove(why) && fresh.remove(why);
    }
    case Phase::In:
    case Phase::Done:
        return finishStoppedRestore(phase, fav, old, fresh, outcome, why);
    case Phase::Delete:
        *outcome = InterruptedRestore::Finished;
        return deleteReplaced(old, fresh, why);
    case Phase::Aside:
    case Phase::Back:
        // Moving back: what is at the top of the Favorites folder came from the backup's copy.
        *outcome = InterruptedRestore::Undone;
        return (phase == Phase::Aside || (fresh.isOurs() && moveAll(fav, fresh.nativePath(), why, movableByRestore))) &&
               undoRestore(fav, old, fresh, why);
    case Phase::Unknown:
    case Phase::Copying:
    case Phase::Complete:
    case Phase::SetAside:
        // Not a phase this program leaves the old favorites in: where they belong cannot be told.
        return false;
    }
    return false;
}

} // namespace

bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found, Failure* failure)
{
    if (found)
        *found = InterruptedRestore::None;
    if (favoritesFolderProblem(favPath).failed())
        return true;
    WorkingFolder fresh = WorkingFolder::restoreNew(favPath);
    WorkingFolder old = WorkingFolder::restoreOld(favPath);
    // Another copy's restore at work, or this one's waiting for the user's answer: not stopped, only not done yet.
    if (!refuseWhileInUse({&fresh, &old}, failure))
        return false;
    const auto over = qScopeGuard([&] {
        old.release();
        fresh.release();
    });
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    InterruptedRestore outcome = InterruptedRestore::None;
    Failure why;
    if (!recoverFromPhase(old.phase(), fav, old, fresh, &outcome, &why)) {
        if (why.kind == MaintenanceFailure::ReplacedFavoritesKept)
            return fail(failure, why);
        return failLeavingOldFavorites(failure, MaintenanceFailure::InterruptedRestoreNotRecovered, favPath, old,
                                       why.system);
    }
    if (unmarkNamedReplacedFavorites(fav))
        outcome = InterruptedRestore::Finished;
    if (found)
        *found = outcome;
    return true;
}

bool recoverInterruptedBackup(const QString& backupFolder, Failure* failure)
{
    WorkingFolder fresh = WorkingFolder::freshBackup(backupFolder);
    WorkingFolder old = WorkingFolder::oldBackup(backupFolder);
    if (!refuseWhileInUse({&fresh, &old}, failure))
        return false;
    // Stopped between setting the previous backup aside and putting the new one in its place: no backup folder, the
    // previous backup in ".old" and, when its copy was complete, the new one in ".new". The newest complete one is
    // put in place.
    if (platform::entryType(platform::toNativePath(backupFolder)) == platform::EntryType::Missing) {
        for (WorkingFolder* candidate : {&fresh, &old}) {
            if (candidate->phase() != (candidate == &fresh ? Phase::Complete : Phase::SetAside))
                continue;
            platform::SystemError why;
            if (!platform::renameEntry(candidate->nativePath(), platform::toNativePath(backupFolder), &why))
                return fail(failure, MaintenanceFailure::InterruptedBackupNotRecovered, candidate->path(), QString(),
                            why);
            WorkingFolder(backupFolder).unmark();
            break;
        }
    }
    // What is left of the working folders, when they are the program's own.
    return fresh.remove(failure) && old.remove(failure);
}

} // namespace favorites
