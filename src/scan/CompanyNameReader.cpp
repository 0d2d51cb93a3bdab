#include "scan/CompanyNameReader.h"

#include <array>
#include <cstdint>
#include <memory>

namespace nightjar::scan {

namespace {

constexpr std::string_view kStringFileInfo = "StringFileInfo";
constexpr std::string_view kCompanyName = "CompanyName";
constexpr std::string_view kFileDescription = "FileDescription";
constexpr std::string_view kTripleZero{"\0\0\0", 3};
// The value follows the key's terminator (plain) or its terminator and padding (wide).
constexpr std::size_t kPlainValueOffset = 12;
constexpr std::size_t kWideValueOffset = 26;
constexpr std::size_t kEmptyValueWindow = 255;

/// The value that starts at the beginning of `from` (the bytes after the key). `from` must
/// reach at least kMaxValue + 3 bytes past the start, or to the end of the file.
std::string valueAt(std::string_view from, std::string_view endKey) {
    std::size_t end = from.find(kTripleZero);
    if (end == std::string_view::npos || end > CompanyNameReader::kMaxValue) {
        return {};
    }
    std::string_view value = from.substr(0, end);
    if (value.find(endKey) != std::string_view::npos) {
        // The company value was empty and the next entry followed: take the text up to
        // the first control character instead.
        std::string_view window = from.substr(0, kEmptyValueWindow);
        std::size_t i = 0;
        while (i < window.size() && static_cast<unsigned char>(window[i]) >= 32) {
            ++i;
        }
        value = window.substr(0, i);
    }
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c != '\0') {
            out.push_back(c);
        }
    }
    return out;
}

/// First occurrence at or after `from` of each needle in a file, read in bounded windows.
class StreamSearch {
  public:
    StreamSearch(platform::FileSystem& fs, std::string_view path, std::size_t chunk)
        : fs_(fs), path_(path), chunk_(chunk == 0 ? 1 : chunk) {}

    /// False when the file cannot be read. `stopAtFirst`: stop once needle 0 is found.
    template <std::size_t N>
    bool find(const std::array<std::string_view, N>& needles, std::uint64_t from,
              std::array<std::uint64_t, N>& found, bool stopAtFirst) {
        found.fill(kNone);
        auto in = fs_.openRead(path_);
        if (!in) {
            return false;
        }
        std::size_t longest = 1;
        for (auto n : needles) {
            longest = std::max(longest, n.size());
        }
        const std::size_t keep = longest - 1;
        std::string buf;
        std::uint64_t bufStart = 0;
        auto chunk = std::make_unique_for_overwrite<char[]>(chunk_);
        for (;;) {
            std::size_t n = in->read(chunk.get(), chunk_);
            if (n == 0) {
                break;
            }
            buf.append(chunk.get(), n);
            bool all = true;
            for (std::size_t k = 0; k < N; ++k) {
                if (found[k] != kNone) {
                    continue;
                }
                std::size_t pos = 0;
                if (from > bufStart) {
                    pos = static_cast<std::size_t>(from - bufStart);
                }
                if (pos <= buf.size()) {
                    std::size_t hit = buf.find(needles[k], pos);
                    if (hit != std::string::npos) {
                        found[k] = bufStart + hit;
                    }
                }
                all = all && found[k] != kNone;
            }
            if (all || (stopAtFirst && found[0] != kNone)) {
                break;
            }
            if (buf.size() > keep) {
                std::size_t drop = buf.size() - keep;
                buf.erase(0, drop);
                bufStart += drop;
            }
        }
        return true;
    }

    /// Up to `size` bytes from `offset`.
    std::string range(std::uint64_t offset, std::size_t size) {
        std::string out;
        auto in = fs_.openRead(path_);
        if (!in) {
            return out;
        }
        auto chunk = std::make_unique_for_overwrite<char[]>(chunk_);
        std::uint64_t pos = 0;
        while (out.size() < size) {
            std::size_t n = in->read(chunk.get(), chunk_);
            if (n == 0) {
                break;
            }
            std::uint64_t chunkEnd = pos + n;
            if (chunkEnd > offset) {
                std::size_t begin = offset > pos ? static_cast<std::size_t>(offset - pos) : 0;
                std::size_t take = std::min(n - begin, size - out.size());
                out.append(chunk.get() + begin, take);
            }
            pos = chunkEnd;
        }
        return out;
    }

    static constexpr std::uint64_t kNone = ~std::uint64_t{0};

  private:
    platform::FileSystem& fs_;
    std::string path_;
    std::size_t chunk_;
};

}  // namespace

CompanyNameReader::CompanyNameReader(platform::FileSystem& fs, std::size_t chunkSize)
    : fs_(fs), chunk_(chunkSize == 0 ? kDefaultChunk : chunkSize) {}

std::string CompanyNameReader::WideKey(std::string_view key) {
    std::string w;
    w.reserve(1 + 2 * key.size());
    w.push_back('\x01');
    for (char c : key) {
        w.push_back('\0');
        w.push_back(c);
    }
    return w;
}

std::string CompanyNameReader::FromBytes(std::string_view bytes) {
    const std::string wideInfo = WideKey(kStringFileInfo);
    std::size_t start = bytes.find(wideInfo);
    if (start == std::string_view::npos) {
        start = bytes.find(kStringFileInfo);
    }
    if (start == std::string_view::npos) {
        start = 0;
    }
    std::size_t valueStart = 0;
    std::string endKey;
    if (std::size_t at = bytes.find(kCompanyName, start); at != std::string_view::npos) {
        valueStart = at + kPlainValueOffset;
        endKey = kFileDescription;
    } else if (at = bytes.find(WideKey(kCompanyName), start); at != std::string_view::npos) {
        valueStart = at + kWideValueOffset;
        endKey = WideKey(kFileDescription);
    } else {
        return {};
    }
    if (valueStart > bytes.size()) {
        return {};
    }
    return valueAt(bytes.substr(valueStart), endKey);
}

std::string CompanyNameReader::ReadCompanyName(std::string_view path) const {
    StreamSearch search(fs_, path, chunk_);
    const std::string wideInfo = WideKey(kStringFileInfo);
    std::array<std::string_view, 2> infoKeys{wideInfo, kStringFileInfo};
    std::array<std::uint64_t, 2> info{};
    if (!search.find(infoKeys, 0, info, true)) {
        return {};
    }
    std::uint64_t start = 0;
    if (info[0] != StreamSearch::kNone) {
        start = info[0];
    } else if (info[1] != StreamSearch::kNone) {
        start = info[1];
    }
    const std::string wideCompany = WideKey(kCompanyName);
    std::array<std::string_view, 2> companyKeys{kCompanyName, wideCompany};
    std::array<std::uint64_t, 2> company{};
    if (!search.find(companyKeys, start, company, true)) {
        return {};
    }
    std::uint64_t valueStart = 0;
    std::string endKey;
    if (company[0] != StreamSearch::kNone) {
        valueStart = company[0] + kPlainValueOffset;
        endKey = kFileDescription;
    } else if (company[1] != StreamSearch::kNone) {
        valueStart = company[1] + kWideValueOffset;
        endKey = WideKey(kFileDescription);
    } else {
        return {};
    }
    // Only the bytes a value can span are read.
    std::string tail = search.range(valueStart, kMaxValue + kTripleZero.size());
    return valueAt(tail, endKey);
}

}  // namespace nightjar::scan
