#include "platform/win/CodePageWin.h"

#include <climits>

namespace platform::win
{

namespace
{

// WC_NO_BEST_FIT_CHARS is refused by the UTF-7 and UTF-8 code pages (which have no best fit anyway).
DWORD noBestFitFlags(UINT codePage)
{
    const UINT actual = codePage == CP_ACP ? GetACP() : codePage;
    return actual == CP_UTF7 || actual == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}

} // namespace

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
    const DWORD flags = noBestFitFlags(codePage);
    const int needed = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string bytes(static_cast<std::string::size_type>(needed), '\0');
    const int written = WideCharToMultiByte(codePage, flags, text.data(), length, &bytes[0], needed, nullptr, nullptr);
    if (written <= 0)
        return std::string();
    bytes.resize(static_cast<std::string::size_type>(written));
    return bytes;
}

bool canEncode(const std::wstring& text, UINT codePage)
{
    const UINT actual = codePage == CP_ACP ? GetACP() : codePage;
    if (text.empty())
        return IsValidCodePage(actual) != FALSE;
    if (text.size() > static_cast<std::wstring::size_type>(INT_MAX))
        return false;
    const int length = static_cast<int>(text.size());
    // UTF-8 encodes every character; only a lone surrogate cannot be, which WC_ERR_INVALID_CHARS reports. The
    // other code pages report a character they lack through the default-character flag (not allowed for UTF-7).
    if (actual == CP_UTF8)
        return WideCharToMultiByte(actual, WC_ERR_INVALID_CHARS, text.data(), length, nullptr, 0, nullptr, nullptr) > 0;
    if (actual == CP_UTF7)
        return WideCharToMultiByte(actual, 0, text.data(), length, nullptr, 0, nullptr, nullptr) > 0;
    BOOL usedDefault = FALSE;
    const int needed =
        WideCharToMultiByte(actual, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &usedDefault);
    return needed > 0 && !usedDefault;
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
