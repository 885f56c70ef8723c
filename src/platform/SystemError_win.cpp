#include "platform/SystemError.h"

#include <iterator>

#include <windows.h>

namespace platform
{

namespace
{

const CodeReason kReasons[] = {
    {ERROR_ACCESS_DENIED, SystemReason::AccessDenied},
    {ERROR_FILE_NOT_FOUND, SystemReason::NotFound},
    {ERROR_PATH_NOT_FOUND, SystemReason::NotFound},
    {ERROR_FILE_EXISTS, SystemReason::AlreadyExists},
    {ERROR_ALREADY_EXISTS, SystemReason::AlreadyExists},
    {ERROR_DISK_FULL, SystemReason::DiskFull},
    {ERROR_HANDLE_DISK_FULL, SystemReason::DiskFull},
    {ERROR_WRITE_PROTECT, SystemReason::ReadOnlyMedium},
    {ERROR_SHARING_VIOLATION, SystemReason::InUse},
    {ERROR_LOCK_VIOLATION, SystemReason::InUse},
    {ERROR_USER_MAPPED_FILE, SystemReason::InUse},
    {ERROR_BUSY, SystemReason::InUse},
    {ERROR_FILENAME_EXCED_RANGE, SystemReason::NameTooLong},
    {ERROR_INVALID_NAME, SystemReason::InvalidName},
    {ERROR_TOO_MANY_OPEN_FILES, SystemReason::TooManyOpenFiles},
    {ERROR_DIR_NOT_EMPTY, SystemReason::FolderNotEmpty},
    {ERROR_DIRECTORY, SystemReason::NotAFolder},
    {ERROR_CRC, SystemReason::DeviceError},
    {ERROR_IO_DEVICE, SystemReason::DeviceError},
    {ERROR_FILE_TOO_LARGE, SystemReason::FileTooLarge},
    {ERROR_CANT_RESOLVE_FILENAME, SystemReason::TooManyLinks},
    {ERROR_NOT_ENOUGH_MEMORY, SystemReason::OutOfMemory},
    {ERROR_OUTOFMEMORY, SystemReason::OutOfMemory},
    {ERROR_NOT_SAME_DEVICE, SystemReason::CrossDevice},
};

} // namespace

const QList<CodeReason>& platformErrorCodes()
{
    static const QList<CodeReason> codes(std::begin(kReasons), std::end(kReasons));
    return codes;
}

int lastErrorCode()
{
    return int(GetLastError());
}

} // namespace platform
