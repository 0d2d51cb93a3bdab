#include <cstring>
#include <iterator>

#include "platform/Registry.h"
#include "util/Text.h"

namespace nightjar::platform {

RegValue RegValue::string(std::string_view text, RegType t) {
    RegValue v;
    v.type = t;
    v.data.assign(text);
    v.data.push_back('\0');
    return v;
}

RegValue RegValue::dword(std::uint32_t n) {
    RegValue v;
    v.type = RegType::Dword;
    v.data.resize(4);
    std::memcpy(v.data.data(), &n, 4);
    return v;
}

std::string RegValue::text() const {
    std::string t = data;
    while (!t.empty() && t.back() == '\0') {
        t.pop_back();
    }
    return t;
}

std::uint32_t RegValue::number() const {
    std::uint32_t n = 0;
    if (data.size() >= 4) {
        std::memcpy(&n, data.data(), 4);
    }
    return n;
}

namespace {

struct HiveRow {
    Hive hive;
    std::string_view name;
    std::string_view shortName;
};

// In the order of their codes in the definition files ("0" to "5").
constexpr HiveRow kHives[] = {
    {Hive::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {Hive::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Hive::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Hive::Users, "HKEY_USERS", "HKU"},
    {Hive::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
    {Hive::DynData, "HKEY_DYN_DATA", "HKDD"},
};

}  // namespace

std::string_view hiveName(Hive hive) {
    for (const auto& r : kHives) {
        if (r.hive == hive) {
            return r.name;
        }
    }
    return "";
}

std::optional<Hive> hiveFromName(std::string_view name) {
    for (const auto& r : kHives) {
        if (text::iequals(name, r.name) || text::iequals(name, r.shortName)) {
            return r.hive;
        }
    }
    return std::nullopt;
}

std::optional<Hive> hiveFromCode(std::string_view code) {
    long long n = -1;
    if (!text::parseInt(code, n) || n < 0 || n >= static_cast<long long>(std::size(kHives))) {
        return std::nullopt;
    }
    return kHives[n].hive;
}

std::int32_t hiveHandleValue(Hive hive) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(hive));
}

std::optional<Hive> hiveFromHandleText(std::string_view text) {
    long long n = 0;
    if (!text::parseInt(text, n)) {
        return std::nullopt;
    }
    for (const auto& r : kHives) {
        if (hiveHandleValue(r.hive) == n) {
            return r.hive;
        }
    }
    return std::nullopt;
}

namespace {

constexpr std::string_view kWow64Node = "Wow6432Node";

/// Length of `name` and the separator after it when `path` starts with them (case
/// ignored), else 0.
std::size_t leadingKey(std::string_view path, std::string_view name) {
    return path.size() > name.size() && path[name.size()] == '\\' &&
                   text::iequals(path.substr(0, name.size()), name)
               ? name.size() + 1
               : 0;
}

}  // namespace

std::optional<std::string> wow64TwinPath(Hive hive, std::string_view path) {
    std::size_t root = 0;  // length of the redirected root, separator included
    switch (hive) {
        case Hive::ClassesRoot:
            break;
        case Hive::LocalMachine:
        case Hive::CurrentUser: {
            root = leadingKey(path, "Software");
            const std::size_t classes = root == 0 ? 0 : leadingKey(path.substr(root), "Classes");
            // Below HKEY_CURRENT_USER only the classes have a 32-bit view.
            if (root == 0 || (classes == 0 && hive == Hive::CurrentUser)) {
                return std::nullopt;
            }
            root += classes;
            break;
        }
        default:
            return std::nullopt;
    }
    const std::string_view rest = path.substr(root);
    const std::string_view first = rest.substr(0, rest.find('\\'));
    if (text::trimView(first).empty() || text::iequals(text::trimView(first), kWow64Node)) {
        return std::nullopt;
    }
    std::string twin(path.substr(0, root));
    twin.append(kWow64Node).append("\\").append(rest);
    return twin;
}

std::vector<std::string_view> keyPathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t sep = path.find('\\');
        const std::string_view part = path.substr(0, sep);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (sep == std::string_view::npos) {
            break;
        }
        path.remove_prefix(sep + 1);
    }
    return parts;
}

}  // namespace nightjar::platform
