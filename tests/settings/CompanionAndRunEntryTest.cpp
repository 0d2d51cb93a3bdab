#include <gtest/gtest.h>

#include "mock/FakeRegistry.h"
#include "settings/CompanionRecord.h"
#include "settings/RunEntry.h"
#include "settings/SettingKeys.h"

namespace nightjar::settings {
namespace {

using platform::Hive;
using platform::KeyAccess;

class SettingsFixture : public ::testing::Test {
  protected:
    mock::FakeRegistry registry;
    SettingsStore store{registry, "Nightjar"};
};

using CompanionRecordTest = SettingsFixture;

TEST_F(CompanionRecordTest, WritesOwnRecordUnderItsApplicationName) {
    CompanionRecord record(store, "Nightjar Labs");
    record.WriteOwn("Nightjar", "C:\\Program Files\\Nightjar\\Nightjar.exe");
    EXPECT_EQ(store.ReadApp("DiDudaRodirur2", "Nightjar Labs", "Name", ""), "Nightjar");
    EXPECT_EQ(store.ReadApp("DiDudaRodirur2", "Nightjar Labs", "File", ""),
              "C:\\Program Files\\Nightjar\\Nightjar.exe");
    EXPECT_EQ(record.ReadOwn().name, "Nightjar");
    // Writing its own record does not make a companion appear.
    EXPECT_EQ(record.ReadCompanion().name, "");
    EXPECT_EQ(record.ReadCompanion().file, "");
}

TEST_F(CompanionRecordTest, ReadsTheCompanionUnderTheOtherName) {
    store.WriteApp("ZeRidoRevira2", "Nightjar Labs", "Name", "HijackGuard");
    store.WriteApp("ZeRidoRevira2", "Nightjar Labs", "File", "C:\\HG\\hg.exe");
    store.WriteApp("ZeRidoRevira2", "Other Co", "Name", "Foreign");
    CompanionRecord record(store, "Nightjar Labs");
    auto c = record.ReadCompanion();
    EXPECT_EQ(c.name, "HijackGuard");
    EXPECT_EQ(c.file, "C:\\HG\\hg.exe");
}

using RunEntryTest = SettingsFixture;

TEST_F(RunEntryTest, CheckingWritesFolderAndBaseNameWithoutExtension) {
    RunEntry entry(registry, store, "C:\\Program Files\\Nightjar\\Nightjar.exe");
    entry.Apply(1);
    EXPECT_EQ(store.Read(keys::kOptionAndSettings, keys::kRunAtStartup, ""), "1");
    auto v =
        registry.queryValue(Hive::LocalMachine, RunEntry::kRunKey, "Nightjar", KeyAccess::Read);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, platform::RegType::Sz);
    EXPECT_EQ(v->text(), "C:\\Program Files\\Nightjar\\Nightjar");
    EXPECT_EQ(entry.current(), "C:\\Program Files\\Nightjar\\Nightjar");
}

TEST_F(RunEntryTest, UncheckingRemovesTheValue) {
    RunEntry entry(registry, store, "C:\\Apps\\nj.v2.exe");
    EXPECT_EQ(entry.valueName(), "nj.v2");
    EXPECT_EQ(entry.valueData(), "C:\\Apps\\nj.v2");
    entry.Apply(1);
    ASSERT_TRUE(entry.current());
    entry.Apply(0);
    EXPECT_FALSE(entry.current());
    EXPECT_EQ(store.Read(keys::kOptionAndSettings, keys::kRunAtStartup, ""), "0");
    entry.Apply(0);  // removing an absent value is not an error
    EXPECT_FALSE(entry.current());
}

TEST_F(RunEntryTest, ProgramInADriveRootGetsOneSeparator) {
    RunEntry entry(registry, store, "D:\\nj.exe");
    EXPECT_EQ(entry.valueData(), "D:\\nj");
}

TEST_F(RunEntryTest, UnwritableSettingsDoNotTurnAnUncheckIntoACheck) {
    RunEntry entry(registry, store, "C:\\Apps\\nj.exe");
    entry.Apply(1);
    registry.setReadOnly(Hive::CurrentUser,
                         "Software\\VB and VBA Program Settings\\Nightjar\\OptionAndSettings",
                         true);
    entry.Apply(0);
    EXPECT_FALSE(entry.current());
}

TEST_F(RunEntryTest, RegistryFailuresAreIgnored) {
    RunEntry entry(registry, store, "C:\\Apps\\nj.exe");
    registry.setReadOnly(Hive::LocalMachine, RunEntry::kRunKey, true);
    entry.Apply(1);  // no value, no crash
    EXPECT_FALSE(entry.current());
    EXPECT_EQ(store.Read(keys::kOptionAndSettings, keys::kRunAtStartup, ""), "1");
}

}  // namespace
}  // namespace nightjar::settings
