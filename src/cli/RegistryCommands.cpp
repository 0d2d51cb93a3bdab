#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "platform/Registry.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

struct KeyRef {
    platform::Hive hive;
    std::string path;
};

/// "HKEY_CURRENT_USER\Software\X" or "HKCU\Software\X".
std::optional<KeyRef> parseKey(std::string_view text) {
    auto slash = text.find('\\');
    std::string_view root = text.substr(0, slash);
    auto hive = platform::hiveFromName(root);
    if (!hive) {
        return std::nullopt;
    }
    std::string path = slash == std::string_view::npos ? "" : std::string(text.substr(slash + 1));
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return KeyRef{*hive, path};
}

const char* typeName(platform::RegType t) {
    switch (t) {
        case platform::RegType::Sz:
            return "REG_SZ";
        case platform::RegType::ExpandSz:
            return "REG_EXPAND_SZ";
        case platform::RegType::Binary:
            return "REG_BINARY";
        case platform::RegType::Dword:
            return "REG_DWORD";
        case platform::RegType::MultiSz:
            return "REG_MULTI_SZ";
        case platform::RegType::None:
            break;
    }
    return "REG_NONE";
}

/// The value as text: strings as they are, numbers in decimal, multi-strings one per line,
/// anything else as hex bytes.
std::string valueText(const platform::RegValue& v) {
    switch (v.type) {
        case platform::RegType::Sz:
        case platform::RegType::ExpandSz:
            return v.text();
        case platform::RegType::Dword:
            return std::to_string(v.number());
        case platform::RegType::MultiSz: {
            std::string out;
            for (const auto& part : text::split(v.data, std::string_view("\0", 1))) {
                if (part.empty()) {
                    continue;
                }
                if (!out.empty()) {
                    out += '\n';
                }
                out += part;
            }
            return out;
        }
        default:
            break;
    }
    std::string hex;
    char buf[4];
    for (unsigned char c : v.data) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        if (!hex.empty()) {
            hex += ',';
        }
        hex += buf;
    }
    return hex;
}

struct RegistryOptions {
    std::string key;
    std::string value;
    bool hasValue = false;
    std::string stringData;
    std::optional<std::uint32_t> dword;
    bool expand = false;
    bool json = false;
};

}  // namespace

void addRegistryCommands(CLI::App& app, CliEnv& env) {
    static RegistryOptions o;
    auto* reg = app.add_subcommand("registry", "Read and change the registry (emulated on Linux)");
    reg->require_subcommand(1);

    auto keyOption = [](CLI::App* cmd) {
        cmd->add_option("KEY", o.key, "Key such as HKEY_CURRENT_USER\\Software\\X or HKCU\\...")
            ->required();
    };
    auto withKey = [&env](auto fn) {
        return [&env, fn]() {
            platform::Platform* p = env.platform();
            if (!p) {
                return;
            }
            auto key = parseKey(o.key);
            if (!key) {
                env.fail("not a registry key (expected HKEY_...\\path): " + o.key);
                return;
            }
            fn(*p->registry, *key);
        };
    };

    auto* get = reg->add_subcommand("get", "Print one value");
    keyOption(get);
    get->add_option("--value", o.value, "Value name (\"\" for the default value)")->required();
    get->add_flag("--json", o.json, "Print one JSON object");
    get->callback(withKey([&env](platform::Registry& r, const KeyRef& k) {
        auto v = r.queryValue(k.hive, k.path, o.value, platform::KeyAccess::Read);
        if (!v) {
            env.fail("no value \"" + o.value + "\" under " + o.key);
            return;
        }
        if (o.json) {
            nlohmann::json j;
            j["type"] = typeName(v->type);
            j["data"] = valueText(*v);
            std::cout << jsonText(j) << '\n';
        } else {
            std::cout << valueText(*v) << '\n';
        }
    }));

    auto* set = reg->add_subcommand(
        "set", "Set a value (creates the key); without --value only creates the key");
    keyOption(set);
    auto* valueOpt = set->add_option("--value", o.value, "Value name");
    auto* strOpt = set->add_option("--string", o.stringData, "REG_SZ data");
    auto* dwordOpt = set->add_option("--dword", o.dword, "REG_DWORD data");
    set->add_flag("--expand", o.expand, "Store --string as REG_EXPAND_SZ");
    strOpt->excludes(dwordOpt);
    strOpt->needs(valueOpt);
    dwordOpt->needs(valueOpt);
    set->callback(withKey([&env, valueOpt, strOpt](platform::Registry& r, const KeyRef& k) {
        bool ok = false;
        if (valueOpt->count() == 0) {
            ok = r.createKey(k.hive, k.path);
        } else if (o.dword) {
            ok = r.setValue(k.hive, k.path, o.value, platform::RegValue::dword(*o.dword));
        } else if (strOpt->count() > 0) {
            ok = r.setValue(
                k.hive, k.path, o.value,
                platform::RegValue::string(
                    o.stringData, o.expand ? platform::RegType::ExpandSz : platform::RegType::Sz));
        } else {
            env.fail("give --string TEXT or --dword N");
            return;
        }
        if (!ok) {
            env.fail("cannot write " + o.key);
        }
    }));

    auto* del =
        reg->add_subcommand("delete", "Delete a value, or without --value the whole key tree");
    keyOption(del);
    auto* delValue = del->add_option("--value", o.value, "Value name");
    del->callback(withKey([&env, delValue](platform::Registry& r, const KeyRef& k) {
        bool ok = delValue->count() > 0 ? r.deleteValue(k.hive, k.path, o.value)
                                        : r.deleteTree(k.hive, k.path);
        if (!ok) {
            env.fail("cannot delete " + o.key + (delValue->count() ? " value " + o.value : ""));
        }
    }));

    auto* list = reg->add_subcommand("list", "List the subkeys and values of a key");
    keyOption(list);
    list->add_flag("--json", o.json, "Print one JSON object");
    list->callback(withKey([&env](platform::Registry& r, const KeyRef& k) {
        auto subkeys = r.subkeys(k.hive, k.path);
        auto names = r.valueNames(k.hive, k.path);
        if (!subkeys || !names) {
            env.fail("no such key: " + o.key);
            return;
        }
        nlohmann::json j;
        j["subkeys"] = nlohmann::json::array();
        j["values"] = nlohmann::json::array();
        for (const auto& s : *subkeys) {
            if (o.json) {
                j["subkeys"].push_back(s);
            } else {
                std::cout << s << "\\\n";
            }
        }
        for (const auto& n : *names) {
            auto v = r.queryValue(k.hive, k.path, n, platform::KeyAccess::Read);
            if (!v) {
                continue;
            }
            if (o.json) {
                j["values"].push_back(
                    {{"name", n}, {"type", typeName(v->type)}, {"data", valueText(*v)}});
            } else {
                std::cout << (n.empty() ? "(Default)" : n) << " = " << typeName(v->type) << ' '
                          << valueText(*v) << '\n';
            }
        }
        if (o.json) {
            std::cout << jsonText(j) << '\n';
        }
    }));
}

}  // namespace nightjar::cli
