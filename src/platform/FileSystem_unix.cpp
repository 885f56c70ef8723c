#include "platform/FileSystem.h"

#include <cerrno>

#include <QFile>

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
    if (S_ISLNK(st.st_mode))
        return EntryType::Link;
    if (S_ISDIR(st.st_mode))
        return EntryType::Folder;
    if (S_ISREG(st.st_mode))
        return EntryType::File;
    return EntryType::Special;
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
    if (code) {
        if (error)
            *error = systemErrorOf(code);
        return false;
    }
    return true;
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
