#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "mock/FakeShellFolders.h"
#include "util/Text.h"

namespace nightjar::definitions {
namespace {

const int kRowFolders[28] = {29, 26, 10, 30, 35, 25, 46, 31, 23, 22, 45, 33, 16, 6,
                             20, 34, 32, 2,  38, 43, 5,  8,  9,  7,  11, 37, 21, 36};

/// The row-by-row expansion, asking the shell afresh for every row.
std::string referenceExpand(mock::FakeShellFolders& shell, std::string text) {
    auto folder = [&](int csidl) -> std::string {
        if (csidl == 10) {
            return "";
        }
        auto p = shell.specialFolder(csidl);
        return p && !p->empty() ? *p + "\\" : "";
    };
    for (std::size_t row = 0; row < 28; ++row) {
        text = text::ireplaceAll(text, PlaceholderExpander::PlaceholderAt(row),
                                 folder(kRowFolders[row]));
    }
    text = text::replaceAll(text, "[user]", text::ireplaceAll(folder(11), "\\Start Menu", ""));
    text = text::replaceAll(text, "[alluser]", text::ireplaceAll(folder(22), "\\Start Menu", ""));
    return text;
}

class PlaceholderExpanderTest : public ::testing::Test {
  protected:
    mock::FakeShellFolders shell;
    PlaceholderExpander expander{shell};
};

TEST_F(PlaceholderExpanderTest, DataFolderHasExactlyOneSeparator) {
    EXPECT_EQ(DataFolder(expander), "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA");
    EXPECT_EQ(DataFile("C:\\d", "date.dat"), "C:\\d\\date.dat");
}

TEST_F(PlaceholderExpanderTest, RowsIgnoreCaseButUserRowsMatchExactly) {
    EXPECT_EQ(expander.Expand("[WINDIR]system32"), "C:\\windows\\system32");
    EXPECT_EQ(expander.Expand("[WinDir]x"), "C:\\windows\\x");
    EXPECT_EQ(expander.Expand("[USER]x"), "[USER]x");
    EXPECT_EQ(expander.Expand("[AllUser]x"), "[AllUser]x");
    EXPECT_EQ(expander.Expand("[user]x"),
              "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\x");
    EXPECT_EQ(expander.Expand("[alluser]x"), "C:\\ProgramData\\Microsoft\\Windows\\x");
}

TEST_F(PlaceholderExpanderTest, CommonFilesIsNotDisturbedByShorterNames) {
    EXPECT_EQ(expander.Expand("[comprogfil]x"), "C:\\Program Files\\Common Files\\x");
    EXPECT_EQ(expander.Expand("[progfil]x"), "C:\\Program Files\\x");
    EXPECT_EQ(expander.Expand("[comprog]x"),
              "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\x");
}

TEST_F(PlaceholderExpanderTest, DesktopRowsAreTheRightWayRound) {
    EXPECT_EQ(expander.Expand("[desktop]"), "C:\\users\\Public\\Desktop\\");
    EXPECT_EQ(expander.Expand("[comdesk]"), "C:\\users\\tester\\Desktop\\");
}

TEST_F(PlaceholderExpanderTest, RecycleIsAlwaysEmpty) {
    shell.set(10, "C:\\$Recycle.Bin");
    EXPECT_EQ(expander.Expand("a[recycle]b"), "ab");
    EXPECT_EQ(expander.Expand("[RECYCLE]"), "");
}

TEST_F(PlaceholderExpanderTest, UnresolvedFolderBecomesEmpty) {
    shell.remove(20);
    EXPECT_EQ(expander.Expand("[fonts]arial.ttf"), "arial.ttf");
    EXPECT_EQ(expander.FolderPath(20), "");
}

TEST_F(PlaceholderExpanderTest, StartMenuNotSoNamedGivesTheFolderItself) {
    shell.set(11, "C:\\Users\\x\\Startmenü");
    EXPECT_EQ(expander.Expand("[user]"), "C:\\Users\\x\\Startmenü\\");
    mock::FakeShellFolders other;
    other.set(11, "C:\\Documents and Settings\\bob\\START MENU");
    PlaceholderExpander e2(other);
    EXPECT_EQ(e2.Expand("[user]a"), "C:\\Documents and Settings\\bob\\a");
}

TEST_F(PlaceholderExpanderTest, ExpandsInPlace) {
    std::string text = "[appdata]x";
    expander.ExpandInPlace(text);
    EXPECT_EQ(text, "C:\\users\\tester\\AppData\\Roaming\\x");
}

TEST_F(PlaceholderExpanderTest, LookupsAreCached) {
    expander.Expand("[windir][system]");
    int after = shell.lookups();
    for (int i = 0; i < 10; ++i) {
        expander.Expand("[windir][system][WINDIR]");
    }
    EXPECT_EQ(shell.lookups(), after);
    EXPECT_EQ(expander.Expand("no placeholder here"), "no placeholder here");
}

TEST_F(PlaceholderExpanderTest, SystemDriveRootAndSystemDirectory) {
    EXPECT_EQ(expander.SystemDriveRoot(), "C:\\");
    EXPECT_EQ(expander.SystemDirectory(), "C:\\windows\\system32\\");

    mock::FakeShellFolders other;
    other.set(2, "D:");
    other.setSystemDirectory("D:\\WINNT\\System32\\");
    PlaceholderExpander e2(other);
    EXPECT_EQ(e2.SystemDriveRoot(), "D:\\");
    EXPECT_EQ(e2.SystemDirectory(), "D:\\WINNT\\System32\\");

    mock::FakeShellFolders none;
    none.remove(2);
    PlaceholderExpander e3(none);
    EXPECT_EQ(e3.SystemDriveRoot(), "");
}

TEST_F(PlaceholderExpanderTest, AllRowsAgreeWithRowByRowReplacement) {
    std::string all;
    for (std::size_t row = 0; row < PlaceholderExpander::kRowCount; ++row) {
        all += std::string(PlaceholderExpander::PlaceholderAt(row)) + "|";
    }
    EXPECT_EQ(expander.Expand(all), referenceExpand(shell, all));
    EXPECT_EQ(expander.Expand(text::toUpper(all)), referenceExpand(shell, text::toUpper(all)));
}

// Texts where a single left-to-right pass could differ from replacing row by row: empty
// values that join neighbours into a later placeholder, folder paths with brackets,
// brackets that are not placeholders; and, for the lower-case expansion, folders and texts
// outside ASCII, where lowering a value apart from its neighbours could differ.
TEST_F(PlaceholderExpanderTest, TrickyTextsAgreeWithRowByRowReplacement) {
    shell.set(38, "C:\\Prog[windir]ram Files");
    shell.set(5, "C:\\Docs[");
    shell.set(26, "\x80:\\ÄNNE\\Roaming");
    shell.set(11, "C:\\Users\\ÉVA\\Startmenü");
    shell.remove(20);
    const std::vector<std::string> texts = {
        "[u[recycle]ser]x",
        "[win[fonts]dir]",
        "[progfil]a",
        "[personl]windir]",
        "[[windir]]",
        "[windir",
        "windir]",
        "[]",
        "[x][windir][y]",
        "a[recycle]b[user]",
        "[al[recycle]luser]",
        "[UsEr]",
        "[comprogfil][progfil][comprog]",
        "[drive]\\x",
        "[[[",
        "]]][windir][",
        "\xC3[appdata]Ä[user]É\xC3",
        "Ö[WinDir]ß[alluser]",
    };
    for (const auto& t : texts) {
        PlaceholderExpander fresh(shell);
        EXPECT_EQ(fresh.Expand(t), referenceExpand(shell, t)) << t;
        std::string into = "left over";
        fresh.ExpandInto(t, into);
        EXPECT_EQ(into, referenceExpand(shell, t)) << t;
    }
}

TEST_F(PlaceholderExpanderTest, RandomTextsAgreeWithRowByRowReplacement) {
    const std::vector<std::string> pieces = {
        "[windir]",  "[WINDIR]", "[user]",   "[recycle]", "[fonts]",   "[",       "]",
        "x",         "\\",       "[comprog", "fil]",      "[alluser]", "[progs]", "[drive]",
        "[appdata]", "us",       "er]",      "[u",        "Ä",         "\xC3",    "[Progfil]"};
    shell.remove(20);
    std::mt19937 rng(42);
    std::string into;
    for (int i = 0; i < 2000; ++i) {
        std::string t;
        int n = static_cast<int>(rng() % 8);
        for (int k = 0; k < n; ++k) {
            t += pieces[rng() % pieces.size()];
        }
        EXPECT_EQ(expander.Expand(t), referenceExpand(shell, t)) << t;
        expander.ExpandInto(t, into);
        EXPECT_EQ(into, referenceExpand(shell, t)) << t;
    }
}

}  // namespace
}  // namespace nightjar::definitions
