#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ShellFolders.h"
#include "removal/ExclusionList.h"
#include "scan/ScanSink.h"

namespace nightjar::scan {

/// The cookie phase: every file of the user's cookies folder whose site is on the
/// blocked-site list (BlockedCookies.dat) is reported as a tracking cookie.
class CookieScan {
  public:
    static constexpr int kCookiesFolder = 33;

    CookieScan(platform::FileSystem& fs, platform::ShellFolders& shell,
               removal::ExclusionList& exclusions, std::string dataFolder);

    /// Scans the cookies folder; `cookieFiles` counts the files examined.
    void ScanCookies(ScanSink& sink, int& cookieFiles);

    /// Every unscrambled line of BlockedCookies.dat, each split at "|" (the last element
    /// is empty); empty when the file is missing.
    std::vector<std::string> LoadBlockedSites();
    /// The domain named inside the cookie file, or "False" when none is found.
    std::string CookieDomainOf(std::string_view path);

    /// The site part of a cookie file name ("someone@adserver[1].txt" gives "adserver").
    static std::string CookieSiteFromFileName(std::string_view name);
    /// True when an entry holding the site, less its last "." component and its first "*",
    /// equals the site ignoring case. An empty site matches nothing.
    static bool IsBlockedSite(const std::vector<std::string>& list, std::string_view site);

  private:
    platform::FileSystem& fs_;
    platform::ShellFolders& shell_;
    removal::ExclusionList& exclusions_;
    std::string dataFolder_;
};

}  // namespace nightjar::scan
