#include "definitions/SignatureStore.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "platform/Registry.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace nightjar::definitions {

namespace {

constexpr std::string_view kLoadingStatus = "Loading definitions, please wait...";

// Byte table of text::toLowerChar: the loaders lower-case every path, and a table lookup
// keeps that cheap on files of 100,000 lines.
const std::array<char, 256>& lowerTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = text::toLowerChar(static_cast<char>(i));
        }
        return t;
    }();
    return table;
}

void lowerInto(char* out, std::string_view in) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const auto& t = lowerTable();
    const char* src = in.data();
    const std::size_t n = in.size();
    std::size_t i = 0;
    // Eight ASCII bytes at a time; a word with any byte above 127 goes through the table.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, src + i, 8);
        if ((x & kHigh) != 0) {
            for (std::size_t k = i; k < i + 8; ++k) {
                out[k] = t[static_cast<unsigned char>(src[k])];
            }
            continue;
        }
        // High bit of each byte: at least 'A', and above 'Z'; no byte carries into the next
        // because every byte is below 128.
        std::uint64_t geA = x + (0x80 - 'A') * kOnes;
        std::uint64_t gtZ = x + (0x7F - 'Z') * kOnes;
        std::uint64_t upper = geA & ~gtZ & kHigh;
        x |= upper >> 2;  // 0x80 >> 2 is the case bit 0x20
        std::memcpy(out + i, &x, 8);
    }
    for (; i < n; ++i) {
        out[i] = t[static_cast<unsigned char>(src[i])];
    }
}

void assignLower(std::string& out, std::string_view in) {
    out.resize(in.size());
    lowerInto(out.data(), in);
}

/// Position of the first pair of `c` in `s`, npos when there is none. Eight bytes at a
/// time: paths have many single backslashes and pairs are rare.
std::size_t findDoubled(std::string_view s, char c) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t pattern = static_cast<unsigned char>(c) * kOnes;
    const char* p = s.data();
    const std::size_t n = s.size();
    std::size_t i = 0;
    for (; i + 9 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + i, 8);
        const std::uint64_t t = x ^ pattern;
        // 0x80 exactly in the bytes equal to c.
        const std::uint64_t eq = ~(((t & kLow7) + kLow7) | t) & kHigh;
        if (eq == 0) {
            continue;
        }
        const std::uint64_t pair = eq & (eq >> 8);  // a byte and the next one
        if (pair != 0) {
            return i + static_cast<std::size_t>(std::countr_zero(pair)) / 8;
        }
        if ((eq >> 63) != 0 && p[i + 8] == c) {
            return i + 7;
        }
    }
    for (; i + 1 < n; ++i) {
        if (p[i] == c && p[i + 1] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

/// One left-to-right pass replacing every doubled `c` by a single one (a plain Replace).
/// Returns whether anything changed.
bool collapseDoubled(std::string& s, char c) {
    std::size_t i = findDoubled(s, c);
    if (i == std::string_view::npos) {
        return false;
    }
    const std::size_t n = s.size();
    std::size_t out = i;
    while (i < n) {
        if (s[i] == c && i + 1 < n && s[i + 1] == c) {
            s[out++] = c;
            i += 2;
        } else {
            s[out++] = s[i++];
        }
    }
    s.resize(out);
    return true;
}

void trimBlanksInPlace(std::string& s) {
    std::size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ') {
        --e;
    }
    std::size_t b = 0;
    while (b < e && s[b] == ' ') {
        ++b;
    }
    if (b > 0 || e < s.size()) {
        s = s.substr(b, e - b);
    }
}

/// Field `index` of `s` split at `sep`, or nullopt-like `found=false` when absent.
std::string_view field(std::string_view s, char sep, std::size_t index, bool& found) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        std::size_t hit = s.find(sep, start);
        if (hit == std::string_view::npos) {
            found = false;
            return {};
        }
        start = hit + 1;
    }
    found = true;
    std::size_t end = s.find(sep, start);
    return s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string_view field(std::string_view s, char sep, std::size_t index) {
    bool found = false;
    return field(s, sep, index, found);
}

/// "HKEY_..." of a hive code of the definition files ("0" to "5"); "" for any other code.
std::string_view hiveRootName(std::string_view code) {
    long long n = -1;
    if (!text::parseInt(code, n)) {
        return {};
    }
    switch (n) {
        case 0:
            return platform::hiveName(platform::Hive::ClassesRoot);
        case 1:
            return platform::hiveName(platform::Hive::CurrentUser);
        case 2:
            return platform::hiveName(platform::Hive::LocalMachine);
        case 3:
            return platform::hiveName(platform::Hive::Users);
        case 4:
            return platform::hiveName(platform::Hive::CurrentConfig);
        case 5:
            return platform::hiveName(platform::Hive::DynData);
        default:
            return {};
    }
}

/// A whole hive, named on its own (lower case, with or without a final backslash).
bool isWholeHive(std::string_view c) {
    if (!c.empty() && c.back() == '\\') {
        c.remove_suffix(1);
    }
    return c == "hkey_classes_root" || c == "hkey_current_user" || c == "hkey_local_machine" ||
           c == "hkey_users" || c == "hkey_current_config";
}

}  // namespace

std::size_t SignatureStore::KeyHash::operator()(std::string_view s) const noexcept {
    return std::hash<std::string_view>{}(s);
}

SignatureStore::SignatureStore(platform::FileSystem& fs, PlaceholderExpander& expander,
                               std::string dataFolder)
    : fs_(fs), expander_(expander), dataFolder_(std::move(dataFolder)) {}

bool SignatureStore::loadTable(std::string_view fileName, bool fileTable,
                               std::vector<SignatureEntry>& table, LoadObserver& observer) {
    LineReader reader(fs_, DataFile(dataFolder_, fileName));
    if (!reader.isOpen()) {
        return !observer.stopRequested();  // a missing file leaves its table empty
    }
    // Room for a full table up front: growing would move every entry several times.
    table.reserve(kTableSize);
    std::string line;
    std::string folder;
    std::string lowered;
    std::string scratch;
    while (!observer.stopRequested() && reader.next(line)) {
        UnscrambleInPlace(line);
        const std::string_view view(line);
        std::string_view head = view;
        // A line without a type field gets an empty type: the type of an earlier line
        // would be a guess about a record its writer left incomplete.
        std::string_view type;
        folder.clear();
        const std::size_t bar = view.find('|');
        if (bar != std::string_view::npos) {
            head = view.substr(0, bar);
            const std::size_t bar2 = view.find('|', bar + 1);
            std::string_view location = view.substr(bar + 1);
            if (bar2 != std::string_view::npos) {
                location = view.substr(bar + 1, bar2 - bar - 1);
                const std::size_t bar3 = view.find('|', bar2 + 1);
                type = view.substr(bar2 + 1, bar3 == std::string_view::npos ? std::string_view::npos
                                                                            : bar3 - bar2 - 1);
                if (fileTable && type == "TYPE") {
                    type = "Spyware";
                }
            }
            expander_.ExpandInto(location, folder);
            const bool changed = collapseDoubled(folder, '\\');
            if (!folder.empty()) {
                folder.push_back('\\');
                // Without a doubled backslash left by the first pass, only the one just
                // added can form a pair.
                if (changed) {
                    collapseDoubled(folder, '\\');
                } else if (folder.size() >= 2 && folder[folder.size() - 2] == '\\') {
                    folder.pop_back();
                }
            }
        }
        const std::size_t eq = head.find('=');
        const std::string_view name = text::trimView(head.substr(0, eq));
        std::string_view threat;
        if (eq != std::string_view::npos) {
            const std::string_view rest = head.substr(eq + 1);
            threat = rest.substr(0, rest.find('='));
        }

        // Lower-cased folder and name side by side: the file table tests them joined.
        lowered.resize(folder.size() + name.size());
        lowerInto(lowered.data(), folder);
        lowerInto(lowered.data() + folder.size(), name);
        std::string_view lowerFolder(lowered.data(), folder.size());
        const std::string_view lowerName(lowered.data() + folder.size(), name.size());
        std::string_view tested = lowered;
        if (!fileTable) {
            if (!lowerFolder.empty() && lowerFolder.back() == '\\') {
                lowerFolder.remove_suffix(1);
            }
            tested = lowerFolder;
        }
        if (!isProtectedNormalised(normaliseCandidate(tested, scratch))) {
            table.push_back(SignatureEntry{std::string(lowerFolder), std::string(lowerName),
                                           std::string(type), std::string(threat)});
            if (table.size() >= kTableSize) {
                observer.pump();
                break;  // the table is full: later lines are ignored
            }
        }
        observer.pump();
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
    bool complete = loadTable(kFileDefinition, true, fileSignatures_, observer) &&
                    loadTable(kDirectoryDefinition, false, directorySignatures_, observer);
    if (!complete) {
        // Tables cut short by a stop request would silently lack signatures for the rest
        // of the run; leaving them unfilled makes the next scan load them whole.
        std::vector<SignatureEntry>().swap(fileSignatures_);
        std::vector<SignatureEntry>().swap(directorySignatures_);
        return;
    }
    filesLoaded_ = true;
    ++generation_;
    observer.loadingFinished();
}

bool SignatureStore::LoadSafetyEntries(LoadObserver& observer) {
    std::string text;
    LineReader reader(fs_, DataFile(dataFolder_, kSafety));
    std::string line;
    while (reader.isOpen() && !observer.stopRequested() && reader.next(line)) {
        UnscrambleInPlace(line);
        const std::string_view view(line);
        std::string_view head = view;
        // A line without "|" has no kind (not the kind of the line before), so it adds
        // nothing.
        std::string_view kind;
        std::string location;
        std::size_t bar = view.find('|');
        if (bar != std::string_view::npos) {
            kind = view.substr(0, bar);
            head = field(view, '|', 1);
            location =
                text::replaceAll(field(view, '|', 2), "[drive]", expander_.SystemDriveRoot());
            expander_.ExpandInPlace(location);
            collapseDoubled(location, '\\');
        }
        std::string name = text::trim(field(head, '=', 0));
        std::string entry;
        bool add = true;
        if (kind == "SFILE" || kind == "SEXE" || kind == "SDLL") {
            if (!location.empty()) {
                entry = std::move(location);
                collapseDoubled(entry, '\\');
                collapseDoubled(entry, '/');
            } else {
                entry = std::move(name);
            }
        } else if (kind == "SREG") {
            bool hasValue = false;
            std::string_view valueName = field(location, '^', 2, hasValue);
            entry.assign(hiveRootName(text::trimView(field(location, '^', 0))));
            entry.push_back('\\');
            entry.append(field(location, '^', 1));
            if (hasValue) {
                entry.push_back('\\');
                entry.append(valueName);
            }
            collapseDoubled(entry, '\\');
            collapseDoubled(entry, '/');
        } else if (kind == "SDIR") {
            entry = std::move(location);
            collapseDoubled(entry, '\\');
            collapseDoubled(entry, '/');
        } else {
            add = false;
        }
        if (add) {
            text.append(entry);
            text.append("\r\n");
        }
        observer.pump();
    }
    safetyEntries_ = text::split(text, "\r\n");

    protectedKeys_.clear();
    for (const auto& element : safetyEntries_) {
        std::string s;
        assignLower(s, element);
        trimBlanksInPlace(s);
        if (!s.empty() && s.back() == '/') {
            s.pop_back();
        }
        if (!s.empty() && s.back() == '\\') {
            s.pop_back();
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
    keyFilter_.assign(kFilterBits / 64, 0);
    for (const auto& key : protectedKeys_) {
        const std::uint32_t slot = filterSlot(key);
        keyFilter_[slot / 64] |= std::uint64_t{1} << (slot % 64);
    }
    anySafetyEntry_ = !protectedKeys_.empty();
    return true;
}

std::string_view SignatureStore::normaliseCandidate(std::string_view c, std::string& scratch) {
    c = text::trimView(c);
    // Safety entries name drive C; a candidate on any drive is compared as if on C.
    if (!c.empty() && c.front() != 'c' && c.find(":\\") != std::string_view::npos) {
        scratch.assign(c);
        scratch[0] = 'c';
        c = scratch;
    }
    if (!c.empty() && c.back() == '/') {
        c.remove_suffix(1);
    }
    if (!c.empty() && c.back() == '\\') {
        c.remove_suffix(1);
    }
    return c;
}

std::uint32_t SignatureStore::filterSlot(std::string_view s) {
    // Length and three characters: cheap to compute, and texts that differ in them cannot
    // be equal.
    const std::size_t n = s.size();
    std::uint32_t h = static_cast<std::uint32_t>(n) * 0x9E3779B1u;
    if (n > 0) {
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(s[n - 1])) * 0x85EBCA77u;
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(s[n / 2])) * 0xC2B2AE3Du;
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(s[n / 4])) * 0x27D4EB2Fu;
    }
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & (kFilterBits - 1);
}

bool SignatureStore::isProtectedNormalised(std::string_view c) const {
    if (c.empty()) {
        return true;  // an empty path is never acted on
    }
    if (!anySafetyEntry_) {
        return false;
    }
    // A whole hive is never touched, once any protection is in force.
    if (isWholeHive(c)) {
        return true;
    }
    const std::uint32_t slot = filterSlot(c);
    if ((keyFilter_[slot / 64] & (std::uint64_t{1} << (slot % 64))) == 0) {
        return false;
    }
    return protectedKeys_.find(c) != protectedKeys_.end();
}

bool SignatureStore::IsProtectedPath(std::string_view candidate) const {
    std::string lowered;
    assignLower(lowered, candidate);
    std::string scratch;
    return isProtectedNormalised(normaliseCandidate(lowered, scratch));
}

long SignatureStore::CountDefinitions() {
    auto count = [this](std::string_view fileName) {
        return static_cast<long>(countLines(fs_, DataFile(dataFolder_, fileName)));
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
