// Any bytes as a Wine registry file: what the reader takes comes back byte for byte, and a
// value set and a key deleted read back as changed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/WineRegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nightjar::platform::RegValue;
    using nightjar::platform::posix::WineRegFile;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto file = WineRegFile::parse(bytes);
    if (!file) {
        return 0;
    }
    if (file->text() != bytes) {
        std::abort();
    }
    auto top = file->subkeys("");
    const std::string key = top && !top->empty() ? top->front() : "Fresh\\Key";
    const RegValue value = RegValue::string("a\"\\\x01\xC3\xA9\n");
    if (!file->setValue(key, "n\"\\", value, 1)) {
        std::abort();
    }
    auto back = WineRegFile::parse(file->text());
    if (!back) {
        std::abort();
    }
    auto got = back->value(key, "N\"\\");
    if (!got || got->data != value.data || !back->deleteTree(key, 2)) {
        std::abort();
    }
    auto again = WineRegFile::parse(back->text());
    if (!again || again->keyExists(key)) {
        std::abort();
    }
    return 0;
}
