#include <cstring>

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

std::string_view hiveName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
        case Hive::CurrentUser: return "HKEY_CURRENT_USER";
        case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
        case Hive::Users: return "HKEY_USERS";
        case Hive::CurrentConfig: return "HKEY_CURRENT_CONFIG";
        case Hive::DynData: return "HKEY_DYN_DATA";
    }
    return "";
}

std::optional<Hive> hiveFromName(std::string_view name) {
    struct Row {
        const char* full;
        const char* shortName;
        Hive hive;
    };
    static const Row rows[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", Hive::ClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", Hive::CurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", Hive::LocalMachine},
        {"HKEY_USERS", "HKU", Hive::Users},
        {"HKEY_CURRENT_CONFIG", "HKCC", Hive::CurrentConfig},
        {"HKEY_DYN_DATA", "HKDD", Hive::DynData},
    };
    for (const auto& r : rows) {
        if (text::iequals(name, r.full) || text::iequals(name, r.shortName)) {
            return r.hive;
        }
    }
    return std::nullopt;
}

std::int32_t hiveHandleValue(Hive hive) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(hive));
}

}  // namespace nightjar::platform
