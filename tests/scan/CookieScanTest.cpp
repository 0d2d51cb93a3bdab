#include "scan/CookieScan.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"

namespace nightjar::scan {
namespace {

using scantest::FeedRow;
using scantest::FoundRow;
using ::testing::ElementsAre;

class CookieScanTest : public ::testing::Test {
  protected:
    scantest::ScanTestEnv env;
    CookieScan scan{env.fs, env.shell, env.exclusions, env.dataFolder};
    std::string folder = "C:\\cookies";
    int cookieFiles = 0;

    void SetUp() override {
        env.shell.set(CookieScan::kCookiesFolder, folder);
        env.fs.addFolder(folder);
    }
    void cookie(const std::string& name, const std::string& content) {
        env.fs.addFile(folder + "\\" + name, content);
    }
    void run(const std::vector<std::string>& blocked) {
        env.writeDefinitions(definitions::kBlockedCookies, blocked);
        scan.ScanCookies(env.sink, cookieFiles);
    }
};

TEST(CookieNamesTest, SiteFromFileName) {
    EXPECT_EQ(CookieScan::CookieSiteFromFileName("someone@adserver[1].txt"), "adserver");
    EXPECT_EQ(CookieScan::CookieSiteFromFileName("someone@ads.example(2).txt"), "ads.example");
    EXPECT_EQ(CookieScan::CookieSiteFromFileName("C:\\c\\me@tracker.example.txt"),
              "tracker.example");
    EXPECT_EQ(CookieScan::CookieSiteFromFileName("me@noext"), "noext");
    EXPECT_EQ(CookieScan::CookieSiteFromFileName("no-at-sign.txt"), "");
    EXPECT_EQ(CookieScan::CookieSiteFromFileName(""), "");
}

TEST(CookieNamesTest, BlockedSiteRules) {
    const std::vector<std::string> list = {"other.example", "adserver.example", ""};
    EXPECT_TRUE(CookieScan::IsBlockedSite(list, "adserver"));
    EXPECT_TRUE(CookieScan::IsBlockedSite({"ADSERVER.example"}, "ADSERVER"));
    // Candidates are chosen with exact case, then compared ignoring case.
    EXPECT_FALSE(CookieScan::IsBlockedSite({"ADSERVER.example"}, "adserver"));
    EXPECT_FALSE(CookieScan::IsBlockedSite(list, "ads"));
    EXPECT_FALSE(CookieScan::IsBlockedSite({"*.adserver.example"}, "adserver"));
    EXPECT_TRUE(CookieScan::IsBlockedSite({"*adserver.example"}, "adserver"));
    EXPECT_FALSE(CookieScan::IsBlockedSite(list, ""));
}

TEST_F(CookieScanTest, DomainFromContent) {
    cookie("me@adserver[1].txt", "id\nabc123\nadserver.example/\n1536\n");
    EXPECT_EQ(scan.CookieDomainOf(folder + "\\me@adserver[1].txt"), "adserver.example");
    cookie("me@site[1].txt", "x,site-without-slash,\"www.site.example/path\",y");
    EXPECT_EQ(scan.CookieDomainOf(folder + "\\me@site[1].txt"), "site.example");
    cookie("me@none[1].txt", "nothing here\n");
    EXPECT_EQ(scan.CookieDomainOf(folder + "\\me@none[1].txt"), "False");
    EXPECT_EQ(scan.CookieDomainOf(folder + "\\me@missing[1].txt"), "False");
    cookie("noat.txt", "noat.example/\n");
    EXPECT_EQ(scan.CookieDomainOf(folder + "\\noat.txt"), "False");
}

TEST_F(CookieScanTest, MatchingCookieIsReportedInEveryList) {
    cookie("someone@adserver[1].txt", "id\r\nv\r\nadserver.example/\r\n");
    cookie("someone@www.adserver[2].txt", "id\r\nv\r\nwww.adserver.example/\r\n");
    cookie("someone@harmless[1].txt", "id\r\nv\r\nharmless.example/\r\n");
    run({"adserver.example"});
    EXPECT_EQ(cookieFiles, 3);
    // The file order of the fake listing is sorted by name.
    EXPECT_THAT(
        env.sink.found,
        ElementsAre(FoundRow("Cookie: someone@adserver[1].txt", icon::Cookie,
                             "C:\\cookies\\someone@adserver[1].txt", "Tracking Cookie"),
                    FoundRow("Cookie: someone@www.adserver[2].txt", icon::Cookie,
                             "C:\\cookies\\someone@www.adserver[2].txt", "Tracking Cookie")));
    EXPECT_THAT(env.sink.feed,
                ElementsAre(FeedRow("Cookie", icon::Cookie, "someone@adserver[1].txt"),
                            FeedRow("Cookie", icon::Cookie, "someone@www.adserver[2].txt")));
    ASSERT_EQ(env.sink.cookieWork.size(), 2u);
    EXPECT_EQ(env.sink.cookieWork[0].path, "C:\\cookies\\someone@adserver[1].txt");
    EXPECT_EQ(env.sink.c.filesFolders, 2);
    EXPECT_EQ(env.sink.c.threats, 2);
    EXPECT_EQ(env.sink.traces, 2);
}

TEST_F(CookieScanTest, StarredEntryDoesNotMatch) {
    cookie("someone@adserver[1].txt", "adserver.example/\n");
    run({"*.adserver.example"});
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(cookieFiles, 1);
}

TEST_F(CookieScanTest, CookieWithoutAtSignIsNeverReported) {
    cookie("adserver[1].txt", "adserver.example/\n");
    run({"adserver.example"});
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(CookieScanTest, ExcludedCookieShowsOnlyExcludedRow) {
    cookie("someone@adserver[1].txt", "adserver.example/\n");
    env.writeExclusions("C:\\cookies\\someone@adserver[1].txt\r\n\r\n");
    run({"adserver.example"});
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("EXCLUDED", icon::Excluded,
                                                   "C:\\cookies\\someone@adserver[1].txt")));
    EXPECT_TRUE(env.sink.cookieWork.empty());
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(CookieScanTest, StopLeavesRemainingCookiesUnexamined) {
    for (int i = 0; i < 5; ++i) {
        cookie("u@adserver[" + std::to_string(i) + "].txt", "adserver.example/\n");
    }
    env.sink.onPump = [](mock::RecordingScanSink& s) { s.stop = s.pumps == 2; };
    run({"adserver.example"});
    EXPECT_EQ(cookieFiles, 2);
    EXPECT_EQ(env.sink.found.size(), 2u);
}

TEST_F(CookieScanTest, MissingListMatchesNothingAndEmptyFolderDoesNothing) {
    cookie("someone@adserver[1].txt", "adserver.example/\n");
    scan.ScanCookies(env.sink, cookieFiles);
    EXPECT_EQ(cookieFiles, 1);
    EXPECT_TRUE(env.sink.feed.empty());
    env.shell.set(CookieScan::kCookiesFolder, "  ");
    scan.ScanCookies(env.sink, cookieFiles);
    EXPECT_EQ(cookieFiles, 1);
    env.shell.remove(CookieScan::kCookiesFolder);
    scan.ScanCookies(env.sink, cookieFiles);
    EXPECT_EQ(cookieFiles, 1);
}

TEST_F(CookieScanTest, PhaseProgressCountsFilesAndLeavesProcessCounterAlone) {
    cookie("a@x[1].txt", "x.example/\n");
    cookie("b@y[1].txt", "y.example/\n");
    env.sink.c.processes = 7;  // what the memory phase would have counted
    run({"q.example", "r.example", "s.example"});
    EXPECT_EQ(env.sink.c.processes, 7);
    std::vector<int> phases;
    for (const auto& p : env.sink.progress) {
        phases.push_back(p.phase);
        EXPECT_EQ(p.overall, -1);
    }
    // Before and after each of the two files.
    EXPECT_EQ(phases, (std::vector<int>{0, 50, 50, 100}));
    EXPECT_EQ(env.sink.progress[0].status, "Phase: \r\na@x[1].txt");
}

TEST_F(CookieScanTest, BlockedListKeepsLinesAndSplitsAtBars) {
    env.writeDefinitions(definitions::kBlockedCookies, {" a.example", "", "b.example|c.example"});
    EXPECT_EQ(scan.LoadBlockedSites(),
              (std::vector<std::string>{" a.example", "", "b.example", "c.example", ""}));
}

}  // namespace
}  // namespace nightjar::scan
