#include "favorites/Maintenance.h"

#include <QDir>
#include <QFileInfo>

#include "favorites/FileOps.h"
#include "platform/Paths.h"

namespace favorites {

namespace {

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

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
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
bool recoverInterruptedBackup(const QString& backupFolder, QString* error)
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
    return fail(error, QStringLiteral("无法恢复中断的备份：") + old);
}

// Why a backup or a restore cannot be made between these folders ("" when it can): the Favorites folder
// must be usable, and as backup and restore empty and rename the backup folder and its working folders,
// none of those may be, hold or lie inside the Favorites folder.
QString backupProblem(const QString& favPath, const QString& backupFolder)
{
    const QString problem = favoritesFolderProblem(favPath);
    if (!problem.isEmpty())
        return problem;
    if (foldersOverlap(favPath, backupFolder))
        return QStringLiteral("备份文件夹与收藏夹互相包含：") + backupFolder;
    for (const QString& working : {freshBackupPath(backupFolder), oldBackupPath(backupFolder)}) {
        if (foldersOverlap(favPath, working))
            return QStringLiteral("备份用的临时文件夹与收藏夹互相包含：") + working;
    }
    return QString();
}

} // namespace

QString backupFolderPath(const QString& programFolder)
{
    return platform::joinPath(programFolder, QStringLiteral("data"));
}

QString favoritesFolderProblem(const QString& favPath)
{
    if (favPath.isEmpty())
        return QStringLiteral("没有找到收藏夹文件夹");
    const QFileInfo info(favPath);
    if (!info.exists())
        return QStringLiteral("收藏夹文件夹不存在：") + favPath;
    if (!info.isDir())
        return QStringLiteral("收藏夹路径不是文件夹：") + favPath;
    return QString();
}

bool foldersOverlap(const QString& a, const QString& b)
{
    return isInside(a, b) || isInside(b, a);
}

bool deleteFavorites(const QString& favPath, const QStringList& files, int* deleted, QString* error)
{
    if (deleted)
        *deleted = 0;
    const QString problem = favoritesFolderProblem(favPath);
    if (!problem.isEmpty())
        return fail(error, problem);
    for (const QString& file : files) {
        // Only ever a favorite: never a path that leads out of the Favorites folder.
        if (!isInside(QFileInfo(file).absolutePath(), favPath))
            return fail(error, QStringLiteral("不在收藏夹中：") + file);
        if (!deleteOneFile(file, error))
            return false;
        if (deleted)
            ++*deleted;
    }
    return true;
}

bool backupFavorites(const QString& favPath, const QString& backupFolder, QString* error)
{
    const QString problem = backupProblem(favPath, backupFolder);
    if (!problem.isEmpty())
        return fail(error, problem);

    // Build the new backup beside the old one; swap only when it is complete.
    const QString fresh = freshBackupPath(backupFolder);
    const QString old = oldBackupPath(backupFolder);
    if (!recoverInterruptedBackup(backupFolder, error) || !KillFolder(fresh, error) || !KillFolder(old, error))
        return false;
    if (!CopyTree(favPath, fresh, error)) {
        KillFolder(fresh);
        return false;
    }
    QDir dir;
    const bool hadBackup = QFileInfo(backupFolder).isDir();
    if (hadBackup && !dir.rename(backupFolder, old)) {
        KillFolder(fresh);
        return fail(error, QStringLiteral("无法替换旧的备份：") + backupFolder);
    }
    if (!dir.rename(fresh, backupFolder)) {
        if (hadBackup)
            dir.rename(old, backupFolder);
        KillFolder(fresh);
        return fail(error, QStringLiteral("无法放置新的备份：") + backupFolder);
    }
    if (hadBackup && !KillFolder(old, error))
        return false; // the new backup is in place; only the old copy is left over
    return true;
}

bool restoreFavorites(const QString& backupFolder, const QString& favPath, QString* error)
{
    const QString problem = backupProblem(favPath, backupFolder);
    if (!problem.isEmpty())
        return fail(error, problem);
    if (!recoverInterruptedBackup(backupFolder, error))
        return false;
    if (!QFileInfo(backupFolder).isDir())
        return fail(error, QStringLiteral("没有备份可以还原：") + backupFolder);
    if (!QDir(backupFolder).isReadable())
        return fail(error, QStringLiteral("无法读取备份：") + backupFolder);

    if (!KillFile(platform::joinPath(favPath, QStringLiteral("*.*")), error))
        return false;
    const QStringList names = QDir(favPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        const QString path = platform::joinPath(favPath, name);
        if (platform::isHiddenOrSystem(QFileInfo(path)))
            continue;
        if (!KillFolder(path, error))
            return false;
    }
    return CopyTree(backupFolder, favPath, error);
}

} // namespace favorites
