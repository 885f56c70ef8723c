#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
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

bool copyBytes(int from, int to)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(to, buffer + done, std::size_t(got - done));
            if (written < 0 && errno != EINTR)
                return false;
            done += std::max<ssize_t>(written, 0);
        }
    }
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
    // Without waiting: a named pipe put in the file's place is refused below, not waited on.
    const int from = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (from < 0)
        return failedWithErrno(error);
    struct stat st
    {
    };
    const int unfit = ::fstat(from, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? 0 : EINVAL;
    int to = -1;
    bool unnamed = false;
    if (unfit == 0) {
        // The copy takes its name only once it is whole, as an unnamed file in the destination's folder where the
        // system makes one: a program stopped half-way then leaves nothing of it.
        const NativePath folder = destination.has_parent_path() ? destination.parent_path() : NativePath(".");
        if (::access("/proc/self/fd", X_OK) == 0)
            to = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        unnamed = to >= 0;
        if (!unnamed)
            to = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    bool copied = to >= 0 && copyBytes(from, to);
    int why = unfit != 0 ? unfit : errno;
    if (copied) {
        // The mode last: a read-only copy could not have been written. Where the file system keeps no modes, the copy
        // has what it gives.
        ::fchmod(to, st.st_mode & 0777);
        const std::string self = "/proc/self/fd/" + std::to_string(to);
        copied = !unnamed || ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW) == 0;
        why = errno;
    }
    if (to >= 0 && ::close(to) != 0 && copied) {
        copied = false;
        why = errno;
    }
    ::close(from);
    if (copied)
        return true;
    if (to >= 0 && !unnamed)
        ::unlink(destination.c_str());
    errno = why;
    return failedWithErrno(error);
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

} // namespace platform
