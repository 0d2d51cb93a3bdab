#pragma once
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace nightjar::platform::posix {

/// Finds the name in a host folder that equals a given name without regard to case, with
/// the folder's names kept by their folded form so that repeated lookups (a scan checks
/// thousands of paths in the same folders) do not read the folder again. A kept listing is
/// used only while the folder's modification time is unchanged, and only once that time lies
/// far enough in the past that a change within the same clock tick cannot hide.
class FolderNameCache {
  public:
    /// The matching name (the smallest in byte order when several match); nullopt when none
    /// matches or the folder cannot be read.
    std::optional<std::string> find(const std::string& folder, std::string_view name);

  private:
    struct Listing {
        dev_t dev = 0;
        ino_t ino = 0;
        timespec mtime{};
        std::unordered_map<std::string, std::string> byFolded;
    };

    static bool readListing(const std::string& folder, Listing& listing);

    std::mutex mutex_;
    std::unordered_map<std::string, Listing> listings_;
};

}  // namespace nightjar::platform::posix
