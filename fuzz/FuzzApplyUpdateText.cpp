// Update texts applied to definition files in memory. Input: the old content of every
// definition file, a NUL byte, then the update text.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mock/FakeFileSystem.h"
#include "update/UpdateTextApplier.h"

namespace {
constexpr std::string_view kFolder = "C:\\data";
constexpr std::array<std::string_view, 6> kNames = {"FileDefinition.dat",      "ExeDefinition.dat",
                                                    "RegistryDefinition.dat",  "BlockedCookies.dat",
                                                    "DirectoryDefinition.dat", "Safety.dat"};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t nul = input.find('\0');
    std::string_view old =
        nul == std::string_view::npos ? std::string_view() : input.substr(0, nul);
    std::string_view text = nul == std::string_view::npos ? input : input.substr(nul + 1);

    nightjar::mock::FakeFileSystem fs;
    fs.addFolder(kFolder);
    for (std::string_view name : kNames) {
        fs.addFile(std::string(kFolder) + "\\" + std::string(name), old);
    }
    nightjar::update::UpdateObserver observer;
    nightjar::update::UpdateTextApplier applier(fs, std::string(kFolder), observer);
    auto result = applier.ApplyUpdateText(text);
    if (result.count < 0) {
        std::abort();
    }
    for (std::string_view name : kNames) {
        auto content = fs.content(std::string(kFolder) + "\\" + std::string(name));
        // Every file is still there; a failed update changed none of them.
        if (!content || (!result.complete && *content != old)) {
            std::abort();
        }
    }
    return 0;
}
