#pragma once
#include <string>
#include <string_view>

namespace nightjar::update {

/// The message listing where the definition server keeps its files (Shift + press on
/// "Update Now"). Nothing is fetched.
class ServerLayoutListing {
  public:
    /// The web site value of a build whose vendor did not configure one.
    static constexpr std::string_view kUnconfiguredWebsite = "nightjar.example";

    /// Base URL derived from the web site value: the default definition host when the site
    /// is the unconfigured placeholder, else "http://www." + host (no path, one "www.").
    static std::string Base(std::string_view website, std::string_view defaultDefinitionHost);
    /// Eight lines, each base + path + CR LF.
    static std::string Text(std::string_view website, std::string_view defaultDefinitionHost);
};

}  // namespace nightjar::update
