#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace nightjar::server {

/// One stored definition entry with its life span (Unix seconds).
struct DefinitionRow {
    std::int64_t id = 0;
    std::string kind;  ///< kind marker, "FILE", "REG", "SFILE", ...
    std::string body;  ///< plain entry text
    std::int64_t addedAt = 0;
    std::optional<std::int64_t> withdrawnAt;

    /// Present at time t: added at or before t and not withdrawn by then.
    bool presentAt(std::int64_t t) const {
        return addedAt <= t && (!withdrawnAt || *withdrawnAt > t);
    }
    bool current() const { return !withdrawnAt.has_value(); }
};

}  // namespace nightjar::server
