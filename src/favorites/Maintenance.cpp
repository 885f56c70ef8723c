#include "favorites/Maintenance.h"

#include <vector>

#include <QDir>
#include <QFileInfo>

#include "favorites/WorkingFolder.h"
#include "platform/Paths.h"

namespace favorites
{

using platform::EntryType;
using platform::fail;
using platform::Failure;
using platform::FileFailure;
using platform::NativePath;
using platform::SystemError;

namespace
{

using namespace phase;

const QString kRestoreNewName = QStringLiteral(".tessaly-restore-new");
const QString kRestoreOldName = QStringLiteral(".tessaly-restore-old");

WorkingFolder freshBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".new"));
}

WorkingFolder oldBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".old"));
}

WorkingFolder restoreNew(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreNewName));
}

WorkingFolder restoreOld(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreOldName));
}

bool report(Failure* failure, const Failure& problem)
{
    if (failure)
        *failure = problem;
    return false;
}

bool refuseUnlessOursOrAbsent(const WorkingFolder& folder, Failure* failure)
{
    if (!folder.isPresent() || folder.isOursOrEmpty())
        return true;
    return fail(failure, MaintenanceFailure::WorkingFolderNotOurs, folder.path());
}

// A backup stopped (the program killed, the machine off) between setting the previous backup aside and putting
// the new one in its place leaves no backup folder, the previous backup in ".old" and, when its copy was complete,
// the new one in ".new". Puts the newest complete backup in place. Leftovers are cleared by the next backup.
bool recoverInterruptedBackup(const QString& backupFolder, Failure* failure)
{
    WorkingFolder fresh = freshBackup(backupFolder);
    WorkingFolder old = oldBackup(backupFolder);
    if (platform::entryType(platform::toNativePath(backupFolder)) != EntryType::Missing)
        return true;
    for (WorkingFolder* candidate : {&fresh, &old}) {
        if (candidate->phase() != (candidate == &fresh ? kComplete : kSetAside))
            continue;
        SystemError why;
        if (!platform::renameEntry(candidate->nativePath(), platform::toNativePath(backupFolder), &why))
            return fail(failure, MaintenanceFailure::InterruptedBackupNotRecovered, candidate->path(), QString(), why);
        WorkingFolder(backupFolder).unmark();
        return true;
    }
    return true;
}

// Why a backup or a restore cannot be made between these folders (no failure when it can): the Favorites folder
// must be usable, and as backup and restore empty and rename the backup folder and its working folders, none of
// those may be, hold or lie inside the Favorites folder.
Failure backupProblem(const QString& favPath, const QString& backupFolder)
{
    Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return problem;
    if (foldersOverlap(favPath, backupFolder))
        fail(&problem, MaintenanceFailure::BackupOverlapsFavorites, backupFolder);
    for (const WorkingFolder& working : {freshBackup(backupFolder), oldBackup(backupFolder)}) {
        if (!problem.failed() && foldersOverlap(favPath, working.path()))
            fail(&problem, MaintenanceFailure::WorkingFolderOverlapsFavorites, working.path());
    }
    return problem;
}

// Whether an entry at the top of the Favorites folder stays where it is in a restore: the restore's own working
// folders, and what is hidden or system.
bool keptByRestore(const NativePath& favPath, const NativePath& name)
{
    const QString text = platform::fromNativePath(name);
    return text == kRestoreNewName || text == kRestoreOldName || platform::isHiddenOrSystem(favPath / name);
}

bool listNames(const NativePath& folder, std::vector<NativePath>* names, Failure* failure)
{
    SystemError why;
    if (platform::listFolder(folder, names, &why))
        return true;
    return fail(failure, FileFailure::FolderUnreadable, platform::fromNativePath(folder), QString(), why);
}

bool moveEntry(const NativePath& from, const NativePath& to, Failure* failure)
{
    SystemError why;
    if (platform::renameEntry(from, to, &why))
        return true;
    return fail(failure, FileFailure::MoveFailed, platform::fromNativePath(from), platform::fromNativePath(to), why);
}

// Moves every entry of `from` (its marker excepted) into `to`, or only those `which` says.
bool moveAll(const NativePath& from, const NativePath& to, Failure* failure,
             const std::function<bool(const NativePath&)>& which = {})
{
    std::vector<NativePath> names;
    if (!listNames(from, &names, failure))
        return false;
    for (const NativePath& name : names) {
        if (WorkingFolder::isMarkerName(name) || (which && !which(name)))
            continue;
        if (!moveEntry(from / name, to / name, failure))
            return false;
    }
    return true;
}

// Puts the old favorites, all set aside in `old`, back where they were, and clears away both working folders.
bool undoRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    if (!old.setPhase(kAside, failure) || !moveAll(old.nativePath(), favPath, failure))
        return false;
    Failure ignored;
    old.remove(&ignored);
    fresh.remove(&ignored);
    return true;
}

// From the moment the old favorites are all set aside: moves the new ones in, and then deletes the old ones. What
// the backup holds hidden or system at its top is not brought in (the Favorites folder keeps its own), nor what
// would meet an entry the restore keeps.
bool completeRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    const NativePath copy = fresh.nativePath();
    const auto comesIn = [&favPath, &copy](const NativePath& name) {
        return !platform::isHiddenOrSystem(copy / name) && platform::entryType(favPath / name) == EntryType::Missing;
    };
    if (!moveAll(copy, favPath, failure, comesIn) || !old.setPhase(kDone, failure))
        return false;
    // The restore is complete; an old favorite that cannot be deleted now goes at the next start.
    Failure ignored;
    old.remove(&ignored);
    fresh.remove(&ignored);
    return true;
}

} // namespace

QString backupFolderPath(const QString& programFolder)
{
    return platform::joinPath(programFolder, QStringLiteral("data"));
}

Failure favoritesFolderProblem(const QString& favPath)
{
    Failure problem;
    const QFileInfo info(favPath);
    if (favPath.isEmpty())
        fail(&problem, MaintenanceFailure::NoFavoritesFolder);
    else if (!info.exists())
        fail(&problem, MaintenanceFailure::FavoritesFolderMissing, favPath);
    else if (!info.isDir())
        fail(&problem, MaintenanceFailure::FavoritesNotAFolder, favPath);
    return problem;
}

bool foldersOverlap(const QString& a, const QString& b)
{
    return platform::isInside(a, b) || platform::isInside(b, a);
}

bool deleteFavorites(const QString& favPath, const QStringList& files, int* deleted, Failure* failure)
{
    if (deleted)
        *deleted = 0;
    const Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return report(failure, problem);
    for (const QString& file : files) {
        // Only ever a favorite: never a path that leads out of the Favorites folder.
        if (!platform::isInside(QFileInfo(file).absolutePath(), favPath))
            return fail(failure, MaintenanceFailure::NotInFavorites, file);
        Failure why;
        // Deleted by hand since the table was loaded: it is gone, as it was to be.
        if (!deleteOneFile(file, &why) && why.kind != FileFailure::FileMissing)
            return report(failure, why);
        if (deleted)
            ++*deleted;
    }
    return true;
}

bool backupFavorites(const QString& favPath, const QString& backupFolder, Failure* failure, LeftOut* leftOut)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return report(failure, problem);
    const EntryType backupType = platform::entryType(platform::toNativePath(backupFolder));
    if (backupType != EntryType::Missing && backupType != EntryType::Folder)
        return fail(failure, FileFailure::FileInTheWay, backupFolder);
    WorkingFolder fresh = freshBackup(backupFolder);
    WorkingFolder old = oldBackup(backupFolder);
    if (!refuseUnlessOursOrAbsent(fresh, failure) || !refuseUnlessOursOrAbsent(old, failure))
        return false;
    // The Favorites folder is copied as it is meant to be, not half-way through a restore.
    if (!recoverInterruptedRestore(favPath, nullptr, failure) || !recoverInterruptedBackup(backupFolder, failure) ||
        !fresh.remove(failure) || !old.remove(failure))
        return false;

    // Build the new backup beside the old one; swap only when it is complete.
    if (!fresh.create(kCopying, failure))
        return false;
    const NativePath source = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    const auto notCopied = [&source](const NativePath& name) {
        return isRestoreWorkingFolder(platform::fromNativePath(source / name));
    };
    if (!copyFolderContents(source, fresh.nativePath(), failure, leftOut, notCopied) ||
        !fresh.setPhase(kComplete, failure)) {
        fresh.remove();
        return false;
    }
    const NativePath backup = platform::toNativePath(backupFolder);
    const bool hadBackup = backupType == EntryType::Folder;
    SystemError why;
    if (hadBackup) {
        WorkingFolder previous(backupFolder);
        if (!previous.setPhase(kSetAside, failure)) {
            fresh.remove();
            return false;
        }
        if (!platform::renameEntry(backup, old.nativePath(), &why)) {
            previous.unmark();
            fresh.remove();
            return fail(failure, MaintenanceFailure::OldBackupNotReplaced, backupFolder, QString(), why);
        }
    }
    if (!platform::renameEntry(fresh.nativePath(), backup, &why)) {
        if (hadBackup && platform::renameEntry(old.nativePath(), backup))
            WorkingFolder(backupFolder).unmark();
        fresh.remove();
        return fail(failure, MaintenanceFailure::NewBackupNotPlaced, backupFolder, QString(), why);
    }
    WorkingFolder(backupFolder).unmark();
    // The new backup is in place; an old copy that cannot be deleted now goes at the next backup.
    Failure ignored;
    old.remove(&ignored);
    return true;
}

bool restoreFavorites(const QString& backupFolder, const QString& favPath, Failure* failure, LeftOut* leftOut)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return report(failure, problem);
    if (!recoverInterruptedBackup(backupFolder, failure))
        return false;
    const EntryType backupType = platform::entryType(platform::toNativePath(backupFolder));
    if (backupType == EntryType::Missing)
        return fail(failure, MaintenanceFailure::NoBackup, backupFolder);
    if (!QFileInfo(backupFolder).isDir())
        return fail(failure, FileFailure::FileInTheWay, backupFolder);
    if (!QDir(backupFolder).isReadable())
        return fail(failure, MaintenanceFailure::BackupUnreadable, backupFolder);
    if (!recoverInterruptedRestore(favPath, nullptr, failure))
        return false;
    WorkingFolder fresh = restoreNew(favPath);
    WorkingFolder old = restoreOld(favPath);
    if (!refuseUnlessOursOrAbsent(fresh, failure) || !refuseUnlessOursOrAbsent(old, failure) ||
        !fresh.remove(failure) || !old.remove(failure))
        return false;

    // 1. The whole backup is copied in beside the favorites; until it is complete nothing of theirs is touched.
    if (!fresh.create(kCopying, failure))
        return false;
    const NativePath backup = platform::toNativePath(QFileInfo(backupFolder).absoluteFilePath());
    const auto isMarker = [](const NativePath& name) { return WorkingFolder::isMarkerName(name); };
    if (!copyFolderContents(backup, fresh.nativePath(), failure, leftOut, isMarker) ||
        !fresh.setPhase(kComplete, failure)) {
        fresh.remove();
        return false;
    }

    // 2. The old favorites are set aside; a failure puts back those already moved.
    if (!old.create(kAside, failure)) {
        fresh.remove();
        return false;
    }
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    const auto movable = [&fav](const NativePath& name) { return !keptByRestore(fav, name); };
    if (!moveAll(fav, old.nativePath(), failure, movable)) {
        Failure undoFailure;
        if (!undoRestore(fav, old, fresh, &undoFailure))
            return fail(failure, MaintenanceFailure::RestoreNotUndone, old.path(), QString(), undoFailure.system);
        return false;
    }
    if (!old.setPhase(kIn, failure)) {
        undoRestore(fav, old, fresh, nullptr);
        return false;
    }

    // 3. The new ones are moved in; a failure moves them back out and the old ones back in.
    if (completeRestore(fav, old, fresh, failure))
        return true;
    Failure undoFailure;
    const bool movedBack = old.setPhase(kBack, &undoFailure) &&
                           moveAll(fav, fresh.nativePath(), &undoFailure, movable) &&
                           undoRestore(fav, old, fresh, &undoFailure);
    if (!movedBack)
        return fail(failure, MaintenanceFailure::RestoreNotUndone, old.path(), QString(), undoFailure.system);
    return false;
}

bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found, Failure* failure)
{
    if (found)
        *found = InterruptedRestore::None;
    if (favoritesFolderProblem(favPath).failed())
        return true;
    WorkingFolder fresh = restoreNew(favPath);
    WorkingFolder old = restoreOld(favPath);
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    const QString phase = old.phase();
    bool recovered = true;
    Failure why;
    if (phase.isEmpty()) {
        // Stopped while the backup was being copied in, or no restore at all: the favorites are untouched. (An
        // empty folder is what a stop between making a working folder and marking it leaves.)
        const bool underWay = fresh.isOurs();
        recovered = old.remove(&why) && fresh.remove(&why);
        if (found && recovered && underWay)
            *found = InterruptedRestore::Undone;
    } else if (phase == kIn || phase == kDone) {
        recovered = completeRestore(fav, old, fresh, &why);
        if (found && recovered)
            *found = InterruptedRestore::Finished;
    } else if (phase == kAside || phase == kBack) {
        // Moving back: what is at the top of the Favorites folder came from the backup's copy.
        const auto movable = [&fav](const NativePath& name) { return !keptByRestore(fav, name); };
        recovered = (phase == kAside || (fresh.isOurs() && moveAll(fav, fresh.nativePath(), &why, movable))) &&
                    undoRestore(fav, old, fresh, &why);
        if (found && recovered)
            *found = InterruptedRestore::Undone;
    } else {
        return fail(failure, MaintenanceFailure::InterruptedRestoreNotRecovered, old.path());
    }
    if (!recovered)
        return fail(failure, MaintenanceFailure::InterruptedRestoreNotRecovered, old.path(), QString(), why.system);
    return true;
}

bool isRestoreWorkingFolder(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return (name == kRestoreNewName || name == kRestoreOldName) && WorkingFolder(path).isOursOrEmpty();
}

} // namespace favorites
