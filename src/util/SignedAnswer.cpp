#include "util/SignedAnswer.h"

#include <array>

#include "util/Text.h"

namespace nightjar::signing {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    const auto at = kAlphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string signedMessage(std::string_view requestTarget, std::string_view body) {
    std::string message;
    message.reserve(requestTarget.size() + 1 + body.size());
    message.append(requestTarget);
    message.push_back('\n');
    message.append(body);
    return message;
}

std::string requestTarget(std::string_view url) {
    const auto scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    const auto fragment = rest.find('#');
    if (fragment != std::string_view::npos) {
        rest = rest.substr(0, fragment);
    }
    const auto path = rest.find_first_of("/?");
    if (path == std::string_view::npos) {
        return "/";
    }
    std::string target(rest.substr(path));
    if (target.front() == '?') {
        target.insert(target.begin(), '/');
    }
    return target;
}

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(left == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    text = text::trimView(text);
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::array<int, 4> v{};
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0) {
                return std::nullopt;  // data after padding
            }
            v[k] = valueOf(c);
            if (v[k] < 0) {
                return std::nullopt;
            }
        }
        const unsigned bits = (static_cast<unsigned>(v[0]) << 18) |
                              (static_cast<unsigned>(v[1]) << 12) |
                              (static_cast<unsigned>(v[2]) << 6) | static_cast<unsigned>(v[3]);
        // Bits below the padding must be zero, so that each text decodes one way only.
        if ((padding == 1 && (bits & 0xFF) != 0) || (padding == 2 && (bits & 0xFFFF) != 0)) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>((bits >> 16) & 0xFF));
        if (padding < 2) {
            out.push_back(static_cast<char>((bits >> 8) & 0xFF));
        }
        if (padding < 1) {
            out.push_back(static_cast<char>(bits & 0xFF));
        }
    }
    return out;
}

}  // namespace nightjar::signing
