#include "platform/FileSystem.h"

#include <iterator>
#include <utility>

#include <QLockFile>

namespace platform
{

namespace
{

const std::pair<std::errc, SystemReason> kReasonOfCondition[] = {
    {std::errc::permission_denied, SystemReason::AccessDenied},
    {std::errc::operation_not_permitted, SystemReason::AccessDenied},
    {std::errc::no_such_file_or_directory, SystemReason::NotFound},
    {std::errc::file_exists, SystemReason::AlreadyExists},
    {std::errc::no_space_on_device, SystemReason::DiskFull},
    {std::errc::read_only_file_system, SystemReason::ReadOnlyMedium},
    {std::errc::device_or_resource_busy, SystemReason::InUse},
    {std::errc::text_file_busy, SystemReason::InUse},
    {std::errc::filename_too_long, SystemReason::NameTooLong},
    {std::errc::illegal_byte_sequence, SystemReason::InvalidName},
    {std::errc::too_many_files_open, SystemReason::TooManyOpenFiles},
    {std::errc::too_many_files_open_in_system, SystemReason::TooManyOpenFiles},
    {std::errc::directory_not_empty, SystemReason::FolderNotEmpty},
    {std::errc::is_a_directory, SystemReason::IsAFolder},
    {std::errc::not_a_directory, SystemReason::NotAFolder},
    {std::errc::io_error, SystemReason::DeviceError},
    {std::errc::file_too_large, SystemReason::FileTooLarge},
    {std::errc::too_many_symbolic_link_levels, SystemReason::TooManyLinks},
    {std::errc::not_enough_memory, SystemReason::OutOfMemory},
    {std::errc::cross_device_link, SystemReason::CrossDevice},
};

bool failed(SystemError* error, const std::error_code& code)
{
    if (error)
        *error = systemErrorOf(code);
    return false;
}

} // namespace

SystemError systemErrorOf(const std::error_code& code)
{
    SystemError error;
    if (!code)
        return error;
    error.code = code.value();
    error.text = QString::fromLocal8Bit(code.message());
    error.reason = SystemReason::Other;
    for (const auto& [condition, reason] : kReasonOfCondition) {
        if (code == condition) {
            error.reason = reason;
            break;
        }
    }
    return error;
}

bool takeLockFile(QLockFile& lock, const QString& path)
{
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.error() != QLockFile::LockFailedError || lock.getLockInfo(&pid, &host, &application) ||
        lockFileIsHeld(toNativePath(path)))
        return false;
    lock.removeStaleLockFile();
    return lock.tryLock(0);
}

bool listFolder(const NativePath& folder, std::vector<NativePath>* names, SystemError* error)
{
    names->clear();
    std::error_code code;
    std::filesystem::directory_iterator it(folder, code);
    const std::filesystem::directory_iterator end;
    while (!code && it != end) {
        names->push_back(it->path().filename());
        it.increment(code);
    }
    if (code) {
        names->clear();
        return failed(error, code);
    }
    return true;
}

bool createFolder(const NativePath& path, SystemError* error)
{
    std::error_code code;
    if (std::filesystem::create_directory(path, code))
        return true;
    // No error and no folder made: something is there already.
    return failed(error, code ? code : std::make_error_code(std::errc::file_exists));
}

bool copyRegularFile(const NativePath& source, const NativePath& destination, SystemError* error)
{
    std::error_code code;
    if (!std::filesystem::copy_file(source, destination, std::filesystem::copy_options::none, code))
        return failed(error, code ? code : std::make_error_code(std::errc::file_exists));
    copyMode(source, destination);
    return true;
}

} // namespace platform
