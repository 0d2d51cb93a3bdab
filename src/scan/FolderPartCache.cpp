#include "scan/FolderPartCache.h"

#include <algorithm>

#include "util/Text.h"

namespace nightjar::scan {

namespace {

/// FNV-1a of a lower-cased part.
std::uint32_t partHash(std::string_view lowered) {
    std::uint32_t hash = 2166136261u;
    for (char c : lowered) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

}  // namespace

void FolderPartCache::cut(std::string_view path, std::vector<Part>& out) {
    std::size_t from = 0;
    if (auto colon = path.find(':'); colon != std::string_view::npos) {
        // The drive, its ":" and the character after it (the "\") go.
        from = std::min(colon + 2, path.size());
    }
    // Lower-casing keeps offsets: the parts of the lowered path are those of the path.
    const std::string lowered = text::toLower(path);
    std::size_t end = path.size();
    for (;;) {
        std::size_t start = end;
        while (start > from && path[start - 1] != '\\') {
            --start;
        }
        out.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end - start),
                       partHash(std::string_view(lowered).substr(start, end - start))});
        if (start == from) {
            return;
        }
        end = start - 1;
    }
}

int FolderPartCache::trailingMatches(std::string_view a, Parts aParts, std::string_view b,
                                     Parts bParts, int enough) {
    const std::size_t n = std::min(aParts.size(), bParts.size());
    int count = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const Part& x = aParts[k];
        const Part& y = bParts[k];
        if (x.length != 0 && x.length == y.length && x.hash == y.hash &&
            text::iequals(a.substr(x.start, x.length), b.substr(y.start, y.length))) {
            if (++count == enough) {
                return count;
            }
        }
    }
    return count;
}

void FolderPartCache::refresh(std::uint64_t generation, const void* rows, std::size_t count) {
    if (seen_ && generation == generation_ && rows == rows_ && count == count_) {
        return;
    }
    generation_ = generation;
    rows_ = rows;
    count_ = count;
    seen_ = true;
    pool_.clear();
    first_.assign(count, kUncut);
    size_.assign(count, 0);
}

FolderPartCache::Parts FolderPartCache::partsOf(std::size_t index, std::string_view folder) {
    if (index >= first_.size()) {
        // Not a row of the table seen last: cut it afresh each time.
        scratch_.clear();
        cut(folder, scratch_);
        return {scratch_.data(), scratch_.size()};
    }
    if (first_[index] == kUncut) {
        first_[index] = static_cast<std::uint32_t>(pool_.size());
        cut(folder, pool_);
        size_[index] = static_cast<std::uint32_t>(pool_.size() - first_[index]);
    }
    return {pool_.data() + first_[index], size_[index]};
}

}  // namespace nightjar::scan
