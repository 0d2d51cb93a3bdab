#include "definitions/SignatureStore.h"

#include <array>
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

void assignLower(std::string& out, std::string_view in) {
    const auto& t = lowerTable();
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        out[i] = t[static_cast<unsigned char>(in[i])];
    }
}

/// One left-to-right pass replacing every doubled `c` by a single one (a plain Replace).
void collapseDoubled(std::string& s, char c) {
    std::size_t first = s.find(c);
    if (first == std::string::npos) {
        return;
    }
    std::size_t out = first;
    std::size_t i = first;
    while (i < s.size()) {
        if (s[i] == c && i + 1 < s.size() && s[i + 1] == c) {
            s[out++] = c;
            i += 2;
        } else {
            s[out++] = s[i++];
        }
    }
    s.resize(out);
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
    std::string line;
    std::string folder;
    std::string lowerFolder;
    std::string lowerName;
    std::string candidate;
    while (!observer.stopRequested() && reader.next(line)) {
        UnscrambleInPlace(line);
        const std::string_view view(line);
        std::string_view head = view;
        // A line without a type field gets an empty type: the type of an earlier line
        // would be a guess about a record its writer left incomplete.
        std::string_view type;
        folder.clear();
        std::size_t bar = view.find('|');
        if (bar != std::string_view::npos) {
            head = view.substr(0, bar);
            std::string_view rest = view.substr(bar + 1);
            folder.assign(field(rest, '|', 0));
            type = field(rest, '|', 1);
            if (fileTable && type == "TYPE") {
                type = "Spyware";
            }
            expander_.ExpandInPlace(folder);
            collapseDoubled(folder, '\\');
        }
        std::size_t eq = head.find('=');
        std::string_view name = text::trimView(head.substr(0, eq));
        std::string_view threat;
        if (eq != std::string_view::npos) {
            threat = field(head.substr(eq + 1), '=', 0);
        }
        if (!folder.empty()) {
            folder.push_back('\\');
            collapseDoubled(folder, '\\');
        }
        assignLower(lowerFolder, folder);
        if (fileTable) {
            assignLower(lowerName, name);
            candidate.assign(lowerFolder);
            candidate.append(lowerName);
        } else {
            if (!lowerFolder.empty() && lowerFolder.back() == '\\') {
                lowerFolder.pop_back();
            }
            assignLower(lowerName, name);
            candidate.assign(lowerFolder);
        }
        if (!isProtectedLowered(candidate)) {
            table.push_back(
                SignatureEntry{lowerFolder, lowerName, std::string(type), std::string(threat)});
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
    anySafetyEntry_ = !protectedKeys_.empty();
    return true;
}

bool SignatureStore::isProtectedLowered(std::string& c) const {
    trimBlanksInPlace(c);
    if (c.find(":\\") != std::string::npos) {
        c[0] = 'c';  // safety entries name drive C; a candidate on any drive is compared so
    }
    if (!c.empty() && c.back() == '/') {
        c.pop_back();
    }
    if (!c.empty() && c.back() == '\\') {
        c.pop_back();
    }
    if (c.empty()) {
        return true;  // an empty path is never acted on
    }
    if (!anySafetyEntry_) {
        return false;
    }
    // A whole hive is never touched, once any protection is in force.
    return protectedKeys_.find(std::string_view(c)) != protectedKeys_.end() || isWholeHive(c);
}

bool SignatureStore::IsProtectedPath(std::string_view candidate) const {
    std::string c;
    assignLower(c, candidate);
    return isProtectedLowered(c);
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
