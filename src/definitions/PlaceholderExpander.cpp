#include "definitions/PlaceholderExpander.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "util/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

constexpr std::size_t kLongestPlaceholder = 12;

std::string cutAtNul(std::string s) {
    auto nul = s.find('\0');
    if (nul != std::string::npos) {
        s.resize(nul);
    }
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
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
        rowSafe_[row] = (!v.empty() && v.find_first_of("[]") == std::string::npos) ? 1 : 2;
    }
    return rowSafe_[row] == 1;
}

namespace {

// Rows by a small hash of a bracketed name (lower case): its length and three of its
// characters, which set the thirty names apart (checked when compiling), so one
// comparison confirms a match.
constexpr std::size_t kSlots = 64;
constexpr std::size_t kShortestPlaceholder = 6;

constexpr std::size_t slotOf(std::size_t n, unsigned char second, unsigned char beforeLast,
                             unsigned char third) {
    return (n + second + 5 * beforeLast + 13 * third) % kSlots;
}

constexpr std::size_t slotOf(std::string_view lower) {
    const std::size_t n = lower.size();
    return slotOf(n, static_cast<unsigned char>(lower[1]), static_cast<unsigned char>(lower[n - 2]),
                  static_cast<unsigned char>(lower[n - 3]));
}

struct RowSlots {
    std::array<std::int8_t, kSlots> row{};
    bool collisionFree = true;
    constexpr RowSlots() {
        for (auto& r : row) {
            r = -1;
        }
        for (std::size_t r = 0; r < kRows.size(); ++r) {
            auto& slot = row[slotOf(kRows[r].placeholder)];
            if (slot >= 0) {
                collisionFree = false;
            }
            slot = static_cast<std::int8_t>(r);
        }
    }
};

constexpr RowSlots kRowSlots{};
static_assert(kRowSlots.collisionFree, "two placeholders share a slot: change slotOf");

/// The placeholders zero-padded to 16 characters, as two words each, and a window of 16
/// ones then 16 zeros whose bytes at 16 - n + i keep the first n characters of a word.
struct PaddedRows {
    std::array<std::array<std::uint64_t, 2>, PlaceholderExpander::kRowCount> words{};
    std::array<unsigned char, 32> window{};
    constexpr PaddedRows() {
        for (std::size_t r = 0; r < kRows.size(); ++r) {
            std::array<unsigned char, 16> bytes{};
            for (std::size_t i = 0; i < kRows[r].placeholder.size(); ++i) {
                bytes[i] = static_cast<unsigned char>(kRows[r].placeholder[i]);
            }
            for (std::size_t k = 0; k < 2; ++k) {
                std::array<unsigned char, 8> half{};
                for (std::size_t i = 0; i < 8; ++i) {
                    half[i] = bytes[8 * k + i];
                }
                words[r][k] = std::bit_cast<std::uint64_t>(half);
            }
        }
        for (std::size_t i = 0; i < 16; ++i) {
            window[i] = 0xFF;
        }
    }
};

constexpr PaddedRows kPaddedRows{};

}  // namespace

int PlaceholderExpander::rowOfPadded(const char* name, const char* folded, std::size_t n) {
    if (n < kShortestPlaceholder || n > kLongestPlaceholder) {
        return -1;
    }
    const auto f = reinterpret_cast<const unsigned char*>(folded);
    const int row = kRowSlots.row[slotOf(n, f[1], f[n - 2], f[n - 3])];
    if (row < 0) {
        return -1;
    }
    const auto r = static_cast<std::size_t>(row);
    // The last two rows match case exactly. Sixteen characters compared whatever `n`,
    // without a branch on it: those past the name are masked off.
    const char* compared = (r == kUserRow || r == kAllUsersRow) ? name : folded;
    std::uint64_t diff = kRows[r].placeholder.size() ^ n;
    for (std::size_t k = 0; k < 2; ++k) {
        std::uint64_t w;
        std::uint64_t mask;
        std::memcpy(&w, compared + 8 * k, 8);
        std::memcpy(&mask, kPaddedRows.window.data() + 16 - n + 8 * k, 8);
        diff |= (w & mask) ^ kPaddedRows.words[r][k];
    }
    return diff == 0 ? row : -1;
}

PlaceholderExpander::Leading PlaceholderExpander::LeadingValue(const char* text,
                                                               const char* lowered,
                                                               std::size_t span,
                                                               std::string_view& value) {
    if (!loweredReady_) {
        prepareLowered();
    }
    const int row = rowOfPadded(text, lowered, span);
    if (row < 0) {
        return Leading::None;
    }
    const auto r = static_cast<std::size_t>(row);
    if (rowSafe_[r] != 1 || valueHasPair_[r]) {
        return Leading::Complex;
    }
    value = loweredValues_[r];
    return Leading::Value;
}

int PlaceholderExpander::rowOf(std::string_view name) {
    const std::size_t n = name.size();
    if (n < kShortestPlaceholder || n > kLongestPlaceholder) {
        return -1;
    }
    char lower[kLongestPlaceholder];
    for (std::size_t i = 0; i < n; ++i) {
        lower[i] = asciiLower(name[i]);
    }
    return rowOf(name, std::string_view(lower, n));
}

int PlaceholderExpander::rowOf(std::string_view name, std::string_view folded) {
    const std::size_t n = name.size();
    if (n < kShortestPlaceholder || n > kLongestPlaceholder) {
        return -1;
    }
    const int row = kRowSlots.row[slotOf(folded)];
    if (row < 0) {
        return -1;
    }
    const auto r = static_cast<std::size_t>(row);
    const std::string_view p = kRows[r].placeholder;
    // The last two rows match case exactly.
    const std::string_view compared = (r == kUserRow || r == kAllUsersRow) ? name : folded;
    return p.size() == n && std::memcmp(compared.data(), p.data(), n) == 0 ? row : -1;
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
    std::size_t open = text.find('[');
    if (open == std::string_view::npos) {
        out.assign(text);  // the common case for most fields: nothing to replace
        return;
    }
    // Placeholders are bracketed names without inner brackets, so occurrences never
    // overlap; while every inserted value is safe (see rowIsSafe) one pass that replaces
    // each occurrence by its row's value gives exactly what the row-by-row replacement
    // gives. Anything else takes the row-by-row path.
    out.clear();
    std::size_t copied = 0;
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
        int row = rowOf(text.substr(open, close - open + 1));
        if (row >= 0) {
            auto r = static_cast<std::size_t>(row);
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

void PlaceholderExpander::prepareLowered() {
    // All values lower-cased, back to back, with slack after the last for copyShort.
    std::array<std::size_t, kRowCount> starts{};
    std::string pool;
    std::size_t longest = 0;
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        const std::string value = text::toLower(RowValue(row));
        starts[row] = pool.size();
        pool += value;
        longest = std::max(longest, value.size());
        rowIsSafe(row);
    }
    loweredPool_.assign(pool.size() + kCopySlack, '\0');
    std::memcpy(loweredPool_.data(), pool.data(), pool.size());
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        const std::size_t end = row + 1 < kRows.size() ? starts[row + 1] : pool.size();
        loweredValues_[row] =
            std::string_view(loweredPool_.data() + starts[row], end - starts[row]);
        valueHasPair_[row] = loweredValues_[row].find("\\\\") != std::string_view::npos;
    }
    maxLoweredValue_ = longest;
    loweredReady_ = true;
}

#if defined(__SSE2__)
std::string_view PlaceholderExpander::expandLowerShort(std::string_view text,
                                                       std::string_view lowered,
                                                       std::string& buffer, std::size_t room) {
    // The brackets of the (at most 64) characters as bits, read sixteen at a time (the
    // text's slack makes the reads past its end safe); the placeholders then follow from
    // the bits without a search. The same steps as ExpandInto.
    const std::size_t n = text.size();
    char* const out = buffer.data();
    std::uint64_t opens = 0;
    std::uint64_t closes = 0;
    for (std::size_t b = 0; b < 64; b += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + b));
        opens |= std::uint64_t{static_cast<std::uint32_t>(
                     _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('['))))}
                 << b;
        closes |= std::uint64_t{static_cast<std::uint32_t>(
                      _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(']'))))}
                  << b;
    }
    const std::uint64_t inText = n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
    opens &= inText;
    closes &= inText;
    std::size_t length = 0;
    auto put = [&](const char* from, std::size_t count) {
        copyShort(out + length, from, count);
        length += count;
    };
    auto above = [](std::size_t i) { return ~((std::uint64_t{2} << i) - 1); };  // bits > i
    std::size_t copied = 0;
    std::uint64_t todo = opens;
    while (todo != 0) {
        const auto open = static_cast<std::size_t>(std::countr_zero(todo));
        const std::uint64_t after = (opens | closes) & above(open);
        if (after == 0) {
            break;  // no "]" closes it, nor any later one
        }
        const auto close = static_cast<std::size_t>(std::countr_zero(after));
        if (((closes >> close) & 1) == 0) {
            todo = opens & ~((std::uint64_t{1} << close) - 1);  // a "[" cut it: go on from there
            continue;
        }
        const std::size_t span = close - open + 1;
        const int row = rowOfPadded(text.data() + open, lowered.data() + open, span);
        if (row >= 0) {
            const auto r = static_cast<std::size_t>(row);
            if (rowSafe_[r] != 1) {
                return expandLowerSlowly(text, buffer, room);
            }
            put(lowered.data() + copied, open - copied);
            put(loweredValues_[r].data(), loweredValues_[r].size());
            copied = close + 1;
        }
        todo = opens & above(close);
    }
    put(lowered.data() + copied, n - copied);
    return {out, length};
}
#endif

std::string_view PlaceholderExpander::expandLowerSlowly(std::string_view text, std::string& buffer,
                                                        std::size_t room) {
    // An unsafe value: the row-by-row replacement, lower-cased after. Values that hold
    // placeholders themselves can make it longer than the bound of the one-pass way.
    std::string whole(text);
    expandSequential(whole);
    if (buffer.size() < whole.size() + room) {
        buffer.resize(whole.size() + room);
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        buffer[i] = text::toLowerChar(whole[i]);
    }
    return {buffer.data(), whole.size()};
}

std::string_view PlaceholderExpander::ExpandLower(std::string_view text, std::string_view lowered,
                                                  std::string& buffer, std::size_t room) {
    if (!loweredReady_) {
        prepareLowered();
    }
    const std::size_t n = text.size();
    // The longest the expansion can get: every six characters a placeholder (the shortest
    // is six long) with the longest value.
    const std::size_t bound = n + room + (n / kShortestPlaceholder + 1) * maxLoweredValue_;
    if (buffer.size() < bound) {
        buffer.resize(bound);
    }
    char* const out = buffer.data();
#if defined(__SSE2__)
    if (n <= 64) {
        return expandLowerShort(text, lowered, buffer, room);
    }
#endif
    const char* const bracket = static_cast<const char*>(std::memchr(text.data(), '[', n));
    if (bracket == nullptr) {
        copyShort(out, lowered.data(), lowered.size());
        return {out, lowered.size()};
    }
    // As ExpandInto, taking the text between placeholders from `lowered` and the values
    // lower-cased: lower-casing the pieces is lower-casing the whole.
    std::size_t length = 0;
    // Every source has slack after it (the reader's line, the value pool), and so has the
    // buffer: the pieces go a fixed number of characters at a time.
    auto put = [&](const char* from, std::size_t count) {
        copyShort(out + length, from, count);
        length += count;
    };
    std::size_t open = static_cast<std::size_t>(bracket - text.data());
    std::size_t copied = 0;
    while (open < n) {
        // The name runs to the next "]" unless a "[" comes first; names are short.
        std::size_t close = open + 1;
        const std::size_t limit = std::min(n, open + kLongestPlaceholder);
        while (close < limit && text[close] != ']' && text[close] != '[') {
            ++close;
        }
        if (close < limit && text[close] == ']') {
            const std::size_t span = close - open + 1;
            const int row = rowOf(text.substr(open, span), lowered.substr(open, span));
            if (row >= 0) {
                const auto r = static_cast<std::size_t>(row);
                if (rowSafe_[r] != 1) {
                    return expandLowerSlowly(text, buffer, room);
                }
                put(lowered.data() + copied, open - copied);
                put(loweredValues_[r].data(), loweredValues_[r].size());
                copied = close + 1;
            }
        }
        // A name too long for a placeholder, or cut by a "[", holds none; the search goes
        // on from the next "[" (the one that cut it, if any).
        const std::size_t from = (close < n && text[close] == '[') ? close : close + 1;
        const void* next = from < n ? std::memchr(text.data() + from, '[', n - from) : nullptr;
        open = next == nullptr
                   ? n
                   : static_cast<std::size_t>(static_cast<const char*>(next) - text.data());
    }
    put(lowered.data() + copied, n - copied);
    return {out, length};
}

void PlaceholderExpander::ExpandInPlace(std::string& text) {
    if (text.find('[') == std::string::npos) {
        return;
    }
    ExpandInto(text, scratch_);
    text.swap(scratch_);
}

std::string PlaceholderExpander::ExpandPlaceholders(std::string& text) {
    ExpandInPlace(text);
    return text;
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

}  // namespace nightjar::definitions
