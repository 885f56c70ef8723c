#include "favorites/Restore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include "favorites/Maintenance.h"
#include "favorites/Recovery.h"
#include "favorites/RestoreSteps.h"
#include "platform/Paths.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::NativePath;

namespace
{

// Refuses, changing nothing, what restoreFavorites refuses; puts right a backup or a restore stopped half-way, and
// clears away what is left of the working folders.
bool prepareRestore(const QString& backupFolder, const QString& favPath, WorkingFolder& fresh, WorkingFolder& old,
                    Failure* failure)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return fail(failure, problem);
    if (!recoverInterruptedBackup(backupFolder, failure))
        return false;
    const platform::EntryType backupType = platform::entryType(platform::toNativePath(backupFolder));
    if (backupType == platform::EntryType::Missing)
        return fail(failure, MaintenanceFailure::NoBackup, backupFolder);
    if (!QFileInfo(backupFolder).isDir())
        return fail(failure, platform::FileFailure::FileInTheWay, backupFolder);
    if (!QDir(backupFolder).isReadable())
        return fail(failure, MaintenanceFailure::BackupUnreadable, backupFolder);
    if (!recoverInterruptedRestore(favPath, nullptr, failure))
        return false;
    return refuseUnlessOursOrAbsent(fresh, failure) && refuseUnlessOursOrAbsent(old, failure) &&
           fresh.remove(failure) && old.remove(failure);
}

// After a failure once the old favorites have begun to move: they are put back where they were; when they cannot
// be, the failure says where they are. False either way.
bool undoAfterFailure(const NativePath& fav, const QString& favPath, WorkingFolder& old, WorkingFolder& fresh,
                      Failure* failure)
{
    Failure undoFailure;
    if (!undoRestore(fav, old, fresh, &undoFailure))
        return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old, undoFailure.system);
    return false;
}

// Step 2: the old favorites are set aside in `old`, named for the folder they go to the Recycle Bin in; a failure puts
// back those already moved.
bool setOldAside(const NativePath& fav, const QString& favPath, WorkingFolder& old, WorkingFolder& fresh,
                 const QString& name, Failure* failure)
{
    if (!old.create(Phase::Aside, failure, name)) {
        fresh.remove();
        return false;
    }
    if (!moveAll(fav, old.nativePath(), failure, movableByRestore) || !old.setPhase(Phase::In, failure))
        return undoAfterFailure(fav, favPath, old, fresh, failure);
    return true;
}

// Step 3: the new favorites are moved in; a failure moves them back out and the old ones back in.
bool bringNewIn(const NativePath& fav, const QString& favPath, WorkingFolder& old, WorkingFolder& fresh,
                Failure* failure)
{
    if (moveNewIn(fav, old, fresh, failure))
        return true;
    Failure undoFailure;
    const bool movedBack = old.setPhase(Phase::Back, &undoFailure) &&
                           moveAll(fav, fresh.nativePath(), &undoFailure, movableByRestore) &&
                           undoRestore(fav, old, fresh, &undoFailure);
    if (!movedBack)
        return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old, undoFailure.system);
    return false;
}

// Without a caller to ask, the old favorites are never deleted for good: a complete restore whose old favorites cannot
// go to the Recycle Bin is undone, and fails.
bool undoUnasked(const NativePath& fav, const QString& favPath, WorkingFolder& old, WorkingFolder& fresh,
                 const ReplacedFavorites& replaced, Failure* failure)
{
    Failure undoFailure;
    if (!undoCompleteRestore(fav, old, fresh, &undoFailure))
        return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old, undoFailure.system);
    return fail(failure, MaintenanceFailure::NoRecycleBin, QDir::toNativeSeparators(favPath), QString(), replaced.why);
}

} // namespace

bool restoreFavorites(const QString& backupFolder, const QString& favPath, Failure* failure, LeftOut* leftOut,
                      ReplacedFavorites* replaced, Progress* progress)
{
    WorkingFolder fresh = WorkingFolder::restoreNew(favPath);
    WorkingFolder old = WorkingFolder::restoreOld(favPath);
    if (!prepareRestore(backupFolder, favPath, fresh, old, failure))
        return false;
    // The name below is only for callers that name nothing (the program names the folder in the user's words).
    ReplacedFavorites unasked;
    ReplacedFavorites* outcome = replaced ? replaced : &unasked;
    outcome->inRecycleBin = false;
    outcome->why = platform::SystemError();
    if (outcome->name.isEmpty())
        outcome->name = QStringLiteral("Favorites before restore ") +
                        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm"));

    // However it ends, the work is over then, unless it waits for the caller's word on the old favorites.
    bool waiting = false;
    const auto over = qScopeGuard([&] {
        if (!waiting) {
            old.release();
            fresh.release();
        }
    });

    // 1. The whole backup is copied in beside the favorites; until it is complete nothing of theirs is touched.
    if (!fresh.create(Phase::Copying, failure))
        return false;
    const NativePath backup = platform::toNativePath(QFileInfo(backupFolder).absoluteFilePath());
    const auto isMarker = [](const NativePath& name) { return WorkingFolder::isMarkerName(name); };
    if (!copyIntoWorkingFolder(backup, fresh, isMarker, favPath, failure, leftOut, progress))
        return false;
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    // 2. and 3. The old favorites are set aside, and the new ones moved in.
    if (!setOldAside(fav, favPath, old, fresh, outcome->name, failure) ||
        !bringNewIn(fav, favPath, old, fresh, failure))
        return false;
    // 4. The restore is complete; the old favorites go to the Recycle Bin, or wait for the caller's word.
    if (!recycleReplaced(fav, old, fresh, outcome, failure))
        return false;
    waiting = !outcome->inRecycleBin && replaced;
    if (outcome->inRecycleBin || replaced)
        return true;
    return undoUnasked(fav, favPath, old, fresh, *outcome, failure);
}

bool settleRestore(const QString& favPath, bool deleteOld, Failure* failure)
{
    WorkingFolder fresh = WorkingFolder::restoreNew(favPath);
    WorkingFolder old = WorkingFolder::restoreOld(favPath);
    const Phase phase = old.phase();
    if (phase != Phase::Done && phase != Phase::Delete)
        return true;
    const auto over = qScopeGuard([&] {
        old.release();
        fresh.release();
    });
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    Failure why;
    if (deleteOld ? deleteReplaced(old, fresh, &why) : undoCompleteRestore(fav, old, fresh, &why))
        return true;
    return failLeavingOldFavorites(
        failure, deleteOld ? MaintenanceFailure::ReplacedFavoritesNotDeleted : MaintenanceFailure::RestoreNotUndone,
        favPath, old, why.system);
}

} // namespace favorites
