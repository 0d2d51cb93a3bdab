#include "settings/RunEntry.h"

#include "settings/SettingKeys.h"

namespace nightjar::settings {

namespace {

std::string_view folderOf(std::string_view path) {
    auto slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash);
}

std::string_view baseNameOf(std::string_view path) {
    auto slash = path.rfind('\\');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace

RunEntry::RunEntry(platform::Registry& registry, SettingsStore& store, std::string executablePath)
    : registry_(registry), store_(store), executablePath_(std::move(executablePath)) {}

std::string RunEntry::valueName() const {
    return std::string(baseNameOf(executablePath_));
}

std::string RunEntry::valueData() const {
    std::string data(folderOf(executablePath_));
    data.push_back('\\');
    data.append(baseNameOf(executablePath_));
    return data;
}

std::optional<std::string> RunEntry::current() const {
    auto v = registry_.queryValue(platform::Hive::LocalMachine, kRunKey, valueName(),
                                  platform::KeyAccess::Read);
    if (!v) {
        return std::nullopt;
    }
    return v->text();
}

void RunEntry::Apply(int checkBoxValue) {
    const std::string stored = std::to_string(checkBoxValue);
    int effective = checkBoxValue;
    if (store_.Write(keys::kOptionAndSettings, keys::kRunAtStartup, stored)) {
        effective = store_.ReadInt(keys::kOptionAndSettings, keys::kRunAtStartup, 1);
    }
    // When the setting could not be stored, the check box itself decides: reading back
    // would give the default and start the program at log-on though the user unchecked it.
    if (effective == 1) {
        registry_.setValue(platform::Hive::LocalMachine, kRunKey, valueName(),
                           platform::RegValue::string(valueData()));
    } else {
        registry_.deleteValue(platform::Hive::LocalMachine, kRunKey, valueName());
    }
}

}  // namespace nightjar::settings
