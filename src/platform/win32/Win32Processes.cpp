#include "platform/win32/Win32Processes.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/win32/WinHandle.h"
#include "util/Text.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

// PROCESS_QUERY_INFORMATION | PROCESS_VM_READ.
constexpr DWORD kQueryAndRead = 0x410;
// The classic all-access mask; newer headers define a larger one that older systems refuse.
constexpr DWORD kAllAccess = 0x1F0FFF;

/// The first module of the process, or nullptr when the process cannot be opened or read.
HMODULE firstModule(HANDLE process) {
    HMODULE modules[512] = {};  // a 4096-byte buffer on 64-bit
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &needed) || needed == 0) {
        return nullptr;
    }
    return modules[0];
}

// Module paths may be longer than MAX_PATH; this is the longest the system has.
constexpr DWORD kLongestPath = 32768;

/// A text of the first module of process `pid`, read by `read` (GetModuleBaseNameW or
/// GetModuleFileNameExW); `unreadable` when the module is there but `read` fails.
std::optional<std::string> firstModuleText(std::uint32_t pid,
                                           DWORD(WINAPI* read)(HANDLE, HMODULE, LPWSTR, DWORD),
                                           std::optional<std::string> unreadable) {
    WinHandle process(OpenProcess(kQueryAndRead, FALSE, pid));
    if (!process) {
        return std::nullopt;
    }
    HMODULE module = firstModule(process.get());
    if (module == nullptr) {
        return std::nullopt;
    }
    std::vector<wchar_t> text(kLongestPath, L'\0');
    const DWORD n = read(process.get(), module, text.data(), kLongestPath);
    if (n == 0) {
        return unreadable;
    }
    return utf16::narrow(std::wstring_view(text.data(), wcsnlen(text.data(), n)));
}

}  // namespace

std::optional<std::vector<std::uint32_t>> Win32Processes::processIds() {
    std::vector<DWORD> ids(128);
    for (;;) {
        DWORD bytes = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        DWORD returned = 0;
        if (!EnumProcesses(ids.data(), bytes, &returned)) {
            return std::nullopt;
        }
        // A full buffer may have cut the list short.
        if (returned < bytes || ids.size() >= (1u << 20)) {
            ids.resize(returned / sizeof(DWORD));
            break;
        }
        ids.resize(ids.size() * 2);
    }
    return std::vector<std::uint32_t>(ids.begin(), ids.end());
}

std::optional<std::string> Win32Processes::moduleBaseName(std::uint32_t pid) {
    // A module whose name cannot be read still counts, with an empty name.
    return firstModuleText(pid, GetModuleBaseNameW, std::string());
}

std::optional<std::string> Win32Processes::firstModulePath(std::uint32_t pid) {
    return firstModuleText(pid, GetModuleFileNameExW, std::nullopt);
}

std::optional<std::vector<SnapshotEntry>> Win32Processes::snapshot() {
    WinHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
    if (!snap) {
        return std::nullopt;
    }
    std::vector<SnapshotEntry> entries;
    PROCESSENTRY32W entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap.get(), &entry); more;
         more = Process32NextW(snap.get(), &entry)) {
        SnapshotEntry e;
        e.pid = entry.th32ProcessID;
        e.exeFile =
            utf16::narrow(std::wstring_view(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH)));
        entries.push_back(std::move(e));
        entry.dwSize = sizeof entry;
    }
    return entries;
}

bool Win32Processes::setDebugPrivilege(bool enable) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        return false;
    }
    WinHandle token(raw);
    TOKEN_PRIVILEGES tp;
    std::memset(&tp, 0, sizeof tp);
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &tp.Privileges[0].Luid)) {
        return false;
    }
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // Succeeds without the privilege being held (ERROR_NOT_ALL_ASSIGNED); the user's own
    // processes can still be ended then.
    return AdjustTokenPrivileges(token.get(), FALSE, &tp, sizeof tp, nullptr, nullptr) != FALSE;
}

// An open handle keeps its process's id from being reused, so the image is compared on
// the process that will be terminated.
bool Win32Processes::terminate(std::uint32_t pid, std::uint32_t exitCode, std::string_view image) {
    WinHandle process(OpenProcess(kAllAccess, FALSE, pid));
    if (!process) {
        return false;
    }
    if (!image.empty()) {
        HMODULE module = firstModule(process.get());
        std::vector<wchar_t> path(kLongestPath, L'\0');
        const DWORD n = module == nullptr ? 0
                                          : GetModuleFileNameExW(process.get(), module, path.data(),
                                                                 kLongestPath);
        if (n == 0 ||
            !text::iequals(utf16::narrow(std::wstring_view(path.data(), wcsnlen(path.data(), n))),
                           image)) {
            return false;
        }
    }
    return TerminateProcess(process.get(), exitCode) != FALSE;
}

bool Win32Processes::terminateLegacy(std::uint32_t pid, std::string_view exeFile) {
    WinHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (!process) {
        return false;
    }
    if (!exeFile.empty()) {
        bool same = false;
        for (const SnapshotEntry& e : snapshot().value_or(std::vector<SnapshotEntry>{})) {
            if (e.pid == pid) {
                same = text::iequals(e.exeFile, exeFile);
                break;
            }
        }
        if (!same) {
            return false;
        }
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE) {
        code = 0;
    }
    return TerminateProcess(process.get(), code) != FALSE;
}

WaitResult Win32Processes::wait(std::uint32_t pid, std::uint32_t milliseconds) {
    WinHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) {
        return WaitResult::Failed;
    }
    switch (WaitForSingleObject(process.get(), milliseconds)) {
        case WAIT_OBJECT_0:
            return WaitResult::Signaled;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            return WaitResult::Failed;
    }
}

int Win32Processes::platformId() {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) {
        return 0;
    }
    return static_cast<int>(info.dwPlatformId);
}

}  // namespace nightjar::platform::win32
