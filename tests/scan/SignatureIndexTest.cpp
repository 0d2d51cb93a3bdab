#include "scan/SignatureIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ScanTestEnv.h"
#include "scan/FileWalker.h"
#include "util/Text.h"

namespace nightjar::scan {
namespace {

using definitions::SignatureEntry;
using definitions::SignatureTable;

// --- Straightforward table-order search, kept here as the reference ---------------------

std::string lowerTrim(std::string s) {
    for (auto& ch : s) {
        ch = text::toLowerChar(ch);
    }
    return text::trim(s);
}

std::vector<std::uint32_t> linearFileCandidates(const std::vector<SignatureEntry>& rows,
                                                const std::string& name, const std::string& drive) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string n = lowerTrim(text::ireplaceAll(rows[i].name, "[drive]", drive));
        if (n.empty()) {
            continue;
        }
        if (n == name) {
            out.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return out;
}

std::vector<std::uint32_t> linearFolderCandidates(const std::vector<SignatureEntry>& rows,
                                                  const std::string& folder,
                                                  const std::string& drive) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string p = lowerTrim(text::ireplaceAll(rows[i].folder, "[drive]", drive));
        if (p.empty()) {
            continue;
        }
        if (p.size() > 1 && p.back() == '\\') {
            p.pop_back();
        }
        if (p == folder) {
            out.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return out;
}

TEST(SignatureIndexTest, KeysReplaceDriveLowerAndTrim) {
    EXPECT_EQ(SignatureIndex::FileKey("  [DRIVE]Ab.EXE ", "c:"), "c:ab.exe");
    EXPECT_EQ(SignatureIndex::FolderKey("[drive]\\Temp\\", "d:"), "d:\\temp");
    EXPECT_EQ(SignatureIndex::FolderKey("\\", ""), "\\");
    EXPECT_EQ(SignatureIndex::FolderKey(" [drive] ", ""), "");
}

TEST(SignatureIndexTest, EmptyEntryIsPassedOver) {
    std::vector<SignatureEntry> files = {{"c:\\a\\", "x.exe", "", "T0"},
                                         {"c:\\b\\", "  ", "", "T1"},
                                         {"c:\\c\\", "x.exe", "", "T2"}};
    std::vector<SignatureEntry> folders = {
        {"c:\\spy", "k", "", "F0"}, {"[drive]", "k", "", "F1"}, {"c:\\spy", "k", "", "F2"}};
    const SignatureTable fileTable(files);
    const SignatureTable folderTable(folders);
    SignatureIndex index;
    index.rebuild(fileTable, folderTable);
    std::vector<std::uint32_t> out;
    index.fileCandidates("x.exe", "c:", out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0, 2}));
    // "[drive]" resolves to the drive: empty only for a path without a drive part.
    index.folderCandidates("c:\\spy", "c:", out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0, 2}));
    index.folderCandidates("c:\\spy", "", out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0, 2}));
    index.folderCandidates("c:", "c:", out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{1}));
}

// Random tables and lookups: the index must list exactly the table-order candidates.
TEST(SignatureIndexTest, IndexEqualsLinearSearchOnRandomTables) {
    std::mt19937 rng(777);
    const std::vector<std::string> names = {
        "a.exe", "A.EXE", " a.exe ", "b.dll",   "[drive]a.exe",  "[DRIVE]",      "",
        " ",     "x",     "c:a.exe", "[drive]", "\xC9t\xE9.exe", "\xE9T\xC9.EXE"};
    const std::vector<std::string> paths = {"c:\\a",
                                            "C:\\A\\",
                                            "[drive]\\a",
                                            "[drive]",
                                            "\\",
                                            "",
                                            " ",
                                            "d:\\a",
                                            " c:\\a ",
                                            "[Drive]\\A\\",
                                            "c:\\windows\\system32",
                                            "c:"};
    const std::vector<std::string> drives = {"c:", "d:", "", "x"};
    int checks = 0;
    int hits = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<SignatureEntry> files(rng() % 40);
        std::vector<SignatureEntry> folders(rng() % 40);
        // Mostly non-empty entries, with an empty one here and there.
        // The entries view the pools' strings.
        auto pick = [&](const std::vector<std::string>& pool) -> const std::string& {
            const std::string& s = pool[rng() % pool.size()];
            if (s.empty() || s == " ") {
                if (rng() % 4 != 0) {
                    return pool[0];
                }
            }
            return s;
        };
        for (auto& e : files) {
            e.name = pick(names);
            e.folder = pick(paths);
        }
        for (auto& e : folders) {
            e.folder = pick(paths);
            e.name = pick(names);
        }
        const SignatureTable fileTable(files);
        const SignatureTable folderTable(folders);
        SignatureIndex index;
        index.rebuild(fileTable, folderTable);
        std::vector<std::uint32_t> got;
        for (const auto& drive : drives) {
            for (const auto& n : names) {
                const std::string key = lowerTrim(n);
                index.fileCandidates(key, drive, got);
                auto want = linearFileCandidates(files, key, drive);
                ASSERT_EQ(got, want) << "round " << round << " name [" << n << "] drive " << drive;
                hits += want.empty() ? 0 : 1;
                ++checks;
            }
            for (const auto& p : paths) {
                std::string key = text::toLower(p);
                if (key.size() > 1 && key.back() == '\\') {
                    key.pop_back();
                }
                index.folderCandidates(key, drive, got);
                auto want = linearFolderCandidates(folders, key, drive);
                ASSERT_EQ(got, want)
                    << "round " << round << " folder [" << p << "] drive " << drive;
                hits += want.empty() ? 0 : 1;
                ++checks;
            }
        }
    }
    EXPECT_EQ(checks, 400 * 4 * 25);
    EXPECT_GT(hits, checks / 10);
}

// --- Whole walk check against a table-order reference -----------------------------------

/// The file and folder checks written out as a search in table order.
class LinearChecker {
  public:
    explicit LinearChecker(scantest::ScanTestEnv& env) : env_(env) {}

    /// Whether an entry's folder may stand for `parent`: a single backslash near the root,
    /// else at least two trailing parts in common; never a system-folder path for an
    /// entry outside the system folder.
    static bool folderFits(const std::string& parent, std::string_view entryFolder,
                           const std::string& sys) {
        long d = static_cast<long>(std::count(parent.begin(), parent.end(), '\\'));
        bool ok = d < 2 ? std::count(entryFolder.begin(), entryFolder.end(), '\\') == 1
                        : FileWalker::TrailingMatchCount(parent, entryFolder) >= 2;
        return ok && !(text::icontains(parent, sys) && !text::icontains(entryFolder, sys));
    }
    /// Whether the entry's folder names each of the system words the path names.
    static bool wordsAgree(const std::string& path, std::string_view entryFolder) {
        for (const char* w : {"system32", "system", "windows"}) {
            if (text::icontains(path, w) && !text::icontains(entryFolder, w)) {
                return false;
            }
        }
        return true;
    }

    void checkFile(const std::string& path, mock::RecordingScanSink& sink) {
        auto slash = path.rfind('\\');
        std::string parent =
            text::toLower(slash == std::string::npos ? "" : path.substr(0, slash + 1));
        std::string name = lowerTrim(slash == std::string::npos ? path : path.substr(slash + 1));
        std::string drive = text::toLower(path.substr(0, path.find('\\')));
        const std::string sys = text::toLower(env_.expander.SystemDirectory());
        for (const auto& e : env_.store.FileSignatures()) {
            std::string en = lowerTrim(text::ireplaceAll(e.name, "[drive]", drive));
            if (en.empty()) {
                continue;
            }
            if (en != name) {
                continue;
            }
            if (!(name.size() > 16 && text::icontains(name, ".exe"))) {
                if (!folderFits(parent, e.folder, sys)) {
                    continue;
                }
            }
            // The location keeps the name as it is; only the match trims it.
            const std::string full =
                parent + text::toLower(slash == std::string::npos ? path : path.substr(slash + 1));
            if (env_.store.IsProtectedPath(full)) {
                return;
            }
            if (env_.exclusions.IsExcluded(full)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, full});
                return;
            }
            if (text::iequals(text::trim(env_.company.ReadCompanyName(full)),
                              "Microsoft Corporation")) {
                return;
            }
            if (!wordsAgree(full, e.folder)) {
                continue;
            }
            sink.addFileWorkRow({full, std::string(e.threatName)});
            sink.addTrace();
            sink.addFeedRow({std::string(e.threatName), icon::File, full});
            sink.addFoundItem(
                {std::string(e.threatName), icon::File, full, std::string(e.type), "", "", false});
            ++sink.counters().threats;
            return;
        }
    }

    void checkFolder(const std::string& folderIn, mock::RecordingScanSink& sink) {
        std::string folder = text::toLower(folderIn);
        std::string drive = folder.substr(0, folder.find('\\'));
        const std::string sys = text::toLower(env_.expander.SystemDirectory());
        if (folder.size() > 1 && folder.back() == '\\') {
            folder.pop_back();
        }
        for (const auto& e : env_.store.DirectorySignatures()) {
            std::string p = lowerTrim(text::ireplaceAll(e.folder, "[drive]", drive));
            if (p.empty()) {
                continue;
            }
            if (p.size() > 1 && p.back() == '\\') {
                p.pop_back();
            }
            if (p != folder) {
                continue;
            }
            if (!folderFits(folder, e.folder, sys)) {
                continue;
            }
            if (env_.store.IsProtectedPath(folder)) {
                return;
            }
            if (env_.exclusions.IsExcludedPart(folder)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, folder + "\\"});
                return;
            }
            if (!wordsAgree(folder, e.folder)) {
                continue;
            }
            sink.addFileWorkRow({folder, "FILE"});
            sink.addTrace();
            sink.addFeedRow({std::string(e.threatName), icon::File, folder});
            sink.addFoundItem({std::string(e.threatName) + " Directory", icon::Folder, folder,
                               std::string(e.type), "", "", false});
            ++sink.counters().threats;
            return;
        }
    }

  private:
    scantest::ScanTestEnv& env_;
};

std::string describe(const mock::RecordingScanSink& s) {
    std::string d;
    for (const auto& r : s.feed) {
        d += "feed:" + r.text + "|" + std::to_string(r.icon) + "|" + r.details + "\n";
    }
    for (const auto& r : s.found) {
        d += "found:" + r.title + "|" + std::to_string(r.icon) + "|" + r.location + "|" + r.type +
             "\n";
    }
    for (const auto& r : s.fileWork) {
        d += "work:" + r.path + "|" + r.second + "\n";
    }
    d += "traces:" + std::to_string(s.traces) + " threats:" + std::to_string(s.c.threats);
    return d;
}

TEST(FileWalkerEquivalenceTest, IndexedChecksEqualTableOrderSearch) {
    std::mt19937 rng(4242);
    const std::vector<std::string> fileNames = {
        "spy.exe",  "SPY.EXE",   "a_very_long_name_x.exe", "", "[drive]spy.exe", "tool.dll",
        " spy.exe", "readme.txt"};
    const std::vector<std::string> locations = {"[drive]",
                                                "C:\\windows\\system32",
                                                "C:\\windows",
                                                "C:\\Temp",
                                                "[drive]temp\\sub",
                                                "D:\\Games\\Spy",
                                                "C:\\Games\\Spy",
                                                "[windir]system32",
                                                "C:\\Program Files\\Spy\\bin",
                                                "[drive]Program Files\\Spy",
                                                "[progfil]Spy\\bin",
                                                "C:\\a\\b\\c",
                                                "c:\\system\\x"};
    const std::vector<std::string> checkFolders = {"C:\\",
                                                   "D:\\",
                                                   "C:\\windows\\system32\\",
                                                   "C:\\WINDOWS\\",
                                                   "C:\\Temp\\",
                                                   "C:\\temp\\sub\\",
                                                   "D:\\Games\\Spy\\",
                                                   "E:\\Games\\Spy\\",
                                                   "C:\\Program Files\\Spy\\bin\\",
                                                   "C:\\Program Files\\Spy\\",
                                                   "C:\\a\\b\\c\\",
                                                   "X:\\q\\a\\b\\c\\",
                                                   "C:\\system\\x\\"};
    int nonEmpty = 0;
    for (int round = 0; round < 60; ++round) {
        scantest::ScanTestEnv env;
        std::vector<std::string> fileLines;
        std::vector<std::string> dirLines;
        const int n = 5 + static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            std::string name = fileNames[rng() % fileNames.size()];
            if (name.empty() && rng() % 3 != 0) {
                name = "spy.exe";
            }
            fileLines.push_back(name + "=File" + std::to_string(i) + "|" +
                                locations[rng() % locations.size()] + "|T" + std::to_string(i % 3));
            dirLines.push_back("key" + std::to_string(i) + "=Dir" + std::to_string(i) + "|" +
                               locations[rng() % locations.size()] + "|D");
        }
        env.writeDefinitions(definitions::kFileDefinition, fileLines);
        env.writeDefinitions(definitions::kDirectoryDefinition, dirLines);
        if (rng() % 2 == 0) {
            env.writeDefinitions(
                definitions::kSafety,
                {"SDIR|x=y|" + locations[rng() % locations.size()], "SFILE|x=y|C:\\Temp\\spy.exe"});
        }
        std::string excl;
        if (rng() % 2 == 0) {
            excl += checkFolders[rng() % checkFolders.size()] + "spy.exe\r\n";
        }
        if (rng() % 3 == 0) {
            excl += "C:\\Games\\Spy\r\n";
        }
        env.writeExclusions(excl);
        // Some files on disk carry a Microsoft version resource.
        env.fs.addFile("C:\\windows\\system32\\spy.exe",
                       scantest::FakeExecutable("Microsoft Corporation"));
        env.fs.addFile("C:\\Temp\\tool.dll", scantest::FakeExecutable(" microsoft corporation "));
        env.prepareRun();
        env.store.LoadFileSignatures(env.observer);

        FileWalker walker(env.fs, env.store, env.expander, env.exclusions, env.company);
        LinearChecker linear(env);
        for (const auto& folder : checkFolders) {
            for (const auto& name : fileNames) {
                mock::RecordingScanSink a;
                mock::RecordingScanSink b;
                walker.CheckFilePath(folder + name, a);
                linear.checkFile(folder + name, b);
                ASSERT_EQ(describe(a), describe(b))
                    << "round " << round << " file " << folder + name;
                nonEmpty += a.feed.empty() ? 0 : 1;
            }
            mock::RecordingScanSink a;
            mock::RecordingScanSink b;
            walker.CheckFolderPath(folder, a);
            linear.checkFolder(folder, b);
            ASSERT_EQ(describe(a), describe(b)) << "round " << round << " folder " << folder;
            nonEmpty += a.feed.empty() ? 0 : 1;
        }
    }
    EXPECT_GT(nonEmpty, 100);  // the generated cases really produce hits
}

}  // namespace
}  // namespace nightjar::scan
