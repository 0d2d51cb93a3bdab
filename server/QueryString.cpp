#include "QueryString.h"

#include "util/PercentEncoding.h"

namespace nightjar::server {

QueryString::QueryString(std::string_view target, const std::vector<std::string>& orderedKeys) {
    const std::size_t q = target.find('?');
    if (q != std::string_view::npos) {
        raw_ = std::string(target.substr(q + 1));
    }
    // A fragment never reaches a server, so "#" is data (a scrambled byte can be one).
    if (!parseOrdered(orderedKeys)) {
        parseGeneric();
    }
}

bool QueryString::parseOrdered(const std::vector<std::string>& keys) {
    if (keys.empty() || raw_.compare(0, keys[0].size() + 1, keys[0] + "=") != 0) {
        return false;
    }
    std::vector<std::size_t> starts;  // where each value begins
    std::vector<std::size_t> ends;
    std::size_t pos = keys[0].size() + 1;
    starts.push_back(pos);
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const std::string marker = "&" + keys[i] + "=";
        const std::size_t at = raw_.find(marker, pos);
        if (at == std::string::npos) {
            return false;
        }
        ends.push_back(at);
        pos = at + marker.size();
        starts.push_back(pos);
    }
    ends.push_back(raw_.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        values_[keys[i]] =
            url::percentDecode(std::string_view(raw_).substr(starts[i], ends[i] - starts[i]));
    }
    return true;
}

void QueryString::parseGeneric() {
    std::size_t pos = 0;
    while (pos <= raw_.size()) {
        std::size_t amp = raw_.find('&', pos);
        if (amp == std::string::npos) {
            amp = raw_.size();
        }
        const std::string_view part = std::string_view(raw_).substr(pos, amp - pos);
        if (!part.empty()) {
            const std::size_t eq = part.find('=');
            const std::string key = url::percentDecode(part.substr(0, eq));
            const std::string value = eq == std::string_view::npos
                                          ? std::string()
                                          : url::percentDecode(part.substr(eq + 1));
            values_.emplace(key, value);  // the first occurrence of a key wins
        }
        pos = amp + 1;
    }
}

std::optional<std::string> QueryString::get(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace nightjar::server
