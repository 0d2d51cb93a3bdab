#include "platform/win32/Win32Processes.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>

#include "platform/win32/AnsiText.h"
#include "platform/win32/WinHandle.h"
#include "util/Text.h"

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

/// A text of the first module of process `pid`, read by `read` (GetModuleBaseNameA or
/// GetModuleFileNameExA); `unreadable` when the module is there but `read` fails.
std::optional<std::string> firstModuleText(std::uint32_t pid,
                                           DWORD(WINAPI* read)(HANDLE, HMODULE, LPSTR, DWORD),
                                           std::optional<std::string> unreadable) {
    WinHandle process(OpenProcess(kQueryAndRead, FALSE, pid));
    if (!process) {
        return std::nullopt;
    }
    HMODULE module = firstModule(process.get());
    if (module == nullptr) {
        return std::nullopt;
    }
    char text[MAX_PATH] = {};
    if (read(process.get(), module, text, sizeof text) == 0) {
        return unreadable;
    }
    return FromAnsi(std::string(text, strnlen(text, sizeof text)));
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
    return firstModuleText(pid, GetModuleBaseNameA, std::string());
}

std::optional<std::string> Win32Processes::firstModulePath(std::uint32_t pid) {
    return firstModuleText(pid, GetModuleFileNameExA, std::nullopt);
}

std::optional<std::vector<SnapshotEntry>> Win32Processes::snapshot() {
    WinHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
    if (!snap) {
        return std::nullopt;
    }
    std::vector<SnapshotEntry> entries;
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap.get(), &entry); more;
         more = Process32Next(snap.get(), &entry)) {
        SnapshotEntry e;
        e.pid = entry.th32ProcessID;
        e.exeFile = FromAnsi(
            std::string(entry.szExeFile, strnlen(entry.szExeFile, sizeof entry.szExeFile)));
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
    if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &tp.Privileges[0].Luid)) {
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
        char path[MAX_PATH] = {};
        const DWORD n =
            module == nullptr ? 0 : GetModuleFileNameExA(process.get(), module, path, sizeof path);
        if (n == 0 || !text::iequals(std::string_view(path, strnlen(path, sizeof path)), image)) {
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
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        return 0;
    }
    return static_cast<int>(info.dwPlatformId);
}

}  // namespace nightjar::platform::win32
