#pragma once
#include <string>

#include "platform/VersionInfo.h"

namespace nightjar::localization {

/// The white-label identity read once from the program's version information.
struct ProductIdentity {
    std::string productName;
    std::string companyName;
    std::string website;  ///< host without scheme

    static ProductIdentity FromVersionInfo(platform::VersionInfo& info);
};

}  // namespace nightjar::localization
