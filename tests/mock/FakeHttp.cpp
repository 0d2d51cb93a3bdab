#include "mock/FakeHttp.h"

#include <algorithm>

namespace nightjar::mock {

platform::HttpResult FakeHttp::fetch(std::string_view url, const platform::HttpProgress& progress,
                                     std::size_t maxBytes) {
    requests_.emplace_back(url);
    platform::HttpResult r;
    if (handler_) {
        r = handler_(std::string(url));
    } else if (auto it = table_.find(std::string(url)); it != table_.end()) {
        r = it->second;
    } else {
        r = {false, {}, "host not found", {}};
    }
    if (r.ok && r.body.size() > maxBytes) {
        return {false, {}, std::string(kTooLong), {}};
    }
    if (r.ok && progress) {
        for (std::size_t got = 0; got < r.body.size();) {
            got = std::min(r.body.size(), got + block_);
            if (!progress(got)) {
                return {false, {}, "cancelled", {}};
            }
        }
    }
    return r;
}

}  // namespace nightjar::mock
