#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace nightjar::scan {

/// Folder paths cut into their "\"-separated parts from the last one back (the drive
/// removed), each part with its length and a hash of its lower-cased text, and kept per
/// table row: a walk compares the folder of every object it checks with the folder paths
/// of many rows (TrailingMatchCount), and so compares a few numbers per part instead of
/// reading both paths each time.
class FolderPartCache {
  public:
    struct Part {
        std::uint32_t start = 0;  ///< offset in the path that was cut
        std::uint32_t length = 0;
        std::uint32_t hash = 0;  ///< of the lower-cased text
    };
    using Parts = std::span<const Part>;

    /// Cuts `path` (drive, its ":" and the character after it removed when it holds ":";
    /// an empty rest is one empty part) and appends its parts, last first, to `out`.
    static void cut(std::string_view path, std::vector<Part>& out);
    /// TrailingMatchCount of two cut paths: the positions, counted from the end for as many
    /// as the shorter has parts, where both parts are equal without regard to case and not
    /// empty. Stops once `enough` positions matched (0: counts them all).
    static int trailingMatches(std::string_view a, Parts aParts, std::string_view b, Parts bParts,
                               int enough);

    /// Forgets every row unless the table is the one seen last (the same generation,
    /// row storage and size).
    void refresh(std::uint64_t generation, const void* rows, std::size_t count);
    /// The parts of row `index`, whose folder path is `folder`: cut on first use. Valid
    /// until the next call.
    Parts partsOf(std::size_t index, std::string_view folder);

  private:
    static constexpr std::uint32_t kUncut = 0xFFFFFFFFu;

    std::uint64_t generation_ = 0;
    const void* rows_ = nullptr;
    std::size_t count_ = 0;
    bool seen_ = false;
    std::vector<Part> pool_;
    // Per row: where its parts start in pool_ (kUncut before the first use) and how many.
    std::vector<std::uint32_t> first_;
    std::vector<std::uint32_t> size_;
    std::vector<Part> scratch_;
};

}  // namespace nightjar::scan
