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
    /// The bytes of a fixture.
    static std::string bytesOf(const std::string& name) {
#ifdef NJ_PE_FIXTURE_DIR
        std::ifstream in(std::string(NJ_PE_FIXTURE_DIR) + "/" + name, std::ios::binary);
        EXPECT_TRUE(in.good()) << name;
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
#else
        return name;
#endif
    }
    /// The company name of a file read through the reader, checked against the in-memory
    /// form.
    std::string company(const std::string& bytes) {
        fs.addFile("C:\\fixtures\\f.exe", bytes);
        const std::string read = CompanyNameReader(fs).ReadCompanyName("C:\\fixtures\\f.exe");
        EXPECT_EQ(read, CompanyNameReader::FromBytes(bytes));
        return read;
    }
    mock::FakeFileSystem fs;
};

TEST_F(CompanyNamePeFixtureTest, CompanyOfTheVersionResource) {
    EXPECT_EQ(company(bytesOf("company_microsoft.exe")), "Microsoft Corporation");
    EXPECT_EQ(company(bytesOf("company_other.exe")), "Example Software Ltd.");
    EXPECT_EQ(company(bytesOf("company_missing.exe")), "");
    EXPECT_EQ(company(bytesOf("company_empty.exe")), "");
}

TEST_F(CompanyNamePeFixtureTest, CompanyWordsInTheDataDoNotExempt) {
    std::string decoy = "CompanyName";
    decoy.push_back('\0');
    decoy += "Microsoft Corporation";
    decoy += std::string(3, '\0');
    EXPECT_EQ(company(bytesOf("company_other.exe") + decoy), "Example Software Ltd.");
    EXPECT_EQ(company(bytesOf("company_missing.exe") + decoy), "");
    EXPECT_EQ(company(bytesOf("company_empty.exe") + decoy), "");
}

}  // namespace
}  // namespace nightjar::scan
