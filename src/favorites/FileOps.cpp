#include "favorites/FileOps.h"

#include <vector>

#include <QDir>
#include <QFileInfo>

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
    std::vector<platform::FolderEntry> entries;
    SystemError why;
    if (!platform::listFolder(path, &entries, &why))
        return failAt(failure, FileFailure::FolderUnreadable, path, NativePath(), why);
    for (const platform::FolderEntry& entry : entries) {
        if (!removeTree(path / entry.name, failure))
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
    std::vector<platform::FolderEntry> entries;
    SystemError why;
    if (!platform::listFolder(source, &entries, &why))
        return failAt(failure, FileFailure::FolderUnreadable, source, NativePath(), why);
    for (const platform::FolderEntry& entry : entries) {
        if (skip && skip(entry.name))
            continue;
        const NativePath from = source / entry.name;
        const NativePath to = destination / entry.name;
        if (entry.type != EntryType::Folder && !stepOn(progress))
            return failAt(failure, FileFailure::Stopped, from);
        switch (entry.type) {
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
            if (!copyEntry(from, entry.type, to, failure, leftOut))
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
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(source, &entries))
        return 0;
    int count = 0;
    for (const platform::FolderEntry& entry : entries) {
        if (skip && skip(entry.name))
            continue;
        count += entry.type == EntryType::Folder ? countFiles(source / entry.name) : 1;
    }
    return count;
}

bool deleteOneFile(const QString& path, Failure* failure)
{
    // The paths the program builds from the Favorites folder are absolute: a relative one can only come from a
    // mistake such as an empty folder name, and would delete a file of whatever folder is current.
    if (QFileInfo(path).isRelative())
        return fail(failure, FileFailure::RelativePath, path);
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
    SystemError why;
    if (!platform::copyRegularFile(platform::toNativePath(source), platform::toNativePath(destination), &why))
        return fail(failure, FileFailure::CopyFailed, source, destination, why);
    return true;
}

} // namespace favorites
