// What the Wine tests ask of Windows that xdotool cannot tell them, built with MinGW-w64 by the scripts that use it
// (tessaly_build_wine_probe in scripts/wine-desktop.sh) and run under Wine:
//
//   wine_probe.exe texts TITLE   every window whose title begins with TITLE: its title, then each control in it as
//                                "class<TAB>text", one a line (the texts of a native wizard page and its buttons)
//   wine_probe.exe clipboard     the text on the clipboard (what Ctrl+C in a message box copied)
//   wine_probe.exe ANYTHING ...  stands in for another program's uninstaller: appends its command line, one a line,
//                                to the file %TESSALY_STAND_IN_LOG% (else to its own path + ".ran"), and ends with 0
//
// Everything it prints is UTF-8, each line ending in LF. Exit status 1 when there is nothing to tell.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// A control's text on one line: its line breaks as "\n".
std::string line(const std::wstring& text)
{
    std::wstring one;
    for (wchar_t c : text) {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            one += L"\\n";
        else
            one += c;
    }
    return utf8(one);
}

std::wstring windowText(HWND window)
{
    std::vector<wchar_t> buffer(size_t(GetWindowTextLengthW(window)) + 1);
    const int length = GetWindowTextW(window, buffer.data(), int(buffer.size()));
    return std::wstring(buffer.data(), size_t(length > 0 ? length : 0));
}

std::wstring className(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct Search
{
    std::wstring prefix;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    if (IsWindowVisible(window) && windowText(window).compare(0, search->prefix.size(), search->prefix) == 0)
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK printControl(HWND control, LPARAM)
{
    if (IsWindowVisible(control))
        std::printf("%s\t%s\n", utf8(className(control)).c_str(), line(windowText(control)).c_str());
    return TRUE;
}

int printTexts(const std::wstring& prefix)
{
    Search search{prefix, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        std::printf("%s\n", line(windowText(window)).c_str());
        EnumChildWindows(window, printControl, 0); // every descendant, the controls of inner dialogs too
    }
    return search.found.empty() ? 1 : 0;
}

int printClipboard()
{
    if (!OpenClipboard(nullptr))
        return 1;
    int status = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            // Converted whole, so that a surrogate pair (an emoji) stays one character.
            std::wstring copied;
            for (const wchar_t* c = text; *c; ++c) {
                if (*c != L'\r')
                    copied += *c;
            }
            GlobalUnlock(data);
            const std::string bytes = utf8(copied);
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            status = 0;
        }
    }
    CloseClipboard();
    return status;
}

int standIn()
{
    wchar_t log[MAX_PATH] = {};
    std::wstring path;
    if (GetEnvironmentVariableW(L"TESSALY_STAND_IN_LOG", log, MAX_PATH) > 0) {
        path = log;
    } else {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        path = std::wstring(self) + L".ran";
    }
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    const std::string entry = utf8(GetCommandLineW()) + "\n";
    DWORD written = 0;
    WriteFile(file, entry.data(), DWORD(entry.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY); // LF, as the shell reads it
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"texts" && argc > 2)
        return printTexts(argv[2]);
    if (command == L"clipboard")
        return printClipboard();
    return standIn();
}
