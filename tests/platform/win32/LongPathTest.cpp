#include "platform/win32/LongPath.h"

#include <gtest/gtest.h>

namespace nightjar::platform::win32 {
namespace {

TEST(LongPathTest, AbsolutePathsTakeTheLongFormWithDotsFolded) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a\\b", "\\\\?\\C:\\a\\b"},
        {"c:/a/./b/../c/", "\\\\?\\c:\\a\\c\\"},
        {"C:\\", "\\\\?\\C:\\"},
        {"C:\\..\\..\\x", "\\\\?\\C:\\x"},
        {"C:\\a\\\\b\\name. .", "\\\\?\\C:\\a\\b\\name"},
        {"C:\\a\\Документы\\*", "\\\\?\\C:\\a\\Документы\\*"},
        {"\\\\server\\share\\x\\..\\y", "\\\\?\\UNC\\server\\share\\y"},
        {"//server/share", "\\\\?\\UNC\\server\\share"},
        // Already long, a device, relative, drive-relative or rooted: left alone.
        {"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\a\\..\\b"},
        {"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive0"},
        {"dir\\..\\x", "dir\\..\\x"},
        {"C:rel", "C:rel"},
        {"\\rooted\\x", "\\rooted\\x"},
        {"\\\\server", "\\\\server"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(LongPathForm(in), out) << in;
    }
    // The plain form drops the prefix again, so names reported back never carry it.
    EXPECT_EQ(PlainPathForm(LongPathForm("C:\\x\\日本")), "C:\\x\\日本");
    EXPECT_EQ(PlainPathForm(LongPathForm("\\\\srv\\sh\\f")), "\\\\srv\\sh\\f");
    EXPECT_EQ(PlainPathForm("relative"), "relative");
    EXPECT_EQ(LongPath("C:\\日本"), L"\\\\?\\C:\\日本");
}

}  // namespace
}  // namespace nightjar::platform::win32
