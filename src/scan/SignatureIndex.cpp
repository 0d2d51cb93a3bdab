#include "scan/SignatureIndex.h"

#include "util/Text.h"

namespace nightjar::scan {

namespace {
constexpr std::string_view kDrive = "[drive]";

bool holdsDrive(std::string_view s) {
    return text::icontains(s, kDrive);
}

const std::string& keySource(const definitions::SignatureEntry& e, bool folders) {
    return folders ? e.folder : e.name;
}
}  // namespace

std::string SignatureIndex::FileKey(std::string_view entryName, std::string_view drive) {
    if (holdsDrive(entryName)) {
        return text::trim(text::toLower(text::ireplaceAll(entryName, kDrive, drive)));
    }
    return text::trim(text::toLower(entryName));
}

std::string SignatureIndex::FolderKey(std::string_view entryPath, std::string_view drive) {
    std::string key = FileKey(entryPath, drive);
    if (key.size() > 1 && key.back() == '\\') {
        key.pop_back();
    }
    return key;
}

void SignatureIndex::build(Table& t, const std::vector<definitions::SignatureEntry>& rows,
                           bool folders) {
    t.buckets.clear();
    t.driveEntries.clear();
    t.rows = &rows;
    t.cutoff = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& src = keySource(rows[i], folders);
        if (holdsDrive(src)) {
            // Its key depends on the drive of the checked path; whether it is empty (and
            // so ends the search) is decided per check as well.
            t.driveEntries.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        std::string key = folders ? FolderKey(src, "") : FileKey(src, "");
        if (key.empty()) {
            t.cutoff = i;
            break;
        }
        t.buckets[key].push_back(static_cast<std::uint32_t>(i));
    }
}

void SignatureIndex::rebuild(const std::vector<definitions::SignatureEntry>& files,
                             const std::vector<definitions::SignatureEntry>& folders) {
    build(files_, files, false);
    build(folders_, folders, true);
    built_ = true;
    fileData_ = files.data();
    fileSize_ = files.size();
    folderData_ = folders.data();
    folderSize_ = folders.size();
}

void SignatureIndex::refresh(const definitions::SignatureStore& store) {
    const auto& files = store.FileSignatures();
    const auto& folders = store.DirectorySignatures();
    if (built_ && generation_ == store.generation() && fileData_ == files.data() &&
        fileSize_ == files.size() && folderData_ == folders.data() &&
        folderSize_ == folders.size()) {
        return;
    }
    rebuild(files, folders);
    generation_ = store.generation();
}

void SignatureIndex::candidates(const Table& t, std::string_view key, std::string_view drive,
                                bool folders, std::vector<std::uint32_t>& out) {
    out.clear();
    if (t.rows == nullptr) {
        return;
    }
    std::size_t cutoff = t.cutoff;
    // Entries holding "[drive]": resolve them for this drive, in table order. The first
    // whose resolved key is empty ends the search there.
    for (std::uint32_t i : t.driveEntries) {
        if (i >= cutoff) {
            break;
        }
        const std::string& src = keySource((*t.rows)[i], folders);
        std::string resolved = folders ? FolderKey(src, drive) : FileKey(src, drive);
        if (resolved.empty()) {
            cutoff = i;
            break;
        }
        if (resolved == key) {
            out.push_back(i);
        }
    }
    auto it = t.buckets.find(std::string(key));
    if (it == t.buckets.end()) {
        return;
    }
    if (out.empty()) {
        for (std::uint32_t i : it->second) {
            if (i >= cutoff) {
                break;
            }
            out.push_back(i);
        }
        return;
    }
    // Merge the two ascending lists.
    std::vector<std::uint32_t> drives;
    drives.swap(out);
    std::size_t a = 0;
    std::size_t b = 0;
    const auto& bucket = it->second;
    while (a < bucket.size() || b < drives.size()) {
        std::uint32_t next;
        if (b >= drives.size() || (a < bucket.size() && bucket[a] < drives[b])) {
            next = bucket[a++];
        } else {
            next = drives[b++];
        }
        if (next >= cutoff) {
            break;
        }
        out.push_back(next);
    }
}

void SignatureIndex::fileCandidates(std::string_view nameKey, std::string_view drive,
                                    std::vector<std::uint32_t>& out) const {
    candidates(files_, nameKey, drive, false, out);
}

void SignatureIndex::folderCandidates(std::string_view folderKey, std::string_view drive,
                                      std::vector<std::uint32_t>& out) const {
    candidates(folders_, folderKey, drive, true, out);
}

}  // namespace nightjar::scan
