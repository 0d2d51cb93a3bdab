#include "settings/SettingsStore.h"

#include <charconv>
#include <cstdint>

#include "util/Text.h"

namespace nightjar::settings {

namespace {

std::string sectionPath(std::string_view app, std::string_view section) {
    std::string path(SettingsStore::kRoot);
    path.push_back('\\');
    path.append(app);
    path.push_back('\\');
    path.append(section);
    return path;
}

/// A whole or decimal number ("1", "-1", "0.5"); false for anything else.
bool parseNumber(std::string_view s, double& out) {
    s = text::trimView(s);
    if (s.empty()) {
        return false;
    }
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace

SettingsStore::SettingsStore(platform::Registry& registry, std::string appName)
    : registry_(registry), appName_(std::move(appName)) {}

std::string SettingsStore::Read(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    return ReadApp(appName_, section, key, defaultValue);
}

bool SettingsStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    return WriteApp(appName_, section, key, value);
}

std::string SettingsStore::ReadApp(std::string_view app, std::string_view section,
                                   std::string_view key, std::string_view defaultValue) const {
    auto value = registry_.queryValue(platform::Hive::CurrentUser, sectionPath(app, section), key,
                                      platform::KeyAccess::Read);
    // Only text is a stored setting; anything else placed there by hand reads as absent.
    if (!value ||
        (value->type != platform::RegType::Sz && value->type != platform::RegType::ExpandSz)) {
        return std::string(defaultValue);
    }
    return value->text();
}

bool SettingsStore::WriteApp(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) {
    return registry_.setValue(platform::Hive::CurrentUser, sectionPath(app, section), key,
                              platform::RegValue::string(value));
}

bool SettingsStore::DeleteKey(std::string_view section, std::string_view key) {
    return registry_.deleteValue(platform::Hive::CurrentUser, sectionPath(appName_, section), key);
}

int SettingsStore::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
    std::string stored = Read(section, key, std::to_string(defaultValue));
    long long n = 0;
    if (text::parseInt(stored, n) && n >= INT32_MIN && n <= INT32_MAX) {
        return static_cast<int>(n);
    }
    std::string_view t = text::trimView(stored);
    if (text::iequals(t, "True")) {
        return -1;  // the integer value of a true boolean
    }
    if (text::iequals(t, "False")) {
        return 0;
    }
    return defaultValue;
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view key,
                             bool defaultValue) const {
    std::string stored = Read(section, key, defaultValue ? "True" : "False");
    bool ok = false;
    bool b = ToBool(stored, ok);
    return ok ? b : defaultValue;
}

bool ToBool(std::string_view text, bool& ok) {
    std::string_view t = text::trimView(text);
    ok = true;
    if (text::iequals(t, "True")) {
        return true;
    }
    if (text::iequals(t, "False")) {
        return false;
    }
    double d = 0;
    if (parseNumber(t, d)) {
        return d != 0;
    }
    ok = false;
    return false;
}

}  // namespace nightjar::settings
