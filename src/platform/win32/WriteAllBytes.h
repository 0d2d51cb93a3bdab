#pragma once
#include <windows.h>

#include <string_view>

namespace nightjar::platform::win32 {

/// WriteFile until every byte is written; false on the first failure.
inline bool writeAllBytes(HANDLE h, std::string_view data) {
    constexpr std::size_t kMaxChunk = 1u << 30;
    while (!data.empty()) {
        DWORD want = static_cast<DWORD>(data.size() < kMaxChunk ? data.size() : kMaxChunk);
        DWORD done = 0;
        if (!WriteFile(h, data.data(), want, &done, nullptr) || done == 0) {
            return false;
        }
        data.remove_prefix(done);
    }
    return true;
}

}  // namespace nightjar::platform::win32
