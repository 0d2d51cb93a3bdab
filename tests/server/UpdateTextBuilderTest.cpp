#include "UpdateTextBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "DefinitionKind.h"
#include "ServerDate.h"
#include "ServerLayoutFiles.h"
#include "definitions/LineCodec.h"
#include "mock/FakeFileSystem.h"
#include "update/UpdateTextApplier.h"
#include "util/Text.h"

namespace nightjar::server {
namespace {

using definitions::ScrambleLine;
using definitions::UnscrambleLine;
using Op = UpdateRecord::Op;

// Times in the tests count from here (2017), well after the clients' default date.
constexpr std::int64_t T = 1'500'000'000;

DefinitionRow row(std::int64_t id, std::string kind, std::string body, std::int64_t added,
                  std::optional<std::int64_t> withdrawn = std::nullopt) {
    DefinitionRow r;
    r.id = id;
    r.kind = std::move(kind);
    r.body = std::move(body);
    r.addedAt = T + added;
    if (withdrawn) {
        r.withdrawnAt = T + *withdrawn;
    }
    return r;
}

UpdatePlan planAt(const std::vector<DefinitionRow>& rows, std::int64_t since) {
    return UpdateTextBuilder::plan(rows, T + since);
}

std::vector<std::string> summary(const UpdatePlan& plan) {
    std::vector<std::string> out;
    for (const UpdateRecord& r : plan.records) {
        out.push_back((r.op == Op::Add ? "ADD " : "DEL ") + r.kind + " #" + std::to_string(r.id));
    }
    return out;
}

TEST(UpdateTextBuilderTest, AddsSinceTheDateAndDeletesWhatTheClientHeldAndLost) {
    const std::vector<DefinitionRow> rows = {
        row(1, "FILE", "old.exe=Old|[windir]", 100),           // held, still current
        row(2, "FILE", "gone.exe=Gone|[windir]", 100, 300),    // held, withdrawn after
        row(3, "FILE", "new.exe=New|[windir]", 250),           // added after
        row(4, "FILE", "brief.exe=Brief|[windir]", 250, 260),  // added and withdrawn after
        row(5, "COOK", "early.example", 50, 150),              // withdrawn before
    };
    EXPECT_EQ(summary(planAt(rows, 200)), (std::vector<std::string>{"ADD FILE #3", "DEL FILE #2"}));
    // A change at exactly the client's date is already held: #3 and #4 count as held.
    EXPECT_EQ(summary(planAt(rows, 250)), (std::vector<std::string>{"DEL FILE #4", "DEL FILE #2"}));
    EXPECT_TRUE(planAt(rows, 300).records.empty());
    EXPECT_TRUE(planAt(rows, 10'000).records.empty());
}

TEST(UpdateTextBuilderTest, AClientWithTheDefaultDateGetsEverythingCurrentAndNoDeletions) {
    std::vector<DefinitionRow> rows = {
        row(1, "FILE", "a.exe=A|[windir]", 100),
        row(2, "COOK", "gone.example", 100, 200),
        row(3, "REG", "1^Software\\X=X|Toolbar", 150),
    };
    const std::vector<std::string> everything = {"ADD FILE #1", "ADD REG #3"};
    EXPECT_EQ(summary(UpdateTextBuilder::plan(rows, ServerDate::defaultClientDate())), everything);
    EXPECT_EQ(summary(UpdateTextBuilder::plan(rows, *ServerDate::parse("12:00:00 AM"))),
              everything);
    // Even entries dated before the default date (a server clock set wrong) count as new
    // to such a client.
    for (DefinitionRow& r : rows) {
        r.addedAt -= T;
        if (r.withdrawnAt) {
            *r.withdrawnAt -= T;
        }
    }
    EXPECT_EQ(summary(UpdateTextBuilder::plan(rows, ServerDate::defaultClientDate())), everything);
}

TEST(UpdateTextBuilderTest, WithdrawnAndAddedAgainWithTheSameTextIsNoChange) {
    const std::vector<DefinitionRow> rows = {
        row(1, "FILE", "a.exe=A|[windir]", 100, 300),
        row(2, "FILE", "a.exe=A|[windir]", 400),
    };
    EXPECT_TRUE(planAt(rows, 200).records.empty());
    // A client that held nothing gets the entry once.
    EXPECT_EQ(summary(planAt(rows, 50)), std::vector<std::string>{"ADD FILE #2"});
}

TEST(UpdateTextBuilderTest, AWithdrawalWhoseKeyACurrentEntrySharesIsHeldBack) {
    // The client removes every line of a key, the new one included; keep the old line
    // instead of losing the current definition.
    const std::vector<DefinitionRow> rows = {
        row(1, "FILE", "a.exe=A|[windir]|Adware", 100, 300),
        row(2, "FILE", "A.EXE=A|[system]|Trojan", 300),
        row(3, "EXE", "b.exe=B|[windir]", 100, 300),
        row(4, "FILE", "b.exe=B2|[progfil]B", 100),  // same key as #3 in FileDefinition.dat
        row(5, "COOK", "c.example", 100, 300),
    };
    const UpdatePlan plan = planAt(rows, 200);
    EXPECT_EQ(summary(plan), (std::vector<std::string>{"ADD FILE #2", "DEL COOK #5"}));
    ASSERT_EQ(plan.heldBack.size(), 2u);
    EXPECT_EQ(plan.heldBack[0].row.id, 1);
    EXPECT_NE(plan.heldBack[0].reason.find("#2"), std::string::npos);
    EXPECT_EQ(plan.heldBack[1].row.id, 3);
    EXPECT_NE(UpdateTextBuilder::describe(plan).find("HELD EXE #3"), std::string::npos);
}

TEST(UpdateTextBuilderTest, WireTextScramblesEverythingButTheSeparators) {
    const std::vector<DefinitionRow> rows = {
        row(1, "FILE", "bad.exe=BadThing|[windir]|Trojan", 100),
        row(2, "COOK", "ads.example", 100, 300),
    };
    const std::string text = UpdateTextBuilder::wireText(planAt(rows, 200));
    EXPECT_EQ(text, ScrambleLine("COOK") + "|DEL[DEF]" + ScrambleLine("ads.example"));
    // A deletion's key travels wholly scrambled, a "|" inside it too.
    EXPECT_EQ(UpdateTextBuilder::encodeDelBody("SFILE|a.exe=A|x"),
              ScrambleLine("SFILE|a.exe") + "=" + ScrambleLine("A") + "|" + ScrambleLine("x"));
    const std::string all = UpdateTextBuilder::wireText(planAt(rows, 0));
    EXPECT_EQ(all, ScrambleLine("FILE") + "|ADD[DEF]" + ScrambleLine("bad.exe") + "=" +
                       ScrambleLine("BadThing") + "|" + ScrambleLine("[windir]") + "|" +
                       ScrambleLine("Trojan"));
    EXPECT_EQ(UpdateTextBuilder::encodeBody("a=b|c"),
              ScrambleLine("a") + "=" + ScrambleLine("b") + "|" + ScrambleLine("c"));
    EXPECT_EQ(UpdateTextBuilder::wireText(UpdatePlan{}), "");
}

TEST(UpdateTextBuilderTest, RecordsFollowTheOrderOfTheChanges) {
    const std::vector<DefinitionRow> rows = {
        row(1, "FILE", "a.exe=A|x", 100, 500),
        row(2, "FILE", "b.exe=B|x", 400),
        row(3, "FILE", "c.exe=C|x", 300),
    };
    EXPECT_EQ(summary(planAt(rows, 200)),
              (std::vector<std::string>{"ADD FILE #3", "ADD FILE #2", "DEL FILE #1"}));
}

// --- The client's own applier over an in-memory data folder ---------------------------

constexpr std::string_view kData = "C:\\Data\\ZuvoDivavarIVA";

class ClientFiles {
  public:
    ClientFiles() { fs.addFolder(kData); }

    long apply(const std::string& text) {
        update::UpdateObserver observer;
        update::UpdateTextApplier applier(fs, std::string(kData), observer);
        const update::ApplyResult r = applier.ApplyUpdateText(text);
        EXPECT_TRUE(r.complete);
        return r.count;
    }
    /// The decoded lines of one file, sorted.
    std::vector<std::string> lines(TargetFile file) const {
        std::vector<std::string> out;
        const std::optional<std::string> content =
            fs.content(std::string(kData) + "\\" + std::string(TargetFileName(file)));
        if (content) {
            for (const std::string& l : text::split(*content, "\r\n")) {
                if (!l.empty()) {
                    out.push_back(UnscrambleLine(l));
                }
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    mock::FakeFileSystem fs;
};

std::vector<std::string> serverLines(const std::vector<DefinitionRow>& rows, TargetFile file) {
    std::vector<std::string> out = ServerLayoutFiles::plainLines(rows, file);
    std::sort(out.begin(), out.end());
    return out;
}

constexpr TargetFile kAllFiles[] = {TargetFile::File,      TargetFile::Exe,
                                    TargetFile::Registry,  TargetFile::Cookies,
                                    TargetFile::Directory, TargetFile::Safety};

TEST(UpdateTextBuilderTest, TheClientsFilesHoldTheScannerLinesOfEveryKind) {
    const std::vector<DefinitionRow> rows = {
        row(1, "EXE", "njdemo_agent.exe=NJDemo.Agent|[progfil]NJDemo|Adware", 100),
        row(2, "REG",
            "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run^NJDemoAgent=NJDemo.Agent|Adware",
            100),
        row(3, "REG", "1^Software\\NJDemoToolbar=NJDemo.Toolbar|Toolbar", 100),
        row(4, "COOK", "ads.njdemo.example", 100),
        row(5, "SDIR", "NJDemoSafe=NJDemo.SafeFolder|[progfil]NJDemo Safe", 100),
        row(6, "DIR", "NJDemo=NJDemo.Suite|[progfil]NJDemo|Adware", 100),
    };
    ClientFiles client;
    EXPECT_EQ(client.apply(UpdateTextBuilder::wireText(planAt(rows, 0))), 7);
    EXPECT_EQ(client.lines(TargetFile::Exe),
              std::vector<std::string>{"njdemo_agent.exe=NJDemo.Agent|[progfil]NJDemo|Adware"});
    EXPECT_EQ(
        client.lines(TargetFile::Registry),
        (std::vector<std::string>{
            "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run^NJDemoAgent^=NJDemo.Agent|Adware",
            "1^Software\\NJDemoToolbar^=NJDemo.Toolbar|Toolbar"}));
    EXPECT_EQ(client.lines(TargetFile::Cookies), std::vector<std::string>{"ads.njdemo.example"});
    EXPECT_EQ(
        client.lines(TargetFile::Safety),
        std::vector<std::string>{"SDIR|NJDemoSafe=NJDemo.SafeFolder|[progfil]NJDemo Safe|SDIR"});
    for (const TargetFile f : kAllFiles) {
        EXPECT_EQ(client.lines(f), serverLines(rows, f)) << TargetFileName(f);
    }
    // Withdrawing every kind removes every line.
    std::vector<DefinitionRow> later = rows;
    for (DefinitionRow& r : later) {
        r.withdrawnAt = T + 200;
    }
    EXPECT_GT(client.apply(UpdateTextBuilder::wireText(planAt(later, 100))), 0);
    for (const TargetFile f : kAllFiles) {
        EXPECT_TRUE(client.lines(f).empty()) << TargetFileName(f);
    }
}

// Random histories of additions and withdrawals, with clients updating at random times:
// after each update a client's files hold exactly the server's current lines, and never
// fewer (a held-back withdrawal leaves an extra line, never a missing one).
TEST(UpdateTextBuilderTest, RandomHistoriesKeepClientsEqualToTheServer) {
    std::mt19937 rng(20240611);
    const std::vector<std::string> kinds = {"FILE", "EXE", "DLL", "DIR", "REG", "COOK", "SFILE"};
    auto bodyFor = [&](const std::string& k, int name, int variant) {
        const std::string n = "n" + std::to_string(name);
        if (k == "REG") {
            return "1^Software\\" + n + "=T" + std::to_string(variant) + "|Adware";
        }
        if (k == "COOK") {
            return n + ".example";
        }
        if (k == "SFILE") {
            return n + "=S|[windir]v" + std::to_string(variant);
        }
        return n + ".exe=T" + std::to_string(variant) + "|[windir]v" + std::to_string(variant);
    };
    int strictRounds = 0;
    for (int round = 0; round < 100; ++round) {
        std::vector<DefinitionRow> rows;
        std::vector<std::pair<ClientFiles*, std::int64_t>> clients;
        ClientFiles a;
        ClientFiles b;
        clients.push_back({&a, 0});
        clients.push_back({&b, 0});
        std::int64_t now = 1000;  // relative to T
        std::int64_t nextId = 1;
        // Two different entries with one key in one file, at any time: the only case in
        // which a client may keep an extra line.
        bool sharedKeys = false;
        for (int step = 0; step < 30; ++step) {
            ++now;
            const int action = static_cast<int>(rng() % 4);
            if (action <= 1 || rows.empty()) {
                const std::string& k = kinds[rng() % kinds.size()];
                const std::string body =
                    bodyFor(k, static_cast<int>(rng() % 40), static_cast<int>(rng() % 2));
                const auto kindInfo = *DefinitionKind::parse(k);
                bool duplicate = false;
                for (const DefinitionRow& r : rows) {
                    const bool same = r.kind == k && r.body == body;
                    duplicate = duplicate || (same && r.current());
                    const auto other = *DefinitionKind::parse(r.kind);
                    for (const TargetFile f : kindInfo.targets()) {
                        if (!same && other.reaches(f) &&
                            DefinitionKind::removalKey(other.storedLine(r.body, f)) ==
                                DefinitionKind::removalKey(kindInfo.storedLine(body, f))) {
                            sharedKeys = true;
                        }
                    }
                }
                if (!duplicate) {
                    rows.push_back(row(nextId++, k, body, now));
                }
            } else if (action == 2) {
                DefinitionRow& r = rows[rng() % rows.size()];
                if (r.current()) {
                    r.withdrawnAt = T + now;
                }
            } else {
                auto& [client, date] = clients[rng() % clients.size()];
                client->apply(UpdateTextBuilder::wireText(UpdateTextBuilder::plan(rows, date)));
                date = T + now;
                for (const TargetFile f : kAllFiles) {
                    const std::vector<std::string> want = serverLines(rows, f);
                    const std::vector<std::string> have = client->lines(f);
                    EXPECT_TRUE(std::includes(have.begin(), have.end(), want.begin(), want.end()))
                        << "round " << round << " step " << step << " " << TargetFileName(f);
                    if (!sharedKeys) {
                        EXPECT_EQ(have, want)
                            << "round " << round << " step " << step << " " << TargetFileName(f);
                    }
                }
            }
        }
        strictRounds += sharedKeys ? 0 : 1;
    }
    EXPECT_GT(strictRounds, 20);
}

}  // namespace
}  // namespace nightjar::server
