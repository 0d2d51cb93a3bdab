#include "scan/CompanyNameReader.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"
#include "mock/FakeFileSystem.h"
#include "scan/PeVersionParser.h"

namespace nightjar::scan {
namespace {

using scantest::FakeExecutable;
using scantest::PeImage;

/// The bytes a program may carry anywhere in its data to look like a version string.
std::string Decoy() {
    std::string d = "CompanyName";
    d.push_back('\0');
    d += "Microsoft Corporation";
    d += std::string(3, '\0');
    d += PeImage::utf16z("StringFileInfo");
    d += "\x01" + PeImage::utf16z("CompanyName") + std::string(2, '\0');
    d += PeImage::utf16z("Microsoft Corporation");
    return d;
}

TEST(CompanyNameReaderTest, TheVersionResourceGivesTheCompany) {
    struct Case {
        std::string bytes;
        std::string company;
    };
    const std::vector<Case> cases = {
        {FakeExecutable("Microsoft Corporation"), "Microsoft Corporation"},
        {FakeExecutable("Example Soft Ltd."), "Example Soft Ltd."},
        {FakeExecutable(""), ""},
        {FakeExecutable("x", false), ""},
        {PeImage::executable(""), ""},
        {"MZ just some bytes", ""},
        {"", ""},
    };
    mock::FakeFileSystem fs;
    CompanyNameReader reader(fs);
    for (const auto& c : cases) {
        EXPECT_EQ(CompanyNameReader::FromBytes(c.bytes), c.company);
        fs.addFile("C:\\w\\a.exe", c.bytes);
        EXPECT_EQ(reader.ReadCompanyName("C:\\W\\A.EXE"), c.company);
    }
    EXPECT_EQ(reader.ReadCompanyName("C:\\missing.exe"), "");
}

// The company words anywhere else in a file (its data, another resource) exempt nothing.
TEST(CompanyNameReaderTest, CompanyBytesOutsideTheVersionResourceAreIgnored) {
    mock::FakeFileSystem fs;
    CompanyNameReader reader(fs);
    const std::vector<std::pair<std::string, std::string>> files = {
        {Decoy(), ""},
        {PeImage::executable("", Decoy()), ""},
        {PeImage::executable(PeImage::versionInfo({{"FileDescription", "Spy"}}), Decoy()), ""},
        {FakeExecutable("Shady Ltd") + Decoy(), "Shady Ltd"},
        {Decoy() + FakeExecutable("Shady Ltd"), ""},
    };
    for (const auto& [bytes, company] : files) {
        fs.addFile("C:\\spy.exe", bytes);
        EXPECT_EQ(reader.ReadCompanyName("C:\\spy.exe"), company);
    }
}

TEST(CompanyNameReaderTest, TheFirstTranslationPicksTheStringTable) {
    auto table = [](const std::string& name, const std::string& company) {
        return PeImage::block(name, "", true, {PeImage::block("CompanyName", company, true)});
    };
    auto image = [&](std::uint32_t translation) {
        const std::string fixed = PeImage::le32(0xFEEF04BD) + std::string(48, '\0');
        return PeImage::executable(PeImage::block(
            "VS_VERSION_INFO", fixed, false,
            {PeImage::block("StringFileInfo", "", true,
                            {table("040704b0", "Other GmbH"), table("040904B0", "Real Inc.")}),
             PeImage::block("VarFileInfo", "", true,
                            {PeImage::block("Translation", PeImage::le32(translation), false)})}));
    };
    EXPECT_EQ(CompanyNameReader::FromBytes(image(0x04B00409)), "Real Inc.");
    EXPECT_EQ(CompanyNameReader::FromBytes(image(0x04B00407)), "Other GmbH");
    // No table for the translation: the first table that names a company.
    EXPECT_EQ(CompanyNameReader::FromBytes(image(0x04E40409)), "Other GmbH");
}

// Cut short anywhere, or with any byte of its structure set to extremes, a file gives at
// most a prefix of its company and never reads outside its bytes.
TEST(CompanyNameReaderTest, DamagedImagesAreReadSafely) {
    const std::string company = "Microsoft Corporation";
    const std::string image = FakeExecutable(company);
    for (std::size_t n = 0; n <= image.size(); ++n) {
        const std::string got = CompanyNameReader::FromBytes(std::string_view(image).substr(0, n));
        ASSERT_TRUE(company.starts_with(got)) << n;
    }
    int exempt = 0;
    for (std::size_t at = 0; at < image.size(); ++at) {
        for (char value : {'\0', '\x7f', '\xff'}) {
            std::string damaged = image;
            damaged[at] = value;
            exempt += CompanyNameReader::FromBytes(damaged) == company ? 1 : 0;
        }
    }
    EXPECT_GT(exempt, 0);
}

TEST(CompanyNameReaderTest, ResourcesBeyondTheReadLimitAreNotLookedAt) {
    // The headers place the resource section past the limit: nothing to read there.
    std::string image = FakeExecutable("Microsoft Corporation");
    const std::size_t rawAt = 0x148 + 20;
    image.replace(rawAt, 4, PeImage::le32(PeVersionParser::kMaxFileBytes));
    EXPECT_FALSE(PeVersionParser::FindResources(image));
}

}  // namespace
}  // namespace nightjar::scan
