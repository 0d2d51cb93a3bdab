// Any bytes as a Windows executable: the company name read from the file front to back
// equals the one found over the whole file in memory, and never reaches past the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mock/FakeFileSystem.h"
#include "scan/CompanyNameReader.h"
#include "scan/PeVersionParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string whole = nightjar::scan::PeVersionParser::CompanyNameOf(bytes);
    nightjar::mock::FakeFileSystem fs;
    fs.addFile("C:\\f.exe", bytes);
    nightjar::scan::CompanyNameReader reader(fs);
    if (reader.ReadCompanyName("C:\\f.exe") != whole) {
        std::abort();
    }
    return 0;
}
