#include "mock/FakeFileSystem.h"

#include <algorithm>
#include <cstring>

#include "util/Text.h"

namespace nightjar::mock {

using platform::attr::Directory;

namespace {

class StringInput : public platform::InputFile {
  public:
    explicit StringInput(std::string data) : data_(std::move(data)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        std::size_t n = std::min(size, data_.size() - pos_);
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }

  private:
    std::string data_;
    std::size_t pos_ = 0;
};

}  // namespace

/// Writer that lands its content in the fake on commit (replace) or on every write
/// (append, as an open file handle would).
class FakeOutputFile : public platform::OutputFile {
  public:
    FakeOutputFile(FakeFileSystem& fs, std::string path, bool append)
        : fs_(fs), path_(std::move(path)), append_(append) {}
    bool write(std::string_view data) override {
        if (fs_.failWrites_) {
            return false;
        }
        if (append_) {
            auto it = fs_.nodes_.find(FakeFileSystem::key(path_));
            if (it == fs_.nodes_.end()) {
                return false;
            }
            it->second.data.append(data);
        } else {
            pending_.append(data);
        }
        return true;
    }
    bool commit() override {
        if (fs_.failWrites_) {
            return false;
        }
        if (append_) {
            return fs_.nodes_.count(FakeFileSystem::key(path_)) != 0;
        }
        if (!fs_.consumeCommit()) {
            return false;
        }
        fs_.addFile(path_, pending_);
        return true;
    }

  private:
    FakeFileSystem& fs_;
    std::string path_;
    bool append_;
    std::string pending_;
};

FakeFileSystem::FakeFileSystem() {
    drives_.push_back({'C', platform::DriveType::Fixed, true});
}

std::string FakeFileSystem::normalize(std::string_view path) {
    std::string p(path);
    std::replace(p.begin(), p.end(), '/', '\\');
    while (p.size() > 3 && p.back() == '\\') {
        p.pop_back();
    }
    if (p.size() == 2 && p[1] == ':') {
        p.push_back('\\');
    }
    if (p.size() >= 2 && p[1] == ':') {
        p[0] = text::toUpperChar(p[0]);
    }
    return p;
}

std::string FakeFileSystem::key(std::string_view path) {
    return text::toLower(normalize(path));
}

std::string FakeFileSystem::parentOf(const std::string& normalized) {
    auto pos = normalized.rfind('\\');
    if (pos == std::string::npos) {
        return {};
    }
    if (pos == 2) {
        return normalized.substr(0, 3);
    }
    return normalized.substr(0, pos);
}

bool FakeFileSystem::driveExists(std::string_view normalized) const {
    if (normalized.size() < 3 || normalized[1] != ':') {
        return false;
    }
    char letter = text::toUpperChar(normalized[0]);
    return std::any_of(drives_.begin(), drives_.end(),
                       [&](const auto& d) { return d.letter == letter; });
}

bool FakeFileSystem::ensureFolders(const std::string& normalized) {
    if (!driveExists(normalized)) {
        return false;
    }
    if (normalized.size() <= 3) {
        return true;
    }
    std::string k = text::toLower(normalized);
    auto it = nodes_.find(k);
    if (it != nodes_.end()) {
        return (it->second.attributes & Directory) != 0;
    }
    if (!ensureFolders(parentOf(normalized))) {
        return false;
    }
    nodes_[k] = Node{normalized, Directory, {}};
    return true;
}

void FakeFileSystem::addFile(std::string_view path, std::string_view content,
                             std::uint32_t attributes) {
    std::string n = normalize(path);
    ensureFolders(parentOf(n));
    auto& node = nodes_[text::toLower(n)];
    if (node.path.empty()) {
        node.path = n;
    }
    node.attributes = attributes & ~Directory;
    node.data.assign(content);
}

void FakeFileSystem::addFolder(std::string_view path, std::uint32_t attributes) {
    std::string n = normalize(path);
    ensureFolders(n);
    auto it = nodes_.find(text::toLower(n));
    if (it != nodes_.end()) {
        it->second.attributes = attributes | Directory;
    }
}

void FakeFileSystem::setAttributes(std::string_view path, std::uint32_t attributes) {
    auto it = nodes_.find(key(path));
    if (it != nodes_.end()) {
        bool dir = (it->second.attributes & Directory) != 0;
        it->second.attributes = dir ? (attributes | Directory) : (attributes & ~Directory);
    }
}

std::optional<std::string> FakeFileSystem::content(std::string_view path) const {
    auto it = nodes_.find(key(path));
    if (it == nodes_.end() || (it->second.attributes & Directory)) {
        return std::nullopt;
    }
    return it->second.data;
}

void FakeFileSystem::setDrives(std::vector<platform::DriveInfo> drives) {
    drives_ = std::move(drives);
}

void FakeFileSystem::setVolumeUnreadable(char letter, bool unreadable) {
    volumeUnreadable_[text::toUpperChar(letter)] = unreadable;
}

int FakeFileSystem::readCount(std::string_view path) const {
    auto it = reads_.find(key(path));
    return it == reads_.end() ? 0 : it->second;
}

std::vector<std::string> FakeFileSystem::allPaths() const {
    std::vector<std::string> out;
    for (const auto& [k, n] : nodes_) {
        out.push_back(n.path);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<std::vector<platform::DirEntry>> FakeFileSystem::list(std::string_view folder) {
    std::string n = normalize(folder);
    std::string k = text::toLower(n);
    if (n.size() > 3) {
        auto it = nodes_.find(k);
        if (it == nodes_.end() || !(it->second.attributes & Directory)) {
            return std::nullopt;
        }
    } else if (!driveExists(n)) {
        return std::nullopt;
    }
    std::string prefix = k.size() == 3 ? k : k + "\\";
    std::vector<platform::DirEntry> out;
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) {
            break;
        }
        std::string_view rest = std::string_view(it->first).substr(prefix.size());
        if (rest.empty() || rest.find('\\') != std::string_view::npos) {
            continue;
        }
        const Node& node = it->second;
        out.push_back(
            {node.path.substr(node.path.rfind('\\') + 1), node.attributes, node.data.size()});
    }
    return out;
}

std::optional<std::uint32_t> FakeFileSystem::attributes(std::string_view path) {
    std::string n = normalize(path);
    if (n.size() == 3 && driveExists(n)) {
        return Directory;
    }
    auto it = nodes_.find(text::toLower(n));
    if (it == nodes_.end()) {
        return std::nullopt;
    }
    return it->second.attributes;
}

std::optional<std::string> FakeFileSystem::storedName(std::string_view path) {
    auto it = nodes_.find(key(path));
    if (it == nodes_.end()) {
        return std::nullopt;
    }
    return it->second.path.substr(it->second.path.rfind('\\') + 1);
}

std::unique_ptr<platform::InputFile> FakeFileSystem::openRead(std::string_view path) {
    auto it = nodes_.find(key(path));
    if (it == nodes_.end() || (it->second.attributes & Directory)) {
        return nullptr;
    }
    ++reads_[key(path)];
    return std::make_unique<StringInput>(it->second.data);
}

bool FakeFileSystem::refusesWrite(std::string_view path) const {
    if (failWrites_) {
        return true;
    }
    const std::string k = key(path);
    for (const std::string& tree : readOnlyTrees_) {
        if (k == tree || k.compare(0, tree.size() + 1, tree + "\\") == 0) {
            return true;
        }
    }
    return false;
}

bool FakeFileSystem::locked(std::string_view path) const {
    const std::string k = key(path);
    for (const std::string& l : locked_) {
        if (k == l || k.compare(0, l.size() + 1, l + "\\") == 0) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<platform::OutputFile> FakeFileSystem::openAppend(std::string_view path) {
    if (refusesWrite(path)) {
        return nullptr;
    }
    std::string n = normalize(path);
    auto it = nodes_.find(text::toLower(n));
    if (it == nodes_.end()) {
        if (!ensureFolders(parentOf(n)) || parentOf(n).empty()) {
            return nullptr;
        }
        addFile(n, {});
    } else if (it->second.attributes & Directory) {
        return nullptr;
    }
    return std::make_unique<FakeOutputFile>(*this, n, true);
}

std::unique_ptr<platform::OutputFile> FakeFileSystem::openReplace(std::string_view path) {
    if (refusesWrite(path)) {
        return nullptr;
    }
    std::string n = normalize(path);
    auto a = attributes(parentOf(n));
    if (!a || !(*a & Directory)) {
        return nullptr;
    }
    return std::make_unique<FakeOutputFile>(*this, n, false);
}

bool FakeFileSystem::consumeCommit() {
    if (commitBudget_ < 0) {
        return true;
    }
    if (commitBudget_ == 0) {
        return false;
    }
    --commitBudget_;
    return true;
}

bool FakeFileSystem::createFolder(std::string_view path) {
    return (exists(path) || !refusesWrite(path)) && ensureFolders(normalize(path));
}

bool FakeFileSystem::deleteFile(std::string_view path) {
    if (failWrites_ || locked(path)) {
        return false;
    }
    auto it = nodes_.find(key(path));
    if (it == nodes_.end() || (it->second.attributes & Directory)) {
        return false;
    }
    nodes_.erase(it);
    return true;
}

bool FakeFileSystem::deleteFolder(std::string_view path) {
    if (failWrites_ || locked(path)) {
        return false;
    }
    std::string k = key(path);
    auto it = nodes_.find(k);
    if (it == nodes_.end() || !(it->second.attributes & Directory)) {
        return false;
    }
    std::string prefix = k + "\\";
    nodes_.erase(it);
    for (auto c = nodes_.lower_bound(prefix);
         c != nodes_.end() && c->first.compare(0, prefix.size(), prefix) == 0;) {
        c = nodes_.erase(c);
    }
    return true;
}

bool FakeFileSystem::copyFile(std::string_view from, std::string_view to, bool overwrite) {
    if (refusesWrite(to)) {
        return false;
    }
    auto src = content(from);
    if (!src) {
        return false;
    }
    if (!overwrite && exists(to)) {
        return false;
    }
    auto a = attributes(parentOf(normalize(to)));
    if (!a || !(*a & Directory)) {
        return false;
    }
    addFile(to, *src, *attributes(from));
    return true;
}

bool FakeFileSystem::copyFolder(std::string_view from, std::string_view to) {
    if (refusesWrite(to) || !folderExists(from)) {
        return false;
    }
    std::string src = key(from);
    std::string dst = normalize(to);
    ensureFolders(dst);
    std::string prefix = src + "\\";
    std::vector<Node> copies;
    for (auto it = nodes_.lower_bound(prefix);
         it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        Node n = it->second;
        n.path = dst + n.path.substr(normalize(from).size());
        copies.push_back(n);
    }
    for (auto& n : copies) {
        if (n.attributes & Directory) {
            addFolder(n.path, n.attributes);
        } else {
            addFile(n.path, n.data, n.attributes);
        }
    }
    return true;
}

bool FakeFileSystem::moveFile(std::string_view from, std::string_view to) {
    if (failWrites_) {
        return false;
    }
    auto src = content(from);
    if (!src) {
        return false;
    }
    std::uint32_t a = *attributes(from);
    auto pa = attributes(parentOf(normalize(to)));
    if (!pa || !(*pa & Directory)) {
        return false;
    }
    nodes_.erase(key(from));
    nodes_.erase(key(to));
    addFile(to, *src, a);
    return true;
}

std::vector<platform::DriveInfo> FakeFileSystem::drives() {
    return drives_;
}

std::optional<platform::VolumeInfo> FakeFileSystem::volumeInfo(std::string_view root) {
    std::string n = normalize(root);
    if (!driveExists(n)) {
        return std::nullopt;
    }
    char letter = text::toUpperChar(n[0]);
    if (volumeUnreadable_[letter]) {
        return std::nullopt;
    }
    for (const auto& d : drives_) {
        if (d.letter == letter && !d.ready) {
            return std::nullopt;
        }
    }
    return platform::VolumeInfo{"FAKE", "NTFS", 0x1234};
}

std::string FakeFileSystem::hostPath(std::string_view windowsPath) {
    return std::string(windowsPath);
}

std::string FakeFileSystem::windowsPath(std::string_view hostPath) {
    return std::string(hostPath);
}

}  // namespace nightjar::mock
