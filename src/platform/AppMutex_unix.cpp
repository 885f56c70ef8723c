#include "platform/AppMutex.h"

namespace platform
{

// Package managers here replace a running program's files without harm: nothing to hold.
void holdAppMutex() {}

} // namespace platform
