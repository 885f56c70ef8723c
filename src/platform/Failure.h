#pragma once

#include <QString>

#include "platform/SystemError.h"

// What the program reports when an operation on the Favorites folder, a shortcut file, the results file or the
// backup fails. The core only says what failed and where; the window words it (ui/FailureText.h), so that every
// text the user sees is written in one place.

namespace platform
{

enum class FailureKind
{
    None,

    // Files and folders.
    FileMissing,             // path: the file
    FolderMissing,           // path: the folder
    IsAFolder,               // path: a folder where a file was expected
    NotAFolder,              // path: something other than a folder where a folder was expected
    NotARegularFile,         // path: a folder, pipe or device where a file was expected
    LinkToMissingFile,       // path: a link that leads nowhere
    AlreadyExists,           // path: the file that is in the way (never replaced)
    FolderInTheWay,          // path: a folder where a file is to be copied
    FileInTheWay,            // path: a file (or something else that is no folder) where a folder belongs
    RelativePath,            // path: not absolute; nothing deleted
    RootFolder,              // path: a root folder; nothing deleted
    FolderUnreadable,        // path: a folder whose entries cannot be listed
    FolderNotCreated,        // path: the folder; system: why
    FolderNotRemoved,        // path: an emptied folder that cannot be removed; system: why
    FolderNotEmptied,        // path: a folder whose entries cannot be removed
    DeleteFailed,            // path: the file or link; system: why
    CopyFailed,              // path: the source, otherPath: the destination; system: why
    CopyLeftAside,           // path: the file to be replaced, otherPath: where the new copy is left; system: why
    MoveFailed,              // path: what was to be moved, otherPath: where to; system: why
    DestinationInsideSource, // path: the destination, otherPath: the folder being copied
    ReadFailed,              // path: the file; system: why
    WriteFailed,             // path: the file; system: why
    ReadOnlyFile,            // path: the file
    TooLarge,                // path: a file far larger than a shortcut file

    // The address in a shortcut file (path: the file).
    AddressHasLineBreak,
    AddressNotStorable, // blanks or quotes at its ends, or characters the file's encoding cannot hold
    DamagedText,        // a UTF-16 file whose text does not survive a rewrite

    // The Favorites folder and its backup.
    NoFavoritesFolder,              // no path
    FavoritesFolderMissing,         // path: the Favorites folder
    FavoritesNotAFolder,            // path: the Favorites folder
    NotInFavorites,                 // path: a file outside the Favorites folder
    BackupOverlapsFavorites,        // path: the backup folder
    WorkingFolderOverlapsFavorites, // path: the working folder beside the backup
    InterruptedBackupNotRecovered,  // path: the previous backup set aside
    WorkingFolderNotOurs,           // path: a folder of a working folder's name that the program did not make
    RestoreNotUndone,               // path: the working folder that holds the old favorites; system: why
    InterruptedRestoreNotRecovered, // path: the working folder that holds the old favorites; system: why
    OldBackupNotReplaced,           // path: the backup folder
    NewBackupNotPlaced,             // path: the backup folder
    NoBackup,                       // path: the backup folder
    BackupUnreadable,               // path: the backup folder

    // The edit of one favorite.
    NoSuchRow,            // path: the row number
    NotAShortcut,         // path: the file, whose name does not end in ".url"
    NameEmpty,            // no path
    NameHasSeparator,     // path: the name as typed
    NameWouldBeHidden,    // path: the file name it would give
    FolderNeedsSeparator, // path: the folder as typed
    TargetFolderMissing,  // path: the folder
    TargetFolderOutside,  // path: the folder
};

/// One failure: what went wrong, where, and the system's reason when a system call failed.
struct Failure
{
    FailureKind kind = FailureKind::None;
    QString path;      // in native form
    QString otherPath; // in native form; only for the kinds that name two places
    SystemError system;

    bool failed() const { return kind != FailureKind::None; }
};

/// Records the failure in *failure when one is given (paths in native form) and returns false, so that a function
/// can end with `return fail(...)`.
bool fail(Failure* failure, FailureKind kind, const QString& path = QString(), const QString& otherPath = QString(),
          const SystemError& system = SystemError());

} // namespace platform
