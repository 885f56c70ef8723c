#include "platform/ProcessLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include "platform/Paths.h"
#include "platform/win/LockWin.h"

namespace platform
{

namespace
{

LockState stateOf(win::LockResult result)
{
    switch (result) {
    case win::LockResult::Taken:
        return LockState::Taken;
    case win::LockResult::Held:
        return LockState::Held;
    case win::LockResult::Unavailable:
        break;
    }
    return LockState::Unavailable;
}

// The path in the form the file functions take, the extended-length one when it is long.
std::wstring lockPathOf(const QString& path)
{
    QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.size() >= MAX_PATH && !native.startsWith(QLatin1String("\\\\?\\")))
        native = native.startsWith(QLatin1String("\\\\")) ? QStringLiteral("\\\\?\\UNC\\") + native.mid(2)
                                                          : QStringLiteral("\\\\?\\") + native;
    return native.toStdWString();
}

} // namespace

ProcessLock::~ProcessLock()
{
    unlock();
}

LockState ProcessLock::lockFile(const QString& path, bool create)
{
    unlock();
    HANDLE handle = INVALID_HANDLE_VALUE;
    const LockState state = stateOf(win::lockFileExclusive(lockPathOf(path), create, &handle));
    if (state == LockState::Taken) {
        m_handle = reinterpret_cast<std::intptr_t>(handle);
        m_isMutex = false;
    }
    return state;
}

LockState ProcessLock::lockFolder(const QString& path)
{
    unlock();
    // No folder can be locked here without keeping others out of it: a mutex named after the folder stands for it,
    // in the namespace that every session sees. Its name holds no "\", and the hash keeps it short.
    if (!QFileInfo(path).isDir())
        return LockState::Unavailable;
    const QByteArray identity = folderIdentity(path).toUtf8();
    const QString name = QStringLiteral("Global\\Tessaly-folder-") +
                         QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex());
    HANDLE handle = nullptr;
    const LockState state = stateOf(win::lockNamedMutex(name.toStdWString(), &handle));
    if (state == LockState::Taken) {
        m_handle = reinterpret_cast<std::intptr_t>(handle);
        m_isMutex = true;
    }
    return state;
}

void ProcessLock::unlock()
{
    if (m_handle == kNone)
        return;
    const HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
    if (m_isMutex)
        win::releaseMutex(handle);
    else
        CloseHandle(handle);
    m_handle = kNone;
}

void endProcessNow(int status)
{
    // Not ExitProcess: it would wait for the loader's lock, which a thread stuck in the system may hold.
    TerminateProcess(GetCurrentProcess(), UINT(status));
    // TerminateProcess returns before the process is gone; nothing more of it runs meanwhile.
    for (;;)
        Sleep(INFINITE);
}

} // namespace platform
