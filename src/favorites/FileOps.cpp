#include "favorites/FileOps.h"

#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/Paths.h"

namespace favorites
{

using platform::EntryType;
using platform::fail;
using platform::Failure;
using platform::FailureKind;
using platform::FileFailure;
using platform::fromNativePath;
using platform::NativePath;
using platform::SystemError;

namespace
{

QString text(const NativePath& path)
{
    return fromNativePath(path);
}

bool failAt(Failure* failure, FailureKind kind, const NativePath& path, const NativePath& other = NativePath(),
            const SystemError& why = SystemError())
{
    return fail(failure, kind, text(path), other.empty() ? QString() : text(other), why);
}

// A link that leads to a folder is skipped by "*.*", as the folder itself would be.
bool leadsToFolder(const NativePath& link)
{
    std::error_code code;
    return std::filesystem::is_directory(link, code);
}

bool removeOne(const NativePath& path, Failure* failure)
{
    SystemError why;
    if (platform::removeEntry(path, &why))
        return true;
    return failAt(failure, FileFailure::DeleteFailed, path, NativePath(), why);
}

bool removeFolderTree(const NativePath& path, Failure* failure)
{
    // Entries go only with the right to write their folder, whatever its owner set.
    platform::openUp(path);
    std::vector<NativePath> names;
    SystemError why;
    if (!platform::listFolder(path, &names, &why))
        return failAt(failure, FileFailure::FolderUnreadable, path, NativePath(), why);
    for (const NativePath& name : names) {
        if (!removeTree(path / name, failure))
            return false;
    }
    if (platform::removeEntry(path, &why))
        return true;
    return failAt(failure, FileFailure::FolderNotRemoved, path, NativePath(), why);
}

// A name beside path that is not taken, for a copy that replaces path only once it is complete.
NativePath freeNameBeside(const NativePath& path)
{
    for (int n = 1;; ++n) {
        NativePath candidate = path;
        candidate += QStringLiteral(".~copy%1").arg(n).toStdString();
        if (platform::entryType(candidate) == EntryType::Missing)
            return candidate;
    }
}

// Puts a finished copy at temporary in the place of what is at destination (a file or a link).
bool replaceWith(const NativePath& temporary, const NativePath& destination, Failure* failure)
{
    if (!removeOne(destination, failure)) {
        removeTree(temporary);
        return false;
    }
    SystemError why;
    if (!platform::renameEntry(temporary, destination, &why))
        return failAt(failure, FileFailure::CopyLeftAside, destination, temporary, why);
    return true;
}

// Copies one entry that is not a folder: a file, or a link as a link. Something of the same name that is not a
// folder is replaced, and only once the copy is complete beside it.
bool copyEntry(const NativePath& source, EntryType type, const NativePath& destination, Failure* failure,
               LeftOut* leftOut)
{
    if (type == EntryType::Link && !platform::canMakeLinks()) {
        // What the link leads to stays where it is; the link itself is left out, and the copy says so.
        if (leftOut)
            leftOut->links.append(QDir::toNativeSeparators(text(source)));
        return true;
    }
    const EntryType there = platform::entryType(destination);
    if (there == EntryType::Folder)
        return failAt(failure, FileFailure::FolderInTheWay, destination);
    const NativePath target = there == EntryType::Missing ? destination : freeNameBeside(destination);
    SystemError why;
    const bool copied = type == EntryType::Link ? platform::copyLink(source, target, &why)
                                                : platform::copyRegularFile(source, target, &why);
    if (!copied)
        return failAt(failure, FileFailure::CopyFailed, source, destination, why);
    return target == destination || replaceWith(target, destination, failure);
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

bool removeTree(const NativePath& path, Failure* failure)
{
    switch (platform::entryType(path)) {
    case EntryType::Missing:
        return true;
    case EntryType::Folder:
        return removeFolderTree(path, failure);
    case EntryType::File:
    case EntryType::Link:
    case EntryType::Special:
        break;
    }
    return removeOne(path, failure);
}

bool copyFolderContents(const NativePath& source, const NativePath& destination, Failure* failure, LeftOut* leftOut,
                        const std::function<bool(const NativePath& name)>& skip, Progress* progress)
{
    std::vector<NativePath> names;
    SystemError why;
    if (!platform::listFolder(source, &names, &why))
        return failAt(failure, FileFailure::FolderUnreadable, source, NativePath(), why);
    for (const NativePath& name : names) {
        if (skip && skip(name))
            continue;
        const NativePath from = source / name;
        const NativePath to = destination / name;
        const EntryType type = platform::entryType(from);
        if (type != EntryType::Folder && !stepOn(progress))
            return failAt(failure, FileFailure::Stopped, from);
        switch (type) {
        case EntryType::Missing:
            continue; // gone since the listing: nothing to copy
        case EntryType::Special:
            if (leftOut) {
                const platform::SpecialKind kind = platform::specialKind(from);
                QStringList& list = kind == platform::SpecialKind::Pipe     ? leftOut->pipes
                                    : kind == platform::SpecialKind::Socket ? leftOut->sockets
                                                                            : leftOut->devices;
                list.append(QDir::toNativeSeparators(text(from)));
            }
            continue;
        case EntryType::File:
        case EntryType::Link:
            if (!copyEntry(from, type, to, failure, leftOut))
                return false;
            continue;
        case EntryType::Folder:
            break;
        }
        const EntryType there = platform::entryType(to);
        if (there == EntryType::Missing) {
            if (!platform::createFolder(to, &why))
                return failAt(failure, FileFailure::FolderNotCreated, to, NativePath(), why);
        } else if (there == EntryType::Folder) {
            platform::openUp(to); // a read-only folder from an earlier copy gets its mode back below
        } else {
            // Merging into a link would write into whatever it leads to.
            return failAt(failure, FileFailure::NotAFolder, to);
        }
        if (!copyFolderContents(from, to, failure, leftOut, {}, progress))
            return false;
        // Only now: a read-only folder could not have been filled.
        platform::copyMode(from, to);
    }
    return true;
}

int countFiles(const NativePath& source, const std::function<bool(const NativePath& name)>& skip)
{
    std::vector<NativePath> names;
    if (!platform::listFolder(source, &names))
        return 0;
    int count = 0;
    for (const NativePath& name : names) {
        if (skip && skip(name))
            continue;
        const NativePath entry = source / name;
        count += platform::entryType(entry) == EntryType::Folder ? countFiles(entry) : 1;
    }
    return count;
}

namespace
{

// The delete operations take the paths the program builds from the Favorites folder. A relative path or a
// root folder can only come from a mistake such as an empty folder name, and would delete far more than meant.
bool refuseUnsafe(const QString& path, bool isFolder, Failure* failure)
{
    if (QFileInfo(path).isRelative()) {
        fail(failure, FileFailure::RelativePath, path);
        return true;
    }
    if (isFolder && QDir(QFileInfo(path).canonicalFilePath()).isRoot()) {
        fail(failure, FileFailure::RootFolder, path);
        return true;
    }
    return false;
}

} // namespace

bool KillFile(const QString& path, Failure* failure)
{
    const QFileInfo info(path);
    if (info.fileName() != QLatin1String("*.*"))
        return deleteOneFile(path, failure);
    const QString folder = info.path();
    if (!QFileInfo(folder).isDir())
        return fail(failure, FileFailure::FolderMissing, folder);
    if (refuseUnsafe(folder, true, failure))
        return false;
    const NativePath native = platform::toNativePath(folder);
    std::vector<NativePath> names;
    SystemError why;
    if (!platform::listFolder(native, &names, &why))
        return fail(failure, FileFailure::FolderUnreadable, folder, QString(), why);
    for (const NativePath& name : names) {
        const NativePath entry = native / name;
        const EntryType type = platform::entryType(entry);
        if (type == EntryType::Folder || type == EntryType::Missing ||
            (type == EntryType::Link && leadsToFolder(entry)))
            continue;
        if (!removeOne(entry, failure))
            return false;
    }
    return true;
}

bool deleteOneFile(const QString& path, Failure* failure)
{
    if (refuseUnsafe(path, false, failure))
        return false;
    const NativePath native = platform::toNativePath(path);
    switch (platform::entryType(native)) {
    case EntryType::Missing:
        return fail(failure, FileFailure::FileMissing, path);
    case EntryType::Folder:
        return fail(failure, FileFailure::IsAFolder, path);
    case EntryType::File:
    case EntryType::Link:
    case EntryType::Special:
        break;
    }
    return removeOne(native, failure);
}

bool KillFolder(const QString& path, Failure* failure)
{
    const NativePath native = platform::toNativePath(path);
    const EntryType type = platform::entryType(native);
    if (refuseUnsafe(path, type == EntryType::Folder, failure))
        return false;
    if (type == EntryType::Link && leadsToFolder(native))
        return removeOne(native, failure);
    if (type != EntryType::Folder)
        return true;
    return removeTree(native, failure);
}

bool CopyTree(const QString& source, const QString& destination, Failure* failure, LeftOut* leftOut)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        return fail(failure, sourceInfo.exists() ? FileFailure::NotAFolder : FileFailure::FolderMissing, source);
    const QFileInfo destinationInfo(destination);
    if ((destinationInfo.exists() || destinationInfo.isSymLink()) && !destinationInfo.isDir())
        return fail(failure, FileFailure::NotAFolder, destination);
    if (platform::isInside(destination, source))
        return fail(failure, FileFailure::DestinationInsideSource, destination, source);
    if (!destinationInfo.exists() && !QDir().mkpath(destination))
        return fail(failure, FileFailure::FolderNotCreated, destination, QString(), platform::lastSystemError());
    return copyFolderContents(platform::toNativePath(sourceInfo.absoluteFilePath()),
                              platform::toNativePath(destinationInfo.absoluteFilePath()), failure, leftOut);
}

bool CopyOne(const QString& source, const QString& destination, Failure* failure)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return fail(failure, FileFailure::FileMissing, source);
    if (sourceInfo.isDir())
        return fail(failure, FileFailure::IsAFolder, source);
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() || destinationInfo.isSymLink())
        return fail(failure, FileFailure::AlreadyExists, destination);
    if (!destinationInfo.absoluteDir().exists())
        return fail(failure, FileFailure::FolderMissing, destinationInfo.absolutePath());
    QFile file(source);
    if (!file.copy(destination))
        return fail(failure, FileFailure::CopyFailed, source, destination, platform::systemErrorOf(file));
    // QFile::copy hands on the running user's view of the permissions, which to the superuser makes every
    // read-only file writable.
    QFile::setPermissions(destination, modeOf(sourceInfo));
    return true;
}

} // namespace favorites
