#include "favorites/Maintenance.h"

#include <QDir>
#include <QFileInfo>

#include "platform/Paths.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FileFailure;
using platform::NativePath;

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

Failure backupProblem(const QString& favPath, const QString& backupFolder)
{
    Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return problem;
    if (foldersOverlap(favPath, backupFolder))
        fail(&problem, MaintenanceFailure::BackupOverlapsFavorites, backupFolder);
    for (const WorkingFolder& working :
         {WorkingFolder::freshBackup(backupFolder), WorkingFolder::oldBackup(backupFolder)}) {
        if (!problem.failed() && foldersOverlap(favPath, working.path()))
            fail(&problem, MaintenanceFailure::WorkingFolderOverlapsFavorites, working.path());
    }
    return problem;
}

bool refuseUnlessOursOrAbsent(const WorkingFolder& folder, Failure* failure)
{
    if (!folder.isPresent() || folder.isOursOrEmpty())
        return true;
    return fail(failure, MaintenanceFailure::WorkingFolderNotOurs, folder.path());
}

bool refuseWhileInUse(std::initializer_list<const WorkingFolder*> folders, Failure* failure)
{
    for (const WorkingFolder* folder : folders) {
        if (folder->isInUse())
            return fail(failure, MaintenanceFailure::WorkingFolderInUse, folder->path());
    }
    return true;
}

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

} // namespace favorites
