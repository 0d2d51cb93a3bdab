#include "scan/RegistryAccess.h"

#include <cstdint>
#include <cstring>

#include "util/Text.h"

namespace nightjar::scan {

namespace {
constexpr std::size_t kTextBuffer = 1024;
using platform::Hive;
using platform::KeyAccess;
using platform::RegType;
}  // namespace

RegistryAccess::RegistryAccess(platform::Registry& registry, removal::RemovalLog* log)
    : registry_(registry), log_(log) {}

std::optional<Hive> RegistryAccess::HiveFromCode(std::string_view code) {
    const std::optional<Hive> hive = platform::hiveFromCode(code);
    currentHiveName_ = hive ? platform::hiveName(*hive) : std::string_view();
    return hive;
}

bool RegistryAccess::KeyExists(Hive hive, std::string_view path) {
    return registry_.keyExists(hive, path, KeyAccess::Full);
}

bool RegistryAccess::ReadValue(Hive hive, std::string_view path, std::string_view name,
                               std::string& out) {
    out.clear();
    auto value = registry_.queryValue(hive, path, name, KeyAccess::Full);
    if (!value) {
        return false;
    }
    switch (value->type) {
        case RegType::Sz:
        case RegType::ExpandSz:
            out = value->data;
            // The stored terminator is not part of the text; a value written without one
            // keeps all of its characters.
            if (!out.empty() && out.back() == '\0') {
                out.pop_back();
            }
            return true;
        case RegType::Dword: {
            if (value->data.size() != 4) {
                return false;
            }
            std::int32_t n = 0;
            std::memcpy(&n, value->data.data(), 4);
            out = std::to_string(n);
            return true;
        }
        default:
            return false;
    }
}

bool RegistryAccess::ReadValueText(Hive hive, std::string_view path, std::string_view name,
                                   std::string& out) {
    out.clear();
    auto value = registry_.queryValue(hive, path, name, KeyAccess::Full);
    if (!value || value->data.size() > kTextBuffer) {
        return false;
    }
    std::string data = value->data;
    if (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    switch (value->type) {
        case RegType::Sz:
        case RegType::ExpandSz:
            out = std::move(data);
            return true;
        case RegType::Dword:
            out = std::to_string(value->number());
            return value->data.size() >= 4;
        default:
            return false;
    }
}

bool RegistryAccess::ReadUserKeyValue(std::string_view path, std::string_view name,
                                      std::string& out) {
    return ReadValueText(Hive::CurrentUser, path, name, out);
}

void RegistryAccess::WriteValue(Hive hive, std::string_view path, std::string_view name,
                                std::string_view value) {
    long long n = 0;
    if (text::parseInt(value, n) && n >= INT32_MIN && n <= static_cast<long long>(UINT32_MAX)) {
        registry_.setValue(hive, path, name,
                           platform::RegValue::dword(static_cast<std::uint32_t>(n)));
        return;
    }
    registry_.setValue(hive, path, name, platform::RegValue::string(text::trim(value)));
}

void RegistryAccess::DeleteValue(Hive hive, std::string_view path, std::string_view name) {
    const bool deleted = registry_.deleteValue(hive, path, name);
    // Only a value that was really deleted is recorded, under the hive it was deleted
    // from (not whichever hive a lookup named last).
    if (deleted && !name.empty() && log_ != nullptr) {
        std::string key(platform::hiveName(hive));
        key += '\\';
        key.append(path);
        log_->logRegistryRemoval(key, name);
    }
}

bool RegistryAccess::DeleteKeyTree(Hive hive, std::string_view path) {
    if (!registry_.deleteTree(hive, path)) {
        return false;
    }
    if (log_ != nullptr) {
        std::string key = std::to_string(platform::hiveHandleValue(hive));
        key += '\\';
        key.append(path);
        log_->logRegistryRemoval(key, "All Values");
    }
    return true;
}

bool RegistryAccess::RegisterServerEntry(std::string_view /*dllPath*/, bool /*registerFlag*/) {
    // The entry point would only be looked up, never called, and the platform layer has
    // no library loader: there is nothing to do but report success.
    return true;
}

}  // namespace nightjar::scan
