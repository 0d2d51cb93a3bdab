#include "util/Utf16Text.h"

#include <gtest/gtest.h>

#include <string>

namespace nightjar::utf16 {
namespace {

// The wide forms are what every name crosses the Windows API in: UTF-8 must survive the
// round trip, and what is not UTF-8 on either side must still give a usable name.
TEST(Utf16TextTest, WideFormsRoundTripAndRepairWhatIsNotUnicode) {
    const std::string texts[] = {"",
                                 "plain.exe",
                                 "Документы\\отчёт",
                                 "日本\\長い名前",
                                 "emoji \xF0\x9F\x98\x80 pair",
                                 std::string("nul\0in", 6)};
    for (const std::string& t : texts) {
        EXPECT_EQ(narrow(widen(t)), t);
    }
    // A character past U+FFFF takes two units, as Windows stores it.
    EXPECT_EQ(widen("\xF0\x9F\x98\x80"), (std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}));
    EXPECT_EQ(widen("\xC4rger"), L"\u00C4rger");  // Windows-1252, as definition files are
    // NTFS allows unpaired surrogates in names; they come back as U+FFFD.
    EXPECT_EQ(narrow(std::wstring{L'a', wchar_t(0xD800), L'b', wchar_t(0xDC00)}),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace nightjar::utf16
