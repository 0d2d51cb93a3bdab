#pragma once
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::scan {

/// Reads the "CompanyName" string of a file's version resource: the platform's own reader
/// where it has one, else the resource found by walking the file's PE structure
/// (PeVersionParser). Only the headers and the resource section are read, never a byte past
/// PeVersionParser::kMaxFileBytes, so a huge or endless file cannot hold a scan.
class CompanyNameReader {
  public:
    explicit CompanyNameReader(platform::FileSystem& fs);

    /// The company name, or "" when the file has none or cannot be read.
    std::string ReadCompanyName(std::string_view path) const;

    /// The same over the bytes of a whole file in memory.
    static std::string FromBytes(std::string_view bytes);

  private:
    platform::FileSystem& fs_;
};

}  // namespace nightjar::scan
