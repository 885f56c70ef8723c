// Checks the Qt-free Windows platform layer on a real registry and file system (Windows or Wine).
// Usage: check_platform_win.exe EXPECTED_FAVORITES
// EXPECTED_FAVORITES is the "Favorites" shell folder as `reg query` shows it. Exit code 0 when every check passes.
// The locks are checked against copies of this program that hold them (started with --hold-file PATH or --hold-mutex
// NAME, which take the lock, say so by a file PATH.held or in the temporary folder, and wait to be killed).

#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/win/CodePageWin.h"
#include "platform/win/LockWin.h"
#include "platform/win/RegistryWin.h"

using platform::win::canEncode;
using platform::win::fromWide;
using platform::win::isValidInCodePage;
using platform::win::lockFileExclusive;
using platform::win::lockNamedMutex;
using platform::win::LockResult;
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

const char* nameOf(LockResult result)
{
    switch (result) {
    case LockResult::Taken:
        return "taken";
    case LockResult::Held:
        return "held";
    case LockResult::Unavailable:
        break;
    }
    return "unavailable";
}

void checkLock(const char* what, LockResult actual, LockResult expected)
{
    checkEqual(what, std::string(nameOf(actual)), std::string(nameOf(expected)));
}

// Where a holder says it holds its lock.
std::wstring heldSignOf(const std::wstring& what)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring sign = temp;
    for (wchar_t c : what)
        sign += (c == L'\\' || c == L':' || c == L'/') ? L'_' : c;
    return sign + L".held";
}

// Another process of this program holding the lock: started, and once it says it holds it, returned; null when it
// never does. Killed (TerminateProcess) by the caller.
HANDLE startHolder(const wchar_t* mode, const std::wstring& what)
{
    const std::wstring sign = heldSignOf(what);
    DeleteFileW(sign.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + mode + L" \"" + what + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    for (int waited = 0; waited < 60000; waited += 20) {
        if (GetFileAttributesW(sign.c_str()) != INVALID_FILE_ATTRIBUTES)
            return process.hProcess;
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0)
            break;
    }
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return nullptr;
}

// The holder's side: takes the lock, says so, and waits to be killed.
int holdLock(const std::wstring& mode, const std::wstring& what)
{
    HANDLE handle = nullptr;
    const LockResult result =
        mode == L"--hold-file" ? lockFileExclusive(what, true, &handle) : lockNamedMutex(what, &handle);
    if (result != LockResult::Taken)
        return 3;
    const HANDLE sign =
        CreateFileW(heldSignOf(what).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(sign);
    Sleep(INFINITE);
    return 0;
}

// The locks that tell a running copy of the program from a crashed one: a lock on a file (LockFileEx) and a named
// mutex, both let go of by the system when their process ends, however it ends.
void checkLocks()
{
    std::printf("-- locks that die with their process\n");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"tessaly-check.lock";
    const std::wstring missing = std::wstring(temp) + L"tessaly-check-missing.lock";
    DeleteFileW(file.c_str());
    DeleteFileW(missing.c_str());
    const std::wstring mutex = L"Global\\Tessaly-check-" + std::to_wstring(GetCurrentProcessId());

    HANDLE first = nullptr;
    HANDLE second = nullptr;
    checkLock("a lock on a file is taken, the file made", lockFileExclusive(file, true, &first), LockResult::Taken);
    checkTrue("the lock file is there", GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES);
    checkLock("a second lock on the file in the same process is refused", lockFileExclusive(file, true, &second),
              LockResult::Held);
    CloseHandle(first);
    checkLock("once closed, the file's lock is taken again", lockFileExclusive(file, true, &first), LockResult::Taken);
    CloseHandle(first);
    checkLock("no file, none made: no lock", lockFileExclusive(missing, false, &first), LockResult::Unavailable);
    checkTrue("no file made", GetFileAttributesW(missing.c_str()) == INVALID_FILE_ATTRIBUTES);
    checkLock("a lock in a folder that does not exist cannot be made",
              lockFileExclusive(std::wstring(temp) + L"no such folder\\x.lock", true, &first), LockResult::Unavailable);

    checkLock("a named mutex is taken", lockNamedMutex(mutex, &first), LockResult::Taken);
    checkLock("a second lock on the mutex in the same process is refused", lockNamedMutex(mutex, &second),
              LockResult::Held);
    HANDLE fromThread = nullptr;
    LockResult inThread = LockResult::Taken;
    struct Args
    {
        const std::wstring* name;
        HANDLE* handle;
        LockResult* result;
    } args{&mutex, &fromThread, &inThread};
    const HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID raw) -> DWORD {
            Args* a = static_cast<Args*>(raw);
            *a->result = lockNamedMutex(*a->name, a->handle);
            return 0;
        },
        &args, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    checkLock("nor from another thread of it", inThread, LockResult::Held);
    platform::win::releaseMutex(first);
    checkLock("once let go of, the mutex is taken again", lockNamedMutex(mutex, &first), LockResult::Taken);
    platform::win::releaseMutex(first);

    // Another process holds each; killed, three times over, its lock is taken at once by the next.
    for (const auto& [mode, what] : {std::pair<const wchar_t*, std::wstring>{L"--hold-file", file},
                                     std::pair<const wchar_t*, std::wstring>{L"--hold-mutex", mutex}}) {
        const bool onFile = std::wstring(mode) == L"--hold-file";
        for (int round = 1; round <= 3; ++round) {
            const HANDLE holder = startHolder(mode, what);
            checkTrue(onFile ? "another process holds the file's lock" : "another process holds the mutex",
                      holder != nullptr);
            if (!holder)
                return;
            HANDLE mine = nullptr;
            const LockResult whileHeld = onFile ? lockFileExclusive(what, true, &mine) : lockNamedMutex(what, &mine);
            checkLock(onFile ? "the file's lock of a running process is refused"
                             : "the mutex of a running process is refused",
                      whileHeld, LockResult::Held);
            TerminateProcess(holder, 9);
            WaitForSingleObject(holder, INFINITE);
            CloseHandle(holder);
            const LockResult afterKill = onFile ? lockFileExclusive(what, true, &mine) : lockNamedMutex(what, &mine);
            checkLock(onFile ? "the file's lock of a killed process is taken at once"
                             : "the mutex of a killed process is taken at once",
                      afterKill, LockResult::Taken);
            if (afterKill == LockResult::Taken) {
                if (onFile)
                    CloseHandle(mine);
                else
                    platform::win::releaseMutex(mine);
            }
        }
    }
    DeleteFileW(file.c_str());
}

} // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc == 3 && (std::wstring(argv[1]) == L"--hold-file" || std::wstring(argv[1]) == L"--hold-mutex"))
        return holdLock(argv[1], argv[2]);
    if (argc != 2) {
        std::printf("usage: check_platform_win.exe EXPECTED_FAVORITES\n");
        return 2;
    }
    checkFavorites(argv[1]);
    checkValueKinds();
    checkCodePages();
    checkChineseValue();
    checkLocks();
    std::printf("windows platform checks: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
