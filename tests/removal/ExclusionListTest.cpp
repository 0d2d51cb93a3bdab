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
    EXPECT_EQ(list.text(), "");
    EXPECT_FALSE(list.IsExcluded("anything"));
    EXPECT_FALSE(list.IsExcluded(""));
    EXPECT_FALSE(list.IsExcludedPart("a"));
    EXPECT_EQ(list.filePath(), kFile);
}

TEST_F(ExclusionListTest, OnlyBlankLinesGiveEmptyList) {
    fs.addFile(kFile, "\r\n   \r\n\r\n \t\r\n");
    list.LoadExclusions();
    // A tab is not a blank: that line is an entry.
    EXPECT_EQ(list.text(), " \t|");
    fs.addFile(kFile, "\r\n   \r\n\r\n  \r\n");
    list.LoadExclusions();
    EXPECT_EQ(list.text(), "");
    EXPECT_FALSE(list.IsExcluded(""));
}

TEST_F(ExclusionListTest, LinesAreKeptAsReadAndJoinedWithBars) {
    fs.addFile(kFile, "a\r\n\r\nC:\\X\\Y.EXE\r\nlast");
    list.LoadExclusions();
    EXPECT_EQ(list.text(), "a|C:\\X\\Y.EXE|last|");
    EXPECT_TRUE(list.IsExcluded("c:\\x\\y.exe"));
    EXPECT_TRUE(list.IsExcluded("  LAST  "));
    EXPECT_FALSE(list.IsExcluded("las"));
}

TEST_F(ExclusionListTest, AddExclusionWritesTrimmedEntryAndEmptyLine) {
    list.AddExclusion("  C:\\Spy\\bad.exe  ");
    EXPECT_EQ(fs.content(kFile).value_or(""), "C:\\Spy\\bad.exe\r\n\r\n");
    // Reloaded at once; a candidate with surrounding blanks still matches.
    EXPECT_TRUE(list.IsExcluded("  c:\\spy\\BAD.exe "));
    list.AddExclusion("second");
    EXPECT_EQ(fs.content(kFile).value_or(""), "C:\\Spy\\bad.exe\r\n\r\nsecond\r\n\r\n");
    EXPECT_EQ(list.text(), "C:\\Spy\\bad.exe|second|");
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

TEST_F(ExclusionListTest, PartTestFindsCandidateInsideEntries) {
    fs.addFile(kFile, "C:\\SPYWARE\\X.EXE\r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcludedPart("SPY"));
    EXPECT_FALSE(list.IsExcluded("SPY"));
    EXPECT_TRUE(list.IsExcludedPart("c:\\spyware"));
    EXPECT_FALSE(list.IsExcludedPart("c:\\other"));
}

TEST_F(ExclusionListTest, UntrimmedLinesMatchOnlyAsWritten) {
    // Lines are not trimmed when loaded: a hand-written entry with blanks matches a
    // candidate only as written (or when the candidate, trimmed, has the same blanks).
    fs.addFile(kFile, " padded \r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcluded(" PADDED "));
    EXPECT_FALSE(list.IsExcluded("padded"));
    EXPECT_TRUE(list.IsExcludedPart("padded"));
}

TEST_F(ExclusionListTest, BarInsideLineSplitsIntoParts) {
    fs.addFile(kFile, "a|b\r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcluded("a"));
    EXPECT_TRUE(list.IsExcluded("B"));
    EXPECT_FALSE(list.IsExcluded("a|b"));
    ASSERT_EQ(list.parts().size(), 3u);
    EXPECT_EQ(list.parts()[2], "");
}

TEST_F(ExclusionListTest, EmptyCandidateMatchesTheFinalEmptyPart) {
    fs.addFile(kFile, "x\r\n");
    list.LoadExclusions();
    EXPECT_TRUE(list.IsExcluded(""));
    EXPECT_TRUE(list.IsExcluded("   "));
}

TEST_F(ExclusionListTest, LoadingYieldsAfterEachLine) {
    fs.addFile(kFile, "a\r\nb\r\n\r\nc\r\n");
    int pumps = 0;
    list.setPump([&] { ++pumps; });
    list.LoadExclusions();
    EXPECT_EQ(pumps, 4);
}

TEST_F(ExclusionListTest, FailedWriteLosesEntrySilently) {
    fs.setFailWrites(true);
    list.AddExclusion("lost");
    EXPECT_FALSE(list.IsExcluded("lost"));
    EXPECT_FALSE(fs.content(kFile).has_value());
}

// The hash lookup must give what a plain comparison with every part gives.
TEST_F(ExclusionListTest, LookupAgreesWithLinearComparison) {
    fs.addFile(kFile, "Alpha\r\n  beta \r\nC:\\Dir\\File.EXE\r\n\xC9t\xE9\r\n\r\nx|y\r\n");
    list.LoadExclusions();
    auto linear = [&](std::string_view c) {
        for (const auto& p : list.parts()) {
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
