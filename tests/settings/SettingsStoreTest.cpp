#include <gtest/gtest.h>

#include "mock/FakeRegistry.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace nightjar::settings {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegType;
using platform::RegValue;

class SettingsStoreTest : public ::testing::Test {
  protected:
    mock::FakeRegistry registry;
    SettingsStore store{registry, "Nightjar"};
};

TEST_F(SettingsStoreTest, MissingKeyOrSectionGivesTheDefault) {
    EXPECT_EQ(store.Read(keys::kSettings, keys::kLastScan, keys::kNever), "Never");
    store.Write(keys::kSettings, keys::kLanguage, "German");
    EXPECT_EQ(store.Read(keys::kSettings, keys::kMinimized, "No"), "No");
    EXPECT_EQ(store.Read(keys::kDrives, "C:\\", "True"), "True");
}

TEST_F(SettingsStoreTest, WritesStringValuesUnderTheProgramSettingsRoot) {
    ASSERT_TRUE(store.Write(keys::kOptionAndSettings, keys::kMakeLog, "0"));
    auto v = registry.queryValue(
        Hive::CurrentUser, "Software\\VB and VBA Program Settings\\Nightjar\\OptionAndSettings",
        "chkMakeLog", KeyAccess::Read);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, RegType::Sz);
    EXPECT_EQ(v->text(), "0");
    EXPECT_EQ(store.Read(keys::kOptionAndSettings, keys::kMakeLog, "1"), "0");
    // Nothing is cached: a value changed behind the store's back is seen at once.
    registry.setValue(Hive::CurrentUser,
                      "Software\\VB and VBA Program Settings\\Nightjar\\OptionAndSettings",
                      "chkMakeLog", RegValue::string("1"));
    EXPECT_EQ(store.Read(keys::kOptionAndSettings, keys::kMakeLog, "0"), "1");
}

TEST_F(SettingsStoreTest, KeysAndSectionsIgnoreCase) {
    store.Write("settings", "LANGUAGE", "French");
    EXPECT_EQ(store.Read(keys::kSettings, keys::kLanguage, ""), "French");
}

TEST_F(SettingsStoreTest, OtherApplicationNamesAreSeparate) {
    store.WriteApp("ZeRidoRevira2", "Nightjar Labs", "Name", "Guard");
    EXPECT_EQ(store.ReadApp("ZeRidoRevira2", "Nightjar Labs", "Name", ""), "Guard");
    EXPECT_EQ(store.Read("Nightjar Labs", "Name", "none"), "none");
}

TEST_F(SettingsStoreTest, DeleteKeyRemovesTheValue) {
    store.Write(keys::kSettings, keys::kMax, "1");
    EXPECT_TRUE(store.DeleteKey(keys::kSettings, keys::kMax));
    EXPECT_EQ(store.Read(keys::kSettings, keys::kMax, "0"), "0");
}

TEST_F(SettingsStoreTest, NonTextValueReadsAsAbsent) {
    registry.setValue(Hive::CurrentUser,
                      "Software\\VB and VBA Program Settings\\Nightjar\\Settings", "Max",
                      RegValue::dword(1));
    EXPECT_EQ(store.Read(keys::kSettings, keys::kMax, "0"), "0");
}

TEST_F(SettingsStoreTest, CheckBoxValuesConvertToIntegers) {
    EXPECT_EQ(store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 1), 1);
    store.Write(keys::kOptionAndSettings, keys::kScanCookies, "0");
    EXPECT_EQ(store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 1), 0);
    store.Write(keys::kOptionAndSettings, keys::kScanCookies, " 7 ");
    EXPECT_EQ(store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 1), 7);
    store.Write(keys::kOptionAndSettings, keys::kScanCookies, "True");
    EXPECT_EQ(store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 1), -1);
    store.Write(keys::kOptionAndSettings, keys::kScanCookies, "garbage");
    EXPECT_EQ(store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 5), 5);
}

TEST_F(SettingsStoreTest, CheckBoxTextsPassTheBooleanTest) {
    EXPECT_TRUE(store.ReadBool(keys::kOptionAndSettings, keys::kScanRegistry, true));
    store.Write(keys::kOptionAndSettings, keys::kScanRegistry, "1");
    EXPECT_TRUE(store.ReadBool(keys::kOptionAndSettings, keys::kScanRegistry, false));
    store.Write(keys::kOptionAndSettings, keys::kScanRegistry, "0");
    EXPECT_FALSE(store.ReadBool(keys::kOptionAndSettings, keys::kScanRegistry, true));
    store.Write(keys::kOptionAndSettings, keys::kMemoryShieldOn, "False");
    EXPECT_FALSE(store.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true));
    store.Write(keys::kOptionAndSettings, keys::kMemoryShieldOn, "true");
    EXPECT_TRUE(store.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, false));
    store.Write(keys::kOptionAndSettings, keys::kMemoryShieldOn, "maybe");
    EXPECT_TRUE(store.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true));
    EXPECT_FALSE(store.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, false));
}

TEST(ToBool, ConvertsLikeABooleanTest) {
    bool ok = false;
    EXPECT_TRUE(ToBool("True", ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(ToBool("FALSE", ok));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(ToBool("1", ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(ToBool("0", ok));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(ToBool("-1", ok));
    EXPECT_TRUE(ToBool("0.5", ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(ToBool("Yes", ok));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ToBool("", ok));
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace nightjar::settings
