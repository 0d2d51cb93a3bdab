#include "platform/posix/FolderNameCache.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/posix/DeepPath.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

// Folders kept at most; the cache starts afresh beyond that.
constexpr std::size_t kMaxFolders = 512;
// A listing is kept only when the folder last changed at least this long before it was
// read, so that coarse file system clocks cannot make a later change look old.
constexpr time_t kSettleSeconds = 2;

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool FolderNameCache::readListing(const std::string& folder, Listing& listing) {
    DIR* dir = DeepPath::openFolder(folder);
    if (dir == nullptr) {
        return false;
    }
    while (const dirent* e = readdir(dir)) {
        std::string name(e->d_name);
        auto [it, inserted] = listing.byFolded.try_emplace(text::toLower(name), name);
        if (!inserted && name < it->second) {
            it->second = std::move(name);
        }
    }
    closedir(dir);
    return true;
}

std::optional<std::string> FolderNameCache::find(const std::string& folder, std::string_view name) {
    struct stat st {};
    if (!DeepPath::status(folder, st, true) || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    const std::string folded = text::toLower(name);
    auto lookup = [&](const Listing& listing) -> std::optional<std::string> {
        auto it = listing.byFolded.find(folded);
        if (it == listing.byFolded.end()) {
            return std::nullopt;
        }
        return it->second;
    };

    std::lock_guard lock(mutex_);
    auto cached = listings_.find(folder);
    if (cached != listings_.end() && cached->second.dev == st.st_dev &&
        cached->second.ino == st.st_ino && sameTime(cached->second.mtime, st.st_mtim)) {
        return lookup(cached->second);
    }
    Listing listing;
    listing.dev = st.st_dev;
    listing.ino = st.st_ino;
    listing.mtime = st.st_mtim;
    const time_t readAt = time(nullptr);
    if (!readListing(folder, listing)) {
        return std::nullopt;
    }
    std::optional<std::string> found = lookup(listing);
    if (st.st_mtim.tv_sec + kSettleSeconds < readAt) {
        if (listings_.size() >= kMaxFolders) {
            listings_.clear();
        }
        listings_.insert_or_assign(folder, std::move(listing));
    } else if (cached != listings_.end()) {
        listings_.erase(cached);
    }
    return found;
}

}  // namespace nightjar::platform::posix
