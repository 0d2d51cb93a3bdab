#include "removal/RegFileReader.h"

#include <gtest/gtest.h>

#include <random>

#include "removal/RegFileWriter.h"
#include "util/Text.h"
#include "util/Utf16Text.h"

namespace nightjar::removal {
namespace {

using platform::Hive;
using platform::RegType;

std::string describe(const std::vector<RegFileKey>& keys) {
    std::string out;
    for (const auto& k : keys) {
        out += "[" + std::to_string(static_cast<unsigned>(k.hive)) + "|" + k.path + "]\n";
        for (const auto& v : k.values) {
            out += v.name + "=" + std::to_string(static_cast<unsigned>(v.value.type)) + ":" +
                   v.value.data + "\n";
        }
    }
    return out;
}

/// Random text as names and string data hold it: quotes, backslashes, brackets, "@", "=",
/// blanks, letters beyond ASCII and beyond the 16-bit plane.
std::string randomText(std::mt19937& rng, std::size_t maxLen, bool withControls) {
    static const char32_t kPieces[] = {'a', 'Z', '"', '\\', '[',    ']',     '@',    '=', ' ',
                                       ',', ';', '-', 0xE9, 0x20AC, 0x1F600, 0xFFFD, '\t'};
    std::string out;
    const std::size_t len = rng() % (maxLen + 1);
    for (std::size_t i = 0; i < len; ++i) {
        if (withControls && rng() % 8 == 0) {
            out.push_back("\0\r\n"[rng() % 3]);
        } else {
            text::appendUtf8(out, kPieces[rng() % std::size(kPieces)]);
        }
    }
    return out;
}

platform::RegValue randomValue(std::mt19937& rng) {
    static const std::uint32_t kTypes[] = {0, 1, 1, 2, 3, 4, 4, 7, 11, 0x12345};
    platform::RegValue v;
    v.type = static_cast<RegType>(kTypes[rng() % std::size(kTypes)]);
    switch (v.type) {
        case RegType::Sz:
        case RegType::ExpandSz:
        case RegType::MultiSz:
            v.data = randomText(rng, 60, rng() % 2 == 0);
            if (rng() % 3 != 0) {
                v.data.push_back('\0');
            }
            break;
        default: {
            const std::size_t len = v.type == RegType::Dword && rng() % 4 ? 4 : rng() % 90;
            for (std::size_t i = 0; i < len; ++i) {
                v.data.push_back(static_cast<char>(rng()));
            }
        }
    }
    return v;
}

TEST(RegFileReaderTest, WriterOutputReadsBackToTheSameTypesAndBytes) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 300; ++round) {
        std::vector<RegFileKey> keys(1 + rng() % 3);
        for (auto& k : keys) {
            k.hive = rng() % 2 ? Hive::LocalMachine : Hive::Users;
            k.path = round % 7 == 0 ? "" : "Software\\" + randomText(rng, 20, false);
            while (!k.path.empty() && k.path.back() == '\\') {
                k.path.back() = 'x';  // a trailing "\" names the same key
            }
            for (std::size_t n = rng() % 6; n > 0; --n) {
                k.values.push_back({randomText(rng, 12, false), randomValue(rng)});
            }
        }
        auto bytes = RegFileWriter::fileBytes(keys);
        ASSERT_TRUE(bytes) << describe(keys);
        auto back = RegFileReader::parse(*bytes);
        ASSERT_TRUE(back) << describe(keys);
        EXPECT_EQ(describe(*back), describe(keys));
        // The 8-bit form reads back alike; wrapped hex lines stay within 80 columns.
        auto text = RegFileWriter::text(keys);
        auto fromText = RegFileReader::parse(*text);
        ASSERT_TRUE(fromText);
        EXPECT_EQ(describe(*fromText), describe(keys));
        for (const std::string& line : text::split(*text, "\r\n")) {
            if (line.starts_with("  ")) {
                EXPECT_LE(line.size(), 80u) << line;
            }
        }
    }
}

TEST(RegFileReaderTest, ReadsRegistryEditorExportsInEitherEncoding) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; exported\r\n"
        "[HKCU\\Software\\Caf\xe9]\r\n"
        "@=\"d\"\r\n"
        "\"Num\" = dword:0000002A\r\n"
        "\"Bin\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n";
    auto ansi = RegFileReader::parse(text);
    ASSERT_TRUE(ansi);
    ASSERT_EQ(ansi->size(), 1u);
    EXPECT_EQ((*ansi)[0].hive, Hive::CurrentUser);
    EXPECT_EQ((*ansi)[0].path, "Software\\Caf\xc3\xa9");  // Windows-1252 taken as such
    EXPECT_EQ(describe(*ansi), "[2147483649|Software\\Caf\xc3\xa9]\n=1:d" + std::string(1, '\0') +
                                   "\nNum=4:*" + std::string(3, '\0') +
                                   "\nBin=3:\x01\x02\x03\nExp=2:%A%" + std::string(1, '\0') +
                                   "\nQ=11:\x01" + std::string(7, '\0') + "\n");
    auto wide = utf16::fromUtf8(text::replaceAll(text, "\xe9", "\xc3\xa9"));
    auto unicode = RegFileReader::parse("\xff\xfe" + *wide);
    ASSERT_TRUE(unicode);
    EXPECT_EQ(describe(*unicode), describe(*ansi));

    for (const char* bad : {
             "REGEDIT4\r\n\r\n[HKCU\\X]\r\n",
             "Windows Registry Editor Version 5.00\r\n\"v\"=\"no section\"\r\n",
             "Windows Registry Editor Version 5.00\r\n[-HKCU\\X]\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=-\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKXX\\X]\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=hex:1,\\",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=hex(1):41\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=hex:123\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=\"open\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKCU\\X]\r\n\"v\"=dword:100000000\r\n",
         }) {
        EXPECT_FALSE(RegFileReader::parse(bad)) << bad;
    }
}

}  // namespace
}  // namespace nightjar::removal
