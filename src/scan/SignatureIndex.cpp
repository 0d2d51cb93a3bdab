#include "scan/SignatureIndex.h"

#include "util/Text.h"

namespace nightjar::scan {

namespace {
constexpr std::string_view kDrive = "[drive]";

bool holdsDrive(std::string_view s) {
    return s.find('[') != std::string_view::npos && text::icontains(s, kDrive);
}

std::string_view keySource(const definitions::SignatureEntry& e, bool folders) {
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

void SignatureIndex::Chains::clear(std::size_t rows) {
    ends.clear();
    owned.clear();
    next.assign(rows, kEnd);
}

void SignatureIndex::Chains::add(std::string_view stableKey, std::uint32_t index) {
    auto [it, inserted] = ends.try_emplace(stableKey, index, index);
    if (!inserted) {
        next[it->second.second] = index;
        it->second.second = index;
    }
}

std::uint32_t SignatureIndex::Chains::first(std::string_view key) const {
    auto it = ends.find(key);
    return it == ends.end() ? kEnd : it->second.first;
}

namespace {
/// The key of an entry without "[drive]", built in `buf`: lower-cased, trimmed and, for
/// a folder, without a final "\" when longer than one character.
std::string_view plainKey(std::string& buf, std::string_view src, bool folders) {
    buf.resize(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) {
        buf[i] = text::toLowerChar(src[i]);
    }
    std::string_view key = text::trimView(buf);
    if (folders && key.size() > 1 && key.back() == '\\') {
        key.remove_suffix(1);
    }
    return key;
}
}  // namespace

void SignatureIndex::build(Table& t, const definitions::SignatureTable& rows, bool folders) {
    t.chains.clear(rows.size());
    t.driveEntries.clear();
    t.views.clear();
    t.rows = &rows;
    t.folders = folders;
    t.chains.ends.reserve(rows.size());
    std::string buf;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string_view src = keySource(rows[i], folders);
        if (holdsDrive(src)) {
            // Its key depends on the drive of the checked path.
            t.driveEntries.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        std::string_view key = plainKey(buf, src, folders);
        if (key.empty()) {
            continue;
        }
        // The loaders store names and paths already in key form: view the row's own text.
        if (src != key) {
            t.chains.owned.emplace_back(key);
            key = t.chains.owned.back();
        } else {
            key = src;
        }
        t.chains.add(key, static_cast<std::uint32_t>(i));
    }
}

void SignatureIndex::rebuild(const definitions::SignatureTable& files,
                             const definitions::SignatureTable& folders) {
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
    view.chains.clear(t.rows->size());
    view.chains.ends.reserve(t.driveEntries.size());
    for (std::uint32_t i : t.driveEntries) {
        const std::string_view src = keySource((*t.rows)[i], t.folders);
        std::string resolved = t.folders ? FolderKey(src, drive) : FileKey(src, drive);
        if (resolved.empty()) {
            continue;
        }
        view.chains.owned.push_back(std::move(resolved));
        view.chains.add(view.chains.owned.back(), i);
    }
    return t.views.emplace(std::string(drive), std::move(view)).first->second;
}

void SignatureIndex::candidates(const Table& t, std::string_view key, std::string_view drive,
                                std::vector<std::uint32_t>& out) {
    out.clear();
    if (t.rows == nullptr) {
        return;
    }
    std::uint32_t a = t.chains.first(key);
    std::uint32_t b = kEnd;
    const DriveView* view = nullptr;
    if (!t.driveEntries.empty()) {
        view = &viewFor(t, drive);
        b = view->chains.first(key);
    }
    // Merge the two chains, both in table order.
    while (a != kEnd || b != kEnd) {
        std::uint32_t next;
        if (b == kEnd || (a != kEnd && a < b)) {
            next = a;
            a = t.chains.next[a];
        } else {
            next = b;
            b = view->chains.next[b];
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
