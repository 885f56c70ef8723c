#pragma once

#include <cstdint>

#include <QString>

namespace platform
{

/// What came of asking for a ProcessLock.
enum class LockState
{
    Taken,       // this process holds it now
    Held,        // another process holds it (or this one, through another ProcessLock)
    Unavailable, // no lock can be made there (the file or folder cannot be opened or made, the system refuses)
};

/// A lock that the system holds for this process and lets go of when the process ends, however it ends (a crash, a
/// kill, the machine off): a lock whose owner is gone does not exist, so nothing has to tell a stale lock from a live
/// one, and a start after a crash gets in at once. Nothing of it depends on the session or the environment: every
/// process of every user who can open the same file or folder finds it, whatever its runtime, temporary or home folder.
///
/// Two kinds, one rule:
/// - on a file (lockFile): an flock() on it here, LockFileEx on Windows; the file itself is only where the lock is
///   held, empty, and stays when the lock goes;
/// - on a folder, adding nothing to it (lockFolder): an flock() on the folder itself, opened as a folder, here; on
///   Windows, which locks no folder, a named mutex in the Global\ namespace named after the folder's identity
///   (platform::folderIdentity: the same folder however its path is written), seen by every session.
/// Two ProcessLocks of one process on the same file or folder exclude each other as two processes would.
class ProcessLock
{
public:
    ProcessLock() = default;
    /// Lets go of the lock.
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    /// Takes the lock on the file at path, made (empty) when it is missing and create is true; without create a
    /// missing file is Unavailable. Taken or Held; Unavailable when the file cannot be opened or made.
    LockState lockFile(const QString& path, bool create = true);
    /// Takes the lock on the folder at path. Unavailable when it is no folder or cannot be opened.
    LockState lockFolder(const QString& path);
    /// True while this object holds a lock.
    bool isLocked() const { return m_handle != kNone; }
    /// Lets go of the lock now; nothing when none is held.
    void unlock();

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t m_handle = kNone; // a file descriptor here, a HANDLE on Windows
    bool m_isMutex = false;         // on Windows: the handle is a named mutex, not a file
};

/// Ends this process at once with the given status, as a kill would: no destructor runs and no thread is waited for.
/// The system lets go of the process's locks and closes its files. For an exit that must not wait for a thread stuck in
/// the system (the file work is made to be stopped at any point, and put right at the next start).
[[noreturn]] void endProcessNow(int status);

} // namespace platform
