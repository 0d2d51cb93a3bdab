#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "nightjar/Identity.h"
#include "platform/win32/Win32VersionInfo.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

void expectIdentity(const VersionInfoData& d) {
    EXPECT_EQ(d.productName, NJ_PRODUCT_NAME);
    EXPECT_EQ(d.companyName, NJ_COMPANY_NAME);
    EXPECT_EQ(d.comments, NJ_WEBSITE);
    EXPECT_EQ(d.major, NJ_VERSION_MAJOR);
    EXPECT_EQ(d.minor, NJ_VERSION_MINOR);
    EXPECT_EQ(d.patch, NJ_VERSION_PATCH);
}

TEST(Win32VersionInfoTest, ExecutableWithoutResourceReportsTheCompiledInIdentity) {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, sizeof own);
    DWORD ignored = 0;
    ASSERT_EQ(GetFileVersionInfoSizeA(own, &ignored), 0u) << "the test has a resource";
    Win32VersionInfo info;
    expectIdentity(info.read());
    EXPECT_TRUE(text::iequals(info.executablePath(), own));
    EXPECT_TRUE(text::iendsWith(info.executablePath(), "\\test_platform.exe"));
}

TEST(Win32VersionInfoTest, ReadsTheStringTableOfTheFirstTranslation) {
    Win32VersionInfo info(NJ_TEST_SLEEPER_EXE);
    VersionInfoData d = info.read();
    EXPECT_EQ(d.productName, "Nightjar Test Helper");
    EXPECT_EQ(d.companyName, "Helper Company");
    EXPECT_EQ(d.comments, "helper.example");
    EXPECT_EQ(d.major, 3);
    EXPECT_EQ(d.minor, 4);
    EXPECT_EQ(d.patch, 5);
}

TEST(Win32VersionInfoTest, TheProductResourceHoldsTheBuildIdentity) {
    DWORD ignored = 0;
    ASSERT_GT(GetFileVersionInfoSizeA(NJ_TEST_IDENTITY_EXE, &ignored), 0u);
    expectIdentity(Win32VersionInfo(NJ_TEST_IDENTITY_EXE).read());
}

TEST(Win32VersionInfoTest, MissingFileFallsBackToTheCompiledInIdentity) {
    expectIdentity(Win32VersionInfo("C:\\no\\such\\program.exe").read());
}

#ifdef NJ_PE_FIXTURE_DIR
// The company-name fixtures, read through the system's own version API: what the byte
// parser of the scan is tested against is a well-formed resource.
TEST(Win32VersionInfoTest, CompanyFixturesHoldWhatTheirNamesSay) {
    struct Row {
        const char* file;
        const char* company;
    } rows[] = {
        {"company_microsoft.exe", "Microsoft Corporation"},
        {"company_other.exe", "Example Software Ltd."},
        {"company_missing.exe", ""},
        {"company_empty.exe", ""},
    };
    for (const auto& r : rows) {
        std::string path = std::string(NJ_PE_FIXTURE_DIR) + "\\" + r.file;
        DWORD ignored = 0;
        ASSERT_GT(GetFileVersionInfoSizeA(path.c_str(), &ignored), 0u) << path;
        VersionInfoData d = Win32VersionInfo(path).read();
        EXPECT_EQ(d.companyName, r.company) << r.file;
        EXPECT_EQ(d.productName, "Nightjar Fixture") << r.file;
        EXPECT_EQ(d.major, 1) << r.file;
        EXPECT_EQ(d.minor, 2) << r.file;
        EXPECT_EQ(d.patch, 3) << r.file;
    }
}
#endif

}  // namespace
}  // namespace nightjar::platform::win32
