#pragma once

#include <QFileDevice>
#include <QList>
#include <QString>

// Why the system refused a file operation, in terms the program can word in the user's language itself.

namespace platform
{

/// The reasons the program tells apart. Each platform maps its own error codes onto them.
enum class SystemReason
{
    None,  // no system call failed
    Other, // a reason not told apart here: only the system's own words and code say more
    AccessDenied,
    NotFound,
    AlreadyExists,
    DiskFull,
    QuotaExceeded,
    ReadOnlyMedium,
    InUse,
    NameTooLong,
    InvalidName,
    TooManyOpenFiles,
    FolderNotEmpty,
    IsAFolder,
    NotAFolder,
    DeviceError,
    FileTooLarge,
    TooManyLinks,
    OutOfMemory,
    CrossDevice,
};

/// The system's reason for one failed operation.
struct SystemError
{
    SystemReason reason = SystemReason::None;
    int code = 0; // errno, or the Windows error code; 0 when not known
    QFileDevice::FileError fileError = QFileDevice::NoError;
    QString text; // the system's own words as Qt passes them on, in the user's language or not
};

/// The reason a QFile or QSaveFile gives for its last failure: its error kind, its text, and the reason that text
/// names when it is one of the system's own (found by comparing it with the system's text for each known code).
SystemError systemErrorOf(const QFileDevice& device);

/// The reason of the system call that failed just before (errno, or GetLastError() on Windows). Only for calls
/// that report nothing else, such as QDir::mkdir, rmdir and rename; meaningless after a call that succeeded.
SystemError lastSystemError();

/// The reason for an error code of this platform (an errno value, or a Windows error code); Other for a code
/// not told apart, None for 0.
SystemReason reasonForCode(int code);

/// The error of an error code of this platform: its reason and the system's words for it.
SystemError systemErrorOfCode(int code);

/// One error code of this platform and the reason it stands for.
struct CodeReason
{
    int code;
    SystemReason reason;
};

/// The error codes of this platform that reasonForCode tells apart (each platform's own table).
const QList<CodeReason>& platformErrorCodes();

/// The code of the last failed system call on this thread (errno, or GetLastError() on Windows).
int lastErrorCode();

} // namespace platform
