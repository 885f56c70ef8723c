#include "platform/Descriptors.h"

#include <winsock2.h>
#include <windows.h>

namespace platform
{

// Windows has no per-process limit on sockets and kernel handles that a program would run into here.

long raiseOpenFileLimit()
{
    return -1;
}

bool descriptorsAvailable(int)
{
    return true;
}

long long openSocket(int family, int type, int protocol, int* error)
{
    const SOCKET s = WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        if (error)
            *error = WSAGetLastError();
        return -1;
    }
    return static_cast<long long>(s);
}

void closeSocket(long long socket)
{
    closesocket(static_cast<SOCKET>(socket));
}

int socketRecheckIntervalMs()
{
    // Windows tells a socket notifier of an event once, when it happens: one that happened before the notifier was
    // made is never told. A connection refused at once (as on loopback under Wine) then left its request waiting for
    // the time-out. So the watched sockets are looked at again now and then.
    return 250;
}

bool isResourceShortage(int systemError)
{
    return systemError == WSAEMFILE || systemError == WSAENOBUFS || systemError == WSA_NOT_ENOUGH_MEMORY ||
           systemError == ERROR_NOT_ENOUGH_MEMORY || systemError == ERROR_OUTOFMEMORY ||
           systemError == ERROR_NO_SYSTEM_RESOURCES;
}

bool isConnectionRefused(int systemError)
{
    return systemError == WSAECONNREFUSED;
}

bool isConnectionReset(int systemError)
{
    return systemError == WSAECONNRESET;
}

} // namespace platform
