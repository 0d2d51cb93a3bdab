// Request heads from the network: any bytes are either incomplete, rejected or parsed into a
// head whose target and method come from inside the bytes given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "HttpRequestHead.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nightjar::server::HttpRequestHead;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t length = HttpRequestHead::headLength(bytes);
    if (length > bytes.size()) {
        std::abort();
    }
    if (length == 0) {
        return 0;
    }
    const std::string_view head = bytes.substr(0, length);
    std::string method;
    auto parsed = HttpRequestHead::parse(head, method);
    if (parsed && (parsed->method.size() + parsed->target.size() > head.size() ||
                   head.find(parsed->method) == std::string_view::npos)) {
        std::abort();
    }
    return 0;
}
