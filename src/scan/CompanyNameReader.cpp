#include "scan/CompanyNameReader.h"

#include <algorithm>
#include <array>

#include "scan/PeVersionParser.h"

namespace nightjar::scan {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;

/// Appends up to `size` bytes of `in` to `out` (all of them when `out` is null: skipped);
/// the number of bytes taken.
std::uint64_t take(platform::InputFile& in, std::uint64_t size, std::string* out) {
    std::array<char, kChunk> buf;
    std::uint64_t done = 0;
    while (done < size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - done));
        const std::size_t n = in.read(buf.data(), want);
        if (n == 0) {
            break;
        }
        if (out != nullptr) {
            out->append(buf.data(), n);
        }
        done += n;
    }
    return done;
}

}  // namespace

CompanyNameReader::CompanyNameReader(platform::FileSystem& fs) : fs_(fs) {}

std::string CompanyNameReader::FromBytes(std::string_view bytes) {
    return PeVersionParser::CompanyNameOf(bytes);
}

std::string CompanyNameReader::ReadCompanyName(std::string_view path) const {
    if (auto fromSystem = fs_.companyNameOf(path)) {
        return *fromSystem;
    }
    auto in = fs_.openRead(path);
    if (!in) {
        return {};
    }
    std::string head;
    take(*in, PeVersionParser::kHeadBytes, &head);
    const auto where = PeVersionParser::FindResources(head);
    if (!where) {
        return {};
    }
    // The file is read once, front to back: the section may begin inside the headers read.
    std::string section;
    if (where->fileOffset < head.size()) {
        section = head.substr(static_cast<std::size_t>(where->fileOffset), where->size);
    } else if (take(*in, where->fileOffset - head.size(), nullptr) !=
               where->fileOffset - head.size()) {
        return {};
    }
    take(*in, where->size - section.size(), &section);
    return PeVersionParser::CompanyName(section, *where);
}

}  // namespace nightjar::scan
