#include "definitions/SignatureStore.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "definitions/LineCodec.h"
#include "definitions/ThreatCatalog.h"
#include "platform/Registry.h"
#include "util/LineReader.h"
#include "util/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The per-line steps of loading: inlined into the loop, so that what they hand back stays
// in registers rather than going through memory.
#if defined(__GNUC__)
#define NJ_LOAD_STEP [[gnu::always_inline]] inline
#else
#define NJ_LOAD_STEP inline
#endif

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

/// Whether the `n` characters at `p` hold a pair of `c`: the test of findDoubled. Sixteen
/// bytes a step where the processor allows, reading up to 63 characters past the end,
/// which must be readable (the folder of every new location goes through here, from a
/// buffer with slack).
bool hasDoubled(const char* p, std::size_t n, char c) {
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(c);
    std::uint64_t carry = 0;  // whether the last character of the group before was `c`
    for (std::size_t g = 0; g < n; g += 64) {
        std::uint64_t m = 0;
        for (std::size_t b = 0; b < 64; b += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + g + b));
            m |= std::uint64_t{static_cast<std::uint32_t>(
                     _mm_movemask_epi8(_mm_cmpeq_epi8(x, pattern)))}
                 << b;
        }
        const std::size_t left = n - g;
        m &= left >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << left) - 1;
        if ((m & (m >> 1)) != 0 || (carry & m & 1) != 0) {
            return true;
        }
        carry = m >> 63;
    }
    return false;
#else
    return findDoubled(std::string_view(p, n), c) != std::string_view::npos;
#endif
}

/// One left-to-right pass replacing every doubled `c` by a single one (a plain Replace)
/// in the `n` characters at `p`; returns the new length.
std::size_t collapseDoubled(char* p, std::size_t n, char c) {
    std::size_t i = findDoubled(std::string_view(p, n), c);
    if (i == std::string_view::npos) {
        return n;
    }
    std::size_t out = i;
    while (i < n) {
        if (p[i] == c && i + 1 < n && p[i + 1] == c) {
            p[out++] = c;
            i += 2;
        } else {
            p[out++] = p[i++];
        }
    }
    return out;
}

/// The same on a string; returns whether anything changed.
bool collapseDoubled(std::string& s, char c) {
    const std::size_t n = collapseDoubled(s.data(), s.size(), c);
    if (n == s.size()) {
        return false;
    }
    s.resize(n);
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

namespace {

/// A field of up to 8 * Words characters, zero past its end, so that two fields compare
/// in a few operations without a branch on their lengths. The 8 * Words characters at `p`
/// must be readable (the reader's slack). Words is even.
template <std::size_t Words>
struct PaddedKey {
    static constexpr std::size_t kRoom = Words * 8;
    static constexpr std::size_t kLanes = Words / 2;
#if defined(__SSE2__)
    /// The key as a cache slot keeps it. Sixteen bytes a lane: the key is built, compared
    /// and stored in whole lanes, never in pieces of another width (a load that spans
    /// several smaller stores stalls).
    struct Stored {
        __m128i lanes[kLanes] = {};
    };

    PaddedKey(const char* p, std::size_t n) {
        for (std::size_t k = 0; k < kLanes; ++k) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const __m128i m = _mm_loadu_si128(
                reinterpret_cast<const __m128i*>(kWindow.data() + kRoom - n + 16 * k));
            lanes_[k] = _mm_and_si128(x, m);
        }
    }
    bool operator==(const Stored& other) const {
        __m128i same = _mm_cmpeq_epi8(lanes_[0], other.lanes[0]);
        for (std::size_t k = 1; k < kLanes; ++k) {
            same = _mm_and_si128(same, _mm_cmpeq_epi8(lanes_[k], other.lanes[k]));
        }
        return _mm_movemask_epi8(same) == 0xFFFF;
    }
    void storeTo(Stored& out) const {
        for (std::size_t k = 0; k < kLanes; ++k) {
            out.lanes[k] = lanes_[k];
        }
    }
    /// A slot among 2^Bits for the key of a field `n` characters long: the lanes folded
    /// into one word pair, then a multiply whose top bits pick the slot.
    template <unsigned Bits>
    std::size_t slot(std::size_t n) const {
        __m128i x = lanes_[0];
        for (std::size_t k = 1; k < kLanes; ++k) {
            x = _mm_xor_si128(_mm_slli_epi64(x, 1), lanes_[k]);
        }
        const auto lo = static_cast<std::uint64_t>(_mm_cvtsi128_si64(x));
        const auto hi = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(x, x)));
        const std::uint64_t h = (lo + (hi ^ n) * 0xC2B2AE3D27D4EB4FULL) * 0x9E3779B97F4A7C15ULL;
        return static_cast<std::size_t>(h >> (64 - Bits));
    }

  private:
    __m128i lanes_[kLanes];
#else
    struct Stored {
        std::array<std::uint64_t, Words> words{};
    };

    PaddedKey(const char* p, std::size_t n) {
        for (std::size_t k = 0; k < Words; ++k) {
            std::uint64_t w;
            std::uint64_t mask;
            std::memcpy(&w, p + 8 * k, 8);
            std::memcpy(&mask, kWindow.data() + kRoom - n + 8 * k, 8);
            words_[k] = w & mask;
        }
    }
    bool operator==(const Stored& other) const {
        return words_ == other.words;
    }
    void storeTo(Stored& out) const {
        out.words = words_;
    }
    template <unsigned Bits>
    std::size_t slot(std::size_t n) const {
        std::uint64_t h = static_cast<std::uint64_t>(n);
        for (std::size_t k = 0; k < Words; ++k) {
            h = (h ^ words_[k]) * 0x9E3779B97F4A7C15ULL;
        }
        return static_cast<std::size_t>(h >> (64 - Bits));
    }

  private:
    std::array<std::uint64_t, Words> words_;
#endif
    // Byte j survives when j < n: the mask of a piece starting at j0 is the window of kRoom
    // ones then kRoom zeros, read from kRoom - n + j0.
    static constexpr std::array<unsigned char, 2 * kRoom> kWindow = [] {
        std::array<unsigned char, 2 * kRoom> w{};
        for (std::size_t i = 0; i < kRoom; ++i) {
            w[i] = 0xFF;
        }
        return w;
    }();
};

using FieldKey = PaddedKey<6>;
using TypeKey = PaddedKey<2>;

}  // namespace

struct SignatureStore::LocationSlot {
    FieldKey::Stored key;                      ///< the field, zero-padded
    std::uint64_t length = ~std::uint64_t{0};  ///< of the field; all ones: unused
    std::string_view folder;                   ///< as the table keeps it
    SignatureTable::Ref folderRef = SignatureTable::kEmpty;
    std::int8_t folderProtected = -1;  ///< folder-table protection test, -1 not yet known
};

struct SignatureStore::LoadState {
    // Location field -> folder kept in the table, for recently seen fields. Definitions
    // name the same few folders over and over; a field met again is neither expanded nor
    // kept again. Direct-mapped and small enough for the first-level cache (a larger
    // table measured slower: most fields are new, and each probe then waits on memory);
    // a field that is pushed out is simply worked out again when it comes back.
    static constexpr unsigned kSlotBits = 9;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    std::vector<LocationSlot> slots = std::vector<LocationSlot>(kSlots);
    // Type texts already kept in the table, by a small hash of the text.
    struct TypeSlot {
        TypeKey::Stored key;                       ///< the type, zero-padded
        std::uint64_t length = ~std::uint64_t{0};  ///< all ones: unused
        SignatureTable::Ref ref = SignatureTable::kEmpty;
    };
    static constexpr unsigned kTypeSlotBits = 6;
    static constexpr std::size_t kTypeSlots = std::size_t{1} << kTypeSlotBits;
    std::array<TypeSlot, kTypeSlots> types{};

    /// Forgets what the previous table kept (its references mean nothing in the next).
    void startTable() {
        std::fill(slots.begin(), slots.end(), LocationSlot{});
        types.fill(TypeSlot{});
    }
    std::string expanded;
    std::string candidate;
    std::string scratch;
};

NJ_LOAD_STEP bool SignatureStore::folderOf(std::string_view location, std::string_view lowered,
                                           bool fileTable, SignatureTable& table, LoadState& state,
                                           LocationSlot*& slot, std::string_view& folder,
                                           SignatureTable::Ref& ref) {
    slot = nullptr;
    const std::size_t n = location.size();
    if (n <= FieldKey::kRoom) {
        // Compared word by word without a branch on the length: the hit-or-miss test is
        // the one branch that the data decides.
        const FieldKey key(location.data(), n);
        slot = &state.slots[key.template slot<LoadState::kSlotBits>(n)];
        if (slot->length == n && key == slot->key) {
            folder = slot->folder;
            ref = slot->folderRef;
            return true;
        }
        key.storeTo(slot->key);
        slot->length = ~std::uint64_t{0};  // unused until the folder is kept
        slot->folderProtected = -1;
    }
#if defined(__SSE2__)
    if (n <= 64) {
        const FastFolder fast = fastFolderOf(location, lowered, fileTable, table, folder, ref);
        if (fast != FastFolder::Other) {
            if (fast == FastFolder::Full) {
                return false;
            }
            if (slot != nullptr) {
                slot->folderRef = ref;
                slot->folder = folder;
                slot->length = n;
            }
            return true;
        }
    }
#endif
    // Room for the final "\\" after the expansion.
    const std::string_view expansion =
        expander_.ExpandLower(location, lowered, state.expanded, 1 + kCopySlack);
    char* const p = state.expanded.data();
    std::size_t length = expansion.size();
    const bool doubled = hasDoubled(p, length, '\\');
    if (doubled) {
        length = collapseDoubled(p, length, '\\');
    }
    if (length > 0) {
        p[length++] = '\\';
        // Without a doubled backslash left by the first pass, only the one just added can
        // form a pair.
        if (doubled) {
            length = collapseDoubled(p, length, '\\');
        } else if (length >= 2 && p[length - 2] == '\\') {
            --length;
        }
        if (!fileTable) {
            --length;  // the folder table keeps folders without a final "\\"
        }
    }
    const std::string_view expanded(p, length);
    if (!table.keepPadded(expanded, ref)) {
        return false;
    }
    folder = table.text(ref);
    if (slot != nullptr) {
        slot->folderRef = ref;
        slot->folder = folder;
        slot->length = n;
    }
    return true;
}

#if defined(__SSE2__)
NJ_LOAD_STEP SignatureStore::FastFolder SignatureStore::fastFolderOf(
    std::string_view location, std::string_view lowered, bool fileTable, SignatureTable& table,
    std::string_view& folder, SignatureTable::Ref& ref) {
    // Most locations are a placeholder and a path, or a plain path: spliced straight into
    // the table in one pass, their brackets and backslashes found sixteen at a time (the
    // field's slack makes the reads past its end safe). Anything else goes the long way.
    const std::size_t n = location.size();
    std::uint64_t opens = 0;
    std::uint64_t closes = 0;
    std::uint64_t slashes = 0;
    for (std::size_t b = 0; b < 64; b += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(location.data() + b));
        auto bits = [&](char c) {
            return std::uint64_t{static_cast<std::uint32_t>(
                       _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(c))))}
                   << b;
        };
        opens |= bits('[');
        closes |= bits(']');
        slashes |= bits('\\');
    }
    const std::uint64_t inText = n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
    opens &= inText;
    closes &= inText;
    slashes &= inText;
    std::string_view value = lowered.substr(0, 0);
    std::size_t from = 0;
    if (opens != 0) {
        if (opens != 1 || closes == 0) {
            return FastFolder::Other;
        }
        const auto close = static_cast<std::size_t>(std::countr_zero(closes));
        switch (expander_.LeadingValue(location.data(), lowered.data(), close + 1, value)) {
            case PlaceholderExpander::Leading::Value:
                from = close + 1;
                break;
            case PlaceholderExpander::Leading::None:
                break;
            case PlaceholderExpander::Leading::Complex:
                return FastFolder::Other;
        }
    }
    const std::uint64_t rest = from < 64 ? slashes >> from : 0;
    // A doubled backslash, or one made by the splice, needs the collapsing passes.
    if ((rest & (rest >> 1)) != 0 || (!value.empty() && value.back() == '\\' && (rest & 1) != 0)) {
        return FastFolder::Other;
    }
    const std::size_t restLength = n - from;
    const std::size_t total = value.size() + restLength;
    if (total == 0) {
        ref = SignatureTable::kEmpty;
        folder = {};
        return FastFolder::Kept;
    }
    const bool endsInSlash = restLength > 0 ? location[n - 1] == '\\' : value.back() == '\\';
    // The file table keeps one final "\\", the folder table none.
    std::size_t length = total;
    if (fileTable && !endsInSlash) {
        ++length;
    } else if (!fileTable && endsInSlash) {
        --length;
    }
    if (length == 0) {
        ref = SignatureTable::kEmpty;
        folder = {};
        return FastFolder::Kept;
    }
    char* const p = table.keepRoom(length, ref);
    if (p == nullptr) {
        return FastFolder::Full;
    }
    // Both sources have slack after them (the value pool, the reader's line), and so has
    // the room: fixed-size copies.
    copyShort(p, value.data(), value.size());
    copyShort(p + value.size(), lowered.data() + from, restLength);
    p[total] = '\\';  // beyond `length` in the folder table, where it is slack
    folder = std::string_view(p, length);
    return FastFolder::Kept;
}
#endif

NJ_LOAD_STEP bool SignatureStore::typeOf(std::string_view type, bool fileTable,
                                         SignatureTable& table, LoadState& state,
                                         SignatureTable::Ref& ref) {
    if (type.empty()) {
        ref = SignatureTable::kEmpty;
        return true;
    }
    if (type.size() > TypeKey::kRoom) {
        return table.keep(type, ref);  // a type this long is no type anyone shares
    }
    const TypeKey key(type.data(), type.size());
    auto& slot = state.types[key.template slot<LoadState::kTypeSlotBits>(type.size())];
    if (slot.length != type.size() || !(key == slot.key)) {
        // The slot is keyed by the text as written, so "TYPE" finds "Spyware" kept for it.
        const std::string_view kept = fileTable ? FileDefinitionType(type) : type;
        if (!table.keep(kept, slot.ref)) {
            slot = {};
            return false;
        }
        key.storeTo(slot.key);
        slot.length = type.size();
    }
    ref = slot.ref;
    return true;
}

NJ_LOAD_STEP bool SignatureStore::isProtectedFolder(std::string_view folder,
                                                    LoadState& state) const {
    const std::size_t n = folder.size();
    // A drive path ("x:...") that neither starts nor ends with what normalising would
    // strip is its own normalised text but for the drive letter, which the filter does not
    // look at (n >= 4); and no hive name has ":" second. A clear filter bit settles it.
    if (anySafetyEntry_ && n >= 4 && folder[1] == ':' && folder.front() != ' ' &&
        folder.back() != ' ' && folder.back() != '/' && folder.back() != '\\') {
        const std::uint32_t slot = filterSlot(n, folder[n - 1], folder[n / 2], folder[n / 4]);
        if ((keyFilter_[slot / 64] & (std::uint64_t{1} << (slot % 64))) == 0) {
            return false;
        }
    }
    return isProtectedNormalised(normaliseCandidate(folder, state.scratch));
}

NJ_LOAD_STEP bool SignatureStore::isProtectedJoined(std::string_view folder, std::string_view name,
                                                    LoadState& state) const {
    const std::size_t f = folder.size();
    const std::size_t n = f + name.size();
    // With a folder (which ends in "\") and a name that neither starts nor ends the text
    // with what normalising would strip, the normalised text is the joined one but for
    // its first character, which the filter does not look at (n >= 4); and it holds a "\"
    // before its end, so it is no hive. A clear filter bit then settles it unjoined.
    if (anySafetyEntry_ && f > 0 && !name.empty() && n >= 4 && folder.front() != ' ' &&
        name.back() != '/' && name.back() != '\\') {
        auto at = [&](std::size_t i) { return i < f ? folder[i] : name[i - f]; };
        const std::uint32_t slot = filterSlot(n, at(n - 1), at(n / 2), at(n / 4));
        if ((keyFilter_[slot / 64] & (std::uint64_t{1} << (slot % 64))) == 0) {
            return false;
        }
    }
    std::string& candidate = state.candidate;
    candidate.resize(n);
    if (f > 0) {
        std::memcpy(candidate.data(), folder.data(), f);
    }
    if (!name.empty()) {
        std::memcpy(candidate.data() + f, name.data(), name.size());
    }
    return isProtectedNormalised(normaliseCandidate(candidate, state.scratch));
}

bool SignatureStore::loadTable(std::string_view fileName, bool fileTable, SignatureTable& table,
                               LoadState& state, LoadObserver& observer) {
    DefinitionReader reader(fs_, DataFile(dataFolder_, fileName));
    if (!reader.isOpen()) {
        return !observer.stopRequested();  // a missing file leaves its table empty
    }
    table.reserve(kTableSize);
    state.startTable();
    while (!observer.stopRequested() && reader.next()) {
        const std::string_view plain = reader.plain();
        const std::string_view lower = reader.lower();
        const std::size_t n = reader.size();
        const DefinitionReader::Separators sep = reader.separators();
        // A line without a type field gets an empty type: the type of an earlier line
        // would be a guess about a record its writer left incomplete.
        SignatureTable::Ref typeRef = SignatureTable::kEmpty;
        SignatureTable::Ref folderRef = SignatureTable::kEmpty;
        std::string_view folder;
        LocationSlot* slot = nullptr;
        bool room = true;
        if (sep.bar1 < n) {
            if (sep.bar2 < n) {
                const std::string_view type = plain.substr(sep.bar2 + 1, sep.bar3 - sep.bar2 - 1);
                room = typeOf(type, fileTable, table, state, typeRef);
            }
            const std::size_t from = sep.bar1 + 1;
            const std::size_t length = sep.bar2 - from;
            room = room && folderOf(plain.substr(from, length), lower.substr(from, length),
                                    fileTable, table, state, slot, folder, folderRef);
        }
        std::size_t nameBegin = 0;
        std::size_t nameEnd = sep.equals1;
        while (nameBegin < nameEnd && plain[nameBegin] == ' ') {
            ++nameBegin;
        }
        while (nameEnd > nameBegin && plain[nameEnd - 1] == ' ') {
            --nameEnd;
        }
        const std::string_view name = lower.substr(nameBegin, nameEnd - nameBegin);
        // Empty, but in the line: copyShort reads whole words from wherever it points.
        std::string_view threat = plain.substr(0, 0);
        if (sep.equals1 < sep.bar1) {
            threat = plain.substr(sep.equals1 + 1, sep.equals2 - sep.equals1 - 1);
        }

        bool keep = false;
        if (fileTable) {
            // The file table tests folder and name joined.
            keep = !isProtectedJoined(folder, name, state);
        } else if (slot != nullptr && slot->folderProtected >= 0) {
            keep = slot->folderProtected == 0;
        } else {
            keep = !isProtectedFolder(folder, state);
            if (slot != nullptr) {
                slot->folderProtected = keep ? 0 : 1;
            }
        }
        if (keep && room) {
            char* const texts = table.appendRow(folderRef, typeRef, name.size(), threat.size());
            room = texts != nullptr;
            if (room) {
                // Both lie in the reader's buffer, which has the slack copyShort needs.
                copyShort(texts, name.data(), name.size());
                copyShort(texts + name.size(), threat.data(), threat.size());
            }
        }
        // A full table ignores later lines; so does one that can hold no more text, which
        // takes lines of gigabytes.
        if (table.size() >= kTableSize || (keep && !room)) {
            observer.pump();
            break;
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
    // One set of caches and buffers for both files.
    LoadState state;
    bool complete = loadTable(kFileDefinition, true, fileSignatures_, state, observer) &&
                    loadTable(kDirectoryDefinition, false, directorySignatures_, state, observer);
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
    const std::size_t n = s.size();
    if (n == 0) {
        return filterSlot(0, '\0', '\0', '\0');
    }
    return filterSlot(n, s[n - 1], s[n / 2], s[n / 4]);
}

std::uint32_t SignatureStore::filterSlot(std::size_t n, char last, char half, char quarter) {
    // Length and three characters: cheap to compute, and texts that differ in them cannot
    // be equal. For the empty text the characters are NULs and do not count.
    std::uint32_t h = static_cast<std::uint32_t>(n) * 0x9E3779B1u;
    if (n > 0) {
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(last)) * 0x85EBCA77u;
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(half)) * 0xC2B2AE3Du;
        h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(quarter)) * 0x27D4EB2Fu;
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
