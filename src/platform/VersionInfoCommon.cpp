#include "platform/VersionInfo.h"

#include "nightjar/Identity.h"

namespace nightjar::platform {

VersionInfoData VersionInfo::builtIn() {
    VersionInfoData data;
    data.productName = NJ_PRODUCT_NAME;
    data.companyName = NJ_COMPANY_NAME;
    data.comments = NJ_WEBSITE;
    data.major = NJ_VERSION_MAJOR;
    data.minor = NJ_VERSION_MINOR;
    data.patch = NJ_VERSION_PATCH;
    return data;
}

}  // namespace nightjar::platform
