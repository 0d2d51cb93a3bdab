#pragma once
#include <chrono>

#include "platform/Http.h"

namespace nightjar::platform::posix {

/// HTTP GET over libcurl: http and https (certificates checked), agent "Mozilla", no caches,
/// a direct connection (no proxy), a few redirects followed. A transfer that receives no
/// data for `stallTimeout` fails. Connection failures, unknown hosts, malformed URLs, HTTP
/// statuses outside 2xx, time-outs, an answer longer than allowed and a progress callback
/// returning false all give ok = false and an empty body.
class CurlHttp : public Http {
  public:
    explicit CurlHttp(std::chrono::seconds stallTimeout = std::chrono::seconds(60),
                      std::chrono::seconds connectTimeout = std::chrono::seconds(30));

  protected:
    /// Reads in blocks of at most 16 KiB; `progress` (may be empty) runs after each block.
    HttpResult fetch(std::string_view url, const HttpProgress& progress,
                     std::size_t maxBytes) override;

  private:
    std::chrono::seconds stallTimeout_;
    std::chrono::seconds connectTimeout_;
};

}  // namespace nightjar::platform::posix
