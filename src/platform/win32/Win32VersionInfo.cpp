#include "platform/win32/Win32VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include "platform/win32/LongPath.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

/// A string of the StringFileInfo block for `langCodepage` ("040904b0"); nullopt when
/// missing.
std::optional<std::string> stringValue(const std::vector<char>& block,
                                       const std::string& langCodepage, const char* name) {
    const std::wstring query = utf16::widen("\\StringFileInfo\\" + langCodepage + "\\" + name);
    void* ptr = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), &ptr, &len) || ptr == nullptr) {
        return std::nullopt;
    }
    const auto* text = static_cast<const wchar_t*>(ptr);
    return utf16::narrow(std::wstring_view(text, wcsnlen(text, len)));
}

}  // namespace

std::string Win32VersionInfo::executablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return {};
        }
        if (n < buf.size()) {
            buf.resize(n);
            // A program started through a long-path name reports it that way.
            return PlainPathForm(utf16::narrow(buf));
        }
        buf.assign(buf.size() * 2, L'\0');
    }
    return {};
}

VersionInfoData Win32VersionInfo::read() {
    std::string path = modulePath_.empty() ? executablePath() : modulePath_;
    DWORD ignored = 0;
    const std::wstring widePath = LongPath(path);
    DWORD size = path.empty() ? 0 : GetFileVersionInfoSizeW(widePath.c_str(), &ignored);
    if (size == 0) {
        return builtIn();
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(widePath.c_str(), 0, size, block.data())) {
        return builtIn();
    }

    // The language and code page of the first translation names the string table; the
    // usual US English tables serve when the resource lists none.
    std::vector<std::string> tables;
    void* ptr = nullptr;
    UINT len = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &ptr, &len) && ptr != nullptr &&
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
    if (VerQueryValueW(block.data(), L"\\", &ptr, &len) && ptr != nullptr &&
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
