#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mock/FakeRegistry.h"
#include "settings/MachineSettingsStore.h"
#include "settings/SettingKeys.h"

namespace nightjar::settings {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegValue;

const std::string kSection = "SOFTWARE\\Nightjar Labs\\Nightjar\\Settings";

/// Answers the permission message from a script and records what it was shown.
struct ScriptedPrompt {
    std::vector<PermissionAnswer> answers;
    std::vector<std::string> texts;
    std::vector<std::string> titles;
    PermissionPrompt fn() {
        return [this](std::string_view text, std::string_view title) {
            texts.emplace_back(text);
            titles.emplace_back(title);
            if (answers.empty()) {
                return PermissionAnswer::Abort;
            }
            auto a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
    }
};

class MachineSettingsStoreTest : public ::testing::Test {
  protected:
    mock::FakeRegistry registry;
    SettingsStore user{registry, "Nightjar"};
    MachineSettingsStore machine{registry, user, " Nightjar Labs ", "Nightjar "};
};

TEST_F(MachineSettingsStoreTest, WritesUnderTrimmedCompanyAndProduct) {
    EXPECT_EQ(machine.sectionPath(" Settings "), kSection);
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes"), MachineError::None);
    auto v = registry.queryValue(Hive::LocalMachine, kSection, "FirstTime", KeyAccess::Read);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, platform::RegType::Sz);
    EXPECT_EQ(v->text(), "Yes");
    auto r = machine.MachineRead(keys::kSettings, keys::kFirstTime, "");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value, "Yes");
}

TEST_F(MachineSettingsStoreTest, MissingSubkeyOrValueGivesTheDefaultSilently) {
    auto r = machine.MachineRead(keys::kSettings, keys::kFirstTime, "dflt");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value, "dflt");
    registry.createKey(Hive::LocalMachine, kSection);
    r = machine.MachineRead(keys::kSettings, keys::kFirstTime, "dflt2");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value, "dflt2");
}

TEST_F(MachineSettingsStoreTest, EmptyNamesAreErrors) {
    auto r = machine.MachineRead("", keys::kFirstTime, "d");
    EXPECT_EQ(r.error, MachineError::EmptySection);
    EXPECT_EQ(MachineErrorText(r.error), "Section may not be empty");
    EXPECT_EQ(r.value, "");
    r = machine.MachineRead(keys::kSettings, "", "d");
    EXPECT_EQ(r.error, MachineError::EmptyKey);
    EXPECT_EQ(MachineErrorText(r.error), "Key may not be empty");

    MachineSettingsStore noApp(registry, user, "Nightjar Labs", "");
    r = noApp.MachineRead(keys::kSettings, keys::kFirstTime, "d");
    EXPECT_EQ(r.error, MachineError::EmptyAppName);
    EXPECT_EQ(MachineErrorText(r.error), "AppName may not be empty");
    EXPECT_EQ(noApp.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes"),
              MachineError::EmptyAppName);
    EXPECT_FALSE(
        registry.keyExists(Hive::LocalMachine, "SOFTWARE\\Nightjar Labs", KeyAccess::Read));
}

TEST_F(MachineSettingsStoreTest, NonStringValueIsAnError) {
    registry.setValue(Hive::LocalMachine, kSection, "FirstTime", RegValue::dword(1));
    auto r = machine.MachineRead(keys::kSettings, keys::kFirstTime, "d");
    EXPECT_EQ(r.error, MachineError::NotAString);
    EXPECT_EQ(MachineErrorText(r.error), "Registry data not a string");
    EXPECT_EQ(MachineErrorText(MachineError::CouldNotOpen), "Could not open registry section");
}

TEST_F(MachineSettingsStoreTest, FailedWriteAsksAndAbortGivesUp) {
    registry.setReadOnly(Hive::LocalMachine, kSection, true);
    ScriptedPrompt prompt;
    prompt.answers = {PermissionAnswer::Abort};
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes", prompt.fn()),
              MachineError::WriteAbandoned);
    ASSERT_EQ(prompt.texts.size(), 1u);
    EXPECT_EQ(prompt.titles[0], "Permission Denied");
    EXPECT_EQ(prompt.texts[0],
              "Nightjar  requires read/write access to the system registry and hard drive in "
              "order to run properly.  This user account does not have the proper permissions "
              "set.  As a result some or all of your settings may not be properly saved.  "
              "Please contact your system administrator or change the permission settings for "
              "this account.\r\n\r\nIf you would like to prevent this error message from being "
              "displayed again, please press 'Ignore'.");
    EXPECT_EQ(user.Read(keys::kSettings, keys::kIgnorePermissionDeniedError, "0"), "0");
}

TEST_F(MachineSettingsStoreTest, RetryRepeatsTheFailedStep) {
    registry.setReadOnly(Hive::LocalMachine, kSection, true);
    ScriptedPrompt prompt;
    // The first Retry fails again; before the second the administrator lifts the lock.
    int calls = 0;
    PermissionPrompt fn = [&](std::string_view, std::string_view) {
        if (++calls == 2) {
            registry.setReadOnly(Hive::LocalMachine, kSection, false);
        }
        return PermissionAnswer::Retry;
    };
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes", fn),
              MachineError::None);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(machine.MachineRead(keys::kSettings, keys::kFirstTime, "").value, "Yes");
}

TEST_F(MachineSettingsStoreTest, IgnoreSilencesTheMessageFromThenOn) {
    registry.setReadOnly(Hive::LocalMachine, kSection, true);
    ScriptedPrompt prompt;
    prompt.answers = {PermissionAnswer::Ignore};
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes", prompt.fn()),
              MachineError::WriteAbandoned);
    EXPECT_EQ(user.Read(keys::kSettings, keys::kIgnorePermissionDeniedError, "0"), "1");
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kShowHelp, "0", prompt.fn()),
              MachineError::WriteAbandoned);
    EXPECT_EQ(prompt.texts.size(), 1u);  // not asked the second time
}

TEST_F(MachineSettingsStoreTest, WithoutPromptAFailureGivesUp) {
    registry.setFailWrites(true);
    EXPECT_EQ(machine.MachineWrite(keys::kSettings, keys::kFirstTime, "Yes"),
              MachineError::WriteAbandoned);
}

}  // namespace
}  // namespace nightjar::settings
