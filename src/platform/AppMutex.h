#pragma once

namespace platform
{

/// The name of the mutex that a running copy of the program holds on Windows, in the user's session. The installer
/// and the uninstaller look for it and refuse to replace or remove the program's files while it exists.
inline constexpr wchar_t kAppMutexName[] = L"Local\\TessalyRunning";

/// Marks this process as a running copy of the program for as long as it lives (on Windows the mutex
/// kAppMutexName; elsewhere nothing). A mark that cannot be made is left out: it only guards the installer.
void holdAppMutex();

} // namespace platform
