#include "settings/CompanionRecord.h"

#include "settings/SettingKeys.h"

namespace nightjar::settings {

CompanionRecord::CompanionRecord(SettingsStore& store, std::string companyName)
    : store_(store), companyName_(std::move(companyName)) {}

void CompanionRecord::WriteOwn(std::string_view productName, std::string_view executablePath) {
    store_.WriteApp(keys::kOwnRecordApp, companyName_, keys::kRecordName, productName);
    store_.WriteApp(keys::kOwnRecordApp, companyName_, keys::kRecordFile, executablePath);
}

CompanionInfo CompanionRecord::ReadCompanion() const {
    return {store_.ReadApp(keys::kCompanionApp, companyName_, keys::kRecordName, ""),
            store_.ReadApp(keys::kCompanionApp, companyName_, keys::kRecordFile, "")};
}

CompanionInfo CompanionRecord::ReadOwn() const {
    return {store_.ReadApp(keys::kOwnRecordApp, companyName_, keys::kRecordName, ""),
            store_.ReadApp(keys::kOwnRecordApp, companyName_, keys::kRecordFile, "")};
}

}  // namespace nightjar::settings
