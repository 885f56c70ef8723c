#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace platform
{

namespace
{

// A real probe rather than permission bits: they do not tell the whole story on Windows (ACLs, Program Files)
// nor on a read-only mount, and the probe file is removed again at once.
bool canCreateFileIn(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir::fromNativeSeparators(folder) + QLatin1String("/.tessaly-probe-XXXXXX"));
    return probe.open();
}

} // namespace

QChar separator()
{
    return QDir::separator();
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder + separator() + name;
}

QString nativePath(const QString& path)
{
    QString native = QDir::toNativeSeparators(path);
    while (native.size() > 1 && native.endsWith(separator()) && !native.endsWith(QLatin1String(":\\")))
        native.chop(1);
    return native;
}

QString programFolder()
{
    return nativePath(QCoreApplication::applicationDirPath());
}

QString dataFolder(const QString& programFolder)
{
    if (canCreateFileIn(programFolder))
        return programFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (userFolder.isEmpty() || !QDir().mkpath(userFolder))
        return programFolder;
    return nativePath(userFolder);
}

} // namespace platform
