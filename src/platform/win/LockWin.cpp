#include "platform/win/LockWin.h"

#include <map>

namespace platform::win
{

namespace
{

// The mutexes this process owns, by handle, with their names: a thread that owns a mutex gets it again on every wait,
// so a second lock of the process on the same name is refused here, as another process's would be.
// Guarded by a slim lock of the system's: the MinGW-w64 compilers with Win32 threads have no std::mutex.
struct OwnedMutexes
{
    SRWLOCK guard = SRWLOCK_INIT;
    std::map<HANDLE, std::wstring> names;
};

// Holds the lock on the owned names for as long as it lives.
class Guard
{
public:
    explicit Guard(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Guard() { ReleaseSRWLockExclusive(&m_lock); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    SRWLOCK& m_lock;
};

OwnedMutexes& ownedMutexes()
{
    static OwnedMutexes owned;
    return owned;
}

} // namespace

LockResult lockFileExclusive(const std::wstring& path, bool create, HANDLE* handle)
{
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Another user's lock file that this one may only read: a lock needs no right to write.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        file = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Kept open by a process that shares nothing (the lock file of an older version, held): in use.
        return GetLastError() == ERROR_SHARING_VIOLATION ? LockResult::Held : LockResult::Unavailable;
    }
    OVERLAPPED at{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        *handle = file;
        return LockResult::Taken;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    return error == ERROR_LOCK_VIOLATION ? LockResult::Held : LockResult::Unavailable;
}

LockResult lockNamedMutex(const std::wstring& name, HANDLE* handle)
{
    OwnedMutexes& owned = ownedMutexes();
    const Guard lock(owned.guard);
    for (const auto& entry : owned.names) {
        if (entry.second == name)
            return LockResult::Held;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        // A mutex of that name that this user may not open (another user's) exists only while its owner runs.
        return GetLastError() == ERROR_ACCESS_DENIED ? LockResult::Held : LockResult::Unavailable;
    }
    // Another process may keep the mutex open without owning it (a start that found it held a moment ago); one that
    // ended while it owned it has left it abandoned, which makes this thread its owner as a release would.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        owned.names[mutex] = name;
        *handle = mutex;
        return LockResult::Taken;
    }
    CloseHandle(mutex);
    return waited == WAIT_TIMEOUT ? LockResult::Held : LockResult::Unavailable;
}

void releaseMutex(HANDLE handle)
{
    {
        OwnedMutexes& owned = ownedMutexes();
        const Guard lock(owned.guard);
        owned.names.erase(handle);
    }
    ReleaseMutex(handle);
    CloseHandle(handle);
}

} // namespace platform::win
