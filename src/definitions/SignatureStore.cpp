#include "definitions/SignatureStore.h"

#include <algorithm>
#include <utility>

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "definitions/ThreatCatalog.h"
#include "platform/Registry.h"
#include "util/Text.h"

namespace nightjar::definitions {

namespace {

constexpr std::string_view kLoadingStatus = "Loading definitions, please wait...";

/// The text of `s` up to the first `sep` (all of it when there is none).
std::string_view upTo(std::string_view s, char sep) {
    return s.substr(0, s.find(sep));
}

/// Field `index` of `s` split at `sep`; `found` is false when `s` has fewer fields.
std::string_view field(std::string_view s, char sep, std::size_t index, bool& found) {
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t hit = s.find(sep);
        if (hit == std::string_view::npos) {
            found = false;
            return {};
        }
        s.remove_prefix(hit + 1);
    }
    found = true;
    return upTo(s, sep);
}

std::string_view field(std::string_view s, char sep, std::size_t index) {
    bool found = false;
    return field(s, sep, index, found);
}

/// Every doubled "\" and "/" made single, one pass each.
std::string collapseSeparators(std::string_view s) {
    return text::replaceAll(text::collapseBackslashes(s), "//", "/");
}

/// "HKEY_..." of a hive code of the definition files; "" for a code that names no hive.
std::string_view hiveRootName(std::string_view code) {
    const auto hive = platform::hiveFromCode(code);
    return hive ? platform::hiveName(*hive) : std::string_view();
}

/// A whole hive, named on its own (with or without one more final backslash), in lower
/// case. The 9x-only HKEY_DYN_DATA is not among them.
bool isWholeHive(std::string_view c) {
    if (!c.starts_with("hkey_")) {
        return false;
    }
    if (!c.empty() && c.back() == '\\') {
        c.remove_suffix(1);
    }
    const auto hive = platform::hiveFromName(c);
    return hive && *hive != platform::Hive::DynData && text::iequals(c, platform::hiveName(*hive));
}

/// Whether `s` holds "\\" anywhere.
bool hasDoubledBackslash(std::string_view s) {
    return s.find("\\\\") != std::string_view::npos;
}

/// Length of the UTF-8 character that `s` starts with.
std::size_t firstCharLength(std::string_view s) {
    std::size_t n = 1;
    while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

}  // namespace

SignatureStore::SignatureStore(platform::FileSystem& fs, PlaceholderExpander& expander,
                               std::string dataFolder)
    : fs_(fs), expander_(expander), dataFolder_(std::move(dataFolder)) {}

void SignatureStore::folderOf(std::string_view location, bool fileTable, std::string& folder) {
    expander_.ExpandInto(location, folder);
    finishFolder(fileTable, folder);
}

void SignatureStore::finishFolder(bool fileTable, std::string& folder) {
    // Each collapse is a plain Replace of "\\\\" by "\\"; most folders have no pair.
    const bool doubled = hasDoubledBackslash(folder);
    if (doubled) {
        folder = text::collapseBackslashes(folder);
    }
    if (folder.empty()) {
        return;
    }
    if (doubled) {
        folder.push_back('\\');
        folder = text::collapseBackslashes(folder);
    } else if (folder.back() != '\\') {
        // Without a pair, a final "\" already there is what collapsing the added one gives.
        folder.push_back('\\');
    }
    if (!fileTable) {
        folder.pop_back();  // the folder table keeps folders without a final "\"
    }
}

bool SignatureStore::loadTable(std::string_view fileName, bool fileTable, SignatureTable& table,
                               LoadObserver& observer) {
    DefinitionReader reader(fs_, DataFile(dataFolder_, fileName));
    if (reader.isOpen()) {
        table.reserve(kTableSize);
    }
    std::string_view line;
    // The row's folder followed by its name: the text the file table's protection test
    // sees, and where both texts are made before the row is stored.
    std::string key;
    // Adds the row whose folder `key` holds (finished, not yet lowered); false once the
    // table can take no more rows.
    const auto addRow = [&](std::string_view head, std::string_view type) {
        const std::size_t folderLength = key.size();
        const std::size_t equals = head.find('=');
        key.append(text::trimView(head.substr(0, equals)));
        // The name starts a character, so lowering the joined texts lowers each as alone.
        text::lowerInto(key, key);
        const std::string_view folder = std::string_view(key).substr(0, folderLength);
        const std::string_view name = std::string_view(key).substr(folderLength);
        const std::string_view threat = equals == std::string_view::npos
                                            ? std::string_view()
                                            : upTo(head.substr(equals + 1), '=');
        // The file table tests folder and name joined, the folder table the folder alone.
        const bool keep = !isProtectedLower(fileTable ? std::string_view(key) : folder);
        // A table that can hold no more text ignores later lines, as a full one does.
        return !(keep && !table.push_back({folder, name, type, threat})) &&
               table.size() < kTableSize;
    };
    while (reader.isOpen() && !observer.stopRequested() && reader.next(line)) {
        const std::string_view view = line;
        std::string_view head = view;
        // A line without a type field gets an empty type: the type of an earlier line
        // would be a guess about a record its writer left incomplete.
        std::string_view type;
        std::string_view location;
        key.clear();
        if (const std::size_t bar = view.find('|'); bar != std::string_view::npos) {
            head = view.substr(0, bar);
            const std::string_view rest = view.substr(bar + 1);
            const std::size_t typeBar = rest.find('|');
            if (typeBar != std::string_view::npos) {
                type = upTo(rest.substr(typeBar + 1), '|');
                if (fileTable) {
                    type = FileDefinitionType(type);
                }
            }
            location = rest.substr(0, typeBar);
            folderOf(location, fileTable, key);
        }
        bool room = addRow(head, type);
        // A line at the system folder stands for SysWOW64 too, where 32-bit programs keep
        // what they put there on a 64-bit machine.
        if (room) {
            if (auto wow64 = expander_.Wow64Expansion(location)) {
                key = std::move(*wow64);
                finishFolder(fileTable, key);
                room = addRow(head, type);
            }
        }
        observer.pump();
        if (!room) {
            break;
        }
    }
    return !observer.stopRequested();
}

void SignatureStore::LoadFileSignatures(LoadObserver& observer) {
    if (filesLoaded_) {
        observer.loadingFinished();
        return;
    }
    fileSignatures_.clear();
    directorySignatures_.clear();
    observer.loadingStarted(kLoadingStatus);
    observer.pump();
    const bool complete = loadTable(kFileDefinition, true, fileSignatures_, observer) &&
                          loadTable(kDirectoryDefinition, false, directorySignatures_, observer);
    if (!complete) {
        // Tables cut short by a stop request would silently lack signatures for the rest
        // of the run; leaving them unfilled makes the next scan load them whole.
        fileSignatures_.clear();
        directorySignatures_.clear();
        return;
    }
    filesLoaded_ = true;
    ++generation_;
    observer.loadingFinished();
}

bool SignatureStore::LoadSafetyEntries(LoadObserver& observer) {
    std::string text;
    DefinitionReader reader(fs_, DataFile(dataFolder_, kSafety));
    std::string line;
    while (reader.isOpen() && !observer.stopRequested() && reader.next(line)) {
        const std::string_view view(line);
        std::string_view head = view;
        // A line without "|" has no kind (not the kind of the line before), so it adds
        // nothing.
        std::string_view kind;
        std::string location;
        if (const std::size_t bar = view.find('|'); bar != std::string_view::npos) {
            kind = view.substr(0, bar);
            head = field(view, '|', 1);
            location = text::collapseBackslashes(expander_.Expand(
                text::replaceAll(field(view, '|', 2), "[drive]", expander_.SystemDriveRoot())));
        }
        std::string entry;
        if (kind == "SFILE" || kind == "SEXE" || kind == "SDLL") {
            entry = location.empty() ? text::trim(upTo(head, '=')) : collapseSeparators(location);
        } else if (kind == "SREG") {
            bool hasValue = false;
            const std::string_view valueName = field(location, '^', 2, hasValue);
            entry.assign(hiveRootName(field(location, '^', 0)));
            entry.append("\\").append(field(location, '^', 1));
            if (hasValue) {
                entry.append("\\").append(valueName);
            }
            entry = collapseSeparators(entry);
        } else if (kind == "SDIR") {
            entry = collapseSeparators(location);
        } else {
            observer.pump();
            continue;
        }
        text.append(entry).append("\r\n");
        observer.pump();
    }
    safetyEntries_ = text::split(text, "\r\n");

    protectedKeys_.clear();
    keyLengths_.clear();
    // Nearly every candidate of a load is unprotected: with sparse buckets most misses end
    // at an empty bucket instead of comparing and rehashing the keys of a full one.
    protectedKeys_.max_load_factor(0.25F);
    for (const auto& element : safetyEntries_) {
        std::string s = text::trim(text::toLower(element));
        for (char strip : {'/', '\\'}) {
            if (!s.empty() && s.back() == strip) {
                s.pop_back();
            }
        }
        if (s.empty()) {
            continue;
        }
        // candidate == s, candidate == s + "\", or s == candidate + "\".
        if (s.back() == '\\' && s.size() > 1) {
            protectedKeys_.insert(s.substr(0, s.size() - 1));
        }
        protectedKeys_.insert(s + '\\');
        protectedKeys_.insert(std::move(s));
    }
    for (const auto& key : protectedKeys_) {
        keyLengths_.resize(std::max(keyLengths_.size(), key.size() + 1));
        keyLengths_[key.size()] = true;
    }
    return true;
}

bool SignatureStore::isProtectedLower(std::string_view candidate) const {
    std::string_view c = text::trimView(candidate);
    // Safety entries name drive C; a candidate on any drive is compared as if on C.
    std::string onDriveC;
    if (!c.empty() && c.front() != 'c' && c.find(":\\") != std::string_view::npos) {
        onDriveC = "c" + std::string(c.substr(firstCharLength(c)));
        c = onDriveC;
    }
    for (char strip : {'/', '\\'}) {
        if (!c.empty() && c.back() == strip) {
            c.remove_suffix(1);
        }
    }
    if (c.empty()) {
        return true;  // an empty path is never acted on
    }
    if (protectedKeys_.empty()) {
        return false;
    }
    // A whole hive is never touched, once any protection is in force. Most candidates have
    // a length that no key has, which settles them without hashing.
    return isWholeHive(c) || (c.size() < keyLengths_.size() && keyLengths_[c.size()] &&
                              protectedKeys_.find(c) != protectedKeys_.end());
}

bool SignatureStore::IsProtectedPath(std::string_view candidate) const {
    return isProtectedLower(text::toLower(candidate));
}

long SignatureStore::CountDefinitions() {
    auto count = [this](std::string_view fileName) {
        return static_cast<long>(
            DefinitionReader::countLines(fs_, DataFile(dataFolder_, fileName)));
    };
    counts_ = DefinitionCounts{};
    counts_.cookies = count(kBlockedCookies);
    counts_.exe = count(kExeDefinition);
    counts_.registry = count(kRegistryDefinition);
    counts_.files = count(kFileDefinition) + count(kDirectoryDefinition);
    counts_.total = counts_.cookies + counts_.exe + counts_.registry + counts_.files;
    return counts_.total;
}

}  // namespace nightjar::definitions
