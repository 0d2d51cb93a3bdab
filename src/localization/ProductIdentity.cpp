#include "localization/ProductIdentity.h"

namespace nightjar::localization {

ProductIdentity ProductIdentity::FromVersionInfo(platform::VersionInfo& info) {
    platform::VersionInfoData data = info.read();
    return ProductIdentity{std::move(data.productName), std::move(data.companyName),
                           std::move(data.comments)};
}

}  // namespace nightjar::localization
