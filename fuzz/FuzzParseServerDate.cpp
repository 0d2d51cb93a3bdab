// Server date answers: any bytes either convert or do not; a converted date prints and
// converts back to the same moment.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "update/DateText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto date = nightjar::update::ParseServerDate(text);
    if (date) {
        auto again = nightjar::update::DateText::Parse(date->ToText());
        if (!again || *again != *date) {
            std::abort();
        }
    }
    (void)nightjar::update::DateText::Parse(text);
    return 0;
}
