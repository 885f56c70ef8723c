#pragma once

#include <string>

#include <windows.h>

// Registry access without Qt, so that it builds and is tested on its own with any Windows C++ compiler.
namespace platform::win
{

/// Size of the buffer a registry string is read into, terminator included; longer values are not read.
inline constexpr DWORD RegistryBufferSize = 1024;

/// Reads one string value under root\keyPath with the ANSI registry functions (bytes in the ANSI code page):
/// a REG_SZ or REG_EXPAND_SZ value (not expanded) or the first string of a REG_MULTI_SZ value, up to its
/// terminating NUL, trimmed of leading and trailing spaces. Returns "" when the key or the value does not exist,
/// the value is not a string, or it does not fit in RegistryBufferSize bytes.
std::string readRegistryStringA(HKEY root, const char* keyPath, const char* valueName);

} // namespace platform::win
