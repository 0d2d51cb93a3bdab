#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/win32/Win32Registry.h"

namespace nightjar::platform::win32 {
namespace {

using namespace std::string_literals;

/// Works below a key of its own under HKCU\Software, removed again at the end.
class Win32RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base = "Software\\NightjarTest" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(GetTickCount());
        ASSERT_FALSE(reg.keyExists(Hive::CurrentUser, base, KeyAccess::Read));
        ASSERT_TRUE(reg.createKey(Hive::CurrentUser, base));
    }
    void TearDown() override {
        reg.deleteTree(Hive::CurrentUser, base);
        EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, base, KeyAccess::Read));
    }
    std::string key(const std::string& sub) const { return base + "\\" + sub; }

    /// The value as read back with the Win32 API itself.
    std::string rawValue(const std::string& path, const char* name, DWORD& type) {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
            return "<no key>";
        }
        char buf[512];
        DWORD size = sizeof buf;
        LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(k);
        return rc == ERROR_SUCCESS ? std::string(buf, size) : "<no value>";
    }

    Win32Registry reg;
    std::string base;
};

TEST_F(Win32RegistryTest, EveryValueTypeRoundTripsByteForByte) {
    struct Case {
        const char* name;
        RegValue value;
    } cases[] = {
        {"text", RegValue::string("C:\\Program Files\\x")},
        {"expand", RegValue::string("%SystemRoot%\\x", RegType::ExpandSz)},
        {"number", RegValue::dword(0xDEADBEEF)},
        {"binary", RegValue{RegType::Binary, "\x00\xff\x01\r\n\x00"s}},
        {"multi", RegValue{RegType::MultiSz, "one\0two\0\0"s}},
        {"empty", RegValue::string("")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, c.name, c.value)) << c.name;
    }
    for (const auto& c : cases) {
        auto got = reg.queryValue(Hive::CurrentUser, base, c.name, KeyAccess::Full);
        ASSERT_TRUE(got.has_value()) << c.name;
        EXPECT_EQ(got->type, c.value.type) << c.name;
        EXPECT_EQ(got->data, c.value.data) << c.name;
        DWORD type = 0;
        EXPECT_EQ(rawValue(base, c.name, type), c.value.data) << c.name;
        EXPECT_EQ(type, static_cast<DWORD>(c.value.type)) << c.name;
    }
    auto number = reg.queryValue(Hive::CurrentUser, base, "number", KeyAccess::Read);
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->number(), 0xDEADBEEFu);
    auto text = reg.queryValue(Hive::CurrentUser, base, "text", KeyAccess::Read);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->text(), "C:\\Program Files\\x");
    EXPECT_EQ(text->data.back(), '\0');
}

TEST_F(Win32RegistryTest, LargeValuesAreReadWhole) {
    std::string big(70000, 'x');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i % 26);
    }
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, "big", RegValue{RegType::Binary, big}));
    auto got = reg.queryValue(Hive::CurrentUser, base, "big", KeyAccess::Read);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->data, big);
}

TEST_F(Win32RegistryTest, EightBitTextRoundTrips) {
    // Names and text data are UTF-8 in the engine ("\xc3\xa9" is e acute) and UTF-16 in the
    // registry, whatever the ANSI code page holds.
    const std::string value = "Caf\xc3\xa9 \xd0\x94\xd0\xbe\xd0\xba \xe6\x97\xa5\xe6\x9c\xac";
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, key("Sub\xc3\xa9"), "N\xc3\xa4me",
                             RegValue::string(value)));
    auto got =
        reg.queryValue(Hive::CurrentUser, key("SUB\xc3\x89"), "n\xc3\x84me", KeyAccess::Read);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->text(), value);
    auto names = reg.subkeys(Hive::CurrentUser, base);
    ASSERT_TRUE(names.has_value());
    ASSERT_EQ(names->size(), 1u);
    EXPECT_EQ(names->front(), "Sub\xc3\xa9");
    // What another program sees.
    const std::wstring subKey = std::wstring(base.begin(), base.end()) + L"\\Sub\u00e9";
    wchar_t data[64] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), L"N\u00e4me", RRF_RT_REG_SZ, nullptr,
                           data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(data), L"Caf\u00e9 \u0414\u043e\u043a \u65e5\u672c");
    // Eight-bit text that is not UTF-8 is taken as Windows-1252.
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, "latin", RegValue::string("Caf\xe9")));
    EXPECT_EQ(reg.queryValue(Hive::CurrentUser, base, "latin", KeyAccess::Read)->text(),
              "Caf\xc3\xa9");
}

TEST_F(Win32RegistryTest, DefaultValueHasTheEmptyName) {
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, "", RegValue::string("default")));
    auto got = reg.queryValue(Hive::CurrentUser, base, "", KeyAccess::Read);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->text(), "default");
    auto names = reg.valueNames(Hive::CurrentUser, base);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, std::vector<std::string>{""});
}

TEST_F(Win32RegistryTest, MissingKeysAndValuesAreReportedAsMissing) {
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, key("none"), KeyAccess::Read));
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, key("none"), KeyAccess::Full));
    EXPECT_FALSE(reg.queryValue(Hive::CurrentUser, key("none"), "x", KeyAccess::Read));
    EXPECT_FALSE(reg.queryValue(Hive::CurrentUser, base, "x", KeyAccess::Read));
    EXPECT_FALSE(reg.subkeys(Hive::CurrentUser, key("none")).has_value());
    EXPECT_FALSE(reg.valueNames(Hive::CurrentUser, key("none")).has_value());
    EXPECT_FALSE(reg.deleteValue(Hive::CurrentUser, key("none"), "x"));
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, key("none")));
    // Reading never creates anything.
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, key("none"), KeyAccess::Read));
}

TEST_F(Win32RegistryTest, CreateKeyMakesParentsAndOpensWithBothRights) {
    ASSERT_TRUE(reg.createKey(Hive::CurrentUser, key("a\\b\\c")));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, key("a"), KeyAccess::Full));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, key("A\\B\\C"), KeyAccess::Read));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, key("a\\b\\c"), KeyAccess::Full));
    // Creating an existing key succeeds and keeps its values.
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, key("a"), "v", RegValue::dword(7)));
    EXPECT_TRUE(reg.createKey(Hive::CurrentUser, key("a")));
    EXPECT_EQ(reg.queryValue(Hive::CurrentUser, key("a"), "v", KeyAccess::Read)->number(), 7u);
}

TEST_F(Win32RegistryTest, DeleteValueRemovesOnlyThatValue) {
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, "keep", RegValue::string("1")));
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, "drop", RegValue::string("2")));
    EXPECT_TRUE(reg.deleteValue(Hive::CurrentUser, base, "DROP"));
    EXPECT_FALSE(reg.queryValue(Hive::CurrentUser, base, "drop", KeyAccess::Read));
    EXPECT_TRUE(reg.queryValue(Hive::CurrentUser, base, "keep", KeyAccess::Read));
    EXPECT_FALSE(reg.deleteValue(Hive::CurrentUser, base, "drop"));
}

TEST_F(Win32RegistryTest, DeleteTreeRemovesEverythingBelow) {
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, key("t\\x\\y"), "v", RegValue::string("1")));
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, key("t"), "v", RegValue::string("1")));
    ASSERT_TRUE(reg.setValue(Hive::CurrentUser, key("sibling"), "v", RegValue::string("1")));
    EXPECT_TRUE(reg.deleteTree(Hive::CurrentUser, key("T")));
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, key("t"), KeyAccess::Read));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, key("sibling"), KeyAccess::Read));
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, key("t")));
}

TEST_F(Win32RegistryTest, DeleteTreeRefusesToEmptyAHive) {
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, ""));
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, "\\"));
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, " \\ "));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, base, KeyAccess::Read));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, "Software", KeyAccess::Read));
}

TEST_F(Win32RegistryTest, EnumeratesDirectSubkeysAndValueNames) {
    for (const char* sub : {"Alpha", "beta", "Gamma\\deeper"}) {
        ASSERT_TRUE(reg.createKey(Hive::CurrentUser, key(sub)));
    }
    for (const char* name : {"One", "two", "Three"}) {
        ASSERT_TRUE(reg.setValue(Hive::CurrentUser, base, name, RegValue::dword(1)));
    }
    auto subs = reg.subkeys(Hive::CurrentUser, base);
    ASSERT_TRUE(subs.has_value());
    std::sort(subs->begin(), subs->end());
    EXPECT_EQ(*subs, (std::vector<std::string>{"Alpha", "Gamma", "beta"}));
    auto values = reg.valueNames(Hive::CurrentUser, base);
    ASSERT_TRUE(values.has_value());
    std::sort(values->begin(), values->end());
    EXPECT_EQ(*values, (std::vector<std::string>{"One", "Three", "two"}));
    auto empty = reg.subkeys(Hive::CurrentUser, key("beta"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST_F(Win32RegistryTest, OtherHivesAreReachable) {
    EXPECT_TRUE(reg.keyExists(Hive::LocalMachine, "Software", KeyAccess::Read));
    EXPECT_TRUE(reg.keyExists(Hive::ClassesRoot, "", KeyAccess::Read));
    EXPECT_TRUE(reg.keyExists(Hive::Users, "", KeyAccess::Read));
    auto users = reg.subkeys(Hive::Users, "");
    ASSERT_TRUE(users.has_value());
    EXPECT_FALSE(users->empty());
}

}  // namespace
}  // namespace nightjar::platform::win32
