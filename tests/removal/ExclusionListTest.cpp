#include "removal/ExclusionList.h"

#include <gtest/gtest.h>

#include "mock/FakeFileSystem.h"
#include "util/Text.h"

namespace nightjar::removal {
namespace {

constexpr const char* kData = "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA";
constexpr const char* kFile =
    "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA\\ENoSignature.dat";

class ExclusionListTest : public ::testing::Test {
  protected:
    void SetUp() override { fs.addFolder(kData); }
    mock::FakeFileSystem fs;
    ExclusionList list{fs, kData};
};

TEST_F(ExclusionListTest, MissingFileGivesEmptyList) {
    list.LoadExclusions();
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(list.IsExcluded("anything"));
    EXPECT_FALSE(list.IsExcluded(""));
    EXPECT_FALSE(list.IsExcludedPart("a"));
    EXPECT_EQ(list.filePath(), kFile);
}

TEST_F(ExclusionListTest, OnlyBlankLinesGiveEmptyList) {
    fs.addFile(kFile, "\r\n   \r\n\r\n \t\r\n");
    list.LoadExclusions();
    // A tab is not a blank: that line is an entry.
    EXPECT_EQ(list.entries(), (std::vector<std::string>{" \t"}));
    fs.addFile(kFile, "\r\n   \r\n\r\n  \r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(list.IsExcluded(""));
}

TEST_F(ExclusionListTest, LinesAreKeptAsRead) {
    fs.addFile(kFile, "a\r\n\r\nC:\\X\\Y.EXE\r\nlast");
    list.LoadExclusions();
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"a", "C:\\X\\Y.EXE", "last"}));
    EXPECT_TRUE(list.IsExcluded("c:\\x\\y.exe"));
    EXPECT_TRUE(list.IsExcluded("  LAST  "));
    EXPECT_FALSE(list.IsExcluded("las"));
}

TEST_F(ExclusionListTest, AddExclusionWritesTrimmedEntryAndEmptyLine) {
    EXPECT_EQ(list.AddExclusion("  C:\\Spy\\bad.exe  "), ExclusionList::AddResult::Added);
    EXPECT_EQ(fs.content(kFile).value_or(""), "C:\\Spy\\bad.exe\r\n\r\n");
    // Reloaded at once; a candidate with surrounding blanks still matches.
    EXPECT_TRUE(list.IsExcluded("  c:\\spy\\BAD.exe "));
    list.AddExclusion("second");
    EXPECT_EQ(fs.content(kFile).value_or(""), "C:\\Spy\\bad.exe\r\n\r\nsecond\r\n\r\n");
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"C:\\Spy\\bad.exe", "second"}));
}

TEST_F(ExclusionListTest, AlertExclusionWritesOneLine) {
    list.AppendAlertExclusion(" BAD.EXE ");
    EXPECT_EQ(fs.content(kFile).value_or(""), "BAD.EXE\r\n");
    EXPECT_TRUE(list.IsExcluded("bad.exe"));
    // Without reloading the entry is written but not yet in force.
    list.AppendAlertExclusion("OTHER.EXE", false);
    EXPECT_EQ(fs.content(kFile).value_or(""), "BAD.EXE\r\nOTHER.EXE\r\n");
    EXPECT_FALSE(list.IsExcluded("other.exe"));
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcluded("other.exe"));
}

TEST_F(ExclusionListTest, AppendAfterLineWithoutBreakStartsNewLine) {
    fs.addFile(kFile, "edited by hand");
    list.AddExclusion("new");
    EXPECT_EQ(fs.content(kFile).value_or(""), "edited by hand\r\nnew\r\n\r\n");
    EXPECT_TRUE(list.IsExcluded("edited by hand"));
    EXPECT_TRUE(list.IsExcluded("new"));
}

TEST_F(ExclusionListTest, ExcludingCookieRowWritesPathAndName) {
    // The "Exclude" command writes the row's location and its text without "Cookie: ".
    list.AddExclusion("C:\\Cookies\\someone@adserver[1].txt");
    list.AddExclusion("someone@adserver[1].txt");
    EXPECT_TRUE(list.IsExcluded("C:\\COOKIES\\someone@adserver[1].txt"));
    EXPECT_TRUE(list.IsExcluded("someone@adserver[1].txt"));
}

TEST_F(ExclusionListTest, PartTestMatchesFoldersOnAnEntrysPathByWholeComponents) {
    fs.addFile(kFile, "C:\\abc\\SPY\\x.exe\r\nD:\\Whole\r\n");
    list.LoadExclusions();
    const std::vector<std::pair<std::string, bool>> cases = {{"C:\\abc", true},
                                                             {"c:\\ABC\\spy\\", true},
                                                             {"C:\\abc\\spy\\x.exe", true},
                                                             {"C:\\a", false},
                                                             {"C:\\abc\\sp", false},
                                                             {"abc", false},
                                                             {"SPY", false},
                                                             {"C:\\abc\\spy\\x", false},
                                                             {"", false},
                                                             {"d:\\whole\\", true},
                                                             {"D:\\", true},
                                                             {"D:\\Whol", false}};
    for (const auto& [candidate, excluded] : cases) {
        EXPECT_EQ(list.IsExcludedPart(candidate), excluded) << candidate;
    }
}

TEST_F(ExclusionListTest, UntrimmedLinesMatchOnlyAsWritten) {
    // Lines are not trimmed when loaded: a hand-written entry with blanks matches a
    // candidate only as written (or when the candidate, trimmed, has the same blanks).
    // The folders on its path are found all the same.
    fs.addFile(kFile, " padded \r\n C:\\Pad\\x.exe \r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcluded(" PADDED "));
    EXPECT_FALSE(list.IsExcluded("padded"));
    EXPECT_TRUE(list.IsExcludedPart("c:\\pad"));
}

TEST_F(ExclusionListTest, EntryHoldingABarIsOneEntry) {
    const std::string key = "HKEY_CURRENT_USER\\Software\\a|b";
    EXPECT_EQ(list.AddExclusion(key), ExclusionList::AddResult::Added);
    EXPECT_TRUE(list.IsExcluded(key));
    EXPECT_FALSE(list.IsExcluded("b"));
    EXPECT_EQ(list.entries(), (std::vector<std::string>{key}));
    // What cannot be one line is refused and nothing is written.
    EXPECT_EQ(list.AddExclusion("two\r\nlines"), ExclusionList::AddResult::Refused);
    EXPECT_EQ(list.AddExclusion("   "), ExclusionList::AddResult::Refused);
    EXPECT_EQ(fs.content(kFile).value_or(""), key + "\r\n\r\n");
}

TEST_F(ExclusionListTest, EmptyCandidateIsNeverExcluded) {
    fs.addFile(kFile, "x\r\n");
    list.LoadExclusions();
    EXPECT_FALSE(list.IsExcluded(""));
    EXPECT_FALSE(list.IsExcluded("   "));
}

TEST_F(ExclusionListTest, LoadingYieldsAfterEachLine) {
    fs.addFile(kFile, "a\r\nb\r\n\r\nc\r\n");
    int pumps = 0;
    list.setPump([&] { ++pumps; });
    list.LoadExclusions();
    EXPECT_EQ(pumps, 4);
}

TEST_F(ExclusionListTest, FailedWriteIsReported) {
    fs.setFailWrites(true);
    EXPECT_EQ(list.AddExclusion("lost"), ExclusionList::AddResult::NotWritten);
    EXPECT_FALSE(list.IsExcluded("lost"));
    EXPECT_FALSE(fs.content(kFile).has_value());
}

// The hash lookup must give what a plain comparison with every part gives.
TEST_F(ExclusionListTest, LookupAgreesWithLinearComparison) {
    fs.addFile(kFile, "Alpha\r\n  beta \r\nC:\\Dir\\File.EXE\r\n\xC9t\xE9\r\n\r\nx|y\r\n");
    list.LoadExclusions();
    auto linear = [&](std::string_view c) {
        for (const auto& p : list.entries()) {
            std::string t(c);
            while (!t.empty() && t.front() == ' ')
                t.erase(0, 1);
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
            auto ieq = [](std::string_view a, std::string_view b) {
                if (a.size() != b.size())
                    return false;
                return text::toLower(a) == text::toLower(b);
            };
            if (ieq(c, p) || ieq(t, p))
                return true;
        }
        return false;
    };
    for (std::string c : {"alpha", " ALPHA ", "beta", "  beta ", "  BETA ", "c:\\dir\\file.exe",
                          "\xC3\xA9T\xC3\x89", "x", "y", "x|y", "", " ", "gamma", "Alph"}) {
        EXPECT_EQ(list.IsExcluded(c), linear(c)) << "candidate [" << c << "]";
    }
}

}  // namespace
}  // namespace nightjar::removal
