#include "update/ServerLayoutListing.h"

#include <array>

#include "util/Text.h"

namespace nightjar::update {

std::string ServerLayoutListing::Base(std::string_view website,
                                      std::string_view defaultDefinitionHost) {
    if (text::iequals(text::trimView(website), kUnconfiguredWebsite)) {
        std::string base(defaultDefinitionHost);
        while (!base.empty() && base.back() == '/') {
            base.pop_back();
        }
        return base;
    }
    std::string s = text::ireplaceAll(website, "http://", "");
    std::size_t slash = s.find('/');
    if (slash != std::string::npos) {
        s = text::replaceAll(s.substr(0, slash), "/", "");
    }
    if (!text::icontains(s, "www.")) {
        s.insert(0, "www.");
    }
    return "http://" + s;
}

std::string ServerLayoutListing::Text(std::string_view website,
                                      std::string_view defaultDefinitionHost) {
    static constexpr std::array<std::string_view, 8> kPaths = {
        "/definitions/version/R.HTM",           "/definitions/version/F.HTM",
        "/definitions/version/E.HTM",           "/definitions/version/C.HTM",
        "/definitions/data/BlockedCookies.dat", "/definitions/data/RegistryDefinition.dat",
        "/definitions/data/FileDefinition.dat", "/definitions/data/ExeDefinition.dat",
    };
    const std::string base = Base(website, defaultDefinitionHost);
    std::string out;
    for (std::string_view p : kPaths) {
        out += base;
        out += p;
        out += "\r\n";
    }
    return out;
}

}  // namespace nightjar::update
