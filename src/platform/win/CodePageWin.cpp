#include "platform/win/CodePageWin.h"

#include <climits>

namespace platform::win
{

std::wstring toWide(const std::string& bytes, UINT codePage)
{
    // The API counts in int; a longer string is refused rather than cut.
    if (bytes.empty() || bytes.size() > static_cast<std::string::size_type>(INT_MAX))
        return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::wstring::size_type>(needed), L'\0');
    const int written = MultiByteToWideChar(codePage, 0, bytes.data(), length, &text[0], needed);
    if (written <= 0)
        return std::wstring();
    text.resize(static_cast<std::wstring::size_type>(written));
    return text;
}

std::string fromWide(const std::wstring& text, UINT codePage)
{
    if (text.empty() || text.size() > static_cast<std::wstring::size_type>(INT_MAX))
        return std::string();
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string bytes(static_cast<std::string::size_type>(needed), '\0');
    const int written = WideCharToMultiByte(codePage, 0, text.data(), length, &bytes[0], needed, nullptr, nullptr);
    if (written <= 0)
        return std::string();
    bytes.resize(static_cast<std::string::size_type>(written));
    return bytes;
}

bool isValidInCodePage(const std::string& bytes, UINT codePage)
{
    if (bytes.empty())
        return IsValidCodePage(codePage == CP_ACP ? GetACP() : codePage) != FALSE;
    if (bytes.size() > static_cast<std::string::size_type>(INT_MAX))
        return false;
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               0) > 0;
}

} // namespace platform::win
