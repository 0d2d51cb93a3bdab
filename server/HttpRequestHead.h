#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::server {

/// The request line and the headers the server acts on, read from the bytes of one request
/// head.
///
/// The request target may hold raw blanks: stored clients send their date unescaped
/// ("date=3/16/2006 12:00:00 AM"), so the target is everything between the method and the
/// last blank of the line, which must be followed by the HTTP version.
struct HttpRequestHead {
    /// Bytes of the head up to and including its empty line; 0 while incomplete.
    static std::size_t headLength(std::string_view bytes);
    /// Parses a complete head; nullopt when the request line or a header is malformed
    /// (`method` then holds the first word of the line, if any, for the log).
    static std::optional<HttpRequestHead> parse(std::string_view head, std::string& method);

    std::string method;
    std::string target;
    bool http10 = false;
    bool keepAlive = true;          ///< as the version and the Connection header ask
    std::size_t contentLength = 0;  ///< of a body the client sends
    bool chunked = false;           ///< a body of unknown length follows
};

}  // namespace nightjar::server
