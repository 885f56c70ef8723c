#include "platform/AppMutex.h"

#include <windows.h>

namespace platform
{

void holdAppMutex()
{
    // Never closed: the system closes it when the process ends, however it ends.
    CreateMutexW(nullptr, FALSE, kAppMutexName);
}

} // namespace platform
