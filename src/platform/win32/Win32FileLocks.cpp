#include "platform/win32/Win32FileLocks.h"

#include "platform/win32/LongPath.h"

namespace nightjar::platform::win32 {

namespace {
constexpr DWORD kPollMs = 20;
}

bool Win32FileLocks::lock(std::string_view path, std::chrono::milliseconds wait) {
    const std::string name(path);
    if (held_.count(name) != 0) {
        return false;
    }
    const std::wstring wide = LongPath(name);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
    for (;;) {
        WinHandle h(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h) {
            held_.emplace(name, std::move(h));
            return true;
        }
        // Only someone else's open handle is worth waiting for.
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
}

void Win32FileLocks::unlock(std::string_view path) {
    held_.erase(std::string(path));
}

}  // namespace nightjar::platform::win32
