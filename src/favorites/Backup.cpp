#include "favorites/Backup.h"

#include <QFileInfo>
#include <QScopeGuard>

#include "favorites/Maintenance.h"
#include "favorites/Recovery.h"
#include "favorites/WorkingFolder.h"
#include "platform/Paths.h"

namespace favorites
{

using platform::EntryType;
using platform::fail;
using platform::Failure;
using platform::NativePath;

namespace
{

// Refuses, changing nothing, what backupFavorites refuses; puts right a restore or a backup stopped half-way.
bool prepareBackup(const QString& favPath, const QString& backupFolder, EntryType backupType, Failure* failure)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return fail(failure, problem);
    if (backupType != EntryType::Missing && backupType != EntryType::Folder)
        return fail(failure, platform::FileFailure::FileInTheWay, backupFolder);
    if (!refuseUnlessOursOrAbsent(WorkingFolder::freshBackup(backupFolder), failure) ||
        !refuseUnlessOursOrAbsent(WorkingFolder::oldBackup(backupFolder), failure))
        return false;
    // The Favorites folder is copied as it is meant to be, not half-way through a restore.
    return recoverInterruptedRestore(favPath, nullptr, failure) && recoverInterruptedBackup(backupFolder, failure);
}

// The complete copy in `fresh` takes the place of the backup, the previous one (when there is one) set aside in `old`
// until then; a failure puts the previous one back and removes the copy.
bool putInPlace(WorkingFolder& fresh, WorkingFolder& old, const QString& backupFolder, bool hadBackup, Failure* failure)
{
    const NativePath backup = platform::toNativePath(backupFolder);
    platform::SystemError why;
    if (hadBackup) {
        WorkingFolder previous(backupFolder);
        if (!previous.setPhase(Phase::SetAside, failure)) {
            fresh.remove();
            return false;
        }
        if (!platform::renameEntry(backup, old.nativePath(), &why)) {
            previous.unmark();
            fresh.remove();
            return fail(failure, MaintenanceFailure::OldBackupNotReplaced, backupFolder, QString(), why);
        }
    }
    fresh.release();
    if (!platform::renameEntry(fresh.nativePath(), backup, &why)) {
        if (hadBackup && platform::renameEntry(old.nativePath(), backup))
            WorkingFolder(backupFolder).unmark();
        fresh.remove();
        return fail(failure, MaintenanceFailure::NewBackupNotPlaced, backupFolder, QString(), why);
    }
    WorkingFolder(backupFolder).unmark();
    // The new backup is in place; an old copy that cannot be deleted now goes at the next start or backup.
    Failure ignored;
    old.remove(&ignored);
    return true;
}

} // namespace

bool backupFavorites(const QString& favPath, const QString& backupFolder, Failure* failure, LeftOut* leftOut,
                     Progress* progress)
{
    const EntryType backupType = platform::entryType(platform::toNativePath(backupFolder));
    if (!prepareBackup(favPath, backupFolder, backupType, failure))
        return false;
    WorkingFolder fresh = WorkingFolder::freshBackup(backupFolder);
    WorkingFolder old = WorkingFolder::oldBackup(backupFolder);

    // Build the new backup beside the old one; swap only when it is complete. However it ends, the work is over.
    const auto over = qScopeGuard([&fresh] { fresh.release(); });
    if (!fresh.create(Phase::Copying, failure))
        return false;
    const NativePath source = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    const auto notCopied = [&source](const NativePath& name) {
        return isRestoreWorkingFolder(platform::fromNativePath(source / name));
    };
    if (!copyIntoWorkingFolder(source, fresh, notCopied, favPath, failure, leftOut, progress))
        return false;
    // Looked at again: the recovery of a backup stopped between its renames may have put a backup in place.
    const bool hadBackup = platform::entryType(platform::toNativePath(backupFolder)) == EntryType::Folder;
    return putInPlace(fresh, old, backupFolder, hadBackup, failure);
}

} // namespace favorites
