#include "platform/win/RegistryWin.h"

namespace platform::win
{

namespace
{

std::string trimSpaces(const std::string& text)
{
    // Only the space character: in every ANSI code page it is a single byte that is never part of a
    // double-byte character, so trimming bytes is safe.
    const std::string::size_type begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return std::string();
    const std::string::size_type end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

} // namespace

std::string readRegistryStringA(HKEY root, const char* keyPath, const char* valueName)
{
    HKEY key = nullptr;
    // Opened for reading only; a missing key is not created.
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();

    std::string buffer(RegistryBufferSize, ' ');
    DWORD type = 0;
    DWORD size = RegistryBufferSize;
    const LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&buffer[0]), &size);
    RegCloseKey(key);
    // ERROR_MORE_DATA leaves the buffer undefined: a value that does not fit is not read at all.
    if (rc != ERROR_SUCCESS)
        return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return std::string();

    // The stored bytes need not end in a NUL; the reported size bounds the text in that case.
    buffer.resize(size < RegistryBufferSize ? size : RegistryBufferSize);
    const std::string::size_type nul = buffer.find('\0');
    if (nul != std::string::npos)
        buffer.resize(nul);
    return trimSpaces(buffer);
}

} // namespace platform::win
