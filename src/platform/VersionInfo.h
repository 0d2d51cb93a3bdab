#pragma once
#include <string>

namespace nightjar::platform {

/// The program's own version information (ProductName, CompanyName, Comments, version).
struct VersionInfoData {
    std::string productName;
    std::string companyName;
    std::string comments;  ///< the web site host
    int major = 0;
    int minor = 0;
    int patch = 0;
};

class VersionInfo {
  public:
    virtual ~VersionInfo() = default;
    virtual VersionInfoData read() = 0;
    /// Full path of the running executable (Windows form).
    virtual std::string executablePath() = 0;

    /// The identity compiled into the program from the build's identity settings.
    static VersionInfoData builtIn();
};

}  // namespace nightjar::platform
