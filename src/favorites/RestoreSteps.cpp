#include "favorites/RestoreSteps.h"

#include <vector>

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

bool listEntries(const NativePath& folder, std::vector<platform::FolderEntry>* entries, Failure* failure)
{
    SystemError why;
    if (platform::listFolder(folder, entries, &why))
        return true;
    return fail(failure, FileFailure::FolderUnreadable, platform::fromNativePath(folder), QString(), why);
}

// A name for the folder of the replaced favorites that nothing in the Favorites folder has yet.
NativePath freeName(const NativePath& favPath, const QString& name)
{
    NativePath candidate = favPath / platform::toNativePath(name);
    for (int n = 2; platform::entryType(candidate) != EntryType::Missing; ++n)
        candidate = favPath / platform::toNativePath(QStringLiteral("%1 (%2)").arg(name).arg(n));
    return candidate;
}

} // namespace

bool moveEntry(const NativePath& from, const NativePath& to, Failure* failure)
{
    SystemError why;
    if (platform::renameEntry(from, to, &why))
        return true;
    return fail(failure, FileFailure::MoveFailed, platform::fromNativePath(from), platform::fromNativePath(to), why);
}

bool moveAll(const NativePath& from, const NativePath& to, Failure* failure,
             const std::function<bool(const platform::FolderEntry&)>& which)
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

bool movableByRestore(const platform::FolderEntry& entry)
{
    return !WorkingFolder::isRestoreName(platform::fromNativePath(entry.name)) && !entry.hiddenOrSystem;
}

bool failLeavingOldFavorites(Failure* failure, MaintenanceFailure kind, const QString& favPath,
                             const WorkingFolder& old, const SystemError& why)
{
    if (!old.isPresent())
        return fail(failure, MaintenanceFailure::WorkingFolderGone, favPath);
    return fail(failure, kind, old.path(), QString(), why);
}

bool undoRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    if (!old.setPhase(Phase::Aside, failure) || !moveAll(old.nativePath(), favPath, failure))
        return false;
    Failure ignored;
    old.remove(&ignored);
    fresh.remove(&ignored);
    return true;
}

bool undoCompleteRestore(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    return old.setPhase(Phase::Back, failure) && fresh.isOurs() &&
           moveAll(favPath, fresh.nativePath(), failure, movableByRestore) && undoRestore(favPath, old, fresh, failure);
}

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

bool moveNewIn(const NativePath& favPath, WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    const auto comesIn = [&favPath](const platform::FolderEntry& entry) {
        return !entry.hiddenOrSystem && platform::entryType(favPath / entry.name) == EntryType::Missing;
    };
    return moveAll(fresh.nativePath(), favPath, failure, comesIn) && old.setPhase(Phase::Done, failure);
}

bool deleteReplaced(WorkingFolder& old, WorkingFolder& fresh, Failure* failure)
{
    if (!old.setPhase(Phase::Delete, failure) || !old.remove(failure))
        return false;
    Failure ignored;
    fresh.remove(&ignored);
    return true;
}

bool unmarkNamedReplacedFavorites(const NativePath& fav)
{
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(fav, &entries))
        return false;
    bool found = false;
    for (const platform::FolderEntry& entry : entries) {
        const QString name = platform::fromNativePath(entry.name);
        if (entry.type != EntryType::Folder || WorkingFolder::isRestoreName(name))
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

} // namespace favorites
