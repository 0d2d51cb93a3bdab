#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::scan {

/// Reads the "CompanyName" string of a file's version resource by searching its bytes.
/// The file is searched in bounded windows, never held in memory whole.
class CompanyNameReader {
  public:
    static constexpr std::size_t kDefaultChunk = std::size_t{1} << 16;
    /// A value longer than this is not a version string: no company name.
    static constexpr std::size_t kMaxValue = std::size_t{1} << 16;

    explicit CompanyNameReader(platform::FileSystem& fs, std::size_t chunkSize = kDefaultChunk);

    /// The company name, or "" when the file has none or cannot be read.
    std::string ReadCompanyName(std::string_view path) const;

    /// The same search over bytes already in memory (the reference form of the search).
    static std::string FromBytes(std::string_view bytes);
    /// The wide form of a key: code 1, then a zero and the character for each character.
    static std::string WideKey(std::string_view key);

  private:
    platform::FileSystem& fs_;
    std::size_t chunk_;
};

}  // namespace nightjar::scan
