#include "mock/FakeRegistry.h"

#include "util/Text.h"

namespace nightjar::mock {

using platform::Hive;
using platform::KeyAccess;

FakeRegistry::FakeRegistry() {
    for (Hive h : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users,
                   Hive::CurrentConfig, Hive::DynData}) {
        keys_[{static_cast<std::uint32_t>(h), ""}] = Key{};
    }
}

std::string FakeRegistry::normalize(std::string_view path) {
    std::string p(path);
    while (!p.empty() && p.back() == '\\') {
        p.pop_back();
    }
    while (!p.empty() && p.front() == '\\') {
        p.erase(0, 1);
    }
    return p;
}

FakeRegistry::Id FakeRegistry::id(Hive hive, std::string_view path) {
    return {static_cast<std::uint32_t>(hive), text::toLower(normalize(path))};
}

FakeRegistry::Key* FakeRegistry::find(Hive hive, std::string_view path, KeyAccess access) {
    auto it = keys_.find(id(hive, path));
    if (it == keys_.end()) {
        return nullptr;
    }
    if (access == KeyAccess::Full && it->second.readOnly) {
        return nullptr;
    }
    return &it->second;
}

void FakeRegistry::setReadOnly(Hive hive, std::string_view path, bool readOnly) {
    createKey(hive, path);
    keys_[id(hive, path)].readOnly = readOnly;
}

std::size_t FakeRegistry::keyCount() const {
    std::size_t n = 0;
    for (const auto& [k, v] : keys_) {
        n += k.second.empty() ? 0 : 1;
    }
    return n;
}

bool FakeRegistry::keyExists(Hive hive, std::string_view path, KeyAccess access) {
    return find(hive, path, access) != nullptr;
}

std::optional<platform::RegValue> FakeRegistry::queryValue(Hive hive, std::string_view path,
                                                           std::string_view name,
                                                           KeyAccess access) {
    Key* k = find(hive, path, access);
    if (!k) {
        return std::nullopt;
    }
    auto it = k->values.find(text::toLower(name));
    if (it == k->values.end()) {
        return std::nullopt;
    }
    return it->second.second;
}

bool FakeRegistry::createKey(Hive hive, std::string_view path) {
    if (failWrites_) {
        return false;
    }
    std::string p = normalize(path);
    auto parts = text::split(p, "\\");
    std::string cur;
    for (const auto& part : parts) {
        if (part.empty()) {
            continue;
        }
        cur = cur.empty() ? part : cur + "\\" + part;
        auto& k = keys_[id(hive, cur)];
        if (k.name.empty()) {
            k.name = part;
        }
    }
    return true;
}

bool FakeRegistry::setValue(Hive hive, std::string_view path, std::string_view name,
                            const platform::RegValue& value) {
    if (failWrites_) {
        return false;
    }
    if (Key* existing = find(hive, path, KeyAccess::Read); existing && existing->readOnly) {
        return false;
    }
    createKey(hive, path);
    keys_[id(hive, path)].values[text::toLower(name)] = {std::string(name), value};
    return true;
}

bool FakeRegistry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    if (failWrites_) {
        return false;
    }
    Key* k = find(hive, path, KeyAccess::Full);
    return k && k->values.erase(text::toLower(name)) > 0;
}

bool FakeRegistry::deleteTree(Hive hive, std::string_view path) {
    if (failWrites_) {
        return false;
    }
    Id root = id(hive, path);
    if (root.second.empty()) {
        return false;  // a whole hive cannot be deleted
    }
    auto it = keys_.find(root);
    if (it == keys_.end() || it->second.readOnly) {
        return false;
    }
    std::string prefix = root.second + "\\";
    for (auto c = keys_.begin(); c != keys_.end();) {
        if (c->first.first == root.first &&
            (c->first.second == root.second || c->first.second.rfind(prefix, 0) == 0)) {
            c = keys_.erase(c);
        } else {
            ++c;
        }
    }
    return true;
}

std::optional<std::vector<std::string>> FakeRegistry::subkeys(Hive hive, std::string_view path) {
    Id root = id(hive, path);
    if (keys_.find(root) == keys_.end()) {
        return std::nullopt;
    }
    std::string prefix = root.second.empty() ? "" : root.second + "\\";
    std::vector<std::string> out;
    for (const auto& [k, v] : keys_) {
        if (k.first != root.first || k.second.size() <= prefix.size() ||
            k.second.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        if (k.second.find('\\', prefix.size()) == std::string::npos) {
            out.push_back(v.name);
        }
    }
    return out;
}

std::optional<std::vector<std::string>> FakeRegistry::valueNames(Hive hive, std::string_view path) {
    auto it = keys_.find(id(hive, path));
    if (it == keys_.end()) {
        return std::nullopt;
    }
    std::vector<std::string> out;
    for (const auto& [k, v] : it->second.values) {
        out.push_back(v.first);
    }
    return out;
}

}  // namespace nightjar::mock
