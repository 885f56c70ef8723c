#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

bool failedWithErrno(SystemError* error)
{
    if (error)
        *error = lastSystemError();
    return false;
}

bool statOf(const NativePath& path, struct stat* st)
{
    return ::lstat(path.c_str(), st) == 0;
}

EntryType typeOfMode(mode_t mode)
{
    if (S_ISLNK(mode))
        return EntryType::Link;
    if (S_ISDIR(mode))
        return EntryType::Folder;
    if (S_ISREG(mode))
        return EntryType::File;
    return EntryType::Special;
}

// The one rule of what is hidden here.
bool isHiddenName(const char* name)
{
    return name[0] == '.';
}

// What the entry called name in the open folder is, the link itself when follow is false; Missing when it is gone.
EntryType typeAt(int folder, const char* name, bool follow)
{
    struct stat st
    {
    };
    if (::fstatat(folder, name, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return EntryType::Missing;
    return typeOfMode(st.st_mode);
}

// By name ignoring case, as Windows file systems list their entries: the order of a folder here depends on its
// history, and a listing that changed from run to run would move the rows about.
void sortAsListed(std::vector<FolderEntry>* entries)
{
    std::vector<std::pair<QString, FolderEntry>> keyed;
    keyed.reserve(entries->size());
    for (FolderEntry& entry : *entries)
        keyed.emplace_back(fromNativePath(entry.name).toLower(), std::move(entry));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : a.second.name.native() < b.second.name.native();
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        (*entries)[i] = std::move(keyed[i].second);
}

// The standard library's file functions report errno values here.
bool failedWithCode(SystemError* error, const std::error_code& code)
{
    if (error)
        *error = systemErrorOfCode(code.value());
    return false;
}

} // namespace

NativePath toNativePath(const QString& path)
{
    return NativePath(QFile::encodeName(path).toStdString());
}

QString fromNativePath(const NativePath& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

EntryType entryType(const NativePath& path)
{
    struct stat st
    {
    };
    if (!statOf(path, &st))
        return EntryType::Missing;
    return typeOfMode(st.st_mode);
}

bool listFolder(const NativePath& folder, std::vector<FolderEntry>* entries, SystemError* error)
{
    entries->clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return failedWithErrno(error);
    const int fd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(dir.get());
        if (!found)
            break;
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        FolderEntry entry;
        entry.name = name;
        entry.type = typeAt(fd, name, false);
        entry.target = entry.type == EntryType::Link ? typeAt(fd, name, true) : entry.type;
        entry.hiddenOrSystem = isHiddenName(name);
        entries->push_back(std::move(entry));
    }
    if (errno != 0) {
        entries->clear();
        return failedWithErrno(error);
    }
    sortAsListed(entries);
    return true;
}

bool isHiddenOrSystem(const NativePath& path)
{
    return isHiddenName(path.filename().c_str());
}

SpecialKind specialKind(const NativePath& path)
{
    struct stat st
    {
    };
    if (statOf(path, &st) && S_ISFIFO(st.st_mode))
        return SpecialKind::Pipe;
    if (statOf(path, &st) && S_ISSOCK(st.st_mode))
        return SpecialKind::Socket;
    return SpecialKind::Device;
}

Qt::CaseSensitivity fileNameCase()
{
    return Qt::CaseSensitive;
}

bool canMakeLinks()
{
    return true;
}

bool copyLink(const NativePath& source, const NativePath& destination, SystemError* error)
{
    std::error_code code;
    std::filesystem::copy_symlink(source, destination, code);
    return !code || failedWithCode(error, code);
}

bool createFolder(const NativePath& path, SystemError* error)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return failedWithErrno(error);
}

bool copyRegularFile(const NativePath& source, const NativePath& destination, SystemError* error)
{
    std::error_code code;
    if (std::filesystem::copy_file(source, destination, std::filesystem::copy_options::none, code)) {
        copyMode(source, destination);
        return true;
    }
    // A copy that stopped half-way goes again; what was there already (none of the caller's) is left.
    if (code != std::errc::file_exists)
        ::unlink(destination.c_str());
    return failedWithCode(error, code);
}

namespace
{

bool renameNoReplace(const NativePath& from, const NativePath& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse to replace: look first.
    struct stat st
    {
    };
    if (statOf(to, &st)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

bool renameEntry(const NativePath& from, const NativePath& to, SystemError* error)
{
    if (renameNoReplace(from, to))
        return true;
    // Moving a folder into another one rewrites its ".." entry, which takes the right to write the folder itself:
    // a folder its owner has closed is opened for the move and closed again.
    struct stat st
    {
    };
    if (errno != EACCES || !statOf(from, &st) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & S_IWUSR))
        return failedWithErrno(error);
    if (::chmod(from.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
        errno = EACCES;
        return failedWithErrno(error);
    }
    const bool moved = renameNoReplace(from, to);
    const SystemError why = lastSystemError();
    ::chmod((moved ? to : from).c_str(), st.st_mode & 07777);
    if (moved)
        return true;
    if (error)
        *error = why;
    return false;
}

bool removeEntry(const NativePath& path, SystemError* error)
{
    struct stat st
    {
    };
    if (!statOf(path, &st))
        return failedWithErrno(error);
    // Removing an entry takes the right to write its folder, not the entry itself.
    const int result = S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
    if (result == 0)
        return true;
    return failedWithErrno(error);
}

void openUp(const NativePath& path)
{
    struct stat st
    {
    };
    if (!statOf(path, &st) || S_ISLNK(st.st_mode))
        return;
    const mode_t wanted = S_ISDIR(st.st_mode) ? mode_t(S_IRWXU) : mode_t(S_IRUSR | S_IWUSR);
    if ((st.st_mode & wanted) != wanted)
        ::chmod(path.c_str(), (st.st_mode & 07777) | wanted);
}

void copyMode(const NativePath& source, const NativePath& destination)
{
    struct stat st
    {
    };
    if (statOf(source, &st) && !S_ISLNK(st.st_mode))
        ::chmod(destination.c_str(), st.st_mode & 0777);
}

void setHidden(const NativePath&, bool) {}

bool lockFileIsHeld(const NativePath& path)
{
    // QLockFile holds an flock() on its file from right after making it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace platform
