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
// is needed to delete or replace them. The delete operations refuse a relative path and never empty or delete a
// root folder.

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

/// Deletes the file at path (a link is deleted, not its target). A last component of exactly "*.*" means
/// every file directly in that folder, hidden and read-only ones included, never its subfolders or links to
/// folders; any other name, even one holding '*' or '?', names only itself. Returns false when a file cannot be
/// deleted, the file is missing or is a folder, or the folder of "*.*" is missing (no file to match is not a
/// failure).
bool KillFile(const QString& path, platform::Failure* failure = nullptr);

/// Deletes exactly the one file at path, whatever its name: "*.*" or a name holding '*' or '?' is only a name
/// here. A link is deleted, not its target. Returns false when the file is missing, is a folder, or cannot be
/// deleted. Deleting one favorite goes through this, never through KillFile, whose "*.*" names every file.
bool deleteOneFile(const QString& path, platform::Failure* failure = nullptr);

/// Deletes the folder at path with everything in it, read-only files and folders included; a link to a
/// folder is deleted as a link. Does nothing and returns true when no folder is there (nothing, or a file).
/// Returns false when something in it cannot be deleted.
bool KillFolder(const QString& path, platform::Failure* failure = nullptr);

/// Copies the folder source with all its files and subfolders to destination, which is created when missing
/// and merged into when present (files and links of the same name are replaced, others kept). Links are copied as
/// links; named pipes, sockets and devices, and links this system cannot make, are left out and listed in
/// *leftOut. Returns false when source is not a folder, destination or one of its subfolders exists as a file,
/// destination lies inside source, or a copy fails.
bool CopyTree(const QString& source, const QString& destination, platform::Failure* failure = nullptr,
              LeftOut* leftOut = nullptr);

/// Copies the file source to the file path destination. Returns false, leaving destination untouched, when
/// destination exists, its folder is missing, source is not a file, or the copy fails.
bool CopyOne(const QString& source, const QString& destination, platform::Failure* failure = nullptr);

/// A file's or folder's permissions as they can be set again: its mode, without the flags that only say what the
/// running user may do (to the superuser every file looks writable).
QFileDevice::Permissions modeOf(const QFileInfo& info);

// The same work on native paths, for backup and restore.

/// Deletes what is at path: a folder with everything in it, or the one file or link. Nothing there is not a
/// failure.
bool removeTree(const platform::NativePath& path, platform::Failure* failure = nullptr);

/// Copies the entries of the folder source into the existing folder destination as CopyTree does, leaving out
/// the names directly in source for which skip (when given) says so. Each entry that is not a folder is a step of
/// progress; asked to stop there, the copy stops with FileFailure::Stopped, what it copied so far left in place.
bool copyFolderContents(const platform::NativePath& source, const platform::NativePath& destination,
                        platform::Failure* failure, LeftOut* leftOut,
                        const std::function<bool(const platform::NativePath& name)>& skip = {},
                        Progress* progress = nullptr);

/// The entries of the folder source at any depth that are not folders, left out what skip says of the names directly
/// in it: the steps of copyFolderContents. Links are not followed; a folder that cannot be read counts nothing.
int countFiles(const platform::NativePath& source,
               const std::function<bool(const platform::NativePath& name)>& skip = {});

} // namespace favorites
