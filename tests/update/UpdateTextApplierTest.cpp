#include "update/UpdateTextApplier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "mock/FakeFileSystem.h"
#include "update/UpdateTestSupport.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar::update {
namespace {

using definitions::ScrambleLine;
using definitions::UnscrambleLine;
using testing::dataFile;
using testing::kData;
using testing::record;
using testing::storedLine;

class RecordingObserver : public UpdateObserver {
  public:
    std::vector<std::string> statuses;
    int pumps = 0;
    void status(std::string_view text) override { statuses.emplace_back(text); }
    void pump() override { ++pumps; }
};

class ApplyTest : public ::testing::Test {
  protected:
    ApplyTest() { fs.addFolder(kData); }

    ApplyResult apply(std::string_view text) {
        UpdateTextApplier applier(fs, std::string(kData), observer);
        return applier.ApplyUpdateText(text);
    }
    std::string file(std::string_view name) {
        return fs.content(dataFile(name)).value_or("<missing>");
    }

    mock::FakeFileSystem fs;
    RecordingObserver observer;
};

TEST_F(ApplyTest, EmptyTrailingRecordIsSkippedAndAddsAppendAfterExistingContent) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("old.exe=Old|[windir]"));
    auto r = apply(record("FILE", "ADD", "new.exe=New|[windir]|TYPE") + "[BR]");
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(file("FileDefinition.dat"),
              storedLine("old.exe=Old|[windir]") + storedLine("new.exe=New|[windir]|TYPE"));
}

TEST_F(ApplyTest, LowerCaseOperationIsIgnoredAndNotCounted) {
    auto r = apply(record("FILE", "add", "a.exe=A|x") + "[BR]" + record("FILE", "Del", "a.exe"));
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(file("FileDefinition.dat"), "");  // opened for appending: created, left empty
}

TEST_F(ApplyTest, ExeRecordGoesToFileAndExeDefinitionsCountingTwice) {
    auto r = apply(record("EXE", "ADD", "bad.exe=Bad|x|[windir]"));
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("bad.exe=Bad|x|[windir]"));
    EXPECT_EQ(file("ExeDefinition.dat"), storedLine("bad.exe=Bad|x|[windir]"));
    EXPECT_EQ(file("DirectoryDefinition.dat"), "");
}

TEST_F(ApplyTest, DllGoesToFileDefinitionOnly) {
    auto r = apply(record("DLL", "ADD", "x.dll=X|[windir]"));
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("x.dll=X|[windir]"));
    EXPECT_EQ(file("ExeDefinition.dat"), "");
}

TEST_F(ApplyTest, ThreeAddsAndOneDeleteCountFourAndRemoveTheKeyIgnoringCase) {
    fs.addFile(dataFile("FileDefinition.dat"),
               storedLine("Evil.EXE=Old|a") + storedLine("keep.exe=K|b"));
    std::string text =
        record("FILE", "ADD", "one.exe=1|a") + "[BR]" + record("FILE", "ADD", "evil.exe=2|b") +
        "[br]" + record("FILE", "ADD", "two.exe=3|c") + "[Br]" + record("FILE", "DEL", "EVIL.exe");
    auto r = apply(text);
    EXPECT_EQ(r.count, 4);
    const std::string out = file("FileDefinition.dat");
    EXPECT_EQ(out,
              storedLine("keep.exe=K|b") + storedLine("one.exe=1|a") + storedLine("two.exe=3|c"));
    for (const auto& line : text::split(out, "\r\n")) {
        std::string plain = UnscrambleLine(line);
        EXPECT_FALSE(text::iequals(plain.substr(0, plain.find('=')), "evil.exe")) << plain;
    }
}

TEST_F(ApplyTest, DeleteThenAddOfTheSameKeyKeepsTheEntry) {
    // The ADD withdraws the pending deletion whose body equals its key, letter case ignored
    // on the text as sent.
    std::string del = record("DIR", "DEL", "folder");
    std::string delOther = record("DIR", "DEL", "other=x");  // not equal to a key: stays
    std::string add = record("DIR", "ADD", "folder=Threat|[programfiles]");
    fs.addFile(dataFile("DirectoryDefinition.dat"), storedLine("other=Old|y") + "\r\n");
    auto r = apply(del + "[BR]" + delOther + "[BR]" + add);
    EXPECT_EQ(r.count, 2);  // one ADD, one removal step
    // "other=x" has key "other": the old line goes, as does the empty line.
    EXPECT_EQ(file("DirectoryDefinition.dat"), storedLine("folder=Threat|[programfiles]"));
}

TEST_F(ApplyTest, AddThenDeleteOfTheSameKeyRemovesTheNewLineToo) {
    auto r = apply(record("FILE", "ADD", "x.exe=X|a") + "[BR]" + record("FILE", "DEL", "X.EXE"));
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(file("FileDefinition.dat"), "");
}

TEST_F(ApplyTest, RegistryBodyIsStoredAsKeyPathEncodedCaretEqualsValueAndName) {
    auto r = apply(record("REG", "ADD", "ignored=2|Software\\Bad=Co|Run"));
    EXPECT_EQ(r.count, 1);
    // part 1, "^=", the value, "|", part 2: the name before the value is not stored.
    EXPECT_EQ(file("RegistryDefinition.dat"), storedLine("Software\\Bad=Co^=2|Run"));
}

TEST_F(ApplyTest, RegistryBodyWithMissingPartsStoresThemEmpty) {
    auto r = apply(record("REG", "ADD", "noequals"));
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(file("RegistryDefinition.dat"), storedLine("^=|"));
}

TEST_F(ApplyTest, CookieBodyWithoutEqualsIsStoredWholeElseItsKey) {
    auto r = apply(record("COOK", "ADD", "tracker.example") + "[BR]" +
                   record("COOK", "ADD", "ads.example=Ads"));
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(file("BlockedCookies.dat"),
              storedLine("tracker.example") + storedLine("ads.example"));
}

TEST_F(ApplyTest, MarkersWithAnSGoToSafetyWithTheMarkerAppended) {
    auto r =
        apply(record("S", "ADD", "SFILE|x.exe=y|C:\\x") + "[BR]" +
              record("s", "ADD", "SDIR|d=e|C:\\d") + "[BR]" + record("FILE", "ADD", "f.exe=F|g"));
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(file("Safety.dat"),
              storedLine("SFILE|x.exe=y|C:\\x|S") + storedLine("SDIR|d=e|C:\\d|s"));
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("f.exe=F|g"));
}

TEST_F(ApplyTest, UnknownMarkersAndBlankRecordsAreSkipped) {
    auto r = apply("   [BR]" + record("NOPE", "ADD", "a=b") + "[BR]  " +
                   record("FILE", "ADD", "a.exe=A|b") + "  [BR][BR]garbage without def");
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("a.exe=A|b"));
}

TEST_F(ApplyTest, EmptyLinesAreDroppedOnlyByTheRemovalStep) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1") + "\r\n" + storedLine("b=2"));
    fs.addFile(dataFile("ExeDefinition.dat"), storedLine("a=1") + "\r\n" + storedLine("b=2"));
    auto r = apply(record("FILE", "DEL", "b") + "[BR]" + record("EXE", "ADD", "c=3|x"));
    EXPECT_EQ(r.count, 1 + 2 + 0);  // removal in File; EXE appended to File and Exe
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("a=1") + storedLine("c=3|x"));
    EXPECT_EQ(file("ExeDefinition.dat"),
              storedLine("a=1") + "\r\n" + storedLine("b=2") + storedLine("c=3|x"));
}

TEST_F(ApplyTest, ExistingFileWithoutFinalLineBreakIsAppendedToAsIs) {
    fs.addFile(dataFile("BlockedCookies.dat"), ScrambleLine("last"));
    apply(record("COOK", "ADD", "next"));
    EXPECT_EQ(file("BlockedCookies.dat"), ScrambleLine("last") + storedLine("next"));
}

TEST_F(ApplyTest, StatusTextsFollowEachPassAndEveryHundredLinesOfRemoval) {
    std::string fileDefs;
    for (int i = 0; i < 150; ++i) {
        fileDefs += storedLine("f" + std::to_string(i) + "=x");
    }
    std::string exeDefs;
    for (int i = 0; i < 120; ++i) {
        exeDefs += storedLine("e" + std::to_string(i) + "=x");
    }
    fs.addFile(dataFile("FileDefinition.dat"), fileDefs);
    fs.addFile(dataFile("ExeDefinition.dat"), exeDefs);
    auto r = apply(record("FILE", "DEL", "f3") + "[BR]" + record("EXE", "DEL", "e7"));
    EXPECT_EQ(r.count, 2);  // FileDefinition (FILE and EXE deletions) and ExeDefinition
    // The cadence counts lines across both removal steps; the number shown is the line of
    // the file being read: 100 in FileDefinition.dat, then line 50 of ExeDefinition.dat.
    std::vector<std::string> expected = {
        "Applying new updates...", "Removing outdated definitions: checking entry 100",
        "Applying new updates...", "Removing outdated definitions: checking entry 50",
        "Applying new updates...", "Applying new updates...",
        "Applying new updates...", "Applying new updates..."};
    EXPECT_EQ(observer.statuses, expected);
    EXPECT_EQ(observer.pumps, 8);
    const std::string after = file("FileDefinition.dat");
    EXPECT_EQ(std::count(fileDefs.begin(), fileDefs.end(), '\n') - 1,
              std::count(after.begin(), after.end(), '\n'));  // only f3 removed
}

// --- Sound behaviour: an update is written aside and put in place only when it succeeded.

TEST_F(ApplyTest, MalformedRecordsAreSkippedCountedAndTheRestApplied) {
    fs.addFile(dataFile("RegistryDefinition.dat"), storedLine("reg=1"));
    // Between good records: a REG record without "[DEF]", a COOK record without an
    // operation, and an EXE record (two files) without "[DEF]", which is skipped once.
    const std::string text = record("EXE", "ADD", "a.exe=A|b") + "[BR]" + ScrambleLine("REG") +
                             "|ADD no def marker[BR]" + ScrambleLine("COOK") + "[DEF]" +
                             testing::wireBody("site") + "[BR]" + ScrambleLine("EXE") + "|ADD[BR]" +
                             record("COOK", "ADD", "c");
    auto r = apply(text);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.skipped, 3);
    EXPECT_EQ(r.count, 3);  // the good EXE record in two files, the good cookie
    EXPECT_EQ(file("ExeDefinition.dat"), storedLine("a.exe=A|b"));
    EXPECT_EQ(file("RegistryDefinition.dat"), storedLine("reg=1"));
    EXPECT_EQ(file("BlockedCookies.dat"), storedLine("c"));
    EXPECT_EQ(observer.statuses.back(), std::string(UpdateTextApplier::kSkipped) + "3");
}

TEST_F(ApplyTest, WriteFailureLeavesFilesUnchanged) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("keep=1"));
    fs.setFailWrites(true);
    auto r = apply(record("FILE", "ADD", "a=b|c") + "[BR]" + record("FILE", "DEL", "keep"));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.count, 0);
    fs.setFailWrites(false);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("keep=1"));
}

TEST_F(ApplyTest, FolderInPlaceOfADefinitionFileFailsThePass) {
    fs.addFolder(dataFile("ExeDefinition.dat"));
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("keep=1"));
    auto r = apply(record("EXE", "ADD", "a=b|c"));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.failedFile, "ExeDefinition.dat");
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("keep=1"));
}

/// A file system whose reads stop halfway, as a failing disk does: the reader cannot tell
/// that from the end of the file.
class ShortReadFileSystem : public mock::FakeFileSystem {
  public:
    std::unique_ptr<platform::InputFile> openRead(std::string_view path) override {
        auto inner = FakeFileSystem::openRead(path);
        if (!inner) {
            return inner;
        }
        class Half : public platform::InputFile {
          public:
            explicit Half(std::unique_ptr<platform::InputFile> in) : in_(std::move(in)) {}
            std::size_t read(char* buffer, std::size_t size) override {
                if (served_ >= 10) {
                    return 0;
                }
                std::size_t n = in_->read(buffer, std::min<std::size_t>(size, 10 - served_));
                served_ += n;
                return n;
            }

          private:
            std::unique_ptr<platform::InputFile> in_;
            std::size_t served_ = 0;
        };
        return std::make_unique<Half>(std::move(inner));
    }
};

TEST(ApplyShortRead, ReadThatStopsShortFailsThePassInsteadOfTruncatingTheFile) {
    ShortReadFileSystem fs;
    fs.addFolder(kData);
    const std::string old = storedLine("first=1|a") + storedLine("second=2|b");
    fs.addFile(dataFile("FileDefinition.dat"), old);
    UpdateObserver quiet;
    UpdateTextApplier applier(fs, std::string(kData), quiet);
    auto r = applier.ApplyUpdateText(record("FILE", "ADD", "third=3|c"));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), old);
}

TEST_F(ApplyTest, FailedRenameOfOneFileLeavesEveryFileAsItWasAndARetryAppendsOnce) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("keep=1"));
    const auto before = fs.allPaths();
    const std::string text = record("EXE", "ADD", "a=b|c") + "[BR]" + record("FILE", "DEL", "keep");
    // The journal and FileDefinition.dat go in place; renaming ExeDefinition.dat fails.
    fs.failCommitAfter(2);
    auto r = apply(text);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.failedFile, "ExeDefinition.dat");
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("keep=1"));
    EXPECT_EQ(fs.allPaths(), before);  // nothing created, no backup or journal left
    fs.failCommitAfter(-1);
    EXPECT_TRUE(apply(text).complete);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("a=b|c"));
    EXPECT_EQ(file("ExeDefinition.dat"), storedLine("a=b|c"));
}

TEST_F(ApplyTest, StoredLinesHoldingByteTenStayWhole) {
    // An upper-case E acute is stored as byte 10: only CR LF ends a stored line.
    ASSERT_EQ(ScrambleLine("\xC9"), "\n");
    const std::string kept = "caf\xC9.exe=\xC9vil|x";
    // Keys compare ignoring the case of Latin letters too: "\xE9" is the small form of "\xC9".
    fs.addFile(dataFile("FileDefinition.dat"),
               storedLine(kept) + storedLine("\xE9t\xC9.exe=T|y") + storedLine("plain=1"));
    auto r =
        apply(record("FILE", "DEL", "\xC9T\xC9.EXE") + "[BR]" + record("FILE", "ADD", "n\xC9w=2"));
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(file("FileDefinition.dat"),
              storedLine(kept) + storedLine("plain=1") + storedLine("n\xC9w=2"));
}

TEST_F(ApplyTest, ApplyingTheSameUpdateAgainAfterAFailureAppendsOnce) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("keep=1"));
    const std::string text = record("FILE", "ADD", "a=b|c");
    fs.setFailWrites(true);
    EXPECT_FALSE(apply(text).complete);
    fs.setFailWrites(false);
    auto r = apply(text);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("keep=1") + storedLine("a=b|c"));
}

TEST_F(ApplyTest, StaleTempFileIsRemovedAndNeverRead) {
    fs.addFile(dataFile("temp.dat"), storedLine("stale=1"));
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1") + storedLine("b=1"));
    apply(record("FILE", "DEL", "a"));
    EXPECT_EQ(file("FileDefinition.dat"), storedLine("b=1"));
    EXPECT_FALSE(fs.exists(dataFile("temp.dat")));
}

TEST_F(ApplyTest, MissingFilesAreCreatedEmptyAndUnchangedFilesKeptAsTheyAre) {
    fs.addFile(dataFile("Safety.dat"), "not even a line end");
    auto r = apply("");
    EXPECT_EQ(r.count, 0);
    for (auto name : {"FileDefinition.dat", "ExeDefinition.dat", "RegistryDefinition.dat",
                      "BlockedCookies.dat", "DirectoryDefinition.dat"}) {
        EXPECT_EQ(file(name), "") << name;
    }
    EXPECT_EQ(file("Safety.dat"), "not even a line end");
}

TEST(LineCodecEdges, ScrambleWrapsAtTheEnds) {
    EXPECT_EQ(ScrambleLine(std::string(1, static_cast<char>(191))),
              std::string(1, static_cast<char>(255)));
    EXPECT_EQ(ScrambleLine(std::string(1, static_cast<char>(192))),
              std::string(1, static_cast<char>(1)));
    EXPECT_EQ(UnscrambleLine(std::string(1, static_cast<char>(1))),
              std::string(1, static_cast<char>(192)));
    EXPECT_EQ(UnscrambleLine(std::string(1, static_cast<char>(64))), std::string(1, '\0'));
}

// --- The removal step against a literal reference: the pending deletions as a list,
// scanned for every line.

struct NaivePass {
    std::string_view file;
    bool (*accepts)(const std::string&);
    int form;  // 0 encoded, 1 registry, 2 cookie key, 3 safety
};

std::vector<std::string> readLines(const std::string& content) {
    // Stored lines end at CR LF only (a bare LF is the stored form of an upper-case E
    // acute); a last line without a break counts.
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t br = content.find("\r\n", pos);
        std::size_t end = br == std::string::npos ? content.size() : br;
        lines.push_back(content.substr(pos, end - pos));
        if (br == std::string::npos) {
            break;
        }
        pos = br + 2;
    }
    return lines;
}

std::string encodeSeps(const std::string& body) {
    std::string out = body;
    for (char& c : out) {
        if (c == '|') {
            c = ScrambleLine("|")[0];
        } else if (c == '=') {
            c = ScrambleLine("=")[0];
        }
    }
    return out;
}

std::string part(const std::string& s, char sep, std::size_t i) {
    auto parts = text::split(s, std::string(1, sep));
    return i < parts.size() ? parts[i] : std::string();
}

long naiveApply(std::map<std::string, std::string>& files, const std::string& updateText,
                long& droppedByKey) {
    static const NaivePass passes[] = {
        {"FileDefinition.dat",
         [](const std::string& m) { return m == "FILE" || m == "EXE" || m == "DLL"; }, 0},
        {"ExeDefinition.dat", [](const std::string& m) { return m == "EXE"; }, 0},
        {"RegistryDefinition.dat", [](const std::string& m) { return m == "REG"; }, 1},
        {"BlockedCookies.dat", [](const std::string& m) { return m == "COOK"; }, 2},
        {"DirectoryDefinition.dat", [](const std::string& m) { return m == "DIR"; }, 0},
        {"Safety.dat", [](const std::string& m) { return text::icontains(m, "S"); }, 3},
    };
    long count = 0;
    auto records = text::isplit(updateText, "[BR]");
    for (const auto& pass : passes) {
        std::string& content = files[std::string(pass.file)];
        std::vector<std::string> pending;
        for (const auto& raw : records) {
            std::string rec = text::trim(raw);
            if (rec.empty()) {
                continue;
            }
            auto parts = text::split(rec, "[DEF]");
            auto header = text::split(parts[0], "|");
            std::string marker = UnscrambleLine(header[0]);
            if (!pass.accepts(marker)) {
                continue;
            }
            const std::string& op = header[1];
            const std::string& body = parts[1];
            if (op == "ADD") {
                std::string line;
                switch (pass.form) {
                    case 0:
                        line = encodeSeps(body);
                        break;
                    case 1:
                        // Key path and value name with their "=" encoded.
                        line = encodeSeps(part(body, '|', 1)) + ScrambleLine("^=") +
                               part(part(body, '|', 0), '=', 1) + ScrambleLine("|") +
                               encodeSeps(part(body, '|', 2));
                        break;
                    case 2:
                        line = part(body, '=', 0);
                        break;
                    default:
                        line = encodeSeps(body) + ScrambleLine("|" + marker);
                        break;
                }
                content += line + "\r\n";
                ++count;
                if (body.find('=') != std::string::npos) {
                    std::string key = part(body, '=', 0);
                    pending.erase(
                        std::remove_if(pending.begin(), pending.end(),
                                       [&](const std::string& e) { return text::iequals(e, key); }),
                        pending.end());
                }
            } else if (op == "DEL") {
                pending.push_back(body);
            }
        }
        if (!pending.empty()) {
            ++count;
            std::string temp;
            for (const auto& line : readLines(content)) {
                if (line.empty()) {
                    continue;
                }
                std::string plain = UnscrambleLine(line);
                // Keys are Windows-1252 text compared ignoring the case of every letter.
                auto fold = [](const std::string& k) {
                    return text::toLower(text::windows1252ToUtf8(k));
                };
                std::string key = fold(part(plain, '=', 0));
                bool drop = false;
                for (const auto& e : pending) {
                    if (key == fold(UnscrambleLine(part(e, '=', 0)))) {
                        drop = true;
                    }
                }
                if (!drop) {
                    temp += line + "\r\n";
                } else {
                    ++droppedByKey;
                }
            }
            content.clear();
            for (const auto& line : readLines(temp)) {
                if (!line.empty()) {
                    content += line + "\r\n";
                }
            }
        }
    }
    return count;
}

TEST(ApplyAgainstReference, RandomUpdatesGiveTheSameFilesAndCount) {
    std::mt19937 rng(20240611);
    auto pick = [&](auto const& options) { return options[rng() % std::size(options)]; };
    // A small alphabet so keys collide often, with characters whose stored forms differ only
    // in letter case ('!' is stored as 'a', 0x01 as 'A') and separators inside bodies.
    const std::string alphabet = std::string("aAbB!=|") + '\x01' + '\xC9' + '\xE9';
    auto randomText = [&](std::size_t maxLen) {
        std::string s;
        std::size_t n = rng() % (maxLen + 1);
        for (std::size_t i = 0; i < n; ++i) {
            s += alphabet[rng() % alphabet.size()];
        }
        return s;
    };
    const char* markers[] = {"FILE", "EXE", "DLL", "REG", "COOK", "DIR", "S", "s", "xSx", "NONE"};
    const char* ops[] = {"ADD", "ADD", "DEL", "DEL", "add"};
    const char* names[] = {"FileDefinition.dat",      "ExeDefinition.dat",
                           "RegistryDefinition.dat",  "BlockedCookies.dat",
                           "DirectoryDefinition.dat", "Safety.dat"};

    long dropped = 0;  // lines the reference removed by key, over all rounds
    for (int round = 0; round < 1000; ++round) {
        std::map<std::string, std::string> files;
        mock::FakeFileSystem fs;
        fs.addFolder(kData);
        for (const char* name : names) {
            if (rng() % 5 == 0) {
                continue;  // missing file
            }
            std::string content;
            int lines = static_cast<int>(rng() % 12);
            for (int i = 0; i < lines; ++i) {
                content += rng() % 8 == 0 ? std::string() : ScrambleLine(randomText(5));
                content += rng() % 10 == 0 ? "\n" : "\r\n";
            }
            if (rng() % 4 == 0) {
                content += ScrambleLine(randomText(4));  // no final line break
            }
            files[name] = content;
            fs.addFile(dataFile(name), content);
        }
        std::string update;
        int records = static_cast<int>(rng() % 14);
        for (int i = 0; i < records; ++i) {
            update += record(pick(markers), pick(ops), randomText(6));
            update += pick(std::vector<std::string>{"[BR]", "[br]", " [Br] "});
        }
        const long expected = naiveApply(files, update, dropped);

        RecordingObserver observer;
        UpdateTextApplier applier(fs, std::string(kData), observer);
        ApplyResult r = applier.ApplyUpdateText(update);
        ASSERT_TRUE(r.complete) << update;
        ASSERT_EQ(r.count, expected) << "round " << round;
        for (const char* name : names) {
            ASSERT_EQ(fs.content(dataFile(name)).value_or("<missing>"), files[name])
                << "round " << round << " file " << name;
        }
    }
    EXPECT_GT(dropped, 250);  // the rounds did exercise the removal step
}

}  // namespace
}  // namespace nightjar::update
