#include "scan/PeVersionParser.h"

#include "util/Text.h"

#include <algorithm>
#include <vector>

namespace nightjar::scan {

namespace {

constexpr std::uint16_t kDosMagic = 0x5A4D;         // "MZ"
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kDosNewHeaderField = 0x3C;
constexpr std::size_t kCoffHeaderBytes = 20;
constexpr std::size_t kSectionBytes = 40;
constexpr std::size_t kDirectoryEntryBytes = 8;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
// The loader accepts no more sections than this.
constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kVersionType = 16;  // RT_VERSION
constexpr std::uint32_t kVersionName = 1;   // VS_VERSION_INFO
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kResourceDirectoryBytes = 16;
// Children looked at per block of the version tree, and string tables kept.
constexpr std::size_t kMaxChildren = 1024;
constexpr std::size_t kTextValue = 1;

bool read16(std::string_view b, std::uint64_t at, std::uint16_t& out) {
    if (at > b.size() || b.size() - at < 2) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    out = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
}

bool read32(std::string_view b, std::uint64_t at, std::uint32_t& out) {
    if (at > b.size() || b.size() - at < 4) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    out = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return true;
}

std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

/// One block of the version tree: wLength, wValueLength, wType, a zero-ended UTF-16 key,
/// padding, the value, padding, the children. Offsets are into the version resource.
struct Block {
    std::size_t end = 0;
    std::size_t keyBegin = 0;
    std::size_t keyEnd = 0;  // at the key's terminating zero
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
    std::size_t childrenBegin = 0;
    bool text = false;
};

/// The block at `at`, cut to `limit`; false when it does not fit.
bool blockAt(std::string_view v, std::size_t at, std::size_t limit, Block& b) {
    std::uint16_t length = 0;
    std::uint16_t valueLength = 0;
    std::uint16_t type = 0;
    if (!read16(v, at, length) || !read16(v, at + 2, valueLength) || !read16(v, at + 4, type) ||
        length < 6) {
        return false;
    }
    b.end = std::min<std::size_t>(at + length, limit);
    b.keyBegin = at + 6;
    std::size_t pos = b.keyBegin;
    std::uint16_t unit = 1;
    while (pos + 2 <= b.end && read16(v, pos, unit) && unit != 0) {
        pos += 2;
    }
    if (unit != 0 || pos + 2 > b.end) {
        return false;
    }
    b.keyEnd = pos;
    b.text = type == kTextValue;
    const std::size_t valueBytes = b.text ? std::size_t{valueLength} * 2 : valueLength;
    b.valueBegin = std::min(align4(pos + 2), b.end);
    b.valueEnd = std::min(b.valueBegin + valueBytes, b.end);
    b.childrenBegin = std::min(align4(b.valueBegin + valueBytes), b.end);
    return true;
}

bool keyIs(std::string_view v, const Block& b, std::string_view ascii) {
    if (b.keyEnd - b.keyBegin != ascii.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        std::uint16_t unit = 0;
        if (!read16(v, b.keyBegin + 2 * i, unit) || unit != static_cast<unsigned char>(ascii[i])) {
            return false;
        }
    }
    return true;
}

/// Calls `visit` for each child block of `parent`, at most kMaxChildren.
template <typename Visit>
void forEachChild(std::string_view v, const Block& parent, Visit&& visit) {
    std::size_t pos = parent.childrenBegin;
    for (std::size_t n = 0; n < kMaxChildren && pos < parent.end; ++n) {
        Block child;
        if (!blockAt(v, pos, parent.end, child)) {
            return;
        }
        visit(child);
        const std::size_t next = align4(child.end);
        if (next <= pos) {
            return;
        }
        pos = next;
    }
}

/// A text value up to its first zero, UTF-16 turned into UTF-8 (a lone surrogate becomes
/// U+FFFD).
std::string textValue(std::string_view v, const Block& b) {
    std::string out;
    std::size_t pos = b.valueBegin;
    std::uint16_t unit = 0;
    while (pos + 2 <= b.valueEnd && read16(v, pos, unit) && unit != 0) {
        pos += 2;
        std::uint32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint16_t low = 0;
            if (pos + 2 <= b.valueEnd && read16(v, pos, low) && low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((std::uint32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
                pos += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            cp = 0xFFFD;
        }
        text::appendUtf8(out, cp);
    }
    return out;
}

/// A key of up to 8 characters in ASCII lower case ("040904b0"), for comparing tables.
std::string tableKey(std::string_view v, const Block& b) {
    std::string key;
    for (std::size_t pos = b.keyBegin; pos < b.keyEnd && key.size() <= 8; pos += 2) {
        std::uint16_t unit = 0;
        read16(v, pos, unit);
        key.push_back(unit >= 'A' && unit <= 'Z' ? static_cast<char>(unit - 'A' + 'a')
                                                 : static_cast<char>(unit & 0x7F));
    }
    return key;
}

/// The company name in a VS_VERSIONINFO resource.
std::string companyInVersionInfo(std::string_view v) {
    Block root;
    if (!blockAt(v, 0, v.size(), root) || !keyIs(v, root, "VS_VERSION_INFO")) {
        return {};
    }
    std::string translation;
    struct Found {
        std::string table;
        std::string company;
    };
    std::vector<Found> found;
    forEachChild(v, root, [&](const Block& info) {
        if (keyIs(v, info, "VarFileInfo")) {
            forEachChild(v, info, [&](const Block& var) {
                std::uint16_t lang = 0;
                std::uint16_t codePage = 0;
                if (translation.empty() && keyIs(v, var, "Translation") &&
                    var.valueEnd - var.valueBegin >= 4 && read16(v, var.valueBegin, lang) &&
                    read16(v, var.valueBegin + 2, codePage)) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    for (std::uint16_t word : {lang, codePage}) {
                        for (int shift = 12; shift >= 0; shift -= 4) {
                            translation.push_back(kHex[(word >> shift) & 0xF]);
                        }
                    }
                }
            });
        } else if (keyIs(v, info, "StringFileInfo")) {
            forEachChild(v, info, [&](const Block& table) {
                forEachChild(v, table, [&](const Block& entry) {
                    if (entry.text && keyIs(v, entry, "CompanyName") &&
                        found.size() < kMaxChildren) {
                        found.push_back({tableKey(v, table), textValue(v, entry)});
                    }
                });
            });
        }
    });
    // The table of the first translation, as the system looks it up; else the first.
    for (const Found& f : found) {
        if (!translation.empty() && f.table == translation) {
            return f.company;
        }
    }
    return found.empty() ? std::string() : found.front().company;
}

/// The entry of a resource directory (at `dir` in `res`) that is wanted: the one with id
/// `id` when `id` is given, else the first; `wantFolder` says whether it must lead to a
/// further directory or to data. The target's offset goes to `target`.
bool directoryEntry(std::string_view res, std::uint32_t dir, std::optional<std::uint32_t> id,
                    bool wantFolder, std::uint32_t& target) {
    std::uint16_t named = 0;
    std::uint16_t ids = 0;
    if (!read16(res, std::uint64_t{dir} + 12, named) ||
        !read16(res, std::uint64_t{dir} + 14, ids)) {
        return false;
    }
    const std::uint32_t count = std::uint32_t{named} + ids;
    std::optional<std::uint32_t> firstFit;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at =
            std::uint64_t{dir} + kResourceDirectoryBytes + std::uint64_t{i} * kDirectoryEntryBytes;
        std::uint32_t name = 0;
        std::uint32_t offset = 0;
        if (!read32(res, at, name) || !read32(res, at + 4, offset)) {
            return false;
        }
        if (((offset & kHighBit) != 0) != wantFolder) {
            continue;
        }
        const std::uint32_t to = offset & ~kHighBit;
        if (id && (name & kHighBit) == 0 && name == *id) {
            target = to;
            return true;
        }
        if (!firstFit) {
            firstFit = to;
        }
    }
    // The version resource of a program is found by its type's id only; below that the
    // first name and language will do when the usual ones are missing.
    if (firstFit && (!id || *id != kVersionType)) {
        target = *firstFit;
        return true;
    }
    return false;
}

}  // namespace

std::optional<PeVersionParser::ResourceSection> PeVersionParser::FindResources(
    std::string_view head) {
    head = head.substr(0, std::min(head.size(), kHeadBytes));
    std::uint16_t magic = 0;
    std::uint32_t peAt = 0;
    std::uint32_t signature = 0;
    if (!read16(head, 0, magic) || magic != kDosMagic || !read32(head, kDosNewHeaderField, peAt) ||
        !read32(head, peAt, signature) || signature != kPeSignature) {
        return std::nullopt;
    }
    const std::uint64_t coff = std::uint64_t{peAt} + 4;
    std::uint16_t sections = 0;
    std::uint16_t optionalBytes = 0;
    if (!read16(head, coff + 2, sections) || !read16(head, coff + 16, optionalBytes)) {
        return std::nullopt;
    }
    const std::uint64_t optional = coff + kCoffHeaderBytes;
    std::uint16_t optionalMagic = 0;
    if (!read16(head, optional, optionalMagic)) {
        return std::nullopt;
    }
    std::uint64_t countAt = 0;
    if (optionalMagic == kPe32Magic) {
        countAt = optional + 92;
    } else if (optionalMagic == kPe32PlusMagic) {
        countAt = optional + 108;
    } else {
        return std::nullopt;
    }
    std::uint32_t directories = 0;
    const std::uint64_t resourceEntry =
        countAt + 4 + kResourceDirectoryIndex * kDirectoryEntryBytes;
    std::uint32_t rootRva = 0;
    std::uint32_t rootSize = 0;
    if (!read32(head, countAt, directories) || directories <= kResourceDirectoryIndex ||
        resourceEntry + kDirectoryEntryBytes > optional + optionalBytes ||
        !read32(head, resourceEntry, rootRva) || !read32(head, resourceEntry + 4, rootSize) ||
        rootRva == 0) {
        return std::nullopt;
    }
    const std::uint64_t table = optional + optionalBytes;
    const std::uint32_t count = std::min<std::uint32_t>(sections, kMaxSections);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = table + std::uint64_t{i} * kSectionBytes;
        std::uint32_t virtualSize = 0;
        std::uint32_t rva = 0;
        std::uint32_t rawSize = 0;
        std::uint32_t rawAt = 0;
        if (!read32(head, at + 8, virtualSize) || !read32(head, at + 12, rva) ||
            !read32(head, at + 16, rawSize) || !read32(head, at + 20, rawAt)) {
            return std::nullopt;
        }
        if (rootRva < rva || rootRva - rva >= std::max(virtualSize, rawSize)) {
            continue;
        }
        // The part of the section that the file holds, and of that what lies within reach.
        if (rootRva - rva >= rawSize || rawAt >= kMaxFileBytes) {
            return std::nullopt;
        }
        ResourceSection s;
        s.fileOffset = rawAt;
        s.size =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(rawSize, kMaxFileBytes - rawAt));
        s.rva = rva;
        s.rootRva = rootRva;
        return s;
    }
    return std::nullopt;
}

std::string PeVersionParser::CompanyName(std::string_view section, const ResourceSection& where) {
    if (where.rootRva < where.rva || where.rootRva - where.rva >= section.size()) {
        return {};
    }
    const std::string_view res = section.substr(where.rootRva - where.rva);
    std::uint32_t names = 0;
    std::uint32_t languages = 0;
    std::uint32_t data = 0;
    if (!directoryEntry(res, 0, kVersionType, true, names) ||
        !directoryEntry(res, names, kVersionName, true, languages) ||
        !directoryEntry(res, languages, std::nullopt, false, data)) {
        return {};
    }
    std::uint32_t dataRva = 0;
    std::uint32_t dataSize = 0;
    if (!read32(res, data, dataRva) || !read32(res, std::uint64_t{data} + 4, dataSize) ||
        dataRva < where.rva || dataRva - where.rva >= section.size()) {
        return {};
    }
    return companyInVersionInfo(section.substr(dataRva - where.rva, dataSize));
}

std::string PeVersionParser::CompanyNameOf(std::string_view file) {
    const auto where = FindResources(file);
    if (!where || where->fileOffset >= file.size()) {
        return {};
    }
    return CompanyName(file.substr(where->fileOffset, where->size), *where);
}

}  // namespace nightjar::scan
