#pragma once
#include <windows.h>

#include <utility>

namespace nightjar::platform::win32 {

/// Owns a kernel handle and closes it once. Null and INVALID_HANDLE_VALUE both count as
/// "no handle", since CreateFile and CreateToolhelp32Snapshot use the latter.
class WinHandle {
  public:
    WinHandle() = default;
    explicit WinHandle(HANDLE h) : h_(h) {}
    ~WinHandle() { reset(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;
    WinHandle(WinHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    WinHandle& operator=(WinHandle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }

    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }
    HANDLE get() const { return h_; }
    void reset(HANDLE h = nullptr) {
        if (valid()) {
            CloseHandle(h_);
        }
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

}  // namespace nightjar::platform::win32
