#include <gtest/gtest.h>

#include <string_view>

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
    auto intOf = [&](const char* stored, int fallback) {
        store.Write(keys::kOptionAndSettings, keys::kScanCookies, stored);
        return store.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, fallback);
    };
    EXPECT_EQ(intOf("0", 1), 0);
    EXPECT_EQ(intOf(" 7 ", 1), 7);
    EXPECT_EQ(intOf("True", 1), -1);
    EXPECT_EQ(intOf("garbage", 5), 5);
}

TEST_F(SettingsStoreTest, CheckBoxTextsPassTheBooleanTest) {
    EXPECT_TRUE(store.ReadBool(keys::kOptionAndSettings, keys::kScanRegistry, true));
    auto boolOf = [&](const char* stored, bool fallback) {
        store.Write(keys::kOptionAndSettings, keys::kMemoryShieldOn, stored);
        return store.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, fallback);
    };
    EXPECT_TRUE(boolOf("1", false));
    EXPECT_FALSE(boolOf("0", true));
    EXPECT_FALSE(boolOf("False", true));
    EXPECT_TRUE(boolOf("true", false));
    EXPECT_TRUE(boolOf("maybe", true));
    EXPECT_FALSE(boolOf("maybe", false));
}

TEST(ToBool, ConvertsLikeABooleanTest) {
    struct Case {
        std::string_view text;
        bool value;
        bool ok;
    };
    for (const Case& c :
         {Case{"True", true, true}, Case{"FALSE", false, true}, Case{"1", true, true},
          Case{"0", false, true}, Case{"-1", true, true}, Case{"0.5", true, true},
          Case{"Yes", false, false}, Case{"", false, false}}) {
        bool ok = !c.ok;
        EXPECT_EQ(ToBool(c.text, ok), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
}

}  // namespace
}  // namespace nightjar::settings
