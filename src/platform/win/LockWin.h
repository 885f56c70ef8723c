#pragma once

#include <string>

#include <windows.h>

// Locks the system lets go of when the process ends, without Qt, so that they build and are tested on their own.
namespace platform::win
{

/// What came of asking for a lock.
enum class LockResult
{
    Taken,       // held by this process now, through *handle
    Held,        // another process holds it, or this one through another handle
    Unavailable, // no lock can be made (the file cannot be opened or made, the name is refused)
};

/// Locks the file at path (made, empty, when missing and create is true) with LockFileEx, exclusively, on its first
/// byte. The file is opened sharing everything, so that others can open it to try. On Taken, *handle is the open file,
/// which holds the lock until it is closed, or the process ends.
LockResult lockFileExclusive(const std::wstring& path, bool create, HANDLE* handle);

/// Takes the named mutex (a name such as "Global\\Tessaly-..."), made when it does not exist yet. Held while another
/// process owns it, and while this process does under the same name; an owner that ended without letting go
/// (crashed, killed) has let go through the system. A mutex of another user that this one may not open is Held: it
/// exists only while a process of that user has it. On Taken, *handle is the mutex, owned by the calling thread until
/// releaseMutex, or until that thread or the process ends.
LockResult lockNamedMutex(const std::wstring& name, HANDLE* handle);

/// Lets go of a mutex taken with lockNamedMutex, from the thread that took it, and closes it.
void releaseMutex(HANDLE handle);

} // namespace platform::win
