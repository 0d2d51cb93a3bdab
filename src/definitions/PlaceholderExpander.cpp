#include "definitions/PlaceholderExpander.h"

#include <algorithm>
#include <unordered_map>

#include "util/Text.h"

namespace nightjar::definitions {

namespace {

enum class RowKind : std::uint8_t { Folder, Empty, Profile };

struct Row {
    std::string_view placeholder;
    int csidl;
    RowKind kind;
};

constexpr int kCsidlPrograms = 2;
constexpr int kCsidlStartMenu = 11;
constexpr int kCsidlCommonStartMenu = 22;
constexpr std::size_t kSystemRow = 25;
constexpr std::size_t kUserRow = 28;
constexpr std::size_t kAllUsersRow = 29;

// In the order in which they are applied. The last two match case exactly.
constexpr std::array<Row, PlaceholderExpander::kRowCount> kRows = {{
    {"[startsp]", 29, RowKind::Folder},
    {"[appdata]", 26, RowKind::Folder},
    {"[recycle]", 10, RowKind::Empty},  // virtual folder without a path
    {"[comstar]", 30, RowKind::Folder},
    {"[comapp]", 35, RowKind::Folder},
    {"[desktop]", 25, RowKind::Folder},  // all users' desktop
    {"[comdocs]", 46, RowKind::Folder},
    {"[comfav]", 31, RowKind::Folder},
    {"[comprog]", 23, RowKind::Folder},
    {"[comstam]", 22, RowKind::Folder},
    {"[comtemp]", 45, RowKind::Folder},
    {"[cookies]", 33, RowKind::Folder},
    {"[comdesk]", 16, RowKind::Folder},  // the user's own desktop
    {"[favorit]", 6, RowKind::Folder},
    {"[fonts]", 20, RowKind::Folder},
    {"[history]", 34, RowKind::Folder},
    {"[netcach]", 32, RowKind::Folder},
    {"[progs]", 2, RowKind::Folder},
    {"[progfil]", 38, RowKind::Folder},
    {"[comprogfil]", 43, RowKind::Folder},
    {"[personl]", 5, RowKind::Folder},
    {"[recent]", 8, RowKind::Folder},
    {"[sendto]", 9, RowKind::Folder},
    {"[startup]", 7, RowKind::Folder},
    {"[strtmnu]", 11, RowKind::Folder},
    {"[system]", 37, RowKind::Folder},
    {"[templat]", 21, RowKind::Folder},
    {"[windir]", 36, RowKind::Folder},
    {"[user]", kCsidlStartMenu, RowKind::Profile},
    {"[alluser]", kCsidlCommonStartMenu, RowKind::Profile},
}};

static_assert(kRows[kSystemRow].placeholder == "[system]");

constexpr std::size_t kLongestPlaceholder = [] {
    std::size_t longest = 0;
    for (const Row& r : kRows) {
        longest = std::max(longest, r.placeholder.size());
    }
    return longest;
}();

std::string cutAtNul(std::string s) {
    auto nul = s.find('\0');
    if (nul != std::string::npos) {
        s.resize(nul);
    }
    return s;
}

}  // namespace

PlaceholderExpander::PlaceholderExpander(platform::ShellFolders& shell) : shell_(shell) {}

std::string_view PlaceholderExpander::PlaceholderAt(std::size_t row) {
    return row < kRows.size() ? kRows[row].placeholder : std::string_view{};
}

const std::string& PlaceholderExpander::FolderPath(int csidl) {
    auto lookUp = [this](int id) {
        std::string path;
        if (auto found = shell_.specialFolder(id)) {
            path = cutAtNul(std::move(*found));
            // A call that produced no text resolved nothing.
            if (!path.empty()) {
                path.push_back('\\');
            }
        }
        return path;
    };
    if (csidl < 0 || static_cast<std::size_t>(csidl) >= cache_.size()) {
        outOfRange_ = lookUp(csidl);
        return outOfRange_;
    }
    auto& slot = cache_[static_cast<std::size_t>(csidl)];
    if (!slot) {
        slot = lookUp(csidl);
    }
    return *slot;
}

const std::string& PlaceholderExpander::RowValue(std::size_t row) {
    static const std::string kEmpty;
    if (row >= kRows.size()) {
        return kEmpty;
    }
    const Row& r = kRows[row];
    switch (r.kind) {
        case RowKind::Empty:
            return kEmpty;
        case RowKind::Folder:
            return FolderPath(r.csidl);
        case RowKind::Profile: {
            auto& slot = row == kUserRow ? user_ : allUsers_;
            if (!slot) {
                // The profile folder is the Start Menu folder without its own name.
                slot = text::ireplaceAll(FolderPath(r.csidl), "\\Start Menu", "");
            }
            return *slot;
        }
    }
    return kEmpty;
}

bool PlaceholderExpander::rowIsSafe(std::size_t row) {
    if (rowSafe_[row] == 0) {
        // A value may be spliced in one left-to-right pass only when it cannot take part in
        // forming another placeholder: it is not empty (joining its neighbours) and holds no
        // bracket.
        const std::string& v = RowValue(row);
        rowSafe_[row] = !v.empty() && v.find_first_of("[]") == std::string::npos ? 1 : 2;
    }
    return rowSafe_[row] == 1;
}

int PlaceholderExpander::rowOf(std::string_view name) {
    // Every placeholder differs from the others even ignoring case, so one look-up of the
    // lower-cased name finds the only row that can match.
    static const auto kRowOfLowered = [] {
        std::unordered_map<std::string_view, std::size_t> rows;
        for (std::size_t r = 0; r < kRows.size(); ++r) {
            rows.emplace(kRows[r].placeholder, r);
        }
        return rows;
    }();
    // Placeholders are short ASCII names: a longer name matches none, and lowering the ASCII
    // letters is all the case folding a match can need.
    std::array<char, kLongestPlaceholder> lower{};
    if (name.size() > lower.size()) {
        return -1;
    }
    std::transform(name.begin(), name.end(), lower.begin(), text::toLowerChar);
    const auto found = kRowOfLowered.find(std::string_view(lower.data(), name.size()));
    if (found == kRowOfLowered.end()) {
        return -1;
    }
    const std::size_t r = found->second;
    // The last two rows match case exactly.
    const bool exact = r == kUserRow || r == kAllUsersRow;
    return exact && name != kRows[r].placeholder ? -1 : static_cast<int>(r);
}

void PlaceholderExpander::expandSequential(std::string& text) {
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        const std::string& value = RowValue(row);
        if (row == kUserRow || row == kAllUsersRow) {
            text = text::replaceAll(text, kRows[row].placeholder, value);
        } else {
            text = text::ireplaceAll(text, kRows[row].placeholder, value);
        }
    }
}

void PlaceholderExpander::ExpandInto(std::string_view text, std::string& out) {
    // Placeholders are bracketed names without inner brackets, so occurrences never
    // overlap; while every inserted value is safe (see rowIsSafe) one pass that replaces
    // each occurrence by its row's value gives exactly what the row-by-row replacement
    // gives. Anything else takes the row-by-row path.
    out.clear();
    std::size_t copied = 0;
    std::size_t open = text.find('[');
    while (open != std::string_view::npos) {
        std::size_t close = open + 1;
        while (close < text.size() && text[close] != ']' && text[close] != '[') {
            ++close;
        }
        if (close >= text.size()) {
            break;
        }
        if (text[close] == '[') {
            open = close;
            continue;
        }
        const int row = rowOf(text.substr(open, close - open + 1));
        if (row >= 0) {
            const auto r = static_cast<std::size_t>(row);
            if (!rowIsSafe(r)) {
                out.assign(text);
                expandSequential(out);
                return;
            }
            out.append(text.substr(copied, open - copied));
            out.append(RowValue(r));
            copied = close + 1;
        }
        open = text.find('[', close + 1);
    }
    out.append(text.substr(copied));
}

void PlaceholderExpander::ExpandInPlace(std::string& text) {
    if (text.find('[') == std::string::npos) {
        return;
    }
    ExpandInto(text, scratch_);
    text.swap(scratch_);
}

std::string PlaceholderExpander::Expand(std::string_view text) {
    std::string s(text);
    ExpandInPlace(s);
    return s;
}

std::string PlaceholderExpander::SystemDriveRoot() {
    if (!driveRoot_) {
        std::string path;
        if (auto found = shell_.folderLocationPath(kCsidlPrograms)) {
            path = cutAtNul(std::move(*found));
        }
        if (!path.empty() && path.back() != '\\') {
            path.push_back('\\');
        }
        driveRoot_ = path.substr(0, 3);
    }
    return *driveRoot_;
}

std::string PlaceholderExpander::SystemDirectory() {
    if (!systemDir_) {
        std::string dir = cutAtNul(shell_.systemDirectory());
        if (!dir.empty() && dir.back() != '\\') {
            dir.push_back('\\');
        }
        systemDir_ = dir;
    }
    return *systemDir_;
}

const std::string& PlaceholderExpander::SystemWow64Directory() {
    if (!wow64Dir_) {
        std::string dir = cutAtNul(shell_.systemWow64Directory().value_or(std::string()));
        if (!dir.empty() && dir.back() != '\\') {
            dir.push_back('\\');
        }
        wow64Dir_ = dir;
    }
    return *wow64Dir_;
}

std::optional<std::string> PlaceholderExpander::Wow64Expansion(std::string_view text) {
    const std::string& wow64 = SystemWow64Directory();
    const std::string_view system = kRows[kSystemRow].placeholder;
    if (wow64.empty() || !text::icontains(text, system) ||
        wow64.find_first_of("[]") != std::string::npos ||
        text::iequals(wow64, RowValue(kSystemRow))) {
        return std::nullopt;
    }
    // Put in ahead of the other rows: a folder without brackets can neither form nor hide
    // another placeholder, so the result is what the row-by-row replacement would give
    // with this folder as the system folder.
    return Expand(text::ireplaceAll(text, system, wow64));
}

std::vector<std::string> PlaceholderExpander::Expansions(std::string_view text) {
    std::vector<std::string> all{Expand(text)};
    if (auto wow64 = Wow64Expansion(text)) {
        all.push_back(std::move(*wow64));
    }
    return all;
}

}  // namespace nightjar::definitions
