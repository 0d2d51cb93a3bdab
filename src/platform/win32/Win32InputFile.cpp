#include "platform/win32/Win32InputFile.h"

namespace nightjar::platform::win32 {

std::size_t Win32InputFile::read(char* buffer, std::size_t size) {
    constexpr std::size_t kMaxChunk = 1u << 30;
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
    if (!handle_ || want == 0 || !ReadFile(handle_.get(), buffer, want, &got, nullptr)) {
        return 0;
    }
    return got;
}

}  // namespace nightjar::platform::win32
