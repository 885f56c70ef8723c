#include "favorites/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace favorites
{

namespace
{

const QDir::Filters everyEntry = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool fail(QString* error, const QString& path, const QString& reason)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

bool isLink(const QFileInfo& info)
{
    return info.isSymbolicLink() || info.isJunction();
}

// A folder of its own, to be entered; not a link that leads to one.
bool isRealFolder(const QFileInfo& info)
{
    return info.isDir() && !info.isSymLink() && !info.isJunction();
}

bool isFolderLink(const QFileInfo& info)
{
    return isLink(info) && info.isDir();
}

// Something is there, even if it is a link that leads nowhere.
bool isPresent(const QFileInfo& info)
{
    return info.exists() || info.isSymLink();
}

bool removeFile(const QString& path, QString* error)
{
    QFile file(path);
    if (file.remove())
        return true;
    // A read-only file (on Windows the read-only attribute) refuses deletion until it is made writable.
    const QFileInfo info(path);
    if (!info.isSymLink() && !info.isWritable()) {
        const QFileDevice::Permissions old = info.permissions();
        if (QFile::setPermissions(path, old | QFileDevice::WriteOwner | QFileDevice::WriteUser)) {
            if (file.remove())
                return true;
            QFile::setPermissions(path, old);
        }
    }
    return fail(error, path, file.errorString());
}

// Removes a link without touching what it leads to. A link to a folder on Windows goes only with rmdir.
bool removeLink(const QString& path, QString* error)
{
    QFile link(path);
    if (link.remove() || QDir().rmdir(path))
        return true;
    return fail(error, path, link.errorString());
}

// A folder must be readable to be listed and writable to lose its entries, whatever its owner set.
void openUp(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isReadable() || !info.isWritable() || !info.isExecutable()) {
        QFile::setPermissions(path, info.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
                                        QFileDevice::ExeUser);
    }
}

bool deleteTree(const QString& path, QString* error)
{
    openUp(path);
    const QFileInfoList entries = QDir(path).entryInfoList(everyEntry);
    for (const QFileInfo& entry : entries) {
        const QString entryPath = entry.absoluteFilePath();
        bool removed;
        if (isRealFolder(entry))
            removed = deleteTree(entryPath, error);
        else if (isFolderLink(entry))
            removed = removeLink(entryPath, error);
        else
            removed = removeFile(entryPath, error);
        if (!removed)
            return false;
    }
    if (QDir().rmdir(path))
        return true;
    const bool empty = QDir(path).isEmpty(everyEntry);
    return fail(error, path,
                empty ? QStringLiteral("the folder cannot be removed (in use, access denied, or it holds an entry "
                                       "whose name cannot be read in this system's encoding)")
                      : QStringLiteral("the folder cannot be emptied (access denied)"));
}

// A name beside path that is not taken, for a copy that replaces path only once it is complete.
QString freeNameBeside(const QString& path)
{
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1.~copy%2").arg(path).arg(n);
        if (!isPresent(QFileInfo(candidate)))
            return candidate;
    }
}

bool copyFile(const QString& source, const QString& destination, QString* error)
{
    QFile file(source);
    if (!file.copy(destination))
        return fail(error, source,
                    QStringLiteral("cannot be copied to %1: %2")
                        .arg(QDir::toNativeSeparators(destination), file.errorString()));
    return true;
}

// Replaces a file (or a link) of the same name; the old one goes only once the new copy is complete beside it.
bool copyReplacing(const QString& source, const QString& destination, QString* error)
{
    const QFileInfo target(destination);
    if (!isPresent(target))
        return copyFile(source, destination, error);
    if (isRealFolder(target))
        return fail(error, destination, QStringLiteral("a folder of that name is in the way"));
    const QString temporary = freeNameBeside(destination);
    if (!copyFile(source, temporary, error))
        return false;
    const bool removed = isFolderLink(target) ? removeLink(destination, error) : removeFile(destination, error);
    if (!removed) {
        QFile::remove(temporary);
        return false;
    }
    QFile moved(temporary);
    if (!moved.rename(destination))
        return fail(error, destination,
                    QStringLiteral("the new copy is left as %1: %2")
                        .arg(QDir::toNativeSeparators(temporary), moved.errorString()));
    return true;
}

bool copyContents(const QString& source, const QString& destination, QString* error)
{
    if (!QFileInfo(source).isReadable())
        return fail(error, source, QStringLiteral("the folder cannot be read"));
    const QFileInfoList entries = QDir(source).entryInfoList(everyEntry);
    for (const QFileInfo& entry : entries) {
        const QString target = destination + u'/' + entry.fileName();
        if (isRealFolder(entry)) {
            const QFileInfo targetInfo(target);
            if (isPresent(targetInfo)) {
                // Merging into a link would write into whatever it leads to.
                if (!isRealFolder(targetInfo))
                    return fail(error, target, QStringLiteral("exists and is not a folder"));
            } else if (!QDir().mkdir(target)) {
                return fail(error, target, QStringLiteral("the folder cannot be created"));
            }
            if (!copyContents(entry.absoluteFilePath(), target, error))
                return false;
        } else if (isFolderLink(entry) || !entry.exists()) {
            continue; // links to folders are not followed; links that lead nowhere have nothing to copy
        } else if (!copyReplacing(entry.absoluteFilePath(), target, error)) {
            return false;
        }
    }
    return true;
}

// The path with every link and "." or ".." resolved as far as it exists, the rest appended as written.
QString resolvedPath(const QString& path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const qsizetype cut = existing.lastIndexOf(u'/');
        if (cut <= 0)
            return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        rest = existing.mid(cut) + rest;
        existing.truncate(cut);
    }
    return QFileInfo(existing).canonicalFilePath() + rest;
}

bool isSameOrInside(const QString& path, const QString& folder)
{
    // Compared without regard to case: on a file system that ignores case a wrong "no" would copy without end,
    // while a wrong "yes" only refuses a rare copy.
    return path.compare(folder, Qt::CaseInsensitive) == 0 ||
           path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/', Qt::CaseInsensitive);
}

// The delete operations take the paths the program builds from the Favorites folder. A relative path or a
// root folder can only come from a mistake such as an empty folder name, and would delete far more than meant.
bool refuseUnsafe(const QString& path, bool isFolder, QString* error)
{
    QString reason;
    if (QFileInfo(path).isRelative())
        reason = QStringLiteral("not an absolute path; nothing deleted");
    else if (isFolder && QDir(QFileInfo(path).canonicalFilePath()).isRoot())
        reason = QStringLiteral("a root folder; nothing deleted");
    else
        return false;
    fail(error, path, reason);
    return true;
}

} // namespace

bool KillFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.fileName() == QLatin1String("*.*")) {
        const QString folder = info.path();
        const QFileInfo folderInfo(folder);
        if (!folderInfo.isDir())
            return fail(error, folder, QStringLiteral("the folder does not exist"));
        if (refuseUnsafe(folder, true, error))
            return false;
        if (!folderInfo.isReadable())
            return fail(error, folder, QStringLiteral("the folder cannot be read"));
        const QFileInfoList entries = QDir(folder).entryInfoList(everyEntry);
        for (const QFileInfo& entry : entries) {
            if (isRealFolder(entry) || isFolderLink(entry))
                continue;
            if (!removeFile(entry.absoluteFilePath(), error))
                return false;
        }
        return true;
    }
    return deleteOneFile(path, error);
}

bool deleteOneFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (refuseUnsafe(path, false, error))
        return false;
    if (!isPresent(info))
        return fail(error, path, QStringLiteral("the file does not exist"));
    if (isRealFolder(info))
        return fail(error, path, QStringLiteral("is a folder, not a file"));
    if (isFolderLink(info))
        return removeLink(path, error);
    return removeFile(path, error);
}

bool KillFolder(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (refuseUnsafe(path, isRealFolder(info), error))
        return false;
    if (isFolderLink(info))
        return removeLink(path, error);
    if (!isRealFolder(info))
        return true;
    return deleteTree(info.absoluteFilePath(), error);
}

bool CopyTree(const QString& source, const QString& destination, QString* error)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        return fail(error, source,
                    sourceInfo.exists() ? QStringLiteral("is not a folder")
                                        : QStringLiteral("the folder does not exist"));
    const QFileInfo destinationInfo(destination);
    if (isPresent(destinationInfo) && !destinationInfo.isDir())
        return fail(error, destination, QStringLiteral("exists and is not a folder"));
    if (isSameOrInside(resolvedPath(destination), sourceInfo.canonicalFilePath()))
        return fail(error, destination,
                    QStringLiteral("lies inside the folder %1 that is copied").arg(QDir::toNativeSeparators(source)));
    if (!destinationInfo.exists() && !QDir().mkpath(destination))
        return fail(error, destination, QStringLiteral("the folder cannot be created"));
    return copyContents(sourceInfo.absoluteFilePath(), destinationInfo.absoluteFilePath(), error);
}

bool CopyOne(const QString& source, const QString& destination, QString* error)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return fail(error, source, QStringLiteral("the file does not exist"));
    if (sourceInfo.isDir())
        return fail(error, source, QStringLiteral("is a folder, not a file"));
    const QFileInfo destinationInfo(destination);
    if (isPresent(destinationInfo))
        return fail(error, destination, QStringLiteral("already exists"));
    if (!destinationInfo.absoluteDir().exists())
        return fail(error, destination, QStringLiteral("its folder does not exist"));
    return copyFile(source, destination, error);
}

} // namespace favorites
