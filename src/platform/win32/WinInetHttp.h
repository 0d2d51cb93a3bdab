#pragma once
#include <cstdint>

#include "platform/Http.h"

namespace nightjar::platform::win32 {

/// HTTP GET through WinINet: agent "Mozilla", direct connection, caches bypassed, the body
/// read in 256-byte blocks. A failed open, a failed read, an HTTP status of 400 or more, an
/// answer longer than allowed and a progress callback that gives up all give ok = false and
/// an empty body.
class WinInetHttp : public Http {
  public:
    /// `timeoutMs` bounds the connection and every wait for data.
    explicit WinInetHttp(std::uint32_t timeoutMs = 60000) : timeoutMs_(timeoutMs) {}

  protected:
    HttpResult fetch(std::string_view url, const HttpProgress& progress,
                     std::size_t maxBytes) override;

  private:
    std::uint32_t timeoutMs_;
};

}  // namespace nightjar::platform::win32
