#include "platform/SystemError.h"

#include <iterator>

#include <cerrno>

namespace platform
{

namespace
{

const CodeReason kReasons[] = {
    {EACCES, SystemReason::AccessDenied},     {EPERM, SystemReason::AccessDenied},
    {ENOENT, SystemReason::NotFound},         {EEXIST, SystemReason::AlreadyExists},
    {ENOSPC, SystemReason::DiskFull},         {EDQUOT, SystemReason::QuotaExceeded},
    {EROFS, SystemReason::ReadOnlyMedium},    {EBUSY, SystemReason::InUse},
    {ETXTBSY, SystemReason::InUse},           {ENAMETOOLONG, SystemReason::NameTooLong},
    {EILSEQ, SystemReason::InvalidName},      {EMFILE, SystemReason::TooManyOpenFiles},
    {ENFILE, SystemReason::TooManyOpenFiles}, {ENOTEMPTY, SystemReason::FolderNotEmpty},
    {EISDIR, SystemReason::IsAFolder},        {ENOTDIR, SystemReason::NotAFolder},
    {EIO, SystemReason::DeviceError},         {EFBIG, SystemReason::FileTooLarge},
    {ELOOP, SystemReason::TooManyLinks},      {ENOMEM, SystemReason::OutOfMemory},
    {EXDEV, SystemReason::CrossDevice},
};

} // namespace

const QList<CodeReason>& platformErrorCodes()
{
    static const QList<CodeReason> codes(std::begin(kReasons), std::end(kReasons));
    return codes;
}

int lastErrorCode()
{
    return errno;
}

} // namespace platform
