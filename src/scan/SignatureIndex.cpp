#include "scan/SignatureIndex.h"

#include <algorithm>

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
    t.views.clear();
    t.rows = &rows;
    t.folders = folders;
    t.cutoff = rows.size();
    t.buckets.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& src = keySource(rows[i], folders);
        if (holdsDrive(src)) {
            // Its key depends on the drive of the checked path; whether it is empty (and
            // so ends the search) is decided per drive as well.
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

const SignatureIndex::DriveView& SignatureIndex::viewFor(const Table& t, std::string_view drive) {
    auto it = t.views.find(drive);
    if (it != t.views.end()) {
        return it->second;
    }
    if (t.views.size() >= kMaxDriveViews) {
        t.views.clear();
    }
    DriveView view;
    view.buckets.reserve(t.driveEntries.size());
    for (std::uint32_t i : t.driveEntries) {
        const std::string& src = keySource((*t.rows)[i], t.folders);
        std::string resolved = t.folders ? FolderKey(src, drive) : FileKey(src, drive);
        if (resolved.empty()) {
            view.cutoff = i;
            break;
        }
        view.buckets[resolved].push_back(i);
    }
    return t.views.emplace(std::string(drive), std::move(view)).first->second;
}

void SignatureIndex::candidates(const Table& t, std::string_view key, std::string_view drive,
                                std::vector<std::uint32_t>& out) {
    out.clear();
    if (t.rows == nullptr) {
        return;
    }
    static const std::vector<std::uint32_t> kNone;
    const std::string_view k = key;
    std::size_t cutoff = t.cutoff;
    const std::vector<std::uint32_t>* fromDrive = &kNone;
    if (!t.driveEntries.empty()) {
        const DriveView& view = viewFor(t, drive);
        cutoff = std::min(cutoff, view.cutoff);
        if (auto it = view.buckets.find(k); it != view.buckets.end()) {
            fromDrive = &it->second;
        }
    }
    const std::vector<std::uint32_t>* plain = &kNone;
    if (auto it = t.buckets.find(k); it != t.buckets.end()) {
        plain = &it->second;
    }
    // Merge the two ascending lists, in table order, up to the cut-off.
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < plain->size() || b < fromDrive->size()) {
        std::uint32_t next;
        if (b >= fromDrive->size() || (a < plain->size() && (*plain)[a] < (*fromDrive)[b])) {
            next = (*plain)[a++];
        } else {
            next = (*fromDrive)[b++];
        }
        if (next >= cutoff) {
            break;
        }
        out.push_back(next);
    }
}

void SignatureIndex::fileCandidates(std::string_view nameKey, std::string_view drive,
                                    std::vector<std::uint32_t>& out) const {
    candidates(files_, nameKey, drive, out);
}

void SignatureIndex::folderCandidates(std::string_view folderKey, std::string_view drive,
                                      std::vector<std::uint32_t>& out) const {
    candidates(folders_, folderKey, drive, out);
}

}  // namespace nightjar::scan
