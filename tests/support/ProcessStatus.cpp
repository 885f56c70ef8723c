#include "support/ProcessStatus.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace testsupport
{

qint64 processStatusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted(key);
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(wanted))
            return line.mid(wanted.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int processThreadCount()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    if (!tasks.exists())
        return -1;
    return int(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

int openDescriptors(int* sockets)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (!fds.exists())
        return -1;
    int n = 0;
    int socketCount = 0;
    // The listing itself holds a descriptor while it reads; it is not counted.
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray path = fds.filePath(fd).toLocal8Bit();
        char target[64];
        const ssize_t length = readlink(path.constData(), target, sizeof target - 1);
        if (length < 0)
            continue; // gone since the listing, or the listing's own
        ++n;
        if (qstrncmp(target, "socket:", 7) == 0)
            ++socketCount;
    }
    if (sockets)
        *sockets = socketCount;
    return n;
}

} // namespace testsupport
