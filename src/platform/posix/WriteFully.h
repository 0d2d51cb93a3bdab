#pragma once
#include <cerrno>
#include <string_view>

#include <unistd.h>

namespace nightjar::platform::posix {

/// Writes all of `data` to `fd`, resuming after short writes and interrupted calls.
inline bool WriteFully(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace nightjar::platform::posix
