#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace nightjar::platform {

struct HttpResult {
    bool ok = false;      ///< false: no connection, unknown host, HTTP error, time-out
    std::string body;     ///< the whole body, bytes as received
    std::string error;    ///< a short reason when !ok
};

/// Called after every block with the number of bytes received so far; return false to
/// give up.
using HttpProgress = std::function<bool(std::size_t received)>;

/// HTTP GET of a URL: no caches, agent "Mozilla", 60 s without data counts as failure.
class Http {
public:
    virtual ~Http() = default;
    virtual HttpResult get(std::string_view url, const HttpProgress& progress) = 0;
};

}  // namespace nightjar::platform
