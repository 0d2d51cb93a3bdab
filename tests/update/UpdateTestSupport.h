#pragma once
#include <string>
#include <string_view>

#include "definitions/LineCodec.h"

namespace nightjar::update::testing {

inline constexpr std::string_view kData = "C:\\Data\\ZuvoDivavarIVA";

inline std::string dataFile(std::string_view name) {
    return std::string(kData) + "\\" + std::string(name);
}

/// A body as the server sends it: every character in stored form except "|" and "=".
inline std::string wireBody(std::string_view plain) {
    std::string out;
    for (char c : plain) {
        out += (c == '|' || c == '=') ? std::string(1, c) : definitions::ScrambleLine({&c, 1});
    }
    return out;
}

/// One record: stored-form marker, operation, "[DEF]", wire body.
inline std::string record(std::string_view marker, std::string_view op,
                          std::string_view plainBody) {
    return definitions::ScrambleLine(marker) + "|" + std::string(op) + "[DEF]" +
           wireBody(plainBody);
}

/// A stored definition line (scrambled) followed by CR LF.
inline std::string storedLine(std::string_view plain) {
    return definitions::ScrambleLine(plain) + "\r\n";
}

}  // namespace nightjar::update::testing
