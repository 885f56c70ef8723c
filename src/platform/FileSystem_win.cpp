#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>

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

// The one rule of what is hidden here.
bool isHiddenOrSystemAttribute(DWORD attributes)
{
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

// What an entry is by its attributes and, for a reparse point, its tag. A symbolic link or a junction stands for
// another path (a name surrogate); other reparse points, such as a folder of cloud files, are what they say.
EntryType typeOf(DWORD attributes, DWORD reparseTag)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag))
        return EntryType::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryType::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return EntryType::Special;
    return EntryType::File;
}

// The search pattern for every entry of folder; a path as long as MAX_PATH or longer in its extended-length form.
QString findPattern(const NativePath& folder)
{
    QString pattern = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(fromNativePath(folder)).absoluteFilePath()));
    pattern += pattern.endsWith(u'\\') ? QStringLiteral("*") : QStringLiteral("\\*");
    if (pattern.size() >= MAX_PATH && !pattern.startsWith(QLatin1String("\\\\?\\"))) {
        pattern = pattern.startsWith(QLatin1String("\\\\")) ? QStringLiteral("\\\\?\\UNC\\") + pattern.mid(2)
                                                            : QStringLiteral("\\\\?\\") + pattern;
    }
    return pattern;
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
    DWORD reparseTag = 0;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Only the entry's own listing gives the tag.
        WIN32_FIND_DATAW entry;
        const HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
        if (find != INVALID_HANDLE_VALUE) {
            reparseTag = entry.dwReserved0;
            FindClose(find);
        } else {
            // Never taken for a folder of its own: a restore must never delete through a link.
            return EntryType::Link;
        }
    }
    return typeOf(attributes, reparseTag);
}

bool listFolder(const NativePath& folder, std::vector<FolderEntry>* entries, SystemError* error)
{
    entries->clear();
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileExW(reinterpret_cast<LPCWSTR>(findPattern(folder).utf16()), FindExInfoBasic,
                                         &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // A root folder has no "." and "..": nothing found there is an empty folder.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        return failedWithLastError(error);
    }
    do {
        const std::wstring name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        FolderEntry entry;
        entry.name = name;
        entry.type = typeOf(found.dwFileAttributes, found.dwReserved0);
        entry.target = entry.type != EntryType::Link                         ? entry.type
                       : (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder
                                                                             : EntryType::File;
        entry.hiddenOrSystem = isHiddenOrSystemAttribute(found.dwFileAttributes);
        entries->push_back(std::move(entry));
    } while (FindNextFileW(find, &found));
    const SystemError why = lastSystemError();
    FindClose(find);
    if (why.code != ERROR_NO_MORE_FILES) {
        entries->clear();
        if (error)
            *error = why;
        return false;
    }
    return true;
}

bool isHiddenOrSystem(const NativePath& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && isHiddenOrSystemAttribute(attributes);
}

bool createFolder(const NativePath& path, SystemError* error)
{
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    return failedWithLastError(error);
}

bool copyRegularFile(const NativePath& source, const NativePath& destination, SystemError* error)
{
    // The copy takes the file's attributes (read-only, hidden, system) with it; nothing that exists is replaced.
    if (CopyFileW(source.c_str(), destination.c_str(), TRUE))
        return true;
    return failedWithLastError(error);
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

} // namespace platform
