#include "platform/RecycleBin.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include "platform/FileSystem.h"

namespace platform
{

Recycled moveToRecycleBin(const QString& path, SystemError* error)
{
    // Qt follows the freedesktop rules: the user's Trash when the entry is on its volume, else the Trash at the top of
    // the entry's own volume. When it can use neither, it leaves the entry where it is: it never copies across
    // volumes, and never deletes.
    // The user's Trash lives in the user's data folder, which Qt does not make when a new account has none yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QFile entry(path);
    if (entry.moveToTrash())
        return Recycled::Moved;
    // Qt does not say which it was: the entry itself cannot be moved (then it cannot be deleted either), or there is
    // no Trash it can go to.
    bool movable = entryType(toNativePath(path)) != EntryType::Missing;
    if (!movable)
        errno = ENOENT;
    else
        movable = ::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK | X_OK) == 0;
    if (movable)
        return Recycled::NoRecycleBin;
    if (error)
        *error = lastSystemError();
    return Recycled::Failed;
}

} // namespace platform
