#include "platform/RecycleBin.h"

#include <cerrno>

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

// GLib's names would meet Qt's keywords (signals, slots) here: none of Qt's is in use in this file.
#undef signals
#include <gio/gio.h>

#include "platform/FileSystem.h"

namespace platform
{

Recycled moveToRecycleBin(const QString& path, SystemError* error)
{
    // GIO's own Trash, as the desktops' file managers use it: the user's Trash ($XDG_DATA_HOME/Trash) for an entry on
    // the home folder's volume, else the Trash at the top of the entry's own volume (.Trash/$uid or .Trash-$uid), none
    // on the system's internal volumes; the original path escaped as in a URL and the time of deletion in its
    // .trashinfo. It never copies across volumes and never deletes; a Trash that cannot be made or written is an
    // error, never a wait. The local file system's own implementation, whatever modules GIO may load for others.
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    GFile* file = g_vfs_get_file_for_path(g_vfs_get_local(), native.constData());
    GError* failure = nullptr;
    const bool moved = g_file_trash(file, nullptr, &failure);
    if (failure)
        g_error_free(failure);
    g_object_unref(file);
    if (moved)
        return Recycled::Moved;
    // GIO's error does not say which it was: the entry itself cannot be moved (then it cannot be deleted either), or
    // there is no Trash it can go to.
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
