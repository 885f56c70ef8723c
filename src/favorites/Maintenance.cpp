#include "favorites/Maintenance.h"

#include <vector>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include "favorites/WorkingFolder.h"
#include "platform/Paths.h"
#include "platform/RecycleBin.h"

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

WorkingFolder freshBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".new"));
}

WorkingFolder oldBackup(const QString& backupFolder)
{
    return WorkingFolder(backupFolder + QStringLiteral(".old"));
}

// A restore's working folders, inside the Favorites folder.
const QString kRestoreNewName = QStringLiteral(".tessaly-restore-new");
const QString kRestoreOldName = QStringLiteral(".tessaly-restore-old");

WorkingFolder restoreNew(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreNewName));
}

WorkingFolder restoreOld(const QString& favPath)
{
    return WorkingFolder(platform::joinPath(favPath, kRestoreOldName));
}

// A restore stopped just after giving the old favorites' folder its name leaves that folder, still hidden and marked,
// at the top of the Favorites folder, where nothing else looks for it: it becomes an ordinary folder there, shown, as
// a restore stopped a moment later leaves it. True when there was one.
bool unmarkNamedReplacedFavorites(const NativePath& fav)
{
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(fav, &entries))
        return false;
    bool found = false;
    for (const platform::FolderEntry& entry : entries) {
        const QString name = platform::fromNativePath(entry.name);
        if (entry.type != EntryType::Folder || name == kRestoreNewName || name == kRestoreOldName)
            continue;
        WorkingFolder named(platform::fromNativePath(fav / entry.name));
        const QString recorded = named.recordedName();
        if (named.phase() != Phase::Done || recorded.isEmpty() || !name.startsWith(recorded) || named.isInUse())
            continue;
        named.unmark();
        platform::setHidden(fav / entry.name, false);
        found = true;
    }
    return found;
}

// Copies what source holds, but what skip names, into a working folder just made, and records the copy complete.
// Stopped (reported at favPath) or failed, the working folder goes again.
bool copyIntoWorkingFolder(const NativePath& source, WorkingFolder& fresh,
                           const std::function<bool(const NativePath& name)>& skip, const QString& favPath,
                           Failure* failure, LeftOut* leftOut, Progress* progress)
{
    if (progress && !progress->start(countFiles(source, skip))) {
        fresh.remove();
        return fail(failure, FileFailure::Stopped, QDir::toNativeSeparators(favPath));
    }
    if (!copyFolderContents(source, fresh.nativePath(), failure, leftOut, skip, progress) ||
        !fresh.setPhase(Phase::Complete, failure)) {
        fresh.remove();
        return false;
    }
    return true;
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

// False, naming the first, when one of the working folders is held by a backup or a restore under way.
bool refuseWhileInUse(std::initializer_list<const WorkingFolder*> folders, Failure* failure)
{
    for (const WorkingFolder* folder : folders) {
        if (folder->isInUse())
            return fail(failure, MaintenanceFailure::WorkingFolderInUse, folder->path());
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
bool keptByRestore(const platform::FolderEntry& entry)
{
    const QString text = platform::fromNativePath(entry.name);
    return text == kRestoreNewName || text == kRestoreOldName || entry.hiddenOrSystem;
}

bool listEntries(const NativePath& folder, std::vector<platform::FolderEntry>* entries, Failure* failure)
{
    SystemError why;
    if (platform::listFolder(folder, entries, &why))
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
             const std::function<bool(const platform::FolderEntry&)>& which = {})
{
    std::vector<platform::FolderEntry> entries;
    if (!listEntries(from, &entries, failure))
        return false;
    for (const platform::FolderEntry& entry : entries) {
        if (WorkingFolder::isMarkerName(entry.name) || (which && !which(entry)))
            continue;
        if (!moveEntry(from / entry.name, to / entry.name, failure))
            return false;
    }
    return true;
}

// What a restore moves out of the Favorites folder, and back in when it is undone.
bool movableByRestore(const platform::FolderEntry& entry)
{
    return !keptByRestore(entry);
}

// The failure of a restore that can be neither completed nor undone, naming where the old favorites are: their
// working folder while it is there, else the Favorites folder, whose working folder was taken away.
bool failLeavingOldFavorites(Failure* failure, MaintenanceFailure kind, const QString& favPath,
                             const WorkingFolder& old, const SystemError& why)
{
    if (!old.isPresent())
        return fail(failure, MaintenanceFailure::WorkingFolderGone, favPath);
    return fail(failure, kind, old.path(), QString(), why);
}

// Puts the old favorites, all set aside in `old`, back where they were, and clears away both working folders.
bool undoRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    if (!old.setPhase(Phase::Aside, failure) || !moveAll(old.nativePath(), favPath, failure))
        return false;
    Failure ignored;
    old.remove(&ignored);
    fresh.remove(&ignored);
    return true;
}

// From a complete restore: moves the new favorites back out into their working folder and the old ones back in.
bool undoCompleteRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    return old.setPhase(Phase::Back, failure) && fresh.isOurs() &&
           moveAll(favPath, fresh.nativePath(), failure, movableByRestore) && undoRestore(favPath, old, fresh, failure);
}

// A name for the folder of the replaced favorites that nothing in the Favorites folder has yet.
NativePath freeName(const NativePath& favPath, const QString& name)
{
    NativePath candidate = favPath / platform::toNativePath(name);
    for (int n = 2; platform::entryType(candidate) != EntryType::Missing; ++n)
        candidate = favPath / platform::toNativePath(QStringLiteral("%1 (%2)").arg(name).arg(n));
    return candidate;
}

// The old favorites, all set aside in `old` once the restore is complete, go to the Recycle Bin as one folder named as
// `old` records, made in the Favorites folder so that the Recycle Bin puts it back there. When they cannot, they are
// put back into `old`, which is held again, and *replaced says why; the restore then waits for settleRestore().
bool recycleReplaced(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, ReplacedFavorites* replaced,
                     Failure* failure)
{
    const QString name = old.recordedName();
    Failure ignored;
    if (name.isEmpty()) {
        // Set aside by a version of the program that deleted them at this point.
        old.remove(&ignored);
        fresh.remove(&ignored);
        replaced->inRecycleBin = true;
        return true;
    }
    const NativePath target = freeName(favPath, name);
    WorkingFolder labelled(platform::fromNativePath(target));
    SystemError why;
    old.release();
    if (!platform::renameEntry(old.nativePath(), target, &why)) {
        old.hold();
        replaced->why = why;
        return true;
    }
    // Stopped from here until it is in the Recycle Bin or back: a folder of that name stays in the Favorites folder,
    // holding the old favorites, and shown like any other.
    labelled.unmark();
    platform::setHidden(target, false);
    const platform::Recycled recycled = platform::moveToRecycleBin(labelled.path(), &why);
    if (recycled == platform::Recycled::Moved) {
        fresh.remove(&ignored);
        replaced->inRecycleBin = true;
        replaced->name = platform::fromNativePath(target.filename());
        return true;
    }
    replaced->why = recycled == platform::Recycled::NoRecycleBin ? SystemError() : why;
    if (!labelled.mark(Phase::Done, name, failure) || !moveEntry(target, old.nativePath(), failure))
        return fail(failure, MaintenanceFailure::ReplacedFavoritesKept, labelled.path());
    platform::setHidden(old.nativePath());
    old.hold();
    return true;
}

// From the moment the old favorites are all set aside: moves the new ones in; the restore is then complete. What the
// backup holds hidden or system at its top is not brought in (the Favorites folder keeps its own), nor what would meet
// an entry the restore keeps.
bool moveNewIn(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    const auto comesIn = [&favPath](const platform::FolderEntry& entry) {
        return !entry.hiddenOrSystem && platform::entryType(favPath / entry.name) == EntryType::Missing;
    };
    return moveAll(fresh.nativePath(), favPath, failure, comesIn) && old.setPhase(Phase::Done, failure);
}

// The old favorites that the user agreed to lose are deleted, and the working folders go.
bool deleteReplaced(WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    if (!old.setPhase(Phase::Delete, failure) || !old.remove(failure))
        return false;
    Failure ignored;
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

bool deleteFavorites(const QString& favPath, const QStringList& files, Removal how, int* deleted, Failure* failure,
                     QStringList* notRecycled, Progress* progress)
{
    if (deleted)
        *deleted = 0;
    const Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return report(failure, problem);
    if (!startOn(progress, int(files.size())))
        return fail(failure, FileFailure::Stopped, QDir::toNativeSeparators(favPath));
    for (const QString& file : files) {
        if (!stepOn(progress))
            return fail(failure, FileFailure::Stopped, QDir::toNativeSeparators(file));
        // Only ever a favorite: never a path that leads out of the Favorites folder.
        if (!platform::isInside(QFileInfo(file).absolutePath(), favPath))
            return fail(failure, MaintenanceFailure::NotInFavorites, file);
        const NativePath native = platform::toNativePath(file);
        const EntryType type = platform::entryType(native);
        // Deleted by hand since the table was loaded: it is gone, as it was to be.
        if (type == EntryType::Missing) {
            if (deleted)
                ++*deleted;
            continue;
        }
        if (how == Removal::ForGood || type == EntryType::Folder) {
            Failure why;
            if (!deleteOneFile(file, &why) && why.kind != FileFailure::FileMissing)
                return report(failure, why);
        } else {
            SystemError why;
            const platform::Recycled recycled = platform::moveToRecycleBin(file, &why);
            if (recycled == platform::Recycled::Failed && why.reason != platform::SystemReason::NotFound)
                return fail(failure, FileFailure::DeleteFailed, QDir::toNativeSeparators(file), QString(), why);
            if (recycled == platform::Recycled::NoRecycleBin) {
                if (notRecycled)
                    notRecycled->append(file);
                continue;
            }
        }
        if (deleted)
            ++*deleted;
    }
    return true;
}

bool backupFavorites(const QString& favPath, const QString& backupFolder, Failure* failure, LeftOut* leftOut,
                     Progress* progress)
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
    if (!recoverInterruptedRestore(favPath, nullptr, failure) || !recoverInterruptedBackup(backupFolder, failure))
        return false;

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
    const NativePath backup = platform::toNativePath(backupFolder);
    const bool hadBackup = backupType == EntryType::Folder;
    SystemError why;
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

bool restoreFavorites(const QString& backupFolder, const QString& favPath, Failure* failure, LeftOut* leftOut,
                      ReplacedFavorites* replaced, Progress* progress)
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
    // Without a caller to ask, the old favorites are never deleted for good: the name below is only for callers that
    // name nothing (the program names the folder in the user's words).
    ReplacedFavorites unasked;
    ReplacedFavorites* outcome = replaced ? replaced : &unasked;
    outcome->inRecycleBin = false;
    outcome->why = SystemError();
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

    // 2. The old favorites are set aside; a failure puts back those already moved.
    if (!old.create(Phase::Aside, failure, outcome->name)) {
        fresh.remove();
        return false;
    }
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    if (!moveAll(fav, old.nativePath(), failure, movableByRestore)) {
        Failure undoFailure;
        if (!undoRestore(fav, old, fresh, &undoFailure))
            return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old,
                                           undoFailure.system);
        return false;
    }
    if (!old.setPhase(Phase::In, failure)) {
        undoRestore(fav, old, fresh, nullptr);
        return false;
    }

    // 3. The new ones are moved in; a failure moves them back out and the old ones back in.
    if (!moveNewIn(fav, old, fresh, failure)) {
        Failure undoFailure;
        const bool movedBack = old.setPhase(Phase::Back, &undoFailure) &&
                               moveAll(fav, fresh.nativePath(), &undoFailure, movableByRestore) &&
                               undoRestore(fav, old, fresh, &undoFailure);
        if (!movedBack)
            return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old,
                                           undoFailure.system);
        return false;
    }

    // 4. The restore is complete; the old favorites go to the Recycle Bin, or wait for the caller's word.
    if (!recycleReplaced(fav, old, fresh, outcome, failure))
        return false;
    waiting = !outcome->inRecycleBin && replaced;
    if (outcome->inRecycleBin || replaced)
        return true;
    Failure undoFailure;
    if (!undoCompleteRestore(fav, old, fresh, &undoFailure))
        return failLeavingOldFavorites(failure, MaintenanceFailure::RestoreNotUndone, favPath, old, undoFailure.system);
    return fail(failure, MaintenanceFailure::NoRecycleBin, QDir::toNativeSeparators(favPath), QString(), outcome->why);
}

bool settleRestore(const QString& favPath, bool deleteOld, Failure* failure)
{
    WorkingFolder fresh = restoreNew(favPath);
    WorkingFolder old = restoreOld(favPath);
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

bool recoverInterruptedRestore(const QString& favPath, InterruptedRestore* found, Failure* failure)
{
    if (found)
        *found = InterruptedRestore::None;
    if (favoritesFolderProblem(favPath).failed())
        return true;
    WorkingFolder fresh = restoreNew(favPath);
    WorkingFolder old = restoreOld(favPath);
    // Another copy's restore at work, or this one's waiting for the user's answer: not stopped, only not done yet.
    if (!refuseWhileInUse({&fresh, &old}, failure))
        return false;
    const auto over = qScopeGuard([&] {
        old.release();
        fresh.release();
    });
    const NativePath fav = platform::toNativePath(QFileInfo(favPath).absoluteFilePath());
    const Phase phase = old.phase();
    bool recovered = true;
    InterruptedRestore outcome = InterruptedRestore::None;
    Failure why;
    switch (phase) {
    case Phase::None: {
        // Stopped while the backup was being copied in, or no restore at all: the favorites are untouched. (An
        // empty folder is what a stop between making a working folder and marking it leaves.)
        const bool underWay = fresh.isOurs();
        recovered = old.remove(&why) && fresh.remove(&why);
        if (underWay)
            outcome = InterruptedRestore::Undone;
        break;
    }
    case Phase::In:
    case Phase::Done: {
        // The old favorites go to the Recycle Bin; where they cannot, nobody has agreed to lose them, and the restore
        // is undone.
        ReplacedFavorites replaced;
        recovered = (phase == Phase::Done || moveNewIn(fav, old, fresh, &why)) &&
                    recycleReplaced(fav, old, fresh, &replaced, &why);
        outcome = InterruptedRestore::Finished;
        if (recovered && !replaced.inRecycleBin) {
            recovered = undoCompleteRestore(fav, old, fresh, &why);
            outcome = InterruptedRestore::Undone;
        }
        break;
    }
    case Phase::Delete:
        recovered = deleteReplaced(old, fresh, &why);
        outcome = InterruptedRestore::Finished;
        break;
    case Phase::Aside:
    case Phase::Back:
        // Moving back: what is at the top of the Favorites folder came from the backup's copy.
        recovered =
            (phase == Phase::Aside || (fresh.isOurs() && moveAll(fav, fresh.nativePath(), &why, movableByRestore))) &&
            undoRestore(fav, old, fresh, &why);
        outcome = InterruptedRestore::Undone;
        break;
    case Phase::Unknown:
    case Phase::Copying:
    case Phase::Complete:
    case Phase::SetAside:
        // Not a phase this program leaves the old favorites in: where they belong cannot be told.
        return fail(failure, MaintenanceFailure::InterruptedRestoreNotRecovered, old.path());
    }
    if (!recovered) {
        if (why.kind == MaintenanceFailure::ReplacedFavoritesKept)
            return report(failure, why);
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
    WorkingFolder fresh = freshBackup(backupFolder);
    WorkingFolder old = oldBackup(backupFolder);
    if (!refuseWhileInUse({&fresh, &old}, failure))
        return false;
    // Stopped between setting the previous backup aside and putting the new one in its place: no backup folder, the
    // previous backup in ".old" and, when its copy was complete, the new one in ".new". The newest complete one is
    // put in place.
    if (platform::entryType(platform::toNativePath(backupFolder)) == EntryType::Missing) {
        for (WorkingFolder* candidate : {&fresh, &old}) {
            if (candidate->phase() != (candidate == &fresh ? Phase::Complete : Phase::SetAside))
                continue;
            SystemError why;
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

bool isRestoreWorkingFolder(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return (name == kRestoreNewName || name == kRestoreOldName) && WorkingFolder(path).isOursOrEmpty();
}

} // namespace favorites
