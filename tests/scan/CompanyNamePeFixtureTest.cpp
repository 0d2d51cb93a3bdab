#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "mock/FakeFileSystem.h"
#include "scan/CompanyNameReader.h"

namespace nightjar::scan {
namespace {

// Real Windows executables built by the resource compiler (see tests/fixtures/pe).
class CompanyNamePeFixtureTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef NJ_PE_FIXTURE_DIR
        GTEST_SKIP() << "the PE fixtures were not built (no mingw-w64 tools)";
#endif
    }
    /// The company name of a fixture read through the reader (small windows, so markers
    /// straddle window boundaries too), checked against the whole-file search.
    std::string company(const std::string& name) {
#ifdef NJ_PE_FIXTURE_DIR
        std::ifstream in(std::string(NJ_PE_FIXTURE_DIR) + "/" + name, std::ios::binary);
        EXPECT_TRUE(in.good()) << name;
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_GT(bytes.size(), 512u);
        fs.addFile("C:\\fixtures\\" + name, bytes);
        const std::string whole = CompanyNameReader::FromBytes(bytes);
        for (std::size_t chunk : {7u, 64u, 4096u}) {
            CompanyNameReader reader(fs, chunk);
            EXPECT_EQ(reader.ReadCompanyName("C:\\fixtures\\" + name), whole) << chunk;
        }
        return whole;
#else
        return name;
#endif
    }
    mock::FakeFileSystem fs;
};

TEST_F(CompanyNamePeFixtureTest, MicrosoftCompany) {
    EXPECT_EQ(company("company_microsoft.exe"), "Microsoft Corporation");
}

TEST_F(CompanyNamePeFixtureTest, OtherCompany) {
    EXPECT_EQ(company("company_other.exe"), "Example Software Ltd.");
}

TEST_F(CompanyNamePeFixtureTest, MissingCompany) {
    EXPECT_EQ(company("company_missing.exe"), "");
}

TEST_F(CompanyNamePeFixtureTest, EmptyCompanyFollowedByDescription) {
    // The value runs into the next entry: only the text before the first control
    // character counts, which here is nothing.
    const std::string c = company("company_empty.exe");
    EXPECT_EQ(c, "");
}

}  // namespace
}  // namespace nightjar::scan
