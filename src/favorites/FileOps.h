#pragma once

#include <functional>

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "favorites/Progress.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"

// Deleting and copying files and folders of the Favorites tree and its backup.
// Each operation stops at the first failure and returns false with what failed, where and why in *failure;
// what it did before that stays done. Names are taken exactly as the system stores them (on Linux a name that is
// not valid UTF-8 is copied byte for byte). Links met inside a folder are never followed: they are deleted as
// links and copied as links (the folders named in the call may themselves be reached through a link). Named pipes,
// sockets and devices are never opened. Copies keep each file's and subfolder's mode (a read-only file stays
// read-only, as the copy on Windows keeps the attribute); read-only files and folders are made writable where that
// is needed to delete or replace them.

namespace favorites
{

/// What a copy left out, each entry by its path in the source (native form), by what it is.
struct LeftOut
{
    // Named pipes, sockets and devices are never opened, so never copied.
    QStringList pipes;
    QStringList sockets;
    QStringList devices;
    QStringList links; // links this system does not let the program make (Windows)

    bool isEmpty() const { return size() == 0; }
    int size() const { return int(pipes.size() + sockets.size() + devices.size() + links.size()); }
};

/// Deletes exactly the one file at path, whatever its name: "*.*" or a name holding '*' or '?' is only a name
/// here. A link is deleted, not its target. Returns false when path is relative, the file is missing, is a folder,
/// or cannot be deleted.
bool deleteOneFile(const QString& path, platform::Failure* failure = nullptr);

/// Copies the file source to the file path destination, keeping its mode. Returns false, leaving destination
/// untouched, when destination exists, its folder is missing, source is not a file, or the copy fails.
bool CopyOne(const QString& source, const QString& destination, platform::Failure* failure = nullptr);

/// A file's or folder's permissions as they can be set again: its mode, without the flags that only say what the
/// running user may do (to the superuser every file looks writable).
QFileDevice::Permissions modeOf(const QFileInfo& info);

// On native paths, for backup and restore.

/// Deletes what is at path: a folder with everything in it, or the one file or link. Nothing there is not a
/// failure.
bool removeTree(const platform::NativePath& path, platform::Failure* failure = nullptr);

/// Copies everything in the folder source into the existing folder destination, merging into what is there: files
/// and links of the same name are replaced (each only once its copy is complete), others kept. Links are copied as
/// links; named pipes, sockets and devices, and links this system cannot make, are left out and listed in *leftOut.
/// The names directly in source for which skip (when given) says so are left out too. Returns false when source
/// cannot be listed, a folder of the source meets something else in destination or the other way round, or a copy
/// fails. Each entry that is not a folder is a step of progress; asked to stop there, the copy stops with
/// FileFailure::Stopped, what it copied so far left in place.
bool copyFolderContents(const platform::NativePath& source, const platform::NativePath& destination,
                        platform::Failure* failure, LeftOut* leftOut,
                        const std::function<bool(const platform::NativePath& name)>& skip = {},
                        Progress* progress = nullptr);

/// The entries of the folder source at any depth that are not folders, left out what skip says of the names directly
/// in it: the steps of copyFolderContents. Links are not followed; a folder that cannot be read counts nothing.
int countFiles(const platform::NativePath& source,
               const std::function<bool(const platform::NativePath& name)>& skip = {});

} // namespace favorites
