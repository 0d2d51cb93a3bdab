#include "settings/MachineSettingsStore.h"

#include "settings/SettingKeys.h"
#include "util/Text.h"

namespace nightjar::settings {

std::string_view MachineErrorText(MachineError error) {
    switch (error) {
        case MachineError::None:
            return "";
        case MachineError::EmptyAppName:
            return "AppName may not be empty";
        case MachineError::EmptySection:
            return "Section may not be empty";
        case MachineError::EmptyKey:
            return "Key may not be empty";
        case MachineError::CouldNotOpen:
            return "Could not open registry section";
        case MachineError::NotAString:
            return "Registry data not a string";
        case MachineError::WriteAbandoned:
            return "Registry value not written";
    }
    return "";
}

MachineSettingsStore::MachineSettingsStore(platform::Registry& registry, SettingsStore& userStore,
                                           std::string companyName, std::string appName)
    : registry_(registry),
      userStore_(userStore),
      companyName_(std::move(companyName)),
      appName_(std::move(appName)) {}

std::string MachineSettingsStore::sectionPath(std::string_view section) const {
    std::string path = "SOFTWARE\\";
    path.append(text::trimView(companyName_));
    path.push_back('\\');
    path.append(text::trimView(appName_));
    path.push_back('\\');
    path.append(text::trimView(section));
    return path;
}

std::string MachineSettingsStore::PermissionDeniedText(std::string_view productName) {
    std::string t(productName);
    t.append(
        " requires read/write access to the system registry and hard drive in order to run "
        "properly.  This user account does not have the proper permissions set.  As a result "
        "some or all of your settings may not be properly saved.  Please contact your system "
        "administrator or change the permission settings for this account.");
    t.append("\r\n\r\n");
    t.append(
        "If you would like to prevent this error message from being displayed again, please "
        "press 'Ignore'.");
    return t;
}

MachineError MachineSettingsStore::checkNames(std::string_view section,
                                              std::string_view key) const {
    if (appName_.empty()) {
        return MachineError::EmptyAppName;
    }
    if (section.empty()) {
        return MachineError::EmptySection;
    }
    if (key.empty()) {
        return MachineError::EmptyKey;
    }
    return MachineError::None;
}

MachineReadResult MachineSettingsStore::MachineRead(std::string_view section, std::string_view key,
                                                    std::string_view defaultValue) const {
    MachineReadResult result;
    result.error = checkNames(section, key);
    if (!result.ok()) {
        return result;
    }
    const std::string path = sectionPath(section);
    if (!registry_.keyExists(platform::Hive::LocalMachine, path, platform::KeyAccess::Read)) {
        // The key is there but does not open: an error; it is absent: the default.
        if (registry_.valueNames(platform::Hive::LocalMachine, path)) {
            result.error = MachineError::CouldNotOpen;
        } else {
            result.value.assign(defaultValue);
        }
        return result;
    }
    auto value =
        registry_.queryValue(platform::Hive::LocalMachine, path, key, platform::KeyAccess::Read);
    if (!value) {
        result.value.assign(defaultValue);
        return result;
    }
    if (value->type != platform::RegType::Sz) {
        result.error = MachineError::NotAString;
        return result;
    }
    result.value = value->text();
    return result;
}

bool MachineSettingsStore::retryAfterFailure(const PermissionPrompt& prompt) {
    if (userStore_.Read(keys::kSettings, keys::kIgnorePermissionDeniedError, "0") == "1") {
        return false;
    }
    if (!prompt) {
        return false;
    }
    switch (prompt(PermissionDeniedText(appName_), kPermissionTitle)) {
        case PermissionAnswer::Retry:
            return true;
        case PermissionAnswer::Ignore:
            userStore_.Write(keys::kSettings, keys::kIgnorePermissionDeniedError, "1");
            return false;
        case PermissionAnswer::Abort:
            return false;
    }
    return false;
}

MachineError MachineSettingsStore::MachineWrite(std::string_view section, std::string_view key,
                                                std::string_view value,
                                                const PermissionPrompt& prompt) {
    if (MachineError e = checkNames(section, key); e != MachineError::None) {
        return e;
    }
    const std::string path = sectionPath(section);
    while (!registry_.createKey(platform::Hive::LocalMachine, path)) {
        if (!retryAfterFailure(prompt)) {
            return MachineError::WriteAbandoned;
        }
    }
    while (!registry_.setValue(platform::Hive::LocalMachine, path, key,
                               platform::RegValue::string(value))) {
        if (!retryAfterFailure(prompt)) {
            return MachineError::WriteAbandoned;
        }
    }
    return MachineError::None;
}

}  // namespace nightjar::settings
