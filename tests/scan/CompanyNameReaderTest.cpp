#include "scan/CompanyNameReader.h"

#include <gtest/gtest.h>

#include <random>

#include "ScanTestEnv.h"
#include "mock/FakeFileSystem.h"

namespace nightjar::scan {
namespace {

using scantest::FakeExecutable;
using scantest::VersionStringEntry;
using scantest::WideString;

TEST(CompanyNameReaderTest, WideKeyLayout) {
    EXPECT_EQ(CompanyNameReader::WideKey("AB"), std::string("\x01\0A\0B", 5));
}

TEST(CompanyNameReaderTest, WideResourceGivesCompany) {
    EXPECT_EQ(CompanyNameReader::FromBytes(FakeExecutable("Microsoft Corporation")),
              "Microsoft Corporation");
    EXPECT_EQ(CompanyNameReader::FromBytes(FakeExecutable("Example Soft Ltd.")),
              "Example Soft Ltd.");
}

TEST(CompanyNameReaderTest, NoCompanyEntryGivesEmptyText) {
    EXPECT_EQ(CompanyNameReader::FromBytes(FakeExecutable("", false)), "");
    EXPECT_EQ(CompanyNameReader::FromBytes(""), "");
    EXPECT_EQ(CompanyNameReader::FromBytes("MZ just some bytes"), "");
}

TEST(CompanyNameReaderTest, EmptyValueFollowedByDescriptionGivesEmptyText) {
    // The value cut would run into the next entry's key: the text before the first
    // control character (the padding) is taken instead.
    EXPECT_EQ(CompanyNameReader::FromBytes(FakeExecutable("")), "");
}

TEST(CompanyNameReaderTest, PlainLayout) {
    std::string bytes = "xxStringFileInfo....CompanyName";
    bytes.push_back('\0');
    bytes += "Plain Co";
    bytes += std::string(3, '\0');
    bytes += "FileDescription";
    EXPECT_EQ(CompanyNameReader::FromBytes(bytes), "Plain Co");
}

TEST(CompanyNameReaderTest, PlainEmptyValueStopsAtFirstControlCharacter) {
    std::string bytes = "CompanyName";
    bytes.push_back('\0');
    bytes += "AB";
    bytes.push_back('\x05');
    bytes += "FileDescription";
    bytes.push_back('\0');
    bytes += "desc";
    bytes += std::string(3, '\0');
    EXPECT_EQ(CompanyNameReader::FromBytes(bytes), "AB");
}

TEST(CompanyNameReaderTest, SearchStartsAtStringFileInfo) {
    // A "CompanyName" before the string table is not the version entry.
    std::string bytes = "CompanyName";
    bytes.push_back('\0');
    bytes += "Decoy";
    bytes += std::string(3, '\0');
    bytes += FakeExecutable("Real Co");
    EXPECT_EQ(CompanyNameReader::FromBytes(bytes), "Real Co");
}

TEST(CompanyNameReaderTest, ValueWithoutTerminatorGivesEmptyText) {
    std::string bytes = "CompanyName";
    bytes.push_back('\0');
    bytes += "Never ends";
    EXPECT_EQ(CompanyNameReader::FromBytes(bytes), "");
    // An endless value (longer than any version string) gives no company either.
    bytes = "CompanyName";
    bytes.push_back('\0');
    bytes += std::string(CompanyNameReader::kMaxValue + 10, 'x');
    bytes += std::string(3, '\0');
    EXPECT_EQ(CompanyNameReader::FromBytes(bytes), "");
}

TEST(CompanyNameReaderTest, UnreadableFileGivesEmptyText) {
    mock::FakeFileSystem fs;
    CompanyNameReader reader(fs);
    EXPECT_EQ(reader.ReadCompanyName("C:\\missing.exe"), "");
}

TEST(CompanyNameReaderTest, FileReadGivesSameAsBytes) {
    mock::FakeFileSystem fs;
    fs.addFile("C:\\w\\a.exe", FakeExecutable("Microsoft Corporation", true, 5000));
    CompanyNameReader reader(fs);
    EXPECT_EQ(reader.ReadCompanyName("C:\\W\\A.EXE"), "Microsoft Corporation");
}

// Files whose markers fall across window boundaries: the windowed search must give what a
// search of the whole file gives, for every window size.
TEST(CompanyNameReaderTest, WindowedSearchEqualsWholeFileSearch) {
    std::mt19937 rng(12345);
    mock::FakeFileSystem fs;
    const std::vector<std::string> companies = {"Microsoft Corporation", "A", "", "Nightjar Labs",
                                                "Sun Microsystems, Inc."};
    int compared = 0;
    int nonEmpty = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int pieces = static_cast<int>(rng() % 5);
        for (int p = 0; p < pieces; ++p) {
            switch (rng() % 7) {
                case 0:
                    bytes += FakeExecutable(companies[rng() % companies.size()], rng() % 4 != 0,
                                            rng() % 40);
                    break;
                case 1:
                    bytes += "CompanyName";
                    bytes.push_back('\0');
                    bytes += "Plain";
                    break;
                case 2:
                    bytes += std::string(rng() % 5, '\0');
                    break;
                case 3:
                    bytes += CompanyNameReader::WideKey("StringFileInfo");
                    break;
                case 4:
                    bytes += "StringFileInfo";
                    break;
                case 5:
                    bytes += VersionStringEntry("CompanyName", companies[rng() % companies.size()]);
                    break;
                default:
                    for (int k = static_cast<int>(rng() % 30); k > 0; --k) {
                        bytes.push_back(static_cast<char>(rng() % 256));
                    }
                    break;
            }
        }
        fs.addFile("C:\\f.bin", bytes);
        const std::string whole = CompanyNameReader::FromBytes(bytes);
        nonEmpty += whole.empty() ? 0 : 1;
        for (std::size_t chunk : {1u, 2u, 3u, 7u, 16u, 29u, 64u, 1000u}) {
            CompanyNameReader reader(fs, chunk);
            ASSERT_EQ(reader.ReadCompanyName("C:\\f.bin"), whole)
                << "round " << round << " chunk " << chunk;
            ++compared;
        }
    }
    EXPECT_GT(nonEmpty, 50);  // the generator really produces company names
    EXPECT_EQ(compared, 2400);
}

TEST(CompanyNameReaderTest, MarkerStraddlingEveryBoundaryPosition) {
    mock::FakeFileSystem fs;
    const std::string exe = FakeExecutable("Straddle Co", true, 0);
    for (std::size_t shift = 0; shift < 64; ++shift) {
        std::string bytes(shift, 'z');
        bytes += exe;
        fs.addFile("C:\\s.exe", bytes);
        CompanyNameReader reader(fs, 32);
        ASSERT_EQ(reader.ReadCompanyName("C:\\s.exe"), "Straddle Co") << shift;
    }
}

}  // namespace
}  // namespace nightjar::scan
