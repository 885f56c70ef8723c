#include "platform/FileSystem.h"

#include <QLockFile>

namespace platform
{

bool takeLockFile(QLockFile& lock, const QString& path)
{
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.error() != QLockFile::LockFailedError || lock.getLockInfo(&pid, &host, &application) ||
        lockFileIsHeld(toNativePath(path)))
        return false;
    lock.removeStaleLockFile();
    return lock.tryLock(0);
}

} // namespace platform
