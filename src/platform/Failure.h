#pragma once

#include <optional>
#include <type_traits>

#include <QMetaType>
#include <QString>

#include "platform/SystemError.h"

// What the program reports when an operation fails. Each module names the kinds of failure it reports in an enum
// of its own, beside the functions that report them (platform::FileFailure below for files and folders,
// favorites::ShortcutFailure, favorites::MaintenanceFailure, jobs::EditFailure), marked with IsFailureKind; a
// Failure holds one value of any of them. The core only says what failed and where; the window words it
// (ui/FailureText.h), so that every text the user sees is written in one place.

namespace platform
{

/// Marks an enum as a module's kinds of failure: specialised as std::true_type beside the enum.
template <class Kind> struct IsFailureKind : std::false_type
{
};

/// One value of one module's kinds of failure, or none.
class FailureKind
{
public:
    constexpr FailureKind() = default;
    template <class Kind, class = std::enable_if_t<IsFailureKind<Kind>::value>>
    constexpr FailureKind(Kind kind) : m_module(&moduleTag<Kind>), m_code(int(kind))
    {
    }

    bool isNone() const { return m_module == nullptr; }
    /// The kind when it is one of Kind's, else nothing.
    template <class Kind> std::optional<Kind> as() const
    {
        if (m_module != &moduleTag<Kind>)
            return std::nullopt;
        return Kind(m_code);
    }
    /// The kind's number within its enum, for logs.
    int code() const { return m_code; }

    friend bool operator==(const FailureKind& a, const FailureKind& b)
    {
        return a.m_module == b.m_module && a.m_code == b.m_code;
    }
    friend bool operator!=(const FailureKind& a, const FailureKind& b) { return !(a == b); }

private:
    // One object per enum: its address tells the enums apart.
    template <class Kind> static constexpr char moduleTag = 0;

    const void* m_module = nullptr;
    int m_code = 0;
};

/// The failures of files and folders, which every module that works on them reports.
enum class FileFailure
{
    FileMissing,       // path: the file
    FolderMissing,     // path: the folder
    IsAFolder,         // path: a folder where a file was expected
    NotAFolder,        // path: something other than a folder where a folder was expected
    NotARegularFile,   // path: a folder, pipe or device where a file was expected
    LinkToMissingFile, // path: a link that leads nowhere
    AlreadyExists,     // path: the file that is in the way (never replaced)
    FolderInTheWay,    // path: a folder where a file is to be copied
    FileInTheWay,      // path: a file (or something else that is no folder) where a folder belongs
    RelativePath,      // path: not absolute; nothing deleted
    RootFolder,        // path: a root folder; nothing deleted
    FolderUnreadable,  // path: a folder whose entries cannot be listed
    FolderNotCreated,  // path: the folder; system: why
    FolderNotRemoved,  // path: an emptied folder that cannot be removed; system: why
    FolderNotEmptied,  // path: a folder whose entries cannot be removed
    DeleteFailed,      // path: the file or link; system: why
    CopyFailed,        // path: the source, otherPath: the destination; system: why
    CopyLeftAside,     // path: the file to be replaced, otherPath: where the new copy is left; system: why
    MoveFailed,        // path: what was to be moved, otherPath: where to; system: why
    ReadFailed,        // path: the file; system: why
    WriteFailed,       // path: the file; system: why
    ReadOnlyFile,      // path: the file
    Stopped,           // path: where the work stopped, as it was asked to (the program is ending)
};
template <> struct IsFailureKind<FileFailure> : std::true_type
{
};

/// One failure: what went wrong, where, and the system's reason when a system call failed.
struct Failure
{
    FailureKind kind;
    QString path;      // in native form
    QString otherPath; // in native form; only for the kinds that name two places
    SystemError system;

    bool failed() const { return !kind.isNone(); }
};

/// Records the failure in *failure when one is given (paths in native form) and returns false, so that a function
/// can end with `return fail(...)`.
bool fail(Failure* failure, FailureKind kind, const QString& path = QString(), const QString& otherPath = QString(),
          const SystemError& system = SystemError());

/// Passes a failure found before on to *failure when one is given, and returns false.
bool fail(Failure* failure, const Failure& problem);

} // namespace platform

Q_DECLARE_METATYPE(platform::FailureKind)
