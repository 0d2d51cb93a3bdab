#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nightjar::scantest {

/// Builds small Windows executables (PE32+) with a version resource, laid out as a linker
/// and resource compiler lay them out, for the company-name tests and the fuzz seeds.
class PeImage {
  public:
    static std::string le16(std::uint32_t v) {
        return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    }
    static std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
    /// ASCII text as zero-ended UTF-16.
    static std::string utf16z(std::string_view s) {
        std::string w;
        for (char c : s) {
            w += le16(static_cast<unsigned char>(c));
        }
        return w + le16(0);
    }
    static void pad4(std::string& s) {
        while (s.size() % 4 != 0) {
            s.push_back('\0');
        }
    }

    /// One block of the version tree: key, value (text in ASCII, or raw bytes), children.
    static std::string block(std::string_view key, std::string_view value, bool text,
                             const std::vector<std::string>& children = {}) {
        std::string body = utf16z(key);
        std::string head = le16(0);  // wLength, set below
        std::uint32_t valueLength = 0;
        std::string v;
        if (text) {
            v = value.empty() ? std::string() : utf16z(value);
            valueLength = static_cast<std::uint32_t>(v.size() / 2);
        } else {
            v = std::string(value);
            valueLength = static_cast<std::uint32_t>(v.size());
        }
        std::string out = head + le16(valueLength) + le16(text ? 1 : 0) + body;
        pad4(out);
        out += v;
        for (const auto& c : children) {
            pad4(out);
            out += c;
        }
        const std::string length = le16(static_cast<std::uint32_t>(out.size()));
        out[0] = length[0];
        out[1] = length[1];
        return out;
    }

    /// A VS_VERSIONINFO with one string table `table` of `strings` and a translation entry
    /// (language, code page) that names `translation`.
    static std::string versionInfo(const std::vector<std::pair<std::string, std::string>>& strings,
                                   std::string_view table = "040904b0",
                                   std::uint32_t translation = 0x04B00409) {
        std::vector<std::string> entries;
        for (const auto& [k, v] : strings) {
            entries.push_back(block(k, v, true));
        }
        std::string fixed = le32(0xFEEF04BD) + std::string(48, '\0');
        return block(
            "VS_VERSION_INFO", fixed, false,
            {block("StringFileInfo", "", true, {block(table, "", true, entries)}),
             block("VarFileInfo", "", true, {block("Translation", le32(translation), false)})});
    }

    /// An executable whose resource section holds `version` as its version resource
    /// (nothing as resource when `version` is empty), followed by `data` in the file.
    static std::string executable(const std::string& version, std::string_view data = {}) {
        constexpr std::uint32_t kPeAt = 0x40;
        constexpr std::uint32_t kSectionAt = 0x200;
        constexpr std::uint32_t kSectionRva = 0x1000;
        std::string rsrc;
        if (!version.empty()) {
            // Type 16 -> name 1 -> language 0x409 -> data entry -> the resource.
            auto directory = [](std::uint32_t id, std::uint32_t target) {
                return le32(0) + le32(0) + le16(0) + le16(0) + le16(0) + le16(1) + le32(id) +
                       le32(target);
            };
            rsrc += directory(16, 0x80000000u | 0x18);
            rsrc += directory(1, 0x80000000u | 0x30);
            rsrc += directory(0x409, 0x48);
            rsrc += le32(kSectionRva + 0x58) + le32(static_cast<std::uint32_t>(version.size())) +
                    le32(0) + le32(0);
            rsrc += std::string(0x58 - rsrc.size(), '\0');
            rsrc += version;
            pad4(rsrc);
        }
        std::string file = "MZ" + std::string(kPeAt - 2, '\0');
        const std::string peAt = le32(kPeAt);
        file.replace(0x3C, 4, peAt);
        file += "PE" + le16(0);
        file += le16(0x8664) + le16(1) + le32(0) + le32(0) + le32(0) + le16(240) + le16(0x22);
        std::string optional = le16(0x20B) + std::string(106, '\0') + le32(16);
        for (std::uint32_t i = 0; i < 16; ++i) {
            const bool resources = i == 2 && !rsrc.empty();
            optional += le32(resources ? kSectionRva : 0) +
                        le32(resources ? static_cast<std::uint32_t>(rsrc.size()) : 0);
        }
        file += optional;
        const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
        file += std::string(".rsrc\0\0\0", 8) + le32(rsrcSize) + le32(kSectionRva) +
                le32(rsrcSize) + le32(kSectionAt) + std::string(12, '\0') + le32(0x40000040);
        file += std::string(kSectionAt - file.size(), '\0');
        file += rsrc;
        file += data;
        return file;
    }
};

}  // namespace nightjar::scantest
