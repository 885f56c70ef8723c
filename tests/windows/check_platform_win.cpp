// Checks the Qt-free Windows platform layer on a real registry (Windows or Wine).
// Usage: check_platform_win.exe EXPECTED_FAVORITES
// EXPECTED_FAVORITES is the "Favorites" shell folder as `reg query` shows it. Exit code 0 when every check passes.

#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/win/CodePageWin.h"
#include "platform/win/RegistryWin.h"

using platform::win::canEncode;
using platform::win::fromWide;
using platform::win::isValidInCodePage;
using platform::win::readRegistryStringA;
using platform::win::RegistryBufferSize;
using platform::win::toWide;

namespace
{

const char* const ShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const ScratchKey = "Software\\TessalyPlatformCheck";

int g_passed = 0;
int g_failed = 0;

std::string printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string printable(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out;
}

template <typename Text> void checkEqual(const char* what, const Text& actual, const Text& expected)
{
    if (actual == expected) {
        ++g_passed;
        std::printf("PASS %s\n", what);
    } else {
        ++g_failed;
        std::printf("FAIL %s\n  actual:   \"%s\"\n  expected: \"%s\"\n", what, printable(actual).c_str(),
                    printable(expected).c_str());
    }
}

void checkTrue(const char* what, bool condition)
{
    if (condition) {
        ++g_passed;
        std::printf("PASS %s\n", what);
    } else {
        ++g_failed;
        std::printf("FAIL %s\n", what);
    }
}

// Writes a raw value into the scratch key; the size is given in bytes, so a value can lack its terminator.
bool setRaw(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
{
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool setString(HKEY key, const char* name, DWORD type, const std::string& text)
{
    return setRaw(key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The same value read through the Unicode registry function: an independent way to the text.
std::wstring readWide(HKEY root, const wchar_t* keyPath, const wchar_t* valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::wstring();
    std::vector<wchar_t> buffer(4096, L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    const LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    return std::wstring(buffer.data());
}

void checkFavorites(const std::wstring& expected)
{
    std::printf("-- the Favorites shell folder\n");
    const std::string value = readRegistryStringA(HKEY_CURRENT_USER, ShellFolders, "Favorites");
    checkTrue("Favorites value is present", !value.empty());
    // The ANSI read, decoded in the ANSI code page, is the text that reg query shows.
    checkEqual("Favorites (ANSI read, decoded) equals reg query", toWide(value), expected);
    checkEqual("Favorites equals the Unicode registry read", toWide(value),
               readWide(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        L"Favorites"));
    checkEqual("key and value names are matched without regard to case",
               readRegistryStringA(HKEY_CURRENT_USER,
                                   "SOFTWARE\\microsoft\\windows\\currentversion\\explorer\\shell folders",
                                   "FAVORITES"),
               value);
    checkEqual("missing value under an existing key",
               readRegistryStringA(HKEY_CURRENT_USER, ShellFolders, "Tessaly No Such Value"), std::string());
    checkEqual("missing key", readRegistryStringA(HKEY_CURRENT_USER, "Software\\Tessaly No Such Key", "Favorites"),
               std::string());
}

void checkValueKinds()
{
    std::printf("-- value kinds in %s\n", ScratchKey);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        checkTrue("scratch key can be created", false);
        return;
    }
    const char multi[] = "first\0second\0"; // two strings and the final empty one
    const DWORD number = 42;
    const char binary[] = {'a', 'b', 'c'};
    const char unterminated[] = {'a', 'b', 'c'};
    const std::string fits(RegistryBufferSize - 1, 'x'); // 1023 characters and the NUL: exactly 1024 bytes
    const std::string tooLong(RegistryBufferSize, 'y');  // 1025 bytes with the NUL
    const bool written = setString(key, "padded", REG_SZ, "  C:\\Users\\Ann\\Favorites  ") &&
                         setString(key, "tabs", REG_SZ, "\tC:\\x\t") && setString(key, "blanks", REG_SZ, "     ") &&
                         setString(key, "empty", REG_SZ, "") &&
                         setString(key, "expand", REG_EXPAND_SZ, "%USERPROFILE%\\Favorites") &&
                         setRaw(key, "multi", REG_MULTI_SZ, multi, sizeof multi) &&
                         setRaw(key, "dword", REG_DWORD, &number, sizeof number) &&
                         setRaw(key, "binary", REG_BINARY, binary, sizeof binary) &&
                         setRaw(key, "unterminated", REG_SZ, unterminated, sizeof unterminated) &&
                         setString(key, "fits", REG_SZ, fits) && setString(key, "toolong", REG_SZ, tooLong);
    RegCloseKey(key);
    checkTrue("scratch values written", written);

    const auto read = [](const char* name) { return readRegistryStringA(HKEY_CURRENT_USER, ScratchKey, name); };
    checkEqual("REG_SZ is trimmed of leading and trailing spaces", read("padded"),
               std::string("C:\\Users\\Ann\\Favorites"));
    checkEqual("tabs are not trimmed", read("tabs"), std::string("\tC:\\x\t"));
    checkEqual("a value of spaces only is empty", read("blanks"), std::string());
    checkEqual("empty REG_SZ", read("empty"), std::string());
    checkEqual("REG_EXPAND_SZ is not expanded", read("expand"), std::string("%USERPROFILE%\\Favorites"));
    checkEqual("REG_MULTI_SZ gives its first string", read("multi"), std::string("first"));
    checkEqual("REG_DWORD is not a string", read("dword"), std::string());
    checkEqual("REG_BINARY is not a string", read("binary"), std::string());
    checkEqual("a value without terminator ends at its size", read("unterminated"), std::string("abc"));
    checkEqual("1023 characters fit the 1024-byte buffer", read("fits"), fits);
    checkEqual("1024 characters do not fit and read as empty", read("toolong"), std::string());

    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey);
    checkEqual("deleted scratch key reads as missing", read("padded"), std::string());
}

void checkCodePages()
{
    std::printf("-- code pages\n");
    const std::wstring chinese = L"\u6536\u85CF\u5939"; // 收藏夹
    const std::string gbk = "\xCA\xD5\xB2\xD8\xBC\xD0";
    checkEqual("GBK (936) decodes", toWide(gbk, 936), chinese);
    checkEqual("GBK (936) encodes", fromWide(chinese, 936), gbk);
    checkEqual("GBK round trip with ASCII", toWide(fromWide(L"D:\\" + chinese + L"\\a.url", 936), 936),
               L"D:\\" + chinese + L"\\a.url");
    checkEqual("UTF-8 (65001) encodes", fromWide(chinese, CP_UTF8),
               std::string("\xE6\x94\xB6\xE8\x97\x8F\xE5\xA4\xB9"));
    checkEqual("Windows-1252 decodes", toWide("caf\xE9", 1252), std::wstring(L"caf\u00E9"));
    checkEqual("a character outside 1252 becomes ?", fromWide(L"a" + chinese.substr(0, 1), 1252), std::string("a?"));
    checkEqual("empty input decodes to empty", toWide(std::string(), 936), std::wstring());
    checkEqual("empty input encodes to empty", fromWide(std::wstring(), 936), std::string());
    checkEqual("embedded NUL is kept", toWide(std::string("a\0b", 3), 1252), std::wstring(L"a\0b", 3));
    checkTrue("valid GBK is valid", isValidInCodePage(gbk, 936));
    checkTrue("a lone GBK lead byte is invalid", !isValidInCodePage("\xCA", 936));
    checkTrue("GBK bytes are not valid UTF-8", !isValidInCodePage(gbk, CP_UTF8));
    checkTrue("an unknown code page is not valid", !isValidInCodePage("abc", 12345));
    checkEqual("an unknown code page decodes to empty", toWide("abc", 12345), std::wstring());

    // A character the code page lacks is written as "?", never as a look-alike: with Windows' "best fit" the
    // favorite "Łódź.url" would be saved as "Lodz.url", another favorite's name, and take over its history.
    const std::wstring lodz = L"\u0141\u00F3d\u017A";
    const std::wstring emoji = L"\U0001F600"; // a surrogate pair, in no ANSI code page
    checkEqual("no best fit in 1252 (Łódź)", fromWide(lodz, 1252), std::string("?\xF3") + "d?");
    checkEqual("no best fit in 936 (Łódź)", toWide(fromWide(lodz + chinese, 936), 936).substr(4), chinese);
    checkTrue("Łódź cannot be encoded in 1252", !canEncode(lodz, 1252));
    checkTrue("café can be encoded in 1252", canEncode(L"caf\u00E9", 1252));
    checkTrue("Chinese can be encoded in 936", canEncode(L"D:\\" + chinese, 936));
    checkTrue("Chinese cannot be encoded in 1252", !canEncode(chinese, 1252));
    checkTrue("an emoji cannot be encoded in 936", !canEncode(L"a" + emoji, 936));
    checkTrue("an emoji can be encoded in UTF-8", canEncode(emoji, CP_UTF8));
    checkTrue("a lone surrogate cannot be encoded in UTF-8", !canEncode(std::wstring(1, wchar_t(0xD800)), CP_UTF8));
    checkTrue("the empty text can be encoded", canEncode(std::wstring(), 936));
    checkTrue("nothing can be encoded in an unknown code page", !canEncode(L"abc", 12345));
    checkTrue("ASCII can be encoded in the ANSI code page", canEncode(L"C:\\Favorites\\a.url"));
    if (GetACP() == 936)
        checkTrue("Chinese can be encoded in the ANSI code page 936", canEncode(chinese));

    // The ANSI code page round trip, as the program uses it for registry values and file names.
    const std::wstring ascii = L"C:\\users\\Favorites\\Links";
    checkEqual("ANSI code page round trip (ASCII)", toWide(fromWide(ascii)), ascii);
    if (GetACP() == 936) {
        checkEqual("ANSI code page 936 round trip (Chinese)", toWide(fromWide(chinese)), chinese);
        checkEqual("ANSI code page 936 encodes as GBK", fromWide(chinese), gbk);
    }
}

// A Chinese value written through the Unicode function and read through the ANSI one comes back in the
// ANSI code page; decoded, it is the same text.
void checkChineseValue()
{
    std::printf("-- a Chinese value through the ANSI registry functions (ANSI code page %u)\n", GetACP());
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        checkTrue("scratch key can be created", false);
        return;
    }
    const std::wstring text = L"D:\\\u6536\u85CF\u5939 ";
    RegSetValueExW(key, L"chinese", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    const std::string bytes = readRegistryStringA(HKEY_CURRENT_USER, ScratchKey, "chinese");
    if (GetACP() == 936) {
        checkEqual("Chinese value reads as GBK bytes, trimmed", bytes, std::string("D:\\\xCA\xD5\xB2\xD8\xBC\xD0"));
        checkEqual("Chinese value decodes back", toWide(bytes), std::wstring(L"D:\\\u6536\u85CF\u5939"));
    } else {
        // A code page without these characters gives the default character for each.
        checkEqual("Chinese value decodes back through the ANSI code page", toWide(bytes),
                   toWide(fromWide(L"D:\\\u6536\u85CF\u5939")));
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchKey);
}

} // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 2) {
        std::printf("usage: check_platform_win.exe EXPECTED_FAVORITES\n");
        return 2;
    }
    checkFavorites(argv[1]);
    checkValueKinds();
    checkCodePages();
    checkChineseValue();
    std::printf("windows platform checks: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
