#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "platform/Registry.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar {
namespace {

/// The code point of a UTF-8 text holding one character, through the C library.
std::wint_t codePoint(const std::string& utf8) {
    std::mbstate_t state{};
    wchar_t c = 0;
    return std::mbrtowc(&c, utf8.data(), utf8.size(), &state) == utf8.size()
               ? static_cast<std::wint_t>(c)
               : WEOF;
}

std::string ofByte(int b) {
    return text::windows1252ToUtf8(std::string(1, static_cast<char>(b)));
}

#ifndef _WIN32
// Against iconv for every code the code page assigns.
TEST(Windows1252Test, EveryAssignedCodeConvertsAsIconvDoes) {
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int compared = 0;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char out[8] = {};
        char* inPtr = &in;
        char* outPtr = out;
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            continue;  // unassigned in iconv's table
        }
        EXPECT_EQ(ofByte(b), std::string(out, outPtr)) << b;
        ++compared;
    }
    iconv_close(cd);
    EXPECT_GE(compared, 251);
}
#endif

// Case over the whole code page, against the C library's case of the same characters kept
// to those the code page has: toLower, toUpper and iequals agree with it.
TEST(TextCaseTest, FoldsAsciiAndTheLatinLettersOfTheCodePage) {
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
        GTEST_SKIP() << "no UTF-8 locale";
    }
    std::wstring page;  // code point of byte b at b - 1
    for (int b = 1; b < 256; ++b) {
        page.push_back(static_cast<wchar_t>(codePoint(ofByte(b))));
    }
    auto inPage = [&](std::wint_t c) {
        return page.find(static_cast<wchar_t>(c)) != std::wstring::npos;
    };
    auto lowerOf = [&](std::wint_t c) { return inPage(std::towlower(c)) ? std::towlower(c) : c; };
    auto upperOf = [&](std::wint_t c) { return inPage(std::towupper(c)) ? std::towupper(c) : c; };
    auto byteOf = [&](std::wint_t c) {
        return static_cast<int>(page.find(static_cast<wchar_t>(c))) + 1;
    };
    for (int a = 1; a < 256; ++a) {
        const std::string u = ofByte(a);
        const std::wint_t c = codePoint(u);
        EXPECT_EQ(text::toLower(u), ofByte(byteOf(lowerOf(c)))) << a;
        EXPECT_EQ(text::toUpper(u), ofByte(byteOf(upperOf(c)))) << a;
        for (int b = 1; b < 256; ++b) {
            const bool same = lowerOf(c) == lowerOf(codePoint(ofByte(b)));
            EXPECT_EQ(text::iequals("x" + u + "y", "X" + ofByte(b) + "Y"), same) << a << " " << b;
        }
    }
    std::setlocale(LC_CTYPE, "C");
    // Offsets survive lower-casing, so a match is found where it is.
    EXPECT_EQ(text::ifind("\xC5\xB8 \xC3\x84rger.EXE", "\xC3\xA4RGER.exe"), 3u);
}

// Splitting and replacing agree: the pieces joined with the replacement are the replaced
// text, and joined with the separator give the text back. The case-blind forms cut at the
// same places in the original text as the exact forms do in the lower-cased one.
TEST(TextSplitTest, SplitAndReplaceCutAtTheSamePlaces) {
    auto join = [](const std::vector<std::string>& parts, const std::string& glue) {
        std::string r;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            r += (i == 0 ? "" : glue) + parts[i];
        }
        return r;
    };
    std::mt19937 rng(7);
    const std::string letters = "aAbB=\\";
    auto randomText = [&](std::size_t maxLength) {
        std::string r(rng() % (maxLength + 1), ' ');
        for (char& c : r) {
            c = letters[rng() % letters.size()];
        }
        return r;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string s = randomText(12);
        const std::string sep = randomText(2);
        const auto parts = text::split(s, sep);
        EXPECT_EQ(join(parts, sep), s);
        EXPECT_EQ(text::replaceAll(s, sep, "<>"), join(parts, "<>")) << s << " " << sep;
        const auto iparts = text::isplit(s, sep);
        EXPECT_EQ(text::ireplaceAll(s, sep, "<>"), join(iparts, "<>")) << s << " " << sep;
        std::vector<std::string> lowered;
        for (const auto& p : iparts) {
            lowered.push_back(text::toLower(p));
        }
        EXPECT_EQ(lowered, text::split(text::toLower(s), text::toLower(sep))) << s << " " << sep;
    }
    EXPECT_EQ(text::split("", "="), std::vector<std::string>{""});
}

// One table of hive codes for every reader: the codes of the definition files, names that
// go back to their hive, and texts that name no hive.
TEST(HiveTableTest, CodesNameTheirHivesAndNothingElseDoes) {
    using platform::Hive;
    const Hive byCode[] = {Hive::ClassesRoot, Hive::CurrentUser,   Hive::LocalMachine,
                           Hive::Users,       Hive::CurrentConfig, Hive::DynData};
    for (int code = 0; code < 6; ++code) {
        const auto hive = platform::hiveFromCode(" " + std::to_string(code));
        ASSERT_TRUE(hive.has_value()) << code;
        EXPECT_EQ(*hive, byCode[code]);
        EXPECT_EQ(platform::hiveFromName(platform::hiveName(*hive)), hive);
        EXPECT_TRUE(text::istartsWith(platform::hiveName(*hive), "HKEY_"));
    }
    for (const char* none : {"6", "-1", "", "x", "1x", "99999999999999999999"}) {
        EXPECT_FALSE(platform::hiveFromCode(none).has_value()) << none;
    }
}

// The one rule for where a 32-bit program's view of a key lies.
TEST(HiveTableTest, Wow64TwinLiesBelowTheRedirectedRootsOnly) {
    using platform::Hive;
    const struct {
        Hive hive;
        const char* path;
        const char* twin;  // nullptr: none
    } cases[] = {
        {Hive::LocalMachine, "Software\\Acme\\Run", "Software\\Wow6432Node\\Acme\\Run"},
        {Hive::LocalMachine, "SOFTWARE\\Acme", "SOFTWARE\\Wow6432Node\\Acme"},
        {Hive::LocalMachine, "Software\\Classes\\CLSID\\{x}",
         "Software\\Classes\\Wow6432Node\\CLSID\\{x}"},
        {Hive::CurrentUser, "software\\classes\\Acme", "software\\classes\\Wow6432Node\\Acme"},
        {Hive::ClassesRoot, "CLSID\\{x}", "Wow6432Node\\CLSID\\{x}"},
        {Hive::ClassesRoot, "Acme", "Wow6432Node\\Acme"},
        // Already the 32-bit view.
        {Hive::LocalMachine, "Software\\wow6432node\\Acme", nullptr},
        {Hive::LocalMachine, "Software\\Classes\\Wow6432Node\\Acme", nullptr},
        {Hive::ClassesRoot, "WOW6432NODE\\Acme", nullptr},
        // Outside the redirected roots, or a root itself.
        {Hive::CurrentUser, "Software\\Acme", nullptr},
        {Hive::LocalMachine, "System\\CurrentControlSet", nullptr},
        {Hive::LocalMachine, "Softwares\\Acme", nullptr},
        {Hive::LocalMachine, "Software", nullptr},
        {Hive::LocalMachine, "Software\\", nullptr},
        {Hive::CurrentUser, "Software\\Classes", nullptr},
        {Hive::ClassesRoot, "", nullptr},
        {Hive::Users, "S-1-5-18\\Software\\Acme", nullptr},
        {Hive::CurrentConfig, "Software\\Acme", nullptr},
    };
    for (const auto& c : cases) {
        const auto twin = platform::wow64TwinPath(c.hive, c.path);
        if (c.twin == nullptr) {
            EXPECT_FALSE(twin.has_value()) << c.path << " -> " << twin.value_or("");
        } else {
            EXPECT_EQ(twin.value_or("<none>"), c.twin) << c.path;
        }
    }
}

}  // namespace
}  // namespace nightjar
