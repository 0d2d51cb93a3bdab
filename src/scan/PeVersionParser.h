#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::scan {

/// Reads the "CompanyName" string of a Windows executable's (PE) version resource the way
/// the system finds it: headers, section table, resource directory (version type, name 1
/// or else the first, first language), then the VS_VERSIONINFO tree (the string table of
/// the first translation, else the first one that names a company). Built for hostile
/// input: every offset and length is checked against the bytes at hand, the trees are
/// walked to their fixed depth without recursion, and counts of entries are capped.
class PeVersionParser {
  public:
    /// The headers must lie within this many bytes from the start of the file.
    static constexpr std::size_t kHeadBytes = 4096;
    /// No byte past this offset is read. Linkers place the resources after the code and
    /// data, so this covers every program a few megabytes in size with room to spare, while
    /// a huge or endless file cannot make a scan read without end; a file whose resources
    /// lie past it has no company name.
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{16} << 20;

    /// Where the resources lie in the file.
    struct ResourceSection {
        std::uint64_t fileOffset = 0;  ///< first byte of the section in the file
        std::uint32_t size = 0;        ///< bytes of the section in the file
        std::uint32_t rva = 0;         ///< address of the section's first byte in memory
        std::uint32_t rootRva = 0;     ///< address of the root resource directory
    };

    /// The resource section named by the headers among `head`, the first bytes of the file
    /// (kHeadBytes, or the whole file when shorter); nullopt when the file is not a PE
    /// image, has no resources, or they end past kMaxFileBytes.
    static std::optional<ResourceSection> FindResources(std::string_view head);
    /// The company name (UTF-8) in the bytes of the section `where` describes; "" when
    /// there is none.
    static std::string CompanyName(std::string_view section, const ResourceSection& where);
    /// Both steps over a whole file in memory.
    static std::string CompanyNameOf(std::string_view file);
};

}  // namespace nightjar::scan
