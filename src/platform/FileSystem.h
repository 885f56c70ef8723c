#pragma once

#include <filesystem>
#include <vector>

#include <QString>

#include "platform/SystemError.h"

// The file system as the system itself names things: every name exactly as it is stored (on Linux a name that is
// not valid UTF-8 keeps its bytes), links never followed, and nothing opened that is not a file. Backup and restore
// work at this level so that they are exact; the rest of the program works with Qt's paths.

namespace platform
{

/// A path as the system stores it: bytes on Unix, UTF-16 on Windows.
using NativePath = std::filesystem::path;

/// The native path of a path the program holds as text (the text is encoded as the system encodes file names).
NativePath toNativePath(const QString& path);

/// A native path as text, for Qt and for messages; a name the system's encoding cannot decode reads as it can.
QString fromNativePath(const NativePath& path);

/// What stands at a path, links not followed.
enum class EntryType
{
    Missing, // nothing (or it cannot be told)
    File,    // a regular file
    Folder,  // a folder of its own
    Link,    // a symbolic link, or on Windows a junction or another reparse point that stands for a path elsewhere
             // (a name surrogate): never entered, never followed
    Special, // a named pipe, socket or device: never opened
};

EntryType entryType(const NativePath& path);

/// What a special entry is (one entryType() calls Special).
enum class SpecialKind
{
    Pipe,   // a named pipe (FIFO)
    Socket, // a socket
    Device, // a device
};

SpecialKind specialKind(const NativePath& path);

/// Whether the system can tell every name a folder holds apart from others by letter case (Linux), or takes
/// "a" and "A" for the same name (Windows).
Qt::CaseSensitivity fileNameCase();

/// One entry of a folder, as listFolder gives it.
struct FolderEntry
{
    NativePath name;             // exactly as stored
    EntryType type;              // what it is itself, a link not followed
    EntryType target;            // for a link, what it leads to (Missing: nothing); else the same as type
    bool hiddenOrSystem = false; // by the rule of isHiddenOrSystem()
};

/// The entries of folder, "." and ".." left out, in the order the program shows them in: the system's own on
/// Windows (by name there); elsewhere by name ignoring case, so that the order does not change from run to run. The
/// one listing of a folder that every part of the program goes by. False, with the system's reason in *error and no
/// entries, when the folder cannot be listed.
bool listFolder(const NativePath& folder, std::vector<FolderEntry>* entries, SystemError* error = nullptr);

/// True for what the listing of the favorites leaves out and a restore leaves where it is: on Windows an entry with
/// the hidden or system attribute (nothing there: false), elsewhere a name that begins with ".", whether or not
/// anything has that name yet.
bool isHiddenOrSystem(const NativePath& path);

/// Creates one folder (not its parents). False with the reason when it cannot, or something is there already.
bool createFolder(const NativePath& path, SystemError* error = nullptr);

/// Copies the regular file source (or the regular file a link there leads to) to destination, which must not exist;
/// the copy gets the source's mode (on Windows its attributes). A failed copy leaves nothing at destination.
bool copyRegularFile(const NativePath& source, const NativePath& destination, SystemError* error = nullptr);

/// Whether this program can make links: on Windows making one takes a privilege ordinary users do not hold, and a
/// junction cannot be made through the documented file functions, so links are not copied there.
bool canMakeLinks();

/// Makes at destination a link that leads where the link at source leads, as written there.
bool copyLink(const NativePath& source, const NativePath& destination, SystemError* error = nullptr);

/// Renames an entry (a folder, file or link, the link itself) without ever replacing what is at `to`: when
/// something is there, nothing happens and the reason is "already exists". Both must be on the same volume.
bool renameEntry(const NativePath& from, const NativePath& to, SystemError* error = nullptr);

/// Removes one entry itself: a file, a link (never what it leads to), a named pipe or the like, or an empty
/// folder. A read-only file or folder is made writable first where that is needed.
bool removeEntry(const NativePath& path, SystemError* error = nullptr);

/// Lets the owner write the entry and, for a folder, list and enter it (on Windows: clears the read-only
/// attribute). Links are left alone.
void openUp(const NativePath& path);

/// Gives destination the mode (or read-only attribute) of source.
void copyMode(const NativePath& source, const NativePath& destination);

/// Makes a file or folder hidden, or shown again, where being hidden is an attribute (Windows); elsewhere a name that
/// begins with "." is hidden already, and no other is.
void setHidden(const NativePath& path, bool hidden = true);

} // namespace platform
