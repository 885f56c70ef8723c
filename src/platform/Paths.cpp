#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "platform/FileSystem.h"

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

// The path with "." and "..", and every link on the way of the part that exists, resolved; the rest as written.
QString resolvedPath(const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString existing = absolute;
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const qsizetype cut = existing.lastIndexOf(u'/');
        if (cut < 0)
            return absolute;
        rest = existing.mid(cut + 1) + (rest.isEmpty() ? QString() : u'/' + rest);
        existing.truncate(cut);
        // The root ("/", "C:/") exists, and keeps its separator.
        if (existing.isEmpty() || existing.endsWith(u':')) {
            existing += u'/';
            break;
        }
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty())
        return absolute;
    return rest.isEmpty() ? canonical : QDir::cleanPath(canonical + u'/' + rest);
}

} // namespace

bool isInside(const QString& child, const QString& parent)
{
    const QString inner = resolvedPath(child);
    const QString outer = resolvedPath(parent);
    const Qt::CaseSensitivity cs = fileNameCase();
    if (inner.compare(outer, cs) == 0)
        return true;
    return inner.startsWith(outer.endsWith(u'/') ? outer : outer + u'/', cs);
}

QString folderIdentity(const QString& path)
{
    const QString resolved = resolvedPath(path);
    return fileNameCase() == Qt::CaseInsensitive ? resolved.toCaseFolded() : resolved;
}

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
    // The files of an installed copy belong to its installer, which replaces them at an upgrade and removes them
    // at an uninstall: its data stays out of that folder even where the user can write to it (a per-user install).
    const bool installed =
        !programFolder.isEmpty() &&
        QFileInfo(QDir::fromNativeSeparators(programFolder) + u'/' + QLatin1String(kInstalledMarker)).isFile();
    if (!installed && canCreateFileIn(programFolder))
        return programFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (userFolder.isEmpty() || !QDir().mkpath(userFolder))
        return programFolder;
    return nativePath(userFolder);
}

} // namespace platform
