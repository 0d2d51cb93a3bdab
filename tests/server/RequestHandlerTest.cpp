#include "RequestHandler.h"

#include <gtest/gtest.h>

#include "ServerDate.h"
#include "ServerTestSupport.h"
#include "definitions/LineCodec.h"
#include "util/PercentEncoding.h"

namespace nightjar::server {
namespace {

using definitions::ScrambleLine;

const std::string kClient = "127.0.0.1";

class RequestHandlerTest : public ::testing::Test {
  protected:
    RequestHandlerTest() : store(test::openTempStore(dir)), handler(*store) {}

    Reply get(const std::string& target, const std::string& remote = kClient) {
        return handler.handle("GET", target, remote);
    }
    std::string defs(const std::string& date) {
        return get("/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=" + date).content();
    }

    test::TempDir dir;
    std::unique_ptr<DefinitionStore> store;
    RequestHandler handler;
};

TEST_F(RequestHandlerTest, WithoutDefinitionsTheDateIsTheClientDefault) {
    const Reply r = get("/asp/currentDateNEW.asp?prog=Nightjar&comp=Nightjar%20Labs");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.content(), "3/16/2006 12:00:00 AM");
    EXPECT_EQ(get("/asp/date.asp").content(), "3/16/2006 12:00:00 AM");
    EXPECT_EQ(defs("3/16/2006"), "");
}

TEST_F(RequestHandlerTest, DatesFollowTheLatestChangeAndUpdatesHoldTheChangesSinceTheDate) {
    store->add("FILE", {"a.exe=A|[windir]|Trojan"}, 1'500'000'000);
    EXPECT_EQ(get("/asp/currentDateNEW.asp?prog=P&comp=C").content(),
              ServerDate::text(1'500'000'000));
    const std::string all = defs("3/16/2006");
    EXPECT_EQ(all, ScrambleLine("FILE") + "|ADD[DEF]" + ScrambleLine("a.exe") + "=" +
                       ScrambleLine("A") + "|" + ScrambleLine("[windir]") + "|" +
                       ScrambleLine("Trojan"));
    // Raw blanks encoded as %20, "+" for blanks, fully encoded: one answer.
    const std::string date = ServerDate::text(1'500'000'000);
    EXPECT_EQ(defs("7/14/2017%202:40:00%20AM"), "");
    EXPECT_EQ(date, "7/14/2017 2:40:00 AM");
    EXPECT_EQ(defs("7/14/2017+2:40:00+AM"), "");
    EXPECT_EQ(defs("7%2F14%2F2017%202%3A39%3A59%20AM"), all);

    store->withdraw("FILE", "a.exe=A|[windir]|Trojan", 1'500'000'100);
    EXPECT_EQ(get("/asp/currentDateNEW.asp?prog=P&comp=C").content(),
              ServerDate::text(1'500'000'100));
    EXPECT_EQ(defs("7/14/2017%202:40:00%20AM"),
              ScrambleLine("FILE") + "|DEL[DEF]" + ScrambleLine("a.exe") + "=" + ScrambleLine("A") +
                  "|" + ScrambleLine("[windir]") + "|" + ScrambleLine("Trojan"));
    EXPECT_EQ(defs("3/16/2006"), "");  // added and withdrawn since: nothing
}

TEST_F(RequestHandlerTest, AnUpdateWithoutAReadableDateIsRefused) {
    store->add("FILE", {"a.exe=A|x"}, 1000);
    EXPECT_EQ(get("/asp/getDefsNEW.asp?prog=P&comp=C").status, 400);
    EXPECT_EQ(get("/asp/getDefsNEW.asp?prog=P&comp=C&date=soon").status, 400);
    EXPECT_EQ(get("/asp/getDefsNEW.asp?prog=P&comp=C&date=soon").content(), "");
    // The zero date a confused client stores asks for everything.
    EXPECT_EQ(get("/asp/getDefsNEW.asp?prog=P&comp=C&date=12:00:00%20AM").content(),
              defs("3/16/2006"));
}

TEST_F(RequestHandlerTest, TheConfirmedDateIsThatOfTheUpdateTheClientWasSent) {
    store->add("FILE", {"a.exe=A|x"}, 1'500'000'000);
    ASSERT_EQ(get("/asp/currentDateNEW.asp?prog=P&comp=C").content(),
              ServerDate::text(1'500'000'000));
    ASSERT_FALSE(defs("3/16/2006").empty());
    // A change lands between the update and its confirmation...
    store->add("FILE", {"b.exe=B|x"}, 1'500'000'000);
    // ...so the client must not store a date that covers it.
    EXPECT_EQ(get("/asp/date.asp").content(), ServerDate::text(1'500'000'000));
    // The next check fetches exactly the missed change.
    EXPECT_EQ(defs("7/14/2017%202:40:00%20AM"), ScrambleLine("FILE") + "|ADD[DEF]" +
                                                    ScrambleLine("b.exe") + "=" +
                                                    ScrambleLine("B") + "|" + ScrambleLine("x"));
    EXPECT_EQ(store->servedDate(), 1'500'000'001);
}

TEST_F(RequestHandlerTest, ClientsBehindOneAddressAreNeverToldADatePastTheirUpdate) {
    const std::string office = "192.0.2.7";
    const auto update = [&](const std::string& date) {
        return get("/asp/getDefsNEW.asp?prog=P&comp=C&date=" + date, office).content();
    };
    const auto confirm = [&](const std::string& remote) {
        return get("/asp/date.asp", remote).content();
    };
    store->add("FILE", {"a.exe=A|x"}, 1000);
    ASSERT_FALSE(update("3/16/2006").empty());  // the first client, sent 1000
    store->add("FILE", {"b.exe=B|x"}, 1000);    // stamped 1001
    ASSERT_FALSE(update("3/16/2006").empty());  // the second client, sent 1001
    // Whichever asks first, neither is told a date past the update it holds.
    EXPECT_EQ(confirm(office), ServerDate::text(1000));
    EXPECT_EQ(confirm(office), ServerDate::text(1000));
    // A client whose hand-off is unknown gets the oldest date handed out lately.
    EXPECT_EQ(confirm("198.51.100.1"), ServerDate::text(1000));
    // With nothing known at all, a date that makes it fetch again.
    RequestHandler restarted(*store);
    EXPECT_EQ(restarted.handle("GET", "/asp/date.asp", office).content(),
              ServerDate::text(ServerDate::defaultClientDate()));
}

TEST_F(RequestHandlerTest, AnsweringADateRecordsItSoLaterChangesComeAfterIt) {
    store->add("FILE", {"a.exe=A|x"}, 2000);
    EXPECT_EQ(get("/asp/currentDateNEW.asp?prog=P&comp=C").content(), ServerDate::text(2000));
    EXPECT_EQ(store->servedDate(), 2000);
    EXPECT_EQ(store->add("FILE", {"b.exe=B|x"}, 2000).stamp, 2001);
}

TEST_F(RequestHandlerTest, SubmittedNamesAreAddedOnceAndKnownNamesSkipped) {
    store->add("EXE", {"NJDemo_Agent.exe=NJDemo.Agent|[progfil]NJDemo|Adware"}, 100);
    // A typed name arrives scrambled and followed by "|", bytes raw or encoded.
    EXPECT_EQ(get("/asp/getData.asp?data=" + ScrambleLine("newtool.exe") + "|").content(), "Added");
    EXPECT_EQ(get("/asp/getData.asp?data=" + ScrambleLine("NEWTOOL.EXE") + "%7C").content(),
              "Skipped");
    EXPECT_EQ(get("/asp/getData.asp?data=" + ScrambleLine("njdemo_agent.exe") + "|").content(),
              "Skipped");
    // The anonymous list: names joined by "|".
    EXPECT_EQ(get("/asp/getData.asp?data=" + ScrambleLine("a.exe") + "|" + ScrambleLine("b.exe"))
                  .content(),
              "Added");
    EXPECT_EQ(get("/asp/getData.asp?data=|").status, 400);
    EXPECT_EQ(get("/asp/getData.asp").status, 400);
    const auto subs = store->submissions();
    ASSERT_TRUE(subs);
    ASSERT_EQ(subs->size(), 4u);
    EXPECT_EQ((*subs)[0].first, "newtool.exe");
    EXPECT_EQ((*subs)[3].first, "a.exe|b.exe");
    EXPECT_EQ((*subs)[3].remote, kClient);
}

TEST_F(RequestHandlerTest, ANameWithEightBitLettersIsDecoded) {
    const std::string name =
        "T\xE9l\xE9"
        "charger.exe";
    EXPECT_EQ(get("/asp/getData.asp?data=" + ScrambleLine(name) + "|").content(), "Added");
    EXPECT_EQ((*store->submissions())[0].first, name);
}

TEST_F(RequestHandlerTest, FalsePositivesAreStoredAndAcknowledged) {
    const Reply r = get("/asp/submitFP.asp?files=a.exe|C:\\x&y\\b.exe|&details=it%20is%20%20mine");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.content(), "OK");
    const auto subs = store->submissions();
    ASSERT_EQ(subs->size(), 1u);
    EXPECT_EQ((*subs)[0].first, "a.exe|C:\\x&y\\b.exe|");
    EXPECT_EQ((*subs)[0].second, "it is  mine");
    // No checked rows: an empty file list is still a report.
    EXPECT_EQ(get("/asp/submitFP.asp?files=&details=why").content(), "OK");
    EXPECT_EQ(get("/asp/submitFP.asp?files=a.exe|").status, 400);
}

TEST_F(RequestHandlerTest, SubmissionsAreBoundedInSizeAndCountPerAddressAndInAll) {
    SubmissionLimits limits;
    limits.maxBytes = 64;
    limits.perAddress = 3;
    limits.maxStored = 7;
    RequestHandler bounded(*store, std::chrono::seconds(600), nullptr, limits);
    const auto send = [&](const std::string& target, const std::string& remote) {
        return bounded.handle("GET", target, remote).status;
    };
    // The size counts decoded bytes: 64 encoded as %XX pass, 65 do not.
    const std::string encoded = url::percentEncode(ScrambleLine(std::string(63, 'n')) + "|");
    EXPECT_EQ(send("/asp/getData.asp?data=" + encoded, "10.0.0.1"), 200);
    EXPECT_EQ(send("/asp/getData.asp?data=" + encoded + "%41", "10.0.0.1"), 413);
    EXPECT_EQ(
        send("/asp/submitFP.asp?files=" + std::string(40, 'f') + "&details=" + std::string(25, 'd'),
             "10.0.0.1"),
        413);
    // Three per address within the window, both kinds counted together.
    EXPECT_EQ(send("/asp/submitFP.asp?files=a|&details=x", "10.0.0.1"), 200);
    EXPECT_EQ(send("/asp/getData.asp?data=" + ScrambleLine("b") + "|", "10.0.0.1"), 200);
    const Reply refused = bounded.handle("GET", "/asp/submitFP.asp?files=c|&details=y", "10.0.0.1");
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.content().find("OK"), std::string::npos);
    EXPECT_EQ(send("/asp/getData.asp?data=" + ScrambleLine("c") + "|", "10.0.0.1"), 429);
    // Submissions older than the window no longer count.
    store->recordData("old", "10.0.0.2", ServerDate::now() - 3600);
    store->recordData("old", "10.0.0.2", ServerDate::now() - 3600);
    store->recordData("old", "10.0.0.2", ServerDate::now() - 3600);
    EXPECT_EQ(send("/asp/submitFP.asp?files=d|&details=z", "10.0.0.2"), 200);
    // Seven stored in all: every address is refused from then on.
    EXPECT_EQ(store->submissionCount(), 7);
    EXPECT_EQ(send("/asp/submitFP.asp?files=e|&details=z", "10.0.0.3"), 503);
    EXPECT_EQ(store->submissionCount(), 7);
}

TEST_F(RequestHandlerTest, TheLanguageFileIsServedPerPackage) {
    EXPECT_EQ(get("/Languages/21/Localization.txt").status, 404);
    store->setLanguage(21, "<TRANSLATION_ITEMS>\r\n", 1);
    const Reply r = get("/languages/21/localization.TXT");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.content(), "<TRANSLATION_ITEMS>\r\n");
    EXPECT_EQ(r.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(get("/Languages/22/Localization.txt").status, 404);
    EXPECT_EQ(get("/Languages/x/Localization.txt").status, 404);
    EXPECT_EQ(get("/Languages/21/Other.txt").status, 404);
}

TEST_F(RequestHandlerTest, LayoutFilesHoldTheFullStoredFiles) {
    store->add("EXE", {"e.exe=E|[windir]"}, 100);
    store->add("FILE", {"f.exe=F|[windir]"}, 100);
    store->add("COOK", {"c.example", "d.example"}, 100);
    store->withdraw("COOK", "d.example", 200);
    EXPECT_EQ(
        get("/definitions/data/FileDefinition.dat").content(),
        ScrambleLine("e.exe=E|[windir]") + "\r\n" + ScrambleLine("f.exe=F|[windir]") + "\r\n");
    EXPECT_EQ(get("/definitions/data/ExeDefinition.dat").content(),
              ScrambleLine("e.exe=E|[windir]") + "\r\n");
    EXPECT_EQ(get("/definitions/data/BlockedCookies.dat").content(),
              ScrambleLine("c.example") + "\r\n");
    EXPECT_EQ(get("/definitions/data/RegistryDefinition.dat").content(), "");
    EXPECT_EQ(get("/definitions/version/F.HTM").content(), ServerDate::text(200) + "\r\n2\r\n");
    EXPECT_EQ(get("/definitions/version/c.htm").content(), ServerDate::text(200) + "\r\n1\r\n");
    EXPECT_EQ(get("/definitions/data/Safety.dat").status, 404);
    EXPECT_EQ(get("/definitions/version/X.HTM").status, 404);
}

TEST_F(RequestHandlerTest, PathsIgnoreCaseAndUnknownOnesAreNotFound) {
    EXPECT_EQ(get("/ASP/DATE.ASP").status, 200);
    EXPECT_EQ(get("/asp/unknown.asp").status, 404);
    EXPECT_EQ(get("/").status, 404);
    EXPECT_EQ(handler.handle("POST", "/asp/date.asp", kClient).status, 405);
}

TEST_F(RequestHandlerTest, ChangesFromAnotherConnectionAreSeenAtTheNextRequest) {
    store->add("FILE", {"a.exe=A|x"}, 100);
    const std::string before = defs("3/16/2006");
    std::string error;
    auto admin = DefinitionStore::open(dir.file("defs.db"), error);
    ASSERT_TRUE(admin);
    admin->add("FILE", {"b.exe=B|x"}, 100);
    const std::string after = defs("3/16/2006");
    EXPECT_NE(after, before);
    EXPECT_EQ(after.substr(0, before.size()), before);
}

}  // namespace
}  // namespace nightjar::server
