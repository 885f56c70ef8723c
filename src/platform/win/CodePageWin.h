#pragma once

#include <string>

#include <windows.h>

// Code-page conversion without Qt, over MultiByteToWideChar and WideCharToMultiByte.
namespace platform::win
{

/// Decodes bytes in a code page (by default the ANSI code page) to UTF-16 text; invalid sequences become
/// U+FFFD. Returns "" for empty input or when the code page is not installed.
std::wstring toWide(const std::string& bytes, UINT codePage = CP_ACP);

/// Encodes UTF-16 text in a code page (by default the ANSI code page); characters the code page lacks become
/// its default character ("?"), never a look-alike ("best fit": "Ł" as "L"), so that a name that cannot be
/// written is never written as another one. Returns "" for empty input or when the code page is not installed.
std::string fromWide(const std::wstring& text, UINT codePage = CP_ACP);

/// True when every character of the text has its own bytes in the code page, so that it decodes back to the
/// same text; false for an unknown code page. An empty text can be encoded.
bool canEncode(const std::wstring& text, UINT codePage = CP_ACP);

/// True when the bytes are valid in the code page (an empty string is); false for an unknown code page.
bool isValidInCodePage(const std::string& bytes, UINT codePage = CP_ACP);

} // namespace platform::win
