#include "favorites/Maintenance.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "platform/Paths.h"

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FailureKind;

namespace
{

QString resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

bool isInside(const QString& inner, const QString& outer)
{
    const QString a = resolved(inner);
    const QString b = resolved(outer);
    return a == b || a.startsWith(b.endsWith(QLatin1Char('/')) ? b : b + QLatin1Char('/'));
}

QString freshBackupPath(const QString& backupFolder)
{
    return backupFolder + QStringLiteral(".new");
}

QString oldBackupPath(const QString& backupFolder)
{
    return backupFolder + QStringLiteral(".old");
}

// A backup stopped (the program killed, the machine off) between setting the previous backup aside and putting
// the new one in its place leaves no backup folder, the previous backup under ".old" and the new one under
// ".new"; the new one is complete then, because the previous one is set aside only once the copy is done.
// Puts the newest complete backup back in place. Anything else left over is cleared by the next backup.
bool recoverInterruptedBackup(const QString& backupFolder, Failure* failure)
{
    const QString fresh = freshBackupPath(backupFolder);
    const QString old = oldBackupPath(backupFolder);
    if (QFileInfo::exists(backupFolder) || QFileInfo(backupFolder).isSymLink() || !QFileInfo(old).isDir())
        return true;
    QDir dir;
    if (QFileInfo(fresh).isDir() && dir.rename(fresh, backupFolder))
        return true;
    if (dir.rename(old, backupFolder))
        return true;
    return fail(failure, FailureKind::InterruptedBackupNotRecovered, old);
}

// Why a backup or a restore cannot be made between these folders (no failure when it can): the Favorites
// folder must be usable, and as backup and restore empty and rename the backup folder and its working folders,
// none of those may be, hold or lie inside the Favorites folder.
Failure backupProblem(const QString& favPath, const QString& backupFolder)
{
    Failure problem = favoritesFolderProblem(favPath);
    if (problem.failed())
        return problem;
    if (foldersOverlap(favPath, backupFolder))
        fail(&problem, FailureKind::BackupOverlapsFavorites, backupFolder);
    for (const QString& working : {freshBackupPath(backupFolder), oldBackupPath(backupFolder)}) {
        if (!problem.failed() && foldersOverlap(favPath, working))
            fail(&problem, FailureKind::WorkingFolderOverlapsFavorites, working);
    }
    return problem;
}

bool report(Failure* failure, const Failure& problem)
{
    if (failure)
        *failure = problem;
    return false;
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
        fail(&problem, FailureKind::NoFavoritesFolder);
    else if (!info.exists())
        fail(&problem, FailureKind::FavoritesFolderMissing, favPath);
    else if (!info.isDir())
        fail(&problem, FailureKind::FavoritesNotAFolder, favPath);
    return problem;
}

bool foldersOverlap(const QString& a, const QString& b)
{
    return isInside(a, b) || isInside(b, a);
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
        if (!isInside(QFileInfo(file).absolutePath(), favPath))
            return fail(failure, FailureKind::NotInFavorites, file);
        if (!deleteOneFile(file, failure))
            return false;
        if (deleted)
            ++*deleted;
    }
    return true;
}

bool backupFavorites(const QString& favPath, const QString& backupFolder, Failure* failure)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return report(failure, problem);

    // Build the new backup beside the old one; swap only when it is complete.
    const QString fresh = freshBackupPath(backupFolder);
    const QString old = oldBackupPath(backupFolder);
    if (!recoverInterruptedBackup(backupFolder, failure) || !KillFolder(fresh, failure) || !KillFolder(old, failure))
        return false;
    if (!CopyTree(favPath, fresh, failure)) {
        KillFolder(fresh);
        return false;
    }
    QDir dir;
    const bool hadBackup = QFileInfo(backupFolder).isDir();
    if (hadBackup && !dir.rename(backupFolder, old)) {
        const platform::SystemError why = platform::lastSystemError();
        KillFolder(fresh);
        return fail(failure, FailureKind::OldBackupNotReplaced, backupFolder, QString(), why);
    }
    if (!dir.rename(fresh, backupFolder)) {
        const platform::SystemError why = platform::lastSystemError();
        if (hadBackup)
            dir.rename(old, backupFolder);
        KillFolder(fresh);
        return fail(failure, FailureKind::NewBackupNotPlaced, backupFolder, QString(), why);
    }
    if (hadBackup && !KillFolder(old, failure))
        return false; // the new backup is in place; only the old copy is left over
    return true;
}

bool restoreFavorites(const QString& backupFolder, const QString& favPath, Failure* failure)
{
    const Failure problem = backupProblem(favPath, backupFolder);
    if (problem.failed())
        return report(failure, problem);
    if (!recoverInterruptedBackup(backupFolder, failure))
        return false;
    if (!QFileInfo(backupFolder).isDir())
        return fail(failure, FailureKind::NoBackup, backupFolder);
    if (!QDir(backupFolder).isReadable())
        return fail(failure, FailureKind::BackupUnreadable, backupFolder);

    if (!KillFile(platform::joinPath(favPath, QStringLiteral("*.*")), failure))
        return false;
    const QStringList names = QDir(favPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        const QString path = platform::joinPath(favPath, name);
        if (platform::isHiddenOrSystem(QFileInfo(path)))
            continue;
        if (!KillFolder(path, failure))
            return false;
    }
    return CopyTree(backupFolder, favPath, failure);
}

} // namespace favorites
