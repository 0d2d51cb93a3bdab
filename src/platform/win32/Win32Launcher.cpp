#include "platform/win32/Win32Launcher.h"

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <string>

#include "platform/win32/LongPath.h"
#include "platform/win32/WinHandle.h"
#include "platform/win32/WriteAllBytes.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

/// The record file named by NIGHTJAR_LAUNCHER_RECORD, empty when unset. Read on every call
/// so that a test may set it at any time.
std::string recordFile() {
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD size = MAX_PATH * 2;
    DWORD n = GetEnvironmentVariableW(L"NIGHTJAR_LAUNCHER_RECORD", buf, size);
    if (n == 0 || n >= size) {
        return {};
    }
    return utf16::narrow(std::wstring_view(buf, n));
}

bool appendLine(const std::string& file, std::string_view line) {
    WinHandle h(CreateFileW(LongPath(file).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        return false;
    }
    std::string text(line);
    text.push_back('\n');
    return writeAllBytes(h.get(), text);
}

}  // namespace

bool Win32Launcher::run(std::string_view commandLine, WindowShow show) {
    std::string record = recordFile();
    if (!record.empty()) {
        return appendLine(record, "run " + std::string(commandLine));
    }
    // CreateProcess may write into the command line buffer.
    std::wstring cmd = utf16::widen(commandLine);
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow =
        static_cast<WORD>(show == WindowShow::Minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool Win32Launcher::open(std::string_view path) {
    std::string record = recordFile();
    if (!record.empty()) {
        return appendLine(record, "open " + std::string(path));
    }
    // The shell takes the plain form of a path, never the long-path prefix.
    const std::wstring p = utf16::widen(path);
    HINSTANCE rc = ShellExecuteW(nullptr, L"open", p.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // ShellExecute reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

}  // namespace nightjar::platform::win32
