#include "removal/QuarantineStore.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "definitions/DefinitionFiles.h"
#include "removal/RegFileKey.h"
#include "removal/RegFileReader.h"
#include "removal/RegFileWriter.h"
#include "util/Text.h"

namespace nightjar::removal {

namespace {

constexpr std::string_view kLogName = definitions::kQuarantineLogFile;
constexpr std::string_view kIndexName = "QuarantineIndex.json";
constexpr std::string_view kRegExtension = ".reg";
constexpr std::string_view kEol = "\r\n";
/// Backup names are cut to this many bytes so that the path stays within what Windows takes.
constexpr std::size_t kMaxStem = 120;
/// Registry keys nest at most this deep; folder walks stop there too.
constexpr int kMaxDepth = 512;
constexpr int kMaxCounter = 99999;

constexpr std::pair<QuarantineKind, std::string_view> kKindNames[] = {
    {QuarantineKind::File, "file"},
    {QuarantineKind::Folder, "folder"},
    {QuarantineKind::RegistryValue, "registry_value"},
    {QuarantineKind::RegistryKey, "registry_key"},
};

std::string_view kindName(QuarantineKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return "file";
}

std::optional<QuarantineKind> kindFromName(std::string_view name) {
    for (const auto& [k, n] : kKindNames) {
        if (n == name) {
            return k;
        }
    }
    return std::nullopt;
}

std::string_view withoutTrailingBackslashes(std::string_view p) {
    while (p.size() > 1 && p.back() == '\\') {
        p.remove_suffix(1);
    }
    return p;
}

std::string_view lastComponent(std::string_view p) {
    p = withoutTrailingBackslashes(p);
    const std::size_t slash = p.rfind('\\');
    return slash == std::string_view::npos ? p : p.substr(slash + 1);
}

std::string_view parentOf(std::string_view p) {
    p = withoutTrailingBackslashes(p);
    const std::size_t slash = p.rfind('\\');
    return slash == std::string_view::npos ? std::string_view() : p.substr(0, slash);
}

/// A name a file can carry: characters Windows refuses in names become "_", and a name
/// may not end in a dot or a blank.
std::string fileNameOf(std::string_view wanted) {
    std::string out;
    out.reserve(wanted.size());
    for (char c : wanted) {
        const auto b = static_cast<unsigned char>(c);
        const bool bad =
            b < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
        out.push_back(bad ? '_' : c);
    }
    if (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
        out.back() = '_';
    }
    return out.empty() ? std::string("_") : out;
}

/// The backup name of a key or value: hive name, key path and value name with every "/",
/// ":" and "\" removed, cut at a character boundary.
std::string backupStem(platform::Hive hive, std::string_view path, std::string_view valueName) {
    std::string joined(platform::hiveName(hive));
    joined += path;
    joined += valueName;
    std::string kept;
    for (char c : joined) {
        if (c != '/' && c != ':' && c != '\\') {
            kept.push_back(c);
        }
    }
    if (kept.size() > kMaxStem) {
        std::size_t cut = kMaxStem;
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        kept.resize(cut);
    }
    return fileNameOf(kept);
}

std::string keyText(platform::Hive hive, std::string_view path) {
    std::string t(platform::hiveName(hive));
    if (!path.empty()) {
        t += "\\";
        t += path;
    }
    return t;
}

/// Reads into `buf` until it holds data again or the file ends.
struct Stream {
    std::unique_ptr<platform::InputFile> in;
    std::string buf = std::string(65536, '\0');
    std::size_t pos = 0;
    std::size_t len = 0;
    bool fill() {
        if (pos < len) {
            return true;
        }
        pos = 0;
        len = in->read(buf.data(), buf.size());
        return len > 0;
    }
};

}  // namespace

class QuarantineStore::Impl {
  public:
    bool inRemoval = false;
    /// Lower-cased source path to its copy's name, for the running removal.
    std::map<std::string, std::string> copies;
};

QuarantineStore::QuarantineStore(platform::FileSystem& fs, platform::Registry& registry,
                                 std::string dataFolder, std::function<std::string()> now)
    : fs_(fs),
      registry_(registry),
      dataFolder_(std::move(dataFolder)),
      folder_(std::string(withoutTrailingBackslashes(dataFolder_)) + "\\quarantine"),
      now_(std::move(now)),
      impl_(std::make_unique<Impl>()) {}

QuarantineStore::~QuarantineStore() = default;

std::string QuarantineStore::pathOf(std::string_view name) const {
    return folder_ + "\\" + std::string(name);
}

bool QuarantineStore::QuarantineFolder() {
    return fs_.folderExists(folder_) || (fs_.createFolder(folder_) && fs_.folderExists(folder_));
}

void QuarantineStore::beginRemoval() {
    impl_->inRemoval = true;
    impl_->copies.clear();
}

std::optional<std::string> QuarantineStore::uniqueName(std::string_view stem,
                                                       std::string_view extension) {
    const std::vector<QuarantineItem> items = loadIndex();
    auto taken = [&](const std::string& name) {
        if (text::iequals(name, kLogName) || text::iequals(name, kIndexName) ||
            fs_.exists(pathOf(name))) {
            return true;
        }
        return std::any_of(items.begin(), items.end(), [&](const QuarantineItem& item) {
            return text::iequals(item.name, name);
        });
    };
    std::string name = std::string(stem) + std::string(extension);
    for (int n = 1; taken(name); ++n) {
        if (n > kMaxCounter) {
            return std::nullopt;
        }
        char counter[16];
        std::snprintf(counter, sizeof counter, ".%03d", n);
        name = std::string(stem) + counter + std::string(extension);
    }
    return name;
}

bool QuarantineStore::sameFile(std::string_view original, std::string_view copy) {
    Stream a{fs_.openRead(original)};
    Stream b{fs_.openRead(copy)};
    if (!a.in || !b.in) {
        return false;
    }
    for (;;) {
        const bool moreA = a.fill();
        const bool moreB = b.fill();
        if (!moreA || !moreB) {
            return moreA == moreB;
        }
        const std::size_t n = std::min(a.len - a.pos, b.len - b.pos);
        if (a.buf.compare(a.pos, n, b.buf, b.pos, n) != 0) {
            return false;
        }
        a.pos += n;
        b.pos += n;
    }
}

bool QuarantineStore::sameTree(std::string_view original, std::string_view copy, int depth) {
    if (depth > kMaxDepth || !fs_.folderExists(copy)) {
        return false;
    }
    auto entries = fs_.list(original);
    if (!entries) {
        return false;
    }
    for (const platform::DirEntry& e : *entries) {
        if ((e.attributes & platform::attr::ReparsePoint) != 0) {
            continue;  // a walk does not enter links, and neither does the copy
        }
        const std::string from = std::string(original) + "\\" + e.name;
        const std::string to = std::string(copy) + "\\" + e.name;
        if (e.isDirectory() ? !sameTree(from, to, depth + 1) : !sameFile(from, to)) {
            return false;
        }
    }
    return true;
}

std::vector<QuarantineItem> QuarantineStore::loadIndex() const {
    std::vector<QuarantineItem> items;
    std::string text;
    if (!fs_.readAll(pathOf(kIndexName), text)) {
        return items;
    }
    try {
        const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
        if (!j.is_array()) {
            return items;
        }
        for (const nlohmann::json& e : j) {
            if (!e.is_object()) {
                continue;
            }
            auto field = [&e](const char* key) -> const std::string* {
                auto it = e.find(key);
                return it != e.end() && it->is_string() ? it->get_ptr<const std::string*>()
                                                        : nullptr;
            };
            const std::string* time = field("time");
            const std::string* kind = field("kind");
            const std::string* original = field("original");
            const std::string* value = field("value");
            const std::string* name = field("name");
            auto k = kind ? kindFromName(*kind) : std::nullopt;
            if (!time || !k || !original || !name || name->empty()) {
                continue;
            }
            items.push_back(
                QuarantineItem{*time, *k, *original, value ? *value : std::string(), *name});
        }
    } catch (...) {
        // A damaged index reads as far as it could be taken.
    }
    return items;
}

bool QuarantineStore::saveIndex(const std::vector<QuarantineItem>& items) {
    try {
        nlohmann::json j = nlohmann::json::array();
        for (const QuarantineItem& item : items) {
            j.push_back({{"time", item.time},
                         {"kind", kindName(item.kind)},
                         {"original", item.original},
                         {"value", item.valueName},
                         {"name", item.name}});
        }
        const std::string text = j.dump(1, '\t', false, nlohmann::json::error_handler_t::replace);
        return QuarantineFolder() && fs_.writeAll(pathOf(kIndexName), text + "\r\n");
    } catch (...) {
        return false;
    }
}

void QuarantineStore::record(QuarantineKind kind, std::string original, std::string valueName,
                             std::string name) {
    std::vector<QuarantineItem> items = loadIndex();
    items.push_back(QuarantineItem{now_ ? now_() : std::string(), kind, std::move(original),
                                   std::move(valueName), std::move(name)});
    // A copy that is not in the index still lies in the folder for the user to find.
    saveIndex(items);
}

void QuarantineStore::appendEntry(std::string_view first, std::string_view second) {
    // One write per entry: the time and its first line, its second line, two empty lines.
    std::string entry = now_ ? now_() : std::string();
    entry += first;
    entry += kEol;
    entry += second;
    entry += kEol;
    entry += kEol;
    entry += kEol;
    if (!QuarantineFolder()) {
        return;
    }
    auto out = fs_.openAppend(pathOf(kLogName));
    if (out && out->write(entry)) {
        out->commit();
    }
}

std::optional<std::string> QuarantineStore::QuarantineCopy(std::string_view source,
                                                           std::string_view fileName) {
    const std::string sourceKey = text::toLower(source);
    if (impl_->inRemoval) {
        auto it = impl_->copies.find(sourceKey);
        if (it != impl_->copies.end() && fs_.fileExists(pathOf(it->second))) {
            return it->second;
        }
    }
    if (!fs_.fileExists(source) || !QuarantineFolder()) {
        return std::nullopt;
    }
    std::string wanted(fileName.empty() ? lastComponent(source) : fileName);
    auto name = uniqueName(fileNameOf(wanted), "");
    if (!name) {
        return std::nullopt;
    }
    const std::string copy = pathOf(*name);
    if (!fs_.copyFile(source, copy, false) || !sameFile(source, copy)) {
        fs_.deleteFile(copy);
        return std::nullopt;
    }
    record(QuarantineKind::File, std::string(source), {}, *name);
    if (impl_->inRemoval) {
        impl_->copies[sourceKey] = *name;
    }
    return name;
}

FolderRemoval QuarantineStore::QuarantineFolderCopy(std::string_view folder) {
    const std::string source(withoutTrailingBackslashes(folder));
    const std::string sourceKey = text::toLower(source);
    bool copied = false;
    if (impl_->inRemoval) {
        auto it = impl_->copies.find(sourceKey);
        copied = it != impl_->copies.end() && fs_.folderExists(pathOf(it->second));
    }
    if (!copied) {
        if (!fs_.folderExists(source) || !QuarantineFolder()) {
            return FolderRemoval::CopyFailed;
        }
        auto name = uniqueName(fileNameOf(lastComponent(source)), "");
        if (!name) {
            return FolderRemoval::CopyFailed;
        }
        const std::string copy = pathOf(*name);
        if (!fs_.copyFolder(source, copy) || !sameTree(source, copy, 0)) {
            fs_.deleteFolder(copy);
            return FolderRemoval::CopyFailed;
        }
        record(QuarantineKind::Folder, source, {}, *name);
        if (impl_->inRemoval) {
            impl_->copies[sourceKey] = *name;
        }
    }
    fs_.deleteFolder(source);
    return fs_.exists(source) ? FolderRemoval::DeleteFailed : FolderRemoval::Removed;
}

void QuarantineStore::LogQuarantinedFile(std::string_view source,
                                         std::string_view quarantinedName) {
    if (!firstPass_) {
        return;
    }
    appendEntry(" - File: " + std::string(quarantinedName), " - Location: " + std::string(source));
}

void QuarantineStore::LogRegistryRemoval(std::string_view keyText, std::string_view valueText) {
    if (!firstPass_) {
        return;
    }
    appendEntry(" - Key: " + std::string(keyText), "Value: " + std::string(valueText));
}

std::optional<std::string> QuarantineStore::writeBackup(QuarantineKind kind, platform::Hive hive,
                                                        std::string_view path,
                                                        std::string_view valueName,
                                                        const std::vector<RegFileKey>& keys) {
    auto bytes = RegFileWriter::fileBytes(keys);
    if (!bytes || !QuarantineFolder()) {
        return std::nullopt;
    }
    auto name = uniqueName(backupStem(hive, path, valueName), kRegExtension);
    if (!name || !fs_.writeAll(pathOf(*name), *bytes)) {
        return std::nullopt;
    }
    record(kind, keyText(hive, path), std::string(valueName), *name);
    return name;
}

std::optional<std::string> QuarantineStore::BackupRegistryValue(platform::Hive hive,
                                                                std::string_view path,
                                                                std::string_view valueName) {
    if (!firstPass_) {
        return std::nullopt;
    }
    auto value = registry_.queryValue(hive, path, valueName, platform::KeyAccess::Read);
    if (!value) {
        return std::nullopt;
    }
    std::vector<RegFileKey> keys(1);
    keys[0].hive = hive;
    keys[0].path = std::string(path);
    keys[0].values.push_back(RegFileValue{std::string(valueName), std::move(*value)});
    return writeBackup(QuarantineKind::RegistryValue, hive, path, valueName, keys);
}

bool QuarantineStore::gatherKey(platform::Hive hive, const std::string& path, int depth,
                                std::vector<RegFileKey>& keys) {
    auto names = registry_.valueNames(hive, path);
    auto subkeys = registry_.subkeys(hive, path);
    if (depth > kMaxDepth || !names || !subkeys) {
        return false;
    }
    RegFileKey key;
    key.hive = hive;
    key.path = path;
    for (const std::string& name : *names) {
        if (auto v = registry_.queryValue(hive, path, name, platform::KeyAccess::Read)) {
            key.values.push_back(RegFileValue{name, std::move(*v)});
        }
    }
    keys.push_back(std::move(key));
    for (const std::string& sub : *subkeys) {
        const std::string child = path.empty() ? sub : path + "\\" + sub;
        // A subkey gone since the listing has nothing left to keep.
        if (!gatherKey(hive, child, depth + 1, keys) &&
            registry_.keyExists(hive, child, platform::KeyAccess::Read)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> QuarantineStore::BackupRegistryKey(platform::Hive hive,
                                                              std::string_view path) {
    if (!firstPass_) {
        return std::nullopt;
    }
    std::vector<RegFileKey> keys;
    if (!gatherKey(hive, std::string(path), 0, keys)) {
        return std::nullopt;
    }
    return writeBackup(QuarantineKind::RegistryKey, hive, path, {}, keys);
}

std::vector<QuarantineItem> QuarantineStore::items() const {
    return loadIndex();
}

RestoreResult QuarantineStore::restorePath(const QuarantineItem& item, bool force) {
    const bool folder = item.kind == QuarantineKind::Folder;
    const std::string copy = pathOf(item.name);
    if (!(folder ? fs_.folderExists(copy) : fs_.fileExists(copy))) {
        return RestoreResult::NotFound;
    }
    const bool existed = fs_.exists(item.original);
    if (existed && !force) {
        return RestoreResult::TargetExists;
    }
    const std::string parent(parentOf(item.original));
    if (!parent.empty() && !fs_.folderExists(parent) && !fs_.createFolder(parent)) {
        return RestoreResult::Failed;
    }
    const auto remove = [&](const std::string& path) {
        return folder ? fs_.deleteFolder(path) : fs_.deleteFile(path);
    };
    const bool copied =
        folder ? fs_.copyFolder(copy, item.original) && sameTree(copy, item.original, 0)
               : fs_.copyFile(copy, item.original, true) && sameFile(copy, item.original);
    if (!copied) {
        if (!existed) {
            remove(item.original);
        }
        return RestoreResult::Failed;
    }
    remove(copy);
    return RestoreResult::Restored;
}

RestoreResult QuarantineStore::restoreRegistry(const QuarantineItem& item, bool force) {
    const std::string copy = pathOf(item.name);
    std::string bytes;
    if (!fs_.fileExists(copy) || !fs_.readAll(copy, bytes)) {
        return RestoreResult::NotFound;
    }
    auto keys = RegFileReader::parse(bytes);
    if (!keys) {
        return RestoreResult::Failed;
    }
    if (!force) {
        for (const RegFileKey& key : *keys) {
            for (const RegFileValue& v : key.values) {
                if (registry_.queryValue(key.hive, key.path, v.name, platform::KeyAccess::Read)) {
                    return RestoreResult::TargetExists;
                }
            }
        }
    }
    for (const RegFileKey& key : *keys) {
        if (!registry_.createKey(key.hive, key.path)) {
            return RestoreResult::Failed;
        }
        for (const RegFileValue& v : key.values) {
            if (!registry_.setValue(key.hive, key.path, v.name, v.value)) {
                return RestoreResult::Failed;
            }
        }
    }
    fs_.deleteFile(copy);
    return RestoreResult::Restored;
}

RestoreResult QuarantineStore::restore(std::string_view name, bool force) {
    std::vector<QuarantineItem> items = loadIndex();
    auto it = std::find_if(items.begin(), items.end(), [&](const QuarantineItem& item) {
        return text::iequals(item.name, name);
    });
    if (it == items.end()) {
        return RestoreResult::NotFound;
    }
    RestoreResult result = RestoreResult::Failed;
    switch (it->kind) {
        case QuarantineKind::File:
        case QuarantineKind::Folder:
            result = restorePath(*it, force);
            break;
        case QuarantineKind::RegistryValue:
        case QuarantineKind::RegistryKey:
            result = restoreRegistry(*it, force);
            break;
    }
    if (result != RestoreResult::Restored) {
        return result;
    }
    const QuarantineItem restored = *it;
    items.erase(it);
    saveIndex(items);
    appendEntry(" - Restored: " + restored.name, " - Location: " + restored.original);
    return result;
}

}  // namespace nightjar::removal
