#include "platform/FileSystem.h"

#include <windows.h>

namespace platform
{

namespace
{

bool failedWithLastError(SystemError* error)
{
    if (error)
        *error = lastSystemError();
    return false;
}

DWORD attributesOf(const NativePath& path)
{
    return GetFileAttributesW(path.c_str());
}

} // namespace

NativePath toNativePath(const QString& path)
{
    return NativePath(path.toStdWString());
}

QString fromNativePath(const NativePath& path)
{
    return QString::fromStdWString(path.native());
}

EntryType entryType(const NativePath& path)
{
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryType::Missing;
    // Symbolic links and junctions alike: a restore must never delete through one.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryType::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryType::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return EntryType::Special;
    return EntryType::File;
}

SpecialKind specialKind(const NativePath&)
{
    // The only special entries Windows lists in a folder are devices.
    return SpecialKind::Device;
}

Qt::CaseSensitivity fileNameCase()
{
    return Qt::CaseInsensitive;
}

bool canMakeLinks()
{
    return false;
}

bool copyLink(const NativePath&, const NativePath&, SystemError* error)
{
    if (error) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        *error = lastSystemError();
    }
    return false;
}

bool renameEntry(const NativePath& from, const NativePath& to, SystemError* error)
{
    // Without MOVEFILE_REPLACE_EXISTING nothing at `to` is ever replaced; a link is moved, not what it leads to.
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return true;
    return failedWithLastError(error);
}

bool removeEntry(const NativePath& path, SystemError* error)
{
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failedWithLastError(error);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    // A junction or a link to a folder is a folder entry: RemoveDirectory takes the link away, not its target.
    const BOOL removed =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
    if (removed)
        return true;
    const SystemError why = lastSystemError();
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes);
    if (error)
        *error = why;
    return false;
}

void openUp(const NativePath& path)
{
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
}

void copyMode(const NativePath& source, const NativePath& destination)
{
    // The read-only attribute, and for a folder made anew also hidden and system, as a copy of a file keeps them.
    constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD from = attributesOf(source);
    const DWORD to = attributesOf(destination);
    if (from == INVALID_FILE_ATTRIBUTES || to == INVALID_FILE_ATTRIBUTES)
        return;
    if ((to & kept) != (from & kept))
        SetFileAttributesW(destination.c_str(), (to & ~kept) | (from & kept));
}

void setHidden(const NativePath& path, bool hidden)
{
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(path.c_str(),
                           hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
}

bool lockFileIsHeld(const NativePath& path)
{
    // QLockFile keeps its file open, sharing it for reading only, for as long as it holds it.
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}

} // namespace platform
