#include "platform/win32/Win32VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace nightjar::platform::win32 {
namespace {

/// A string of the StringFileInfo block for `langCodepage` ("040904b0"); nullopt when
/// missing.
std::optional<std::string> stringValue(const std::vector<char>& block,
                                       const std::string& langCodepage, const char* name) {
    std::string query = "\\StringFileInfo\\" + langCodepage + "\\" + name;
    void* ptr = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), &ptr, &len) || ptr == nullptr) {
        return std::nullopt;
    }
    const char* text = static_cast<const char*>(ptr);
    return std::string(text, strnlen(text, len));
}

}  // namespace

std::string Win32VersionInfo::executablePath() {
    std::string buf(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return {};
        }
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.assign(buf.size() * 2, '\0');
    }
    return {};
}

VersionInfoData Win32VersionInfo::read() {
    std::string path = modulePath_.empty() ? executablePath() : modulePath_;
    DWORD ignored = 0;
    DWORD size = path.empty() ? 0 : GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        return builtIn();
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
        return builtIn();
    }

    // The language and code page of the first translation names the string table; the
    // usual US English tables serve when the resource lists none.
    std::vector<std::string> tables;
    void* ptr = nullptr;
    UINT len = 0;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &ptr, &len) && ptr != nullptr &&
        len >= 4) {
        WORD pair[2];
        std::memcpy(pair, ptr, sizeof pair);
        char name[16];
        std::snprintf(name, sizeof name, "%04x%04x", pair[0], pair[1]);
        tables.emplace_back(name);
    }
    tables.emplace_back("040904b0");
    tables.emplace_back("040904e4");

    VersionInfoData d;
    for (const auto& table : tables) {
        auto product = stringValue(block, table, "ProductName");
        auto company = stringValue(block, table, "CompanyName");
        auto comments = stringValue(block, table, "Comments");
        if (product || company || comments) {
            d.productName = product.value_or("");
            d.companyName = company.value_or("");
            d.comments = comments.value_or("");
            break;
        }
    }
    if (VerQueryValueA(block.data(), "\\", &ptr, &len) && ptr != nullptr &&
        len >= sizeof(VS_FIXEDFILEINFO)) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, ptr, sizeof fixed);
        d.major = HIWORD(fixed.dwFileVersionMS);
        d.minor = LOWORD(fixed.dwFileVersionMS);
        d.patch = HIWORD(fixed.dwFileVersionLS);
    }
    return d;
}

}  // namespace nightjar::platform::win32
