// End-to-end Live Update: the client library over the POSIX platform layer, against the
// real definition server binary on 127.0.0.1, and against hostile servers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "ClientMachine.h"
#include "HostileServer.h"
#include "ServerProcess.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "platform/Platform.h"
#include "platform/posix/CurlHttp.h"
#include "update/DefinitionUpdater.h"
#include "update/ServerConfig.h"
#include "util/Text.h"

namespace nightjar::e2e {
namespace {

using definitions::ScrambleLine;
using definitions::UnscrambleLine;
using update::UpdateOutcome;

struct DemoFile {
    const char* file;
    const char* kind;
};
constexpr DemoFile kDemo[] = {
    {"files.txt", "FILE"},         {"executables.txt", "EXE"},     {"modules.txt", "DLL"},
    {"folders.txt", "DIR"},        {"registry.txt", "REG"},        {"cookies.txt", "COOK"},
    {"safety-files.txt", "SFILE"}, {"safety-folders.txt", "SDIR"}, {"safety-registry.txt", "SREG"},
};

std::vector<std::string> demoEntries(const char* file) {
    std::vector<std::string> out;
    std::istringstream in(readHostFile(std::string(NJ_DEMO_DIR) + "/definitions/" + file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            out.push_back(line);
        }
    }
    return out;
}

class LiveUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = tmp.file("defs.db");
        for (const DemoFile& d : kDemo) {
            const CommandResult r =
                admin({"import", d.kind, std::string(NJ_DEMO_DIR) + "/definitions/" + d.file});
            ASSERT_EQ(r.exitCode, 0) << d.file << ": " << r.err;
        }
        ASSERT_EQ(admin({"set-language", std::string(NJ_DEMO_DIR) + "/Localization.txt"}).exitCode,
                  0);
        ASSERT_TRUE(server.start(db, tmp.file("server.log")));
        client = std::make_unique<ClientMachine>(tmp.file("machine"));
        ASSERT_TRUE(client->ok()) << client->error();
    }

    CommandResult admin(std::vector<std::string> args) {
        args.insert(args.begin(), {"--db", db});
        return runProgram(ServerProcess::binary(), args);
    }
    /// A file of the server layout, fetched over HTTP.
    std::string layout(const std::string& path) {
        platform::HttpResult r = client->http().get(server.baseUrl() + path, {});
        EXPECT_TRUE(r.ok) << path << ": " << r.error;
        return r.body;
    }
    /// The server's current definitions date as the admin command prints it.
    std::string serverDate() { return admin({"date"}).out; }
    int requestsLogged(const std::string& path) {
        int n = 0;
        std::istringstream log(readHostFile(tmp.file("server.log")));
        std::string line;
        while (std::getline(log, line)) {
            n += line.find(" GET " + path + " ") != std::string::npos ? 1 : 0;
        }
        return n;
    }
    /// The client's four layout files equal the server's, byte for byte.
    void expectLayoutMatches() {
        for (std::string_view f :
             {definitions::kFileDefinition, definitions::kExeDefinition,
              definitions::kRegistryDefinition, definitions::kBlockedCookies}) {
            EXPECT_EQ(client->bytes(f), layout("/definitions/data/" + std::string(f))) << f;
        }
    }

    mock::TempDir tmp;
    std::string db;
    ServerProcess server;
    std::unique_ptr<ClientMachine> client;
};

TEST_F(LiveUpdateTest, AnEmptyDataFolderReceivesTheWholeSetAndThenIsCurrent) {
    long expected = 0;
    for (const DemoFile& d : kDemo) {
        expected +=
            static_cast<long>(demoEntries(d.file).size()) * (std::string(d.kind) == "EXE" ? 2 : 1);
    }
    const update::UpdateResult first = client->check(server.baseUrl());
    ASSERT_EQ(first.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(first.count, expected);
    // The stored date is the server's, in the client's own text form.
    const std::string date = serverDate();
    const std::optional<update::DateText> parsed = update::ParseServerDate(date);
    ASSERT_TRUE(parsed) << date;
    EXPECT_EQ(first.date, parsed->ToText());
    EXPECT_EQ(client->bytes(definitions::kDateFile), first.date + "\r\n");
    expectLayoutMatches();

    // Lines as the scans read them.
    const std::vector<std::string> reg = client->lines(definitions::kRegistryDefinition);
    EXPECT_NE(
        std::find(reg.begin(), reg.end(), "1^Software\\NJDemoToolbar^=NJDemo.Toolbar|Toolbar"),
        reg.end());
    EXPECT_NE(std::find(reg.begin(), reg.end(),
                        "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run^NJDemoAgent^="
                        "NJDemo.Agent|Adware"),
              reg.end());
    EXPECT_EQ(client->lines(definitions::kDirectoryDefinition), demoEntries("folders.txt"));
    EXPECT_EQ(
        client->lines(definitions::kSafety),
        (std::vector<std::string>{"SFILE|" + demoEntries("safety-files.txt")[0] + "|SFILE",
                                  "SDIR|" + demoEntries("safety-folders.txt")[0] + "|SDIR",
                                  "SREG|" + demoEntries("safety-registry.txt")[0] + "|SREG"}));
    EXPECT_EQ(client->lines(definitions::kBlockedCookies), demoEntries("cookies.txt"));

    // Nothing newer: no update text is asked for, nothing changes.
    const std::string before = client->bytes(definitions::kFileDefinition);
    const update::UpdateResult second = client->check(server.baseUrl());
    EXPECT_EQ(second.outcome, UpdateOutcome::Current);
    EXPECT_EQ(second.count, 0);
    EXPECT_EQ(client->bytes(definitions::kFileDefinition), before);
    EXPECT_EQ(client->bytes(definitions::kDateFile), first.date + "\r\n");
    // A request is logged after its answer went out; once stopped, every line is written.
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(requestsLogged("/asp/currentDateNEW.asp"), 2);
    EXPECT_EQ(requestsLogged("/asp/getDefsNEW.asp"), 1);
    EXPECT_EQ(requestsLogged("/asp/date.asp"), 1);
}

TEST_F(LiveUpdateTest, AdditionsAndWithdrawalsArriveIncrementally) {
    ASSERT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    const std::string firstDate = client->bytes(definitions::kDateFile);

    ASSERT_EQ(admin({"add", "FILE", "njdemo_extra.exe=NJDemo.Extra|[progfil]NJDemo Extra|Adware"})
                  .exitCode,
              0);
    ASSERT_EQ(admin({"withdraw", "COOK", "tracker.njdemo.example"}).exitCode, 0);
    ASSERT_EQ(admin({"withdraw", "REG",
                     "1^Software\\Microsoft\\Windows\\CurrentVersion\\Run^NJDemoAgent=NJDemo.Agent|"
                     "Adware"})
                  .exitCode,
              0);
    ASSERT_EQ(admin({"withdraw", "SDIR", demoEntries("safety-folders.txt")[0]}).exitCode, 0);
    ASSERT_EQ(admin({"add", "EXE", "njdemo_late.exe=NJDemo.Late|[system]|Downloader"}).exitCode, 0);

    const update::UpdateResult r = client->check(server.baseUrl());
    ASSERT_EQ(r.outcome, UpdateOutcome::Updated);
    // Three additions (the EXE twice) and three files with removals.
    EXPECT_EQ(r.count, 6);
    EXPECT_NE(client->bytes(definitions::kDateFile), firstDate);
    expectLayoutMatches();
    const std::vector<std::string> cookies = client->lines(definitions::kBlockedCookies);
    EXPECT_EQ(std::count(cookies.begin(), cookies.end(), "tracker.njdemo.example"), 0);
    EXPECT_EQ(cookies.size(), 2u);
    const std::vector<std::string> safety = client->lines(definitions::kSafety);
    EXPECT_EQ(safety.size(), 2u);
    for (const std::string& line : safety) {
        EXPECT_EQ(line.rfind("SDIR|", 0), std::string::npos) << line;
    }
    EXPECT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Current);
}

TEST_F(LiveUpdateTest, AnEntryAddedAndWithdrawnBetweenChecksLeavesNoTrace) {
    ASSERT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    const std::string brief = "njdemo_brief.exe=NJDemo.Brief|[windir]|Adware";
    ASSERT_EQ(admin({"add", "FILE", brief}).exitCode, 0);
    ASSERT_EQ(admin({"withdraw", "FILE", brief}).exitCode, 0);
    ASSERT_EQ(admin({"add", "COOK", "late.njdemo.example"}).exitCode, 0);
    const update::UpdateResult r = client->check(server.baseUrl());
    ASSERT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 1);
    const std::vector<std::string> files = client->lines(definitions::kFileDefinition);
    EXPECT_EQ(std::count(files.begin(), files.end(), brief), 0);
    expectLayoutMatches();
}

TEST_F(LiveUpdateTest, ReplacingAnEntryOfTheSameNameNeverLosesTheDefinition) {
    ASSERT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    const std::string old = demoEntries("files.txt")[0];  // njdemo_tracker.exe in [progfil]NJDemo
    const std::string replacement =
        "njdemo_tracker.exe=NJDemo.Tracker|[progfil]NJDemo Tracker|Spyware";
    ASSERT_EQ(admin({"withdraw", "FILE", old}).exitCode, 0);
    ASSERT_EQ(admin({"add", "FILE", replacement}).exitCode, 0);
    ASSERT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    const std::vector<std::string> files = client->lines(definitions::kFileDefinition);
    // The client removes by name; the withdrawal of the old line is held back so that the
    // new one survives.
    EXPECT_EQ(std::count(files.begin(), files.end(), replacement), 1);
    // A client that starts from nothing gets only the current entry.
    ClientMachine fresh(tmp.file("fresh"));
    ASSERT_TRUE(fresh.ok());
    ASSERT_EQ(fresh.check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    const std::vector<std::string> freshFiles = fresh.lines(definitions::kFileDefinition);
    EXPECT_EQ(std::count(freshFiles.begin(), freshFiles.end(), replacement), 1);
    EXPECT_EQ(std::count(freshFiles.begin(), freshFiles.end(), old), 0);
}

TEST_F(LiveUpdateTest, TheLanguageFileAndSubmissionsAreServed) {
    EXPECT_EQ(layout("/Languages/21/Localization.txt"),
              readHostFile(std::string(NJ_DEMO_DIR) + "/Localization.txt"));
    // A typed name, scrambled and followed by "|", its bytes raw in the URL.
    platform::HttpResult added = client->http().get(
        server.baseUrl() + "/asp/getData.asp?data=" + ScrambleLine("unknown_tool.exe") + "|", {});
    ASSERT_TRUE(added.ok) << added.error;
    EXPECT_EQ(added.body, "Added");
    platform::HttpResult again = client->http().get(
        server.baseUrl() + "/asp/getData.asp?data=" + ScrambleLine("UNKNOWN_TOOL.EXE") + "|", {});
    EXPECT_EQ(again.body, "Skipped");
    platform::HttpResult fp = client->http().get(
        server.baseUrl() + "/asp/submitFP.asp?files=njdemo_safe.exe|&details=mine%20really", {});
    EXPECT_EQ(fp.body, "OK");
    const CommandResult subs = admin({"submissions"});
    EXPECT_NE(subs.out.find("unknown_tool.exe"), std::string::npos) << subs.out;
    EXPECT_NE(subs.out.find("njdemo_safe.exe|\tmine really"), std::string::npos) << subs.out;
}

TEST_F(LiveUpdateTest, TheServerStopsCleanlyOnSigterm) {
    ASSERT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    EXPECT_EQ(server.stop(), 0);
    EXPECT_NE(readHostFile(tmp.file("server.log")).find("stopped"), std::string::npos);
    // The database is closed and usable by the admin commands.
    EXPECT_EQ(admin({"list"}).exitCode, 0);
    // With the server gone the client fails without writing.
    const std::string before = client->bytes(definitions::kFileDefinition);
    EXPECT_EQ(client->check(server.baseUrl()).outcome, UpdateOutcome::Failed);
    EXPECT_EQ(client->bytes(definitions::kFileDefinition), before);
}

// --- Hostile servers --------------------------------------------------------------------

class HostileServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        client = std::make_unique<ClientMachine>(tmp.file("machine"));
        ASSERT_TRUE(client->ok()) << client->error();
    }
    mock::TempDir tmp;
    std::unique_ptr<ClientMachine> client;
};

TEST_F(HostileServerTest, GarbageInsteadOfHttpFailsAndWritesNothing) {
    HostileServer garbage([](const std::string&) {
        return HostileReply{std::string("\x16\x03\x01 not http at all \xff\xfe\r\n\r\n")};
    });
    ASSERT_TRUE(garbage.ok());
    const update::UpdateResult r = client->check(garbage.baseUrl());
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_TRUE(client->untouched());
    EXPECT_EQ(garbage.targets().size(), 1u);
}

TEST_F(HostileServerTest, GarbageBodiesOverHttpApplyNothing) {
    HostileServer garbage([](const std::string& target) {
        if (target.rfind("/asp/currentDateNEW.asp", 0) == 0) {
            return HostileReply{HostileServer::ok200("1/5/2030 3:04:05 PM PST\r\n")};
        }
        return HostileReply{HostileServer::ok200(std::string("\x01\x02garbage[BR]\xA0\xA1|XYZ"))};
    });
    ASSERT_TRUE(garbage.ok());
    const update::UpdateResult r = client->check(garbage.baseUrl());
    EXPECT_NE(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(client->untouched());
    // No confirmed date was asked for: nothing was applied.
    for (const std::string& t : garbage.targets()) {
        EXPECT_EQ(t.find("/asp/date.asp"), std::string::npos);
    }
}

TEST_F(HostileServerTest, AServerThatNeverAnswersTimesOut) {
    HostileServer silent([](const std::string&) { return HostileReply{"", true}; });
    ASSERT_TRUE(silent.ok());
    // A short stall time-out, so the test does not wait a minute.
    platform::posix::CurlHttp impatient(std::chrono::seconds(2), std::chrono::seconds(2));
    const update::UpdateResult r = client->check(silent.baseUrl(), &impatient);
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_TRUE(client->untouched());
}

TEST_F(HostileServerTest, AnUpdateCutOffMidBodyFailsAndWritesNothing) {
    const std::string record = ScrambleLine("FILE") + "|ADD[DEF]" + ScrambleLine("cut.exe") + "=" +
                               ScrambleLine("Cut") + "|" + ScrambleLine("[windir]");
    HostileServer cutter([&](const std::string& target) {
        if (target.rfind("/asp/currentDateNEW.asp", 0) == 0) {
            return HostileReply{HostileServer::ok200("1/5/2030 3:04:05 PM")};
        }
        if (target.rfind("/asp/getDefsNEW.asp", 0) == 0) {
            // Promise 10000 bytes, send a few complete records, then close.
            std::string partial = record + "[BR]" + record + "[BR]";
            return HostileReply{"HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + partial};
        }
        return HostileReply{HostileServer::ok200("1/5/2030 3:04:05 PM")};
    });
    ASSERT_TRUE(cutter.ok());
    const update::UpdateResult r = client->check(cutter.baseUrl());
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_TRUE(client->untouched());
    const std::vector<std::string> targets = cutter.targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[1].rfind(
                  "/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=3/16/2006", 0),
              0u);
}

/// Bytes of address space this process uses now.
std::size_t virtualSize() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(HostileServerTest, EndlessAnswersFailWithinAMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit and the sanitizer's own memory accounting do not mix";
#endif
    // Far more than any answer may hold: a reader that kept it all would need hundreds of MB.
    constexpr std::size_t kFlood = std::size_t{300} << 20;
    for (const std::string flooded : {"/asp/currentDateNEW.asp", "/asp/getDefsNEW.asp"}) {
        HostileServer server([&](const std::string& target) {
            if (target.rfind(flooded, 0) != 0) {
                return HostileReply{HostileServer::ok200("1/5/2030 3:04:05 PM")};
            }
            HostileReply reply{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"};
            reply.flood = kFlood;
            return reply;
        });
        ASSERT_TRUE(server.ok());
        const pid_t pid = fork();
        if (pid == 0) {
            // Room for the largest allowed answer, not for the flood.
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = virtualSize() + (std::size_t{200} << 20);
            setrlimit(RLIMIT_AS, &limit);
            // Nothing of the child may reach the test framework: it ends here.
            try {
                const update::UpdateResult r = client->check(server.baseUrl());
                _exit(r.outcome == UpdateOutcome::Failed && client->untouched() ? 0 : 1);
            } catch (...) {
                _exit(2);  // out of memory
            }
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << flooded << ": wait status " << status;
    }
}

TEST_F(HostileServerTest, ASecondUpdateOfTheSameDataFolderIsBusyWhileTheFirstRuns) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const std::string entry = ScrambleLine("FILE") + "|ADD[DEF]" + ScrambleLine("twice.exe") + "=" +
                              ScrambleLine("T") + "|" + ScrambleLine("[windir]");
    HostileServer slow([&](const std::string& target) {
        if (target.rfind("/asp/getDefsNEW.asp", 0) == 0) {
            released.wait_for(std::chrono::seconds(30));
            return HostileReply{HostileServer::ok200(entry)};
        }
        return HostileReply{HostileServer::ok200("1/5/2030 3:04:05 PM")};
    });
    ASSERT_TRUE(slow.ok());
    update::UpdateResult first;
    std::thread running([&] { first = client->check(slow.baseUrl()); });
    // The first update holds the lock from before its first request.
    for (int i = 0; i < 1000 && slow.targets().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // A second installation object over the same machine root, as a second program has.
    ClientMachine other(tmp.file("machine"));
    const update::UpdateResult second = other.check(slow.baseUrl());
    release.set_value();
    running.join();

    EXPECT_EQ(second.outcome, UpdateOutcome::Busy);
    EXPECT_EQ(first.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(client->lines(definitions::kFileDefinition),
              std::vector<std::string>{"twice.exe=T|[windir]"});
    // The lock went with the first update: the next check runs.
    EXPECT_EQ(other.check(slow.baseUrl()).outcome, UpdateOutcome::Current);
}

}  // namespace
}  // namespace nightjar::e2e
