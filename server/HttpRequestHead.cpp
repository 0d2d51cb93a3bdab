#include "HttpRequestHead.h"

#include <charconv>

#include "util/Text.h"

namespace nightjar::server {

namespace {

std::string_view chompCr(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

}  // namespace

std::size_t HttpRequestHead::headLength(std::string_view bytes) {
    // Bare line feeds are tolerated, as most servers do.
    for (std::size_t p = bytes.find('\n'); p != std::string_view::npos;
         p = bytes.find('\n', p + 1)) {
        if (p + 1 < bytes.size() && bytes[p + 1] == '\n') {
            return p + 2;
        }
        if (p + 2 < bytes.size() && bytes[p + 1] == '\r' && bytes[p + 2] == '\n') {
            return p + 3;
        }
    }
    return 0;
}

std::optional<HttpRequestHead> HttpRequestHead::parse(std::string_view head, std::string& method) {
    const std::size_t eol = head.find('\n');
    const std::string_view line = chompCr(head.substr(0, eol));
    const std::size_t firstBlank = line.find(' ');
    method = std::string(line.substr(0, firstBlank));
    const std::size_t lastBlank = line.rfind(' ');
    if (firstBlank == std::string_view::npos || lastBlank == firstBlank) {
        return std::nullopt;
    }
    HttpRequestHead h;
    h.method = method;
    const std::string_view version = line.substr(lastBlank + 1);
    if (version == "HTTP/1.0") {
        h.http10 = true;
        h.keepAlive = false;
    } else if (version != "HTTP/1.1") {
        return std::nullopt;
    }
    h.target = std::string(text::trimView(line.substr(firstBlank + 1, lastBlank - firstBlank - 1)));
    if (h.method.empty() || h.target.empty() || h.target.front() != '/') {
        return std::nullopt;
    }
    std::string_view rest = eol == std::string_view::npos ? "" : head.substr(eol + 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view field = chompCr(rest.substr(0, end));
        rest = end == std::string_view::npos ? "" : rest.substr(end + 1);
        if (field.empty()) {
            break;
        }
        const std::size_t colon = field.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return std::nullopt;
        }
        const std::string_view name = field.substr(0, colon);
        const std::string_view value = text::trimView(field.substr(colon + 1));
        if (text::iequals(name, "Connection")) {
            if (text::icontains(value, "close")) {
                h.keepAlive = false;
            } else if (text::icontains(value, "keep-alive")) {
                h.keepAlive = true;
            }
        } else if (text::iequals(name, "Content-Length")) {
            const auto [p, ec] =
                std::from_chars(value.data(), value.data() + value.size(), h.contentLength);
            if (ec != std::errc() || p != value.data() + value.size()) {
                return std::nullopt;
            }
        } else if (text::iequals(name, "Transfer-Encoding")) {
            h.chunked = true;
        }
    }
    return h;
}

}  // namespace nightjar::server
