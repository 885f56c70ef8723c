#include "favorites/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace favorites
{

using platform::fail;
using platform::Failure;
using platform::FailureKind;

namespace
{

const QDir::Filters everyEntry = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

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

bool removeFile(const QString& path, Failure* failure)
{
    QFile file(path);
    if (file.remove())
        return true;
    const platform::SystemError why = platform::systemErrorOf(file);
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
    return fail(failure, FailureKind::DeleteFailed, path, QString(), why);
}

// Removes a link without touching what it leads to. A link to a folder on Windows goes only with rmdir.
bool removeLink(const QString& path, Failure* failure)
{
    QFile link(path);
    if (link.remove() || QDir().rmdir(path))
        return true;
    return fail(failure, FailureKind::DeleteFailed, path, QString(), platform::systemErrorOf(link));
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

bool deleteTree(const QString& path, Failure* failure)
{
    openUp(path);
    const QFileInfoList entries = QDir(path).entryInfoList(everyEntry);
    for (const QFileInfo& entry : entries) {
        const QString entryPath = entry.absoluteFilePath();
        bool removed;
        if (isRealFolder(entry))
            removed = deleteTree(entryPath, failure);
        else if (isFolderLink(entry))
            removed = removeLink(entryPath, failure);
        else
            removed = removeFile(entryPath, failure);
        if (!removed)
            return false;
    }
    if (QDir().rmdir(path))
        return true;
    const platform::SystemError why = platform::lastSystemError();
    // An emptied folder that stays can be in use, locked, or hold an entry whose name cannot be read in this
    // system's encoding (the listing leaves it out).
    if (QDir(path).isEmpty(everyEntry))
        return fail(failure, FailureKind::FolderNotRemoved, path, QString(), why);
    return fail(failure, FailureKind::FolderNotEmptied, path);
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

// Copies one file and gives the copy the source's mode: QFile::copy hands the running user's view of the
// permissions on, which to the superuser makes every read-only file writable.
bool copyFile(const QString& source, const QString& destination, Failure* failure)
{
    QFile file(source);
    if (!file.copy(destination))
        return fail(failure, FailureKind::CopyFailed, source, destination, platform::systemErrorOf(file));
    QFile::setPermissions(destination, modeOf(QFileInfo(source)));
    return true;
}

// Replaces a file (or a link) of the same name; the old one goes only once the new copy is complete beside it.
bool copyReplacing(const QString& source, const QString& destination, Failure* failure)
{
    const QFileInfo target(destination);
    if (!isPresent(target))
        return copyFile(source, destination, failure);
    if (isRealFolder(target))
        return fail(failure, FailureKind::FolderInTheWay, destination);
    const QString temporary = freeNameBeside(destination);
    if (!copyFile(source, temporary, failure))
        return false;
    const bool removed = isFolderLink(target) ? removeLink(destination, failure) : removeFile(destination, failure);
    if (!removed) {
        QFile::setPermissions(temporary, modeOf(QFileInfo(temporary)) | QFileDevice::WriteOwner);
        QFile::remove(temporary);
        return false;
    }
    QFile moved(temporary);
    if (!moved.rename(destination))
        return fail(failure, FailureKind::CopyLeftAside, destination, temporary, platform::systemErrorOf(moved));
    return true;
}

bool copyContents(const QString& source, const QString& destination, Failure* failure)
{
    if (!QFileInfo(source).isReadable())
        return fail(failure, FailureKind::FolderUnreadable, source);
    const QFileInfoList entries = QDir(source).entryInfoList(everyEntry);
    for (const QFileInfo& entry : entries) {
        const QString target = destination + u'/' + entry.fileName();
        if (isRealFolder(entry)) {
            const QFileInfo targetInfo(target);
            if (isPresent(targetInfo)) {
                // Merging into a link would write into whatever it leads to.
                if (!isRealFolder(targetInfo))
                    return fail(failure, FailureKind::NotAFolder, target);
                openUp(target); // a read-only folder from an earlier copy gets its mode back below
            } else if (!QDir().mkdir(target)) {
                return fail(failure, FailureKind::FolderNotCreated, target, QString(), platform::lastSystemError());
            }
            if (!copyContents(entry.absoluteFilePath(), target, failure))
                return false;
            // Only now: a read-only folder could not have been filled.
            QFile::setPermissions(target, modeOf(entry));
        } else if (isFolderLink(entry) || !entry.exists()) {
            continue; // links to folders are not followed; links that lead nowhere have nothing to copy
        } else if (!copyReplacing(entry.absoluteFilePath(), target, failure)) {
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
bool refuseUnsafe(const QString& path, bool isFolder, Failure* failure)
{
    if (QFileInfo(path).isRelative()) {
        fail(failure, FailureKind::RelativePath, path);
        return true;
    }
    if (isFolder && QDir(QFileInfo(path).canonicalFilePath()).isRoot()) {
        fail(failure, FailureKind::RootFolder, path);
        return true;
    }
    return false;
}

} // namespace

QFileDevice::Permissions modeOf(const QFileInfo& info)
{
    const QFileDevice::Permissions modeFlags = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                               QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return info.permissions() & modeFlags;
}

bool KillFile(const QString& path, Failure* failure)
{
    const QFileInfo info(path);
    if (info.fileName() == QLatin1String("*.*")) {
        const QString folder = info.path();
        const QFileInfo folderInfo(folder);
        if (!folderInfo.isDir())
            return fail(failure, FailureKind::FolderMissing, folder);
        if (refuseUnsafe(folder, true, failure))
            return false;
        if (!folderInfo.isReadable())
            return fail(failure, FailureKind::FolderUnreadable, folder);
        const QFileInfoList entries = QDir(folder).entryInfoList(everyEntry);
        for (const QFileInfo& entry : entries) {
            if (isRealFolder(entry) || isFolderLink(entry))
                continue;
            if (!removeFile(entry.absoluteFilePath(), failure))
                return false;
        }
        return true;
    }
    return deleteOneFile(path, failure);
}

bool deleteOneFile(const QString& path, Failure* failure)
{
    const QFileInfo info(path);
    if (refuseUnsafe(path, false, failure))
        return false;
    if (!isPresent(info))
        return fail(failure, FailureKind::FileMissing, path);
    if (isRealFolder(info))
        return fail(failure, FailureKind::IsAFolder, path);
    if (isFolderLink(info))
        return removeLink(path, failure);
    return removeFile(path, failure);
}

bool KillFolder(const QString& path, Failure* failure)
{
    const QFileInfo info(path);
    if (refuseUnsafe(path, isRealFolder(info), failure))
        return false;
    if (isFolderLink(info))
        return removeLink(path, failure);
    if (!isRealFolder(info))
        return true;
    return deleteTree(info.absoluteFilePath(), failure);
}

bool CopyTree(const QString& source, const QString& destination, Failure* failure)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        return fail(failure, sourceInfo.exists() ? FailureKind::NotAFolder : FailureKind::FolderMissing, source);
    const QFileInfo destinationInfo(destination);
    if (isPresent(destinationInfo) && !destinationInfo.isDir())
        return fail(failure, FailureKind::NotAFolder, destination);
    if (isSameOrInside(resolvedPath(destination), sourceInfo.canonicalFilePath()))
        return fail(failure, FailureKind::DestinationInsideSource, destination, source);
    if (!destinationInfo.exists() && !QDir().mkpath(destination))
        return fail(failure, FailureKind::FolderNotCreated, destination, QString(), platform::lastSystemError());
    return copyContents(sourceInfo.absoluteFilePath(), destinationInfo.absoluteFilePath(), failure);
}

bool CopyOne(const QString& source, const QString& destination, Failure* failure)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return fail(failure, FailureKind::FileMissing, source);
    if (sourceInfo.isDir())
        return fail(failure, FailureKind::IsAFolder, source);
    const QFileInfo destinationInfo(destination);
    if (isPresent(destinationInfo))
        return fail(failure, FailureKind::AlreadyExists, destination);
    if (!destinationInfo.absoluteDir().exists())
        return fail(failure, FailureKind::FolderMissing, destinationInfo.absolutePath());
    return copyFile(source, destination, failure);
}

} // namespace favorites
