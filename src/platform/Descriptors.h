#pragma once

namespace platform
{

/// Raises the process's soft limit on open descriptors (files and sockets) to its hard limit, as programs
/// that open many connections do; a desktop session often starts programs at 1024. Returns the soft limit
/// now in force, or -1 where the platform has no such limit or it cannot be read.
long raiseOpenFileLimit();

/// True when the process can open at least n more descriptors right now. Where the platform has no
/// per-process limit, or it cannot be told, the answer is true.
bool descriptorsAvailable(int n);

} // namespace platform
