#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace nightjar::platform {

struct HttpResult {
    bool ok = false;    ///< false: no connection, unknown host, HTTP error, time-out, too long
    std::string body;   ///< the whole body, bytes as received
    std::string error;  ///< a short reason when !ok
    /// The value of the last X-Nightjar-Signature header of the answer, blanks trimmed;
    /// empty when there was none.
    std::string signature;
};

/// Called after every block with the number of bytes received so far; return false to
/// give up.
using HttpProgress = std::function<bool(std::size_t received)>;

/// HTTP GET of a URL: no caches, agent "Mozilla", 60 s without data counts as failure.
class Http {
  public:
    /// The most an answer may hold unless the caller asks for less: well above the largest
    /// real update text, far below what would exhaust the memory of a workstation.
    static constexpr std::size_t kMaxAnswerBytes = std::size_t{64} << 20;
    /// Reason given for an answer longer than the caller allowed.
    static constexpr std::string_view kTooLong = "answer too long";
    /// The most of a signature header value that is read, far above any valid signature; a
    /// longer value is cut or dropped, and fails verification either way.
    static constexpr std::size_t kMaxSignatureBytes = 1024;

    virtual ~Http() = default;

    /// GET `url`. An answer of more than `maxBytes` bytes is a failed request (kTooLong):
    /// no more than about `maxBytes` is ever held in memory.
    HttpResult get(std::string_view url, const HttpProgress& progress,
                   std::size_t maxBytes = kMaxAnswerBytes) {
        return fetch(url, progress, maxBytes);
    }

  protected:
    virtual HttpResult fetch(std::string_view url, const HttpProgress& progress,
                             std::size_t maxBytes) = 0;
};

}  // namespace nightjar::platform
