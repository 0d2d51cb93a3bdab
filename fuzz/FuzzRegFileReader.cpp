// Any bytes as a registry editor file: whatever the reader takes, the writer writes, and
// the written file reads back to the same keys, types and bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "removal/RegFileReader.h"
#include "removal/RegFileWriter.h"

namespace {

bool same(const std::vector<nightjar::removal::RegFileKey>& a,
          const std::vector<nightjar::removal::RegFileKey>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].hive != b[i].hive || a[i].path != b[i].path ||
            a[i].values.size() != b[i].values.size()) {
            return false;
        }
        for (std::size_t j = 0; j < a[i].values.size(); ++j) {
            const auto& x = a[i].values[j];
            const auto& y = b[i].values[j];
            if (x.name != y.name || x.value.type != y.value.type || x.value.data != y.value.data) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nightjar::removal::RegFileReader;
    using nightjar::removal::RegFileWriter;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto keys = RegFileReader::parse(bytes);
    if (!keys) {
        return 0;
    }
    auto written = RegFileWriter::fileBytes(*keys);
    if (!written) {
        std::abort();
    }
    auto back = RegFileReader::parse(*written);
    if (!back || !same(*keys, *back)) {
        std::abort();
    }
    return 0;
}
