#include "platform/ProcessLock.h"

#include <cerrno>

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

// An flock() on what fd is open on: it belongs to the open file, so a second open of the same file or folder, in this
// process or another, is refused it, and it goes when the process ends.
LockState lockOpened(int fd, std::intptr_t* handle)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        *handle = fd;
        return LockState::Taken;
    }
    const int error = errno;
    ::close(fd);
    // Anything else (no locks on this file system, or none on a file opened for reading, as NFS has it) is no lock.
    return error == EWOULDBLOCK ? LockState::Held : LockState::Unavailable;
}

} // namespace

ProcessLock::~ProcessLock()
{
    unlock();
}

LockState ProcessLock::lockFile(const QString& path, bool create)
{
    unlock();
    const QByteArray native = QFile::encodeName(path);
    // Never through a link, and never waiting on a named pipe put in its place.
    constexpr int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(native.constData(), O_RDWR | flags | (create ? O_CREAT : 0), 0666);
    // Another user's lock file that this one may only read: an flock() needs no right to write.
    if (fd < 0 && errno == EACCES)
        fd = ::open(native.constData(), O_RDONLY | flags);
    if (fd < 0)
        return LockState::Unavailable;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return LockState::Unavailable;
    }
    return lockOpened(fd, &m_handle);
}

LockState ProcessLock::lockFolder(const QString& path)
{
    unlock();
    // Links on the way are followed: the lock is on the folder, however its path is written.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return LockState::Unavailable;
    return lockOpened(fd, &m_handle);
}

void ProcessLock::unlock()
{
    if (m_handle == kNone)
        return;
    // Closing the last descriptor of the open file lets go of its lock.
    ::close(int(m_handle));
    m_handle = kNone;
}

void endProcessNow(int status)
{
    ::_exit(status);
}

} // namespace platform
