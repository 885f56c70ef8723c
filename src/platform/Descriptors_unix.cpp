#include "platform/Descriptors.h"

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform
{

long raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : long(limit.rlim_cur);
}

bool descriptorsAvailable(int n)
{
    // The kernel hands out the lowest free numbers, so opening n descriptors and closing them again tells
    // exactly whether n are free, without counting the ones in use.
    constexpr int kMostChecked = 64;
    std::array<int, kMostChecked> taken{};
    int opened = 0;
    bool available = true;
    for (int i = 0; i < n && i < kMostChecked; ++i) {
        const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            // Only running out says anything about the limit; a sandbox without /dev/null does not.
            available = errno != EMFILE && errno != ENFILE;
            break;
        }
        taken[std::size_t(opened++)] = fd;
    }
    for (int i = 0; i < opened; ++i)
        close(taken[std::size_t(i)]);
    return available;
}

long long openSocket(int family, int type, int protocol, int* error)
{
    const int fd = socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd < 0 && error)
        *error = errno;
    return fd;
}

void closeSocket(long long socket)
{
    close(int(socket));
}

int socketRecheckIntervalMs()
{
    // A socket notifier here asks poll() about its socket at every turn of the event loop, so an event that happened
    // before the notifier was made is told all the same.
    return 0;
}

bool isResourceShortage(int systemError)
{
    return systemError == EMFILE || systemError == ENFILE || systemError == ENOBUFS || systemError == ENOMEM;
}

bool isConnectionRefused(int systemError)
{
    return systemError == ECONNREFUSED;
}

bool isConnectionReset(int systemError)
{
    // Writing to a connection the other end has reset fails with EPIPE.
    return systemError == ECONNRESET || systemError == EPIPE;
}

} // namespace platform
