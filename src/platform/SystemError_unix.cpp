#include "platform/SystemError.h"

#include <cerrno>

namespace platform
{

namespace
{

struct CodeReason
{
    int code;
    SystemReason reason;
};

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

SystemReason reasonForCode(int code)
{
    if (code == 0)
        return SystemReason::None;
    for (const CodeReason& known : kReasons) {
        if (known.code == code)
            return known.reason;
    }
    return SystemReason::Other;
}

const QList<int>& knownErrorCodes()
{
    static const QList<int> codes = [] {
        QList<int> all;
        for (const CodeReason& known : kReasons)
            all.append(known.code);
        return all;
    }();
    return codes;
}

int lastErrorCode()
{
    return errno;
}

} // namespace platform
