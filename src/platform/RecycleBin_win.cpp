#include "platform/RecycleBin.h"

#include <string>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace platform
{

namespace
{

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

// Whether what is removed at path goes to the Recycle Bin. Decided before anything is touched: asked to recycle an
// entry on a volume without a Recycle Bin, the shell deletes it for good and reports success (and so does Qt's
// QFile::moveToTrash). Only fixed drives have one (not network drives, removable drives or CDs); a policy may have
// switched it off; and the shell must know the drive's Recycle Bin (under Wine: the user's freedesktop Trash).
bool hasRecycleBin(const QString& path)
{
    std::vector<wchar_t> root(32768);
    if (!GetVolumePathNameW(wide(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())).c_str(), root.data(),
                            DWORD(root.size())))
        return false;
    if (GetDriveTypeW(root.data()) != DRIVE_FIXED)
        return false;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (RegGetValueW(hive, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoRecycleFiles",
                         RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
            value != 0)
            return false;
    }
    SHQUERYRBINFO info{};
    info.cbSize = sizeof(info);
    return SUCCEEDED(SHQueryRecycleBinW(root.data(), &info));
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The shell's objects work only in a single-threaded apartment, and the commands call the shell from a worker
// thread, which has none of its own: one is entered for the call (on a thread already in one, it is only counted).
class ShellApartment
{
public:
    ShellApartment() : m_entered(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~ShellApartment()
    {
        if (m_entered)
            CoUninitialize();
    }
    ShellApartment(const ShellApartment&) = delete;
    ShellApartment& operator=(const ShellApartment&) = delete;

private:
    bool m_entered;
};

} // namespace

Recycled moveToRecycleBin(const QString& path, SystemError* error)
{
    const ShellApartment apartment;
    const std::wstring native = wide(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    if (!exists(native)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        if (error)
            *error = lastSystemError();
        return Recycled::Failed;
    }
    if (!hasRecycleBin(path))
        return Recycled::NoRecycleBin;
    // The shell's own delete with undo: what Explorer does. Should the entry still not fit the Recycle Bin, the shell
    // would delete it for good; the nuke warning makes it ask first (and without a screen to ask on, it stops).
    std::wstring from = native;
    from.push_back(L'\0'); // a list of names, ended by an empty one
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI | FOF_WANTNUKEWARNING;
    const int result = SHFileOperationW(&operation);
    if (!exists(native))
        return Recycled::Moved;
    if (result == 0 && operation.fAnyOperationsAborted)
        return Recycled::NoRecycleBin;
    if (error) {
        // The shell's codes are Windows error codes, apart from a few of its own from before them.
        SetLastError(DWORD(result == 0 ? ERROR_ACCESS_DENIED : result));
        *error = lastSystemError();
    }
    return Recycled::Failed;
}

} // namespace platform
