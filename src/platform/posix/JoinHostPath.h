#pragma once
#include <string>
#include <string_view>

namespace nightjar::platform::posix {

/// `name` below the host folder `folder`, with exactly one '/' added between them when
/// `folder` does not end in one already.
inline std::string JoinHostPath(const std::string& folder, std::string_view name) {
    std::string r = folder;
    if (r.empty() || r.back() != '/') {
        r += '/';
    }
    r.append(name);
    return r;
}

}  // namespace nightjar::platform::posix
