#include "favorites/DeleteFavorites.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "favorites/Maintenance.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RecycleBin.h"

namespace favorites
{

using platform::EntryType;
using platform::fail;
using platform::Failure;
using platform::FileFailure;

namespace
{

/// What became of one favorite's file.
enum class Removed
{
    Gone,        // removed, or gone already
    NotRecycled, // kept where it is: the system has no Recycle Bin for it
    Failed,
};

Removed removeOne(const QString& file, Removal how, Failure* failure)
{
    const EntryType type = platform::entryType(platform::toNativePath(file));
    // Deleted by hand since the table was loaded: it is gone, as it was to be.
    if (type == EntryType::Missing)
        return Removed::Gone;
    if (how == Removal::ForGood || type == EntryType::Folder) {
        Failure why;
        if (!deleteOneFile(file, &why) && why.kind != FileFailure::FileMissing) {
            fail(failure, why);
            return Removed::Failed;
        }
        return Removed::Gone;
    }
    platform::SystemError why;
    const platform::Recycled recycled = platform::moveToRecycleBin(file, &why);
    if (recycled == platform::Recycled::Failed && why.reason != platform::SystemReason::NotFound) {
        fail(failure, FileFailure::DeleteFailed, QDir::toNativeSeparators(file), QString(), why);
        return Removed::Failed;
    }
    return recycled == platform::Recycled::NoRecycleBin ? Removed::NotRecycled : Removed::Gone;
}

} // namespace

bool deleteFavorites(const QString& favPath, const QStringList& files, Removal how, int* deleted, Failure* failure,
                     QStringList* notRecycled, Progress* progress)
{
    if (deleted)
        *deleted = 0;
    const Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return fail(failure, problem);
    if (!startOn(progress, int(files.size())))
        return fail(failure, FileFailure::Stopped, QDir::toNativeSeparators(favPath));
    for (const QString& file : files) {
        if (!stepOn(progress))
            return fail(failure, FileFailure::Stopped, QDir::toNativeSeparators(file));
        // Only ever a favorite: never a path that leads out of the Favorites folder.
        if (!platform::isInside(QFileInfo(file).absolutePath(), favPath))
            return fail(failure, MaintenanceFailure::NotInFavorites, file);
        switch (removeOne(file, how, failure)) {
        case Removed::Failed:
            return false;
        case Removed::NotRecycled:
            if (notRecycled)
                notRecycled->append(file);
            break;
        case Removed::Gone:
            if (deleted)
                ++*deleted;
            break;
        }
    }
    return true;
}

} // namespace favorites
