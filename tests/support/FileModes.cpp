#include "support/FileModes.h"

#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace testsupport
{

namespace
{

struct ModeBit
{
    int octal;
    QFileDevice::Permission flag;
};

const ModeBit modeBits[] = {
    {0400, QFileDevice::ReadOwner}, {0200, QFileDevice::WriteOwner}, {0100, QFileDevice::ExeOwner},
    {0040, QFileDevice::ReadGroup}, {0020, QFileDevice::WriteGroup}, {0010, QFileDevice::ExeGroup},
    {0004, QFileDevice::ReadOther}, {0002, QFileDevice::WriteOther}, {0001, QFileDevice::ExeOther},
};

} // namespace

bool setMode(const QString& path, int octalMode)
{
    QFileDevice::Permissions permissions;
    for (const ModeBit& bit : modeBits) {
        if (octalMode & bit.octal)
            permissions |= bit.flag;
    }
    return QFile::setPermissions(path, permissions);
}

int modeOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    int mode = 0;
    for (const ModeBit& bit : modeBits) {
        if (info.permissions() & bit.flag)
            mode |= bit.octal;
    }
    return mode;
}

bool permissionsEnforced(const QString& folder)
{
    const QString probe = folder + QStringLiteral("/permission-probe");
    QDir().mkpath(probe);
    setMode(probe, 0555);
    QFile file(probe + QStringLiteral("/x"));
    const bool created = file.open(QIODevice::WriteOnly);
    file.close();
    QFile::remove(probe + QStringLiteral("/x"));
    setMode(probe, 0755);
    QDir().rmdir(probe);
    return !created;
}

bool makeSocketFile(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace testsupport
