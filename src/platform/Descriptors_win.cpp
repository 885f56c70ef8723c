#include "platform/Descriptors.h"

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

} // namespace platform
