#include <gtest/gtest.h>

#include <string>

#include "platform/posix/WineRegFile.h"

namespace nightjar::platform::posix {
namespace {

using namespace std::string_literals;

// Every form Wine writes, lines it does not (a badly wrapped value, an unknown type, a
// comment, a stray line) and a value wrapped over three lines exactly as Wine wraps it.
const std::string kSample =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Acme\\\\Tool] 1700000000\n"
    "#time=1da1a1a1a1a1a1a\n"
    "#class=\"Acme\"\n"
    "\"Sz\"=\"a \\\"quoted\\\" back\\\\slash\\ttab\\nnl\\r\\0x\\0003\"\n"
    "\"Caf\\xe9\"=\"\\x00e9clair \\xd83c\\xdf0e\"\n"
    "@=\"default\"\n"
    "\"Exp\"=str(2):\"%SystemRoot%\\\\x\"\n"
    "\"Multi\"=str(7):\"one\\0two\\0\"\n"
    "\"Dw\"=dword:0000001f\n"
    "\"HardwareId\"=hex(7):72,00,6f,00,6f,00,74,00,5c,00,77,00,69,00,6e,00,65,00,62,\\\n"
    "  00,75,00,73,00,00,00,00,00,43,00,3a,00,5c,00,77,00,69,00,6e,00,64,00,6f,00,\\\n"
    "  77,00,73,00,5c,00,69,00,6e,00,66,00\n"
    "\"Odd\"=hex(ffff1003):00,00,00,04\n"
    "\"Bin\"=hex:00,01,ff,\\\n"
    "  80,7f\n"
    "\"Bad\"=bogus:zz\n"
    "; a comment\n"
    "something unknown\n"
    "\n"
    "[Software\\\\Acme\\\\Tool\\\\Sub] 1700000001\n"
    "#time=1da1a1a1a1a1a1b\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00\n"
    "\n"
    "[Software\\\\Other] 1700000002\n"
    "#time=1da1a1a1a1a1a1c\n"
    "\"Keep\"=\"me\"\n";

constexpr std::int64_t kNow = 1800000000;
const std::string kNowLines = "] 1800000000\n#time=1dda4c66b338000\n";

WineRegFile parsed(const std::string& text) {
    auto f = WineRegFile::parse(text);
    EXPECT_TRUE(f.has_value());
    return f ? std::move(*f) : std::move(*WineRegFile::parse("WINE REGISTRY Version 2\n"));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(WineRegFileTest, ReadsWhatWineWritesAndWritesItBackByteForByte) {
    WineRegFile f = parsed(kSample);
    EXPECT_EQ(f.text(), kSample);
    EXPECT_EQ(f.relativeTo(), "REGISTRY\\User\\S-1-5-21-0-0-0-1000");

    const std::string tool = "software\\ACME\\tool";
    EXPECT_EQ(f.value(tool, "sz")->data,
              "a \"quoted\" back\\slash\ttab\nnl\r\0x\0"
              "3\0"s);
    auto cafe = f.value(tool, "CAF\xC3\x89");  // the name folds like a Latin letter
    ASSERT_TRUE(cafe);
    EXPECT_EQ(cafe->text(),
              "\xC3\xA9"
              "clair \xF0\x9F\x8C\x8E");
    EXPECT_EQ(f.value(tool, "")->text(), "default");
    EXPECT_EQ(f.value(tool, "Exp")->type, RegType::ExpandSz);
    EXPECT_EQ(f.value(tool, "Multi")->type, RegType::MultiSz);
    EXPECT_EQ(f.value(tool, "Multi")->data, "one\0two\0\0"s);
    EXPECT_EQ(f.value(tool, "Dw")->number(), 31u);
    EXPECT_EQ(f.value(tool, "HardwareId")->data, "root\\winebus\0\0C:\\windows\\inf"s);
    EXPECT_EQ(static_cast<std::uint32_t>(f.value(tool, "Odd")->type), 0xffff1003u);
    EXPECT_EQ(f.value(tool, "Bin")->data, "\x00\x01\xff\x80\x7f"s);
    EXPECT_FALSE(f.value(tool, "Bad"));
    EXPECT_EQ(*f.valueNames(tool),
              (std::vector<std::string>{"Sz", "Caf\xC3\xA9", "", "Exp", "Multi", "Dw", "HardwareId",
                                        "Odd", "Bin"}));
    // Keys that only lie on the way to others exist as well.
    EXPECT_TRUE(f.keyExists("Software\\Acme"));
    EXPECT_EQ(*f.subkeys("Software"), (std::vector<std::string>{"Acme", "Other"}));
    EXPECT_FALSE(f.subkeys("Software\\Nothing"));

    // Written again as read, every value Wine wrote comes out in the same bytes.
    for (const char* name : {"Sz", "Caf\xC3\xA9", "", "Exp", "Multi", "Dw", "HardwareId", "Odd"}) {
        EXPECT_TRUE(f.setValue(tool, name, *f.value(tool, name), kNow));
        EXPECT_FALSE(f.changed()) << name;
    }
    EXPECT_EQ(f.text(), kSample);

    EXPECT_FALSE(WineRegFile::parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\x]\n"));
}

TEST(WineRegFileTest, ChangesTouchOnlyTheLinesOfTheirKeysAndValues) {
    const std::string toolHead = "[Software\\\\Acme\\\\Tool] 1700000000\n#time=1da1a1a1a1a1a1a\n";
    const std::string toolNow = "[Software\\\\Acme\\\\Tool" + kNowLines;
    {
        WineRegFile f = parsed(kSample);
        ASSERT_TRUE(f.setValue("Software\\Acme\\Tool", "DW", RegValue::dword(0x20), kNow));
        std::string want = replaced(replaced(kSample, toolHead, toolNow), "\"Dw\"=dword:0000001f",
                                    "\"Dw\"=dword:00000020");
        EXPECT_EQ(f.text(), want);
        ASSERT_TRUE(f.deleteValue("Software\\Acme\\Tool", "HardwareId", kNow));
        EXPECT_FALSE(f.deleteValue("Software\\Acme\\Tool", "HardwareId", kNow));
        want.erase(want.find("\"HardwareId\""), want.find("\"Odd\"") - want.find("\"HardwareId\""));
        EXPECT_EQ(f.text(), want);
        EXPECT_EQ(parsed(f.text()).valueNames("Software\\Acme\\Tool")->size(), 8u);
    }
    {
        // A new value goes after the key's last value; a new key at the end of the file.
        WineRegFile f = parsed(kSample);
        ASSERT_TRUE(f.setValue("Software\\Other", "New", RegValue::string("x\\\"y\xC3\xA9"), kNow));
        ASSERT_TRUE(f.setValue("Software\\Fresh\\Key", "", RegValue::dword(1), kNow));
        std::string want =
            replaced(kSample, "[Software\\\\Other] 1700000002\n#time=1da1a1a1a1a1a1c\n",
                     "[Software\\\\Other" + kNowLines);
        want += "\"New\"=\"x\\\\\\\"y\\xe9\"\n\n[Software\\\\Fresh\\\\Key" + kNowLines +
                "@=dword:00000001\n";
        EXPECT_EQ(f.text(), want);
        EXPECT_EQ(parsed(f.text()).value("software\\other", "new")->text(), "x\\\"y\xC3\xA9");
    }
    {
        // The key above a deleted tree keeps existing: it is written where the tree was.
        WineRegFile f = parsed(kSample);
        ASSERT_TRUE(f.deleteTree("Software\\Acme\\Tool", kNow));
        EXPECT_FALSE(f.deleteTree("Software\\Acme\\Tool", kNow));
        EXPECT_FALSE(f.deleteTree("", kNow));
        const std::size_t from = kSample.find(toolHead);
        const std::size_t to = kSample.find("[Software\\\\Other]");
        std::string want =
            kSample.substr(0, from) + "[Software\\\\Acme" + kNowLines + "\n" + kSample.substr(to);
        EXPECT_EQ(f.text(), want);
        WineRegFile back = parsed(f.text());
        EXPECT_TRUE(back.keyExists("Software\\Acme"));
        EXPECT_TRUE(back.subkeys("Software\\Acme")->empty());
        EXPECT_FALSE(back.keyExists("Software\\Acme\\Tool\\Sub"));
        // The file's last key goes with the blank line before it.
        ASSERT_TRUE(back.deleteTree("Software\\Other", kNow));
        EXPECT_EQ(back.text(), want.substr(0, want.find("\n[Software\\\\Other]")));
    }
    {
        // Line ends as the file has them, also after a last line without one; blanks
        // before a line do not count.
        std::string crlf = "WINE REGISTRY Version 2\r\n\r\n [A] 1\r\n\t\"v\"=\"1\"";
        WineRegFile f = parsed(crlf);
        EXPECT_EQ(f.value("a", "V")->text(), "1");
        ASSERT_TRUE(f.setValue("B", "w", RegValue::string("2"), kNow));
        EXPECT_EQ(f.text(), crlf +
                                "\r\n\r\n[B] 1800000000\r\n#time=1dda4c66b338000\r\n"
                                "\"w\"=\"2\"\r\n");
    }
}

}  // namespace
}  // namespace nightjar::platform::posix
