#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "DefinitionTestSupport.h"
#include "ReferenceLoader.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/SignatureStore.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeShellFolders.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar::definitions {
namespace {

using testing::RecordingObserver;
using testing::ReferenceEntry;
using testing::referenceProtected;
using testing::referenceTable;
using testing::scrambledFile;

const std::string kData = "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA";

class SignatureStoreTest : public ::testing::Test {
  protected:
    void put(std::string_view file, const std::vector<std::string>& lines,
             std::string_view eol = "\r\n", bool finalBreak = true) {
        fs.addFile(DataFile(kData, file), scrambledFile(lines, eol, finalBreak));
    }
    void load() {
        RecordingObserver obs;
        store.LoadFileSignatures(obs);
    }
    void loadSafety(const std::vector<std::string>& lines) {
        put(kSafety, lines);
        RecordingObserver obs;
        EXPECT_TRUE(store.LoadSafetyEntries(obs));
    }

    mock::FakeFileSystem fs;
    mock::FakeShellFolders shell;
    PlaceholderExpander expander{shell};
    SignatureStore store{fs, expander, kData};
};

// ---- FileDefinition.dat -------------------------------------------------------------

TEST_F(SignatureStoreTest, FileLineWithoutBarHasEmptyFolder) {
    put(kFileDefinition, {"Popup.EXE = Adware.Popup"});
    load();
    ASSERT_EQ(store.FileSignatures().size(), 1u);
    const auto& e = store.FileSignatures()[0];
    EXPECT_EQ(e.folder, "");
    EXPECT_EQ(e.name, "popup.exe");
    EXPECT_EQ(e.threatName, " Adware.Popup");
    EXPECT_EQ(e.type, "");
}

TEST_F(SignatureStoreTest, FileLineFieldsAreExpandedLowerCasedAndTyped) {
    put(kFileDefinition,
        {"Bad.DLL=Bad Thing=Extra|[PROGFIL]Bad Co\\|TYPE",
         "two.exe=Two|[windir]\\system32|Trojan|ignored", "three.exe=Three|[drive]\\Tools"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].folder, "c:\\program files\\bad co\\");
    EXPECT_EQ(t[0].name, "bad.dll");
    EXPECT_EQ(t[0].type, "Spyware");                    // "TYPE" reads as "Spyware"
    EXPECT_EQ(t[0].threatName, "Bad Thing");            // up to the second "="
    EXPECT_EQ(t[1].folder, "c:\\windows\\system32\\");  // doubled backslash collapsed
    EXPECT_EQ(t[1].type, "Trojan");
    EXPECT_EQ(t[2].folder, "[drive]\\tools\\");  // "[drive]" stays for the walk
    // The type of an earlier line does not carry over to a line without one.
    EXPECT_EQ(t[2].type, "");
}

// A 32-bit program's files at "[system]" lie in SysWOW64 on a 64-bit machine: such a line
// gives a second row there (checked for protection like any row), and nothing else does.
TEST_F(SignatureStoreTest, SystemFolderLinesAlsoNameSysWow64) {
    shell.setSystemWow64Directory("C:\\windows\\SysWOW64");
    put(kFileDefinition,
        {"a.dll=A|[SYSTEM]drivers|Trojan", "b.dll=B|[windir]|Adware", "c.dll=C|[system]"});
    put(kDirectoryDefinition, {"d=D|[system]dfolder"});
    loadSafety({"SFILE|c.dll=Safe|[windir]syswow64\\c.dll"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].folder, "c:\\windows\\system32\\drivers\\");
    EXPECT_EQ(t[1].folder, "c:\\windows\\syswow64\\drivers\\");
    EXPECT_EQ(t[1].name, "a.dll");
    EXPECT_EQ(t[1].type, "Trojan");
    EXPECT_EQ(t[2].folder, "c:\\windows\\");
    EXPECT_EQ(t[3].folder, "c:\\windows\\system32\\");  // the SysWOW64 one is protected
    const auto& d = store.DirectorySignatures();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].folder, "c:\\windows\\syswow64\\dfolder");
}

TEST_F(SignatureStoreTest, FileTableKeepsFileOrderAndRepeats) {
    put(kFileDefinition, {"b.exe=B|C:\\x", "a.exe=A|C:\\x", "b.exe=B|C:\\x"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].name, "b.exe");
    EXPECT_EQ(t[1].name, "a.exe");
    EXPECT_EQ(t[2].name, "b.exe");
}

TEST_F(SignatureStoreTest, BlankAndNamelessLinesAddNothing) {
    put(kFileDefinition, {"", "=Nameless", "   ", "ok.exe=Ok|C:\\a", "x=y|C:\\a|TYPE"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].name, "ok.exe");
    EXPECT_EQ(t[1].name, "x");
}

TEST_F(SignatureStoreTest, SafetyProtectsFullPathNotFolder) {
    loadSafety({"SDIR|Good=x|[progfil]Vendor", "SFILE|kept.exe=x|[progfil]Other\\kept.exe"});
    put(kFileDefinition,
        {"tool.exe=T|[progfil]Vendor", "kept.exe=K|[progfil]Other", "next.exe=N|[progfil]Other"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].name, "tool.exe");  // its folder is protected, but the test is folder+name
    EXPECT_EQ(t[1].name, "next.exe");
}

TEST_F(SignatureStoreTest, FolderBackslashesCollapseLikeAPlainReplace) {
    // Runs of one to four backslashes at every offset, across eight-byte boundaries.
    std::vector<std::string> lines;
    std::vector<std::string> expected;
    for (std::size_t offset = 0; offset < 20; ++offset) {
        for (std::size_t run = 1; run <= 4; ++run) {
            std::string loc = "C:" + std::string(offset, 'x') + std::string(run, '\\') + "Yz";
            std::string tail = loc + std::string(run % 2 == 0 ? 1 : 0, '\\');
            lines.push_back("f.exe=T|" + tail);
            expected.push_back(
                text::toLower(text::collapseBackslashes(text::collapseBackslashes(tail) + "\\")));
        }
    }
    put(kFileDefinition, lines);
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), expected.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].folder, expected[i]) << lines[i];
    }
}

TEST_F(SignatureStoreTest, NamesComeOutInUtf8LowerCasedWithTheirLatinLetters) {
    // Windows-1252 in the file: capitals and small letters of the code page, ×, ß, Š, Ÿ.
    const std::string name = "ABCXYZ@[`{\xc0\xca\xd7\xde\xdf\xe0\xfe\x8a\x9f.EXE";
    put(kFileDefinition, {name + "=\x80|C:\\Mixed\xc4"
                                 "Folder\\ABC"});
    load();
    ASSERT_EQ(store.FileSignatures().size(), 1u);
    EXPECT_EQ(store.FileSignatures()[0].name,
              "abcxyz@[`{\u00e0\u00ea\u00d7\u00fe\u00df\u00e0\u00fe\u0161\u00ff.exe");
    EXPECT_EQ(store.FileSignatures()[0].folder, "c:\\mixed\u00e4folder\\abc\\");
    EXPECT_EQ(store.FileSignatures()[0].threatName, "\u20ac");
}

// ---- DirectoryDefinition.dat ---------------------------------------------------------

TEST_F(SignatureStoreTest, DirectoryTableDropsTrailingBackslashAndKeepsTypeText) {
    loadSafety({"SDIR|x=x|[progfil]Protected"});
    put(kDirectoryDefinition, {"Evil=Evil Dir|[progfil]Evil\\|TYPE", "bare=no location",
                               "Prot=P|[progfil]Protected\\", "Sub=S|[appdata]Sub|Adware"});
    load();
    const auto& d = store.DirectorySignatures();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].folder, "c:\\program files\\evil");
    EXPECT_EQ(d[0].name, "evil");
    EXPECT_EQ(d[0].type, "TYPE");  // no "Spyware" substitution here
    EXPECT_EQ(d[0].threatName, "Evil Dir");
    EXPECT_EQ(d[1].folder, "c:\\users\\tester\\appdata\\roaming\\sub");
    EXPECT_EQ(d[1].type, "Adware");
}

// ---- loading once, stop, cap ---------------------------------------------------------

TEST_F(SignatureStoreTest, SecondLoadDoesNotRereadTheFiles) {
    put(kFileDefinition, {"a.exe=A|C:\\x"});
    put(kDirectoryDefinition, {"d=D|C:\\y"});
    RecordingObserver first;
    store.LoadFileSignatures(first);
    EXPECT_TRUE(store.filesLoaded());
    EXPECT_EQ(first.started, 1);
    EXPECT_EQ(first.finished, 1);
    EXPECT_EQ(first.lastStatus, "Loading definitions, please wait...");
    const auto gen = store.generation();
    EXPECT_EQ(fs.readCount(DataFile(kData, kFileDefinition)), 1);

    put(kFileDefinition, {"a.exe=A|C:\\x", "b.exe=B|C:\\x"});  // an update in between
    RecordingObserver second;
    store.LoadFileSignatures(second);
    EXPECT_EQ(fs.readCount(DataFile(kData, kFileDefinition)), 1);
    EXPECT_EQ(fs.readCount(DataFile(kData, kDirectoryDefinition)), 1);
    EXPECT_EQ(store.FileSignatures().size(), 1u);
    EXPECT_EQ(second.started, 0);
    EXPECT_EQ(second.finished, 1);  // Pause and Stop enabled again
    EXPECT_EQ(store.generation(), gen);
}

TEST_F(SignatureStoreTest, StopDuringLoadLeavesTablesUnfilled) {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) {
        lines.push_back("f" + std::to_string(i) + ".exe=T|C:\\x");
    }
    put(kFileDefinition, lines);
    put(kDirectoryDefinition, {"d=D|C:\\y"});

    RecordingObserver stopping(10);
    store.LoadFileSignatures(stopping);
    EXPECT_FALSE(store.filesLoaded());
    EXPECT_TRUE(store.FileSignatures().empty());
    EXPECT_TRUE(store.DirectorySignatures().empty());
    EXPECT_EQ(stopping.finished, 0);  // the scan run re-enables its buttons itself
    EXPECT_LE(stopping.pumps, 11);    // honoured at the next line

    // The next scan loads both tables whole.
    RecordingObserver normal;
    store.LoadFileSignatures(normal);
    EXPECT_TRUE(store.filesLoaded());
    EXPECT_EQ(store.FileSignatures().size(), 50u);
    EXPECT_EQ(store.DirectorySignatures().size(), 1u);
}

TEST_F(SignatureStoreTest, StopDuringFolderFileAlsoLeavesBothUnfilled) {
    put(kFileDefinition, {"a.exe=A|C:\\x"});
    put(kDirectoryDefinition, {"d1=D|C:\\y", "d2=D|C:\\z", "d3=D|C:\\w"});
    RecordingObserver stopping(3);  // 1 yield at the start, 1 for the file line, 1 folder
    store.LoadFileSignatures(stopping);
    EXPECT_FALSE(store.filesLoaded());
    EXPECT_TRUE(store.FileSignatures().empty());
    EXPECT_TRUE(store.DirectorySignatures().empty());
}

TEST_F(SignatureStoreTest, TablesHoldAtMostTheirFixedSize) {
    std::string content;
    const std::size_t lines = SignatureStore::kTableSize + 9;
    for (std::size_t i = 0; i < lines; ++i) {
        content += ScrambleLine("f" + std::to_string(i) + "=T|C:\\x") + "\r\n";
    }
    fs.addFile(DataFile(kData, kFileDefinition), content);
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), SignatureStore::kTableSize);
    EXPECT_EQ(t.front().name, "f0");
    EXPECT_EQ(t.back().name, "f100000");
}

TEST_F(SignatureStoreTest, MissingFilesGiveEmptyFilledTables) {
    RecordingObserver obs;
    store.LoadFileSignatures(obs);
    EXPECT_TRUE(store.filesLoaded());
    EXPECT_TRUE(store.FileSignatures().empty());
    EXPECT_TRUE(store.DirectorySignatures().empty());
    EXPECT_EQ(obs.finished, 1);
}

// ---- line reading --------------------------------------------------------------------

TEST_F(SignatureStoreTest, OnlyCrLfEndsALine) {
    put(kFileDefinition, {"a=A|C:\\x", "b=B|C:\\x", "c=C|C:\\x"}, "\n", false);
    put(kDirectoryDefinition, {"d=D|C:\\y", "e=E|C:\\z"}, "\r\n", false);
    load();
    // A bare LF is a stored É: one line, whose location runs on.
    ASSERT_EQ(store.FileSignatures().size(), 1u);
    EXPECT_EQ(store.FileSignatures()[0].name, "a");
    ASSERT_EQ(store.DirectorySignatures().size(), 2u);
    EXPECT_EQ(store.DirectorySignatures()[1].folder, "c:\\z");
}

TEST_F(SignatureStoreTest, VeryLongLinesAndEveryByteSurvive) {
    std::string longName(200000, 'n');
    std::string bytes;
    for (int c = 1; c < 256; ++c) {
        // 255 does not come back (tested below).
        if (c != '|' && c != '=' && c != 255) {
            bytes.push_back(static_cast<char>(c));
        }
    }
    std::string withNul = std::string("nul") + '\0' + "inside";
    put(kFileDefinition, {longName + "=Long|C:\\x", "z.exe=" + bytes + "|C:\\x",
                          withNul + "=N|C:\\x", "after=A|C:\\x"});
    load();
    const auto& t = store.FileSignatures();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].name, longName);
    EXPECT_EQ(t[1].threatName, text::windows1252ToUtf8(bytes));
    EXPECT_EQ(t[2].name, withNul);
    EXPECT_EQ(t[3].name, "after");
}

TEST_F(SignatureStoreTest, CodeTwoFiftyFiveDoesNotCutTheLine) {
    // A writer that stores code 255 puts 64 in the file, which reads back as NUL: the rest
    // of the line must still be there.
    std::string line = "a";
    line.push_back(static_cast<char>(255));
    line += "b.exe=T|C:\\x";
    put(kFileDefinition, {line, "next=N|C:\\x"});
    load();
    ASSERT_EQ(store.FileSignatures().size(), 2u);
    EXPECT_EQ(store.FileSignatures()[0].name, std::string("a\0b.exe", 7));
    EXPECT_EQ(store.FileSignatures()[0].folder, "c:\\x\\");
}

// ---- Safety.dat ----------------------------------------------------------------------

TEST_F(SignatureStoreTest, SafetyEntriesByKind) {
    loadSafety({
        "SFILE|a.exe=x|[windir]\\\\a.exe",  // location, collapsed
        "SEXE|b.exe=x|",                    // no location: the name
        "SDLL| c.dll =x",                   // no "|" after the name: the name
        "SREG|k=x|2^Software\\\\Good^Val",  // hive, key, value
        "SREG|k=x|1^Software\\Key",         // hive, key
        "SREG|k=x|9^Software\\Key",         // unknown hive code
        "SDIR|d=x|[drive]Tools//bin",       // [drive] from the Programs folder's drive
        "SOTHER|o=x|C:\\o",                 // other kind: nothing
        "no bar at all",                    // no kind: nothing
    });
    const std::vector<std::string> expected = {
        "C:\\windows\\a.exe",
        "b.exe",
        "c.dll",
        "HKEY_LOCAL_MACHINE\\Software\\Good\\Val",
        "HKEY_CURRENT_USER\\Software\\Key",
        "\\Software\\Key",
        "C:\\Tools/bin",
        "",
    };
    EXPECT_EQ(store.SafetyEntries(), expected);
}

TEST_F(SignatureStoreTest, SafetyListIsRebuiltEachTime) {
    loadSafety({"SDIR|d=x|C:\\One"});
    EXPECT_TRUE(store.IsProtectedPath("c:\\one"));
    loadSafety({"SDIR|d=x|C:\\Two"});
    EXPECT_FALSE(store.IsProtectedPath("c:\\one"));
    EXPECT_TRUE(store.IsProtectedPath("c:\\two"));
    fs.deleteFile(DataFile(kData, kSafety));
    RecordingObserver obs;
    EXPECT_TRUE(store.LoadSafetyEntries(obs));
    EXPECT_EQ(store.SafetyEntries(), std::vector<std::string>{""});
    EXPECT_FALSE(store.IsProtectedPath("c:\\two"));
}

// ---- IsProtectedPath -----------------------------------------------------------------

TEST_F(SignatureStoreTest, OtherDriveWithTrailingBackslashMatchesDriveC) {
    loadSafety({"SDIR|d=x|C:\\Program Files\\Good"});
    EXPECT_TRUE(store.IsProtectedPath("D:\\Program Files\\Good\\"));
    EXPECT_TRUE(store.IsProtectedPath("  d:\\PROGRAM FILES\\good  "));
    EXPECT_TRUE(store.IsProtectedPath("e:\\program files\\good/"));
    EXPECT_FALSE(store.IsProtectedPath("D:\\Program Files\\Good\\sub"));
    EXPECT_FALSE(store.IsProtectedPath("D:\\Program Files\\Goo"));
}

TEST_F(SignatureStoreTest, SafetyEntriesThemselvesAreNotDriveNormalised) {
    loadSafety({"SDIR|d=x|D:\\Data"});
    EXPECT_FALSE(store.IsProtectedPath("D:\\Data"));
    EXPECT_FALSE(store.IsProtectedPath("C:\\Data"));
}

TEST_F(SignatureStoreTest, WholeHiveNeedsAnySafetyEntry) {
    EXPECT_FALSE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\"));  // never loaded
    loadSafety({});
    EXPECT_FALSE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\"));  // empty file
    fs.deleteFile(DataFile(kData, kSafety));
    RecordingObserver obs;
    store.LoadSafetyEntries(obs);
    EXPECT_FALSE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\"));  // missing file

    loadSafety({"SFILE|a=x|C:\\a.exe"});
    for (const auto* hive : {"HKEY_LOCAL_MACHINE\\", "HKEY_LOCAL_MACHINE", "hkey_current_user",
                             "HKEY_CLASSES_ROOT\\", "HKEY_USERS", "HKEY_CURRENT_CONFIG\\"}) {
        EXPECT_TRUE(store.IsProtectedPath(hive)) << hive;
    }
    EXPECT_FALSE(store.IsProtectedPath("HKEY_DYN_DATA"));
    EXPECT_FALSE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\Software"));
}

TEST_F(SignatureStoreTest, EmptyCandidateIsAlwaysProtected) {
    EXPECT_TRUE(store.IsProtectedPath(""));
    EXPECT_TRUE(store.IsProtectedPath("   "));
    EXPECT_TRUE(store.IsProtectedPath("\\"));
    EXPECT_TRUE(store.IsProtectedPath("/"));
}

TEST_F(SignatureStoreTest, RegistryEntriesMatchKeysAndValues) {
    loadSafety({"SREG|k=x|2^Software\\Good^Val", "SREG|k=x|1^Software\\Key\\"});
    EXPECT_TRUE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Good\\Val"));
    EXPECT_TRUE(store.IsProtectedPath("hkey_current_user\\software\\key"));
    EXPECT_FALSE(store.IsProtectedPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Good"));
}

TEST_F(SignatureStoreTest, ProtectionAgreesWithTheListLoop) {
    loadSafety({"SDIR|d=x|C:\\A", "SDIR|d=x|C:\\B\\\\\\", "SDIR|d=x|C:\\C/",
                "SFILE|f=x|C:\\A\\f.exe", "SDIR|d=x| C:\\Spaced ", "SREG|k=x|3^S-1\\Run^",
                "SDIR|d=x|\\\\", "SFILE|g=x|"});
    const std::vector<std::string> bases = {
        "c:\\a",     "d:\\a",        "C:\\B",      "c:\\b\\",
        "c:\\c",     "c:\\a\\f.exe", "c:\\spaced", "hkey_users\\s-1\\run",
        "x:\\other", "HKEY_USERS",   "g",          "\\",
        "a"};
    const std::vector<std::string> tails = {"", "\\", "\\\\", "/", "/\\", "\\/", " ", "x"};
    for (const auto& b : bases) {
        for (const auto& t : tails) {
            for (const auto& lead : {"", "  "}) {
                std::string cand = lead + b + t;
                EXPECT_EQ(store.IsProtectedPath(cand),
                          referenceProtected(store.SafetyEntries(), cand))
                    << "'" << cand << "'";
            }
        }
    }
}

// ---- whole tables against a plain reading -----------------------------------------------

void expectSameTable(const SignatureTable& got, const std::vector<ReferenceEntry>& want,
                     const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const SignatureEntry e = got[i];
        ASSERT_EQ(e.folder, want[i].folder) << what << " row " << i;
        ASSERT_EQ(e.name, want[i].name) << what << " row " << i;
        ASSERT_EQ(e.type, want[i].type) << what << " row " << i;
        ASSERT_EQ(e.threatName, want[i].threatName) << what << " row " << i;
    }
}

// Random lines of every shape: missing and extra fields, blanks, several "=", placeholders
// in any case, doubled backslashes, Latin-1 capitals, fields longer than what the loader
// keeps in its caches, locations repeated often and rarely (so that cached folders are
// met again after others pushed them out), and protected paths.
TEST_F(SignatureStoreTest, RandomTablesAgreeWithAPlainReading) {
    std::mt19937 rng(2024);
    const std::vector<std::string> names = {
        "Spy.EXE",           " a b ", "", "x", "LONGNAME\xC8\xC0.DLL", "  ", "kept.exe",
        std::string(70, 'Q')};
    const std::vector<std::string> threats = {"Adware.X", "", "a=b", " Spaced ", "T|", "\xC8t\xE9"};
    const std::vector<std::string> types = {"TYPE", "Adware", "", "type", "Trojan Horse"};
    const std::vector<std::string> places = {"[progfil]Vendor",
                                             "[WINDIR]system32",
                                             "[windir]\\\\system32\\\\",
                                             "[user]Temp",
                                             "[USER]Temp",
                                             "[recycle]",
                                             "[drive]\\Tools",
                                             "C:\\Mixed\xC4\\Case",
                                             "c:\\a\\\\\\b\\",
                                             "[comprogfil]Co",
                                             "[startup]",
                                             "",
                                             "\\\\",
                                             "[appdata]",
                                             "[progfil]Other",
                                             "[personl]" + std::string(60, 'D'),
                                             "[bad]x",
                                             "[progfil",
                                             "x[windir]y",
                                             "[windir][system]z",
                                             "a]b\\",
                                             "\\",
                                             "[windir]\\",
                                             "[windir]" + std::string(56, 'e'),
                                             "[windir]" + std::string(57, 'f'),
                                             std::string(64, 'g'),
                                             "[longer than twelve]x",
                                             "D:\\Program Files\\Vendor",
                                             "e:\\program files\\other",
                                             "hkey_users"};
    for (int round = 0; round < 12; ++round) {
        const bool big = round % 4 == 3;
        const int count = big ? 20000 : 300;
        std::vector<std::string> fileLines;
        std::vector<std::string> dirLines;
        for (auto* lines : {&fileLines, &dirLines}) {
            for (int i = 0; i < count; ++i) {
                std::string location = places[rng() % places.size()];
                if (rng() % 3 == 0) {
                    // Many distinct locations in the big rounds.
                    location += "\\v" + std::to_string(rng() % (big ? 5000 : 40));
                }
                std::string line = names[rng() % names.size()];
                if (rng() % 6 != 0) {
                    line += "=" + threats[rng() % threats.size()];
                }
                const auto fields = rng() % 10;
                if (fields > 0) {
                    line += "|" + location;
                }
                if (fields > 1) {
                    line += "|" + types[rng() % types.size()];
                }
                if (fields > 8) {
                    line += "|extra|more";
                }
                lines->push_back(line);
            }
        }
        loadSafety({"SDIR|d=x|[progfil]Vendor", "SFILE|k=x|[progfil]Other\\kept.exe",
                    "SDIR|d=x|[windir]system32\\v3", "SFILE|k=x|C:\\Mixed\xE4\\case\\x"});
        put(kFileDefinition, fileLines);
        put(kDirectoryDefinition, dirLines);
        SignatureStore fresh{fs, expander, kData};
        RecordingObserver obs;
        fresh.LoadSafetyEntries(obs);
        fresh.LoadFileSignatures(obs);
        auto decoded = [](std::vector<std::string> lines) {
            for (auto& line : lines) {
                line = text::windows1252ToUtf8(line);
            }
            return lines;
        };
        const auto want = referenceTable(decoded(fileLines), true, expander, fresh.SafetyEntries());
        const auto wantDirs =
            referenceTable(decoded(dirLines), false, expander, fresh.SafetyEntries());
        expectSameTable(fresh.FileSignatures(), want, "files, round " + std::to_string(round));
        expectSameTable(fresh.DirectorySignatures(), wantDirs,
                        "folders, round " + std::to_string(round));
        EXPECT_LT(want.size(), fileLines.size());  // some lines were protected or empty
    }
}

// ---- CountDefinitions ----------------------------------------------------------------

TEST_F(SignatureStoreTest, CountsLinesOfEachFile) {
    put(kBlockedCookies, {"a", "b", "c"});
    put(kExeDefinition, {"x", "y"}, "\r\n", false);  // last line without a break counts
    put(kFileDefinition, {"f1", "f2"});
    put(kDirectoryDefinition, {"d1"}, "\n");
    put(kSafety, {"s1", "s2", "s3", "s4"});  // not counted
    EXPECT_EQ(store.CountDefinitions(), 8);
    EXPECT_EQ(store.counts().cookies, 3);
    EXPECT_EQ(store.counts().exe, 2);
    EXPECT_EQ(store.counts().registry, 0);  // missing
    EXPECT_EQ(store.counts().files, 3);
    EXPECT_EQ(store.counts().total, 8);

    fs.deleteFile(DataFile(kData, kBlockedCookies));
    EXPECT_EQ(store.CountDefinitions(), 5);
    EXPECT_EQ(store.counts().cookies, 0);
}

}  // namespace
}  // namespace nightjar::definitions
