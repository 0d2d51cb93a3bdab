#include "scan/RegistryAccess.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "mock/FakeRegistry.h"

namespace nightjar::scan {
namespace {

using platform::Hive;
using platform::RegType;
using platform::RegValue;

struct RecordingLog : removal::RemovalLog {
    std::vector<std::pair<std::string, std::string>> entries;
    void logRegistryRemoval(std::string_view key, std::string_view value) override {
        entries.emplace_back(key, value);
    }
};

class RegistryAccessTest : public ::testing::Test {
  protected:
    mock::FakeRegistry reg;
    RecordingLog log;
    RegistryAccess access{reg, &log};
};

TEST_F(RegistryAccessTest, HiveFromCodeSetsCurrentName) {
    auto h = access.HiveFromCode("4");
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(*h, Hive::CurrentConfig);
    EXPECT_EQ(access.currentHiveName(), "HKEY_CURRENT_CONFIG");
    EXPECT_FALSE(access.HiveFromCode("6").has_value());
    EXPECT_EQ(access.currentHiveName(), "");
    EXPECT_EQ(access.HiveFromCode(" 0 ").value(), Hive::ClassesRoot);
    EXPECT_EQ(access.HiveFromCode("5").value(), Hive::DynData);
    EXPECT_EQ(access.currentHiveName(), "HKEY_DYN_DATA");
    EXPECT_FALSE(access.HiveFromCode("x").has_value());
    EXPECT_FALSE(access.HiveFromCode("-1").has_value());
    EXPECT_FALSE(access.HiveFromCode("").has_value());
}

TEST_F(RegistryAccessTest, ReadOnlyKeyCountsAsMissing) {
    reg.setValue(Hive::LocalMachine, "Software\\Locked", "v", RegValue::string("x"));
    reg.setReadOnly(Hive::LocalMachine, "Software\\Locked", true);
    EXPECT_FALSE(access.KeyExists(Hive::LocalMachine, "Software\\Locked"));
    std::string out;
    EXPECT_FALSE(access.ReadValue(Hive::LocalMachine, "Software\\Locked", "v", out));
    EXPECT_FALSE(access.ReadValueText(Hive::LocalMachine, "Software\\Locked", "v", out));
    reg.setReadOnly(Hive::LocalMachine, "Software\\Locked", false);
    EXPECT_TRUE(access.KeyExists(Hive::LocalMachine, "Software\\Locked"));
}

TEST_F(RegistryAccessTest, ReadValueTypes) {
    reg.setValue(Hive::CurrentUser, "K", "sz", RegValue::string("hello"));
    reg.setValue(Hive::CurrentUser, "K", "exp", RegValue::string("%x%", RegType::ExpandSz));
    reg.setValue(Hive::CurrentUser, "K", "num", RegValue::dword(42));
    reg.setValue(Hive::CurrentUser, "K", "neg", RegValue::dword(0xFFFFFFFFu));
    reg.setValue(Hive::CurrentUser, "K", "empty", RegValue::string(""));
    reg.setValue(Hive::CurrentUser, "K", "bin", RegValue{RegType::Binary, "ab"});
    reg.setValue(Hive::CurrentUser, "K", "multi",
                 RegValue{RegType::MultiSz, std::string("a\0b\0\0", 5)});
    reg.setValue(Hive::CurrentUser, "K", "raw", RegValue{RegType::Sz, "noterm"});
    // The text ReadValue gives, or nothing when it refuses the value.
    auto read = [&](std::string_view key, std::string_view name) -> std::optional<std::string> {
        std::string out = "stale";
        if (!access.ReadValue(Hive::CurrentUser, key, name, out)) {
            return std::nullopt;
        }
        return out;
    };
    EXPECT_EQ(read("K", "sz"), "hello");
    EXPECT_EQ(read("K", "exp"), "%x%");
    EXPECT_EQ(read("K", "num"), "42");
    EXPECT_EQ(read("K", "neg"), "-1");
    EXPECT_EQ(read("K", "empty"), "");
    EXPECT_EQ(read("K", "raw"), "noterm");
    EXPECT_EQ(read("K", "bin"), std::nullopt);
    EXPECT_EQ(read("K", "multi"), std::nullopt);
    EXPECT_EQ(read("K", "missing"), std::nullopt);
    EXPECT_EQ(read("NoKey", "sz"), std::nullopt);
}

TEST_F(RegistryAccessTest, ReadValueTextLimitsAndForms) {
    reg.setValue(Hive::CurrentUser, "Main", "Start Page", RegValue::string("http://a.example/"));
    reg.setValue(Hive::CurrentUser, "Main", "n", RegValue::dword(7));
    reg.setValue(Hive::CurrentUser, "Main", "long", RegValue::string(std::string(1100, 'x')));
    std::string out;
    EXPECT_TRUE(access.ReadUserKeyValue("Main", "Start Page", out));
    EXPECT_EQ(out, "http://a.example/");
    EXPECT_TRUE(access.ReadValueText(Hive::CurrentUser, "Main", "n", out));
    EXPECT_EQ(out, "7");
    EXPECT_FALSE(access.ReadValueText(Hive::CurrentUser, "Main", "long", out));
    EXPECT_FALSE(access.ReadUserKeyValue("Main", "absent", out));
}

TEST_F(RegistryAccessTest, WriteValueNumberOrTrimmedText) {
    access.WriteValue(Hive::CurrentUser, "New\\Key", "a", "123");
    access.WriteValue(Hive::CurrentUser, "New\\Key", "b", "abc ");
    auto a = reg.queryValue(Hive::CurrentUser, "New\\Key", "a", platform::KeyAccess::Read);
    auto b = reg.queryValue(Hive::CurrentUser, "New\\Key", "b", platform::KeyAccess::Read);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->type, RegType::Dword);
    EXPECT_EQ(a->number(), 123u);
    EXPECT_EQ(b->type, RegType::Sz);
    EXPECT_EQ(b->data, std::string("abc\0", 4));
    access.WriteValue(Hive::CurrentUser, "New\\Key", "c", "12a");
    EXPECT_EQ(reg.queryValue(Hive::CurrentUser, "New\\Key", "c", platform::KeyAccess::Read)->type,
              RegType::Sz);
}

TEST_F(RegistryAccessTest, DeleteValueLogsWithHiveName) {
    reg.setValue(Hive::LocalMachine, "Software\\X", "Start", RegValue::dword(2));
    access.HiveFromCode("1");  // a stale lookup must not name the wrong hive
    access.DeleteValue(Hive::LocalMachine, "Software\\X", "Start");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "HKEY_LOCAL_MACHINE\\Software\\X");
    EXPECT_EQ(log.entries[0].second, "Start");
    EXPECT_FALSE(
        reg.queryValue(Hive::LocalMachine, "Software\\X", "Start", platform::KeyAccess::Read));
    // Nothing deleted, nothing logged; the default value is never logged.
    access.DeleteValue(Hive::LocalMachine, "Software\\X", "Start");
    reg.setValue(Hive::LocalMachine, "Software\\X", "", RegValue::string("d"));
    access.DeleteValue(Hive::LocalMachine, "Software\\X", "");
    EXPECT_EQ(log.entries.size(), 1u);
}

TEST_F(RegistryAccessTest, DeleteKeyTreeLogsHandleValueAndAllValues) {
    reg.setValue(Hive::CurrentUser, "Software\\Spy\\Sub", "v", RegValue::string("x"));
    EXPECT_TRUE(access.DeleteKeyTree(Hive::CurrentUser, "Software\\Spy"));
    EXPECT_FALSE(access.KeyExists(Hive::CurrentUser, "Software\\Spy\\Sub"));
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "-2147483647\\Software\\Spy");
    EXPECT_EQ(log.entries[0].second, "All Values");
    EXPECT_FALSE(access.DeleteKeyTree(Hive::CurrentUser, "Software\\Spy"));
    EXPECT_EQ(log.entries.size(), 1u);
}

TEST_F(RegistryAccessTest, WithoutLogDeletionsStillWork) {
    RegistryAccess plain(reg);
    reg.setValue(Hive::CurrentUser, "A", "v", RegValue::string("x"));
    plain.DeleteValue(Hive::CurrentUser, "A", "v");
    EXPECT_TRUE(plain.DeleteKeyTree(Hive::CurrentUser, "A"));
    EXPECT_TRUE(plain.RegisterServerEntry("C:\\x.dll", false));
}

}  // namespace
}  // namespace nightjar::scan
