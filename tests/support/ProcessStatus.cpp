#include "support/ProcessStatus.h"

#include <QDir>
#include <QFile>

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

int processThreadCount(const QByteArray& namePrefix)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    if (!tasks.exists())
        return -1;
    int n = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (namePrefix.isEmpty()) {
            ++n;
            continue;
        }
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(namePrefix))
            ++n;
    }
    return n;
}

} // namespace testsupport
