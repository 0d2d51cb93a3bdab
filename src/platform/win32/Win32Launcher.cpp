#include "platform/win32/Win32Launcher.h"

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <string>

#include "platform/win32/AnsiText.h"
#include "platform/win32/WinHandle.h"
#include "platform/win32/WriteAllBytes.h"

namespace nightjar::platform::win32 {
namespace {

/// The record file named by NIGHTJAR_LAUNCHER_RECORD, empty when unset. Read on every call
/// so that a test may set it at any time.
std::string recordFile() {
    char buf[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableA("NIGHTJAR_LAUNCHER_RECORD", buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) {
        return {};
    }
    return std::string(buf, n);
}

bool appendLine(const std::string& file, std::string_view line) {
    WinHandle h(CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    std::string cmd = ToAnsi(commandLine);
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow =
        static_cast<WORD>(show == WindowShow::Minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
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
    std::string p = ToAnsi(path);
    HINSTANCE rc = ShellExecuteA(nullptr, "open", p.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // ShellExecute reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

}  // namespace nightjar::platform::win32
