#include "update/DefinitionUpdater.h"

#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <optional>

#include "mock/FakeFileLocks.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeHttp.h"
#include "mock/FakeSignatureVerifier.h"
#include "update/DefinitionCommit.h"
#include "update/ServerConfig.h"
#include "update/UpdateTestSupport.h"
#include "update/UpdateTextApplier.h"
#include "util/SignedAnswer.h"

namespace nightjar::update {
namespace {

using testing::dataFile;
using testing::kData;
using testing::record;
using testing::storedLine;

constexpr const char* kBase = "http://defs.test";
const std::string kDateUrl =
    std::string(kBase) + "/asp/currentDateNEW.asp?prog=Nightjar&comp=Nightjar%20Labs";
const std::string kConfirmUrl = std::string(kBase) + "/asp/date.asp";
std::string defsUrl(const std::string& date) {
    return std::string(kBase) +
           "/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=" + date;
}

class Recorder : public UpdateObserver {
  public:
    std::vector<std::string> statuses;
    std::vector<std::string> captions;
    int shown = 0;
    void downloadWindowShown() override { ++shown; }
    void status(std::string_view t) override { statuses.emplace_back(t); }
    void definitionsDateCaption(std::string_view c) override { captions.emplace_back(c); }
};

class UpdaterTest : public ::testing::Test {
  protected:
    UpdaterTest() : servers(nullptr, [](const char*) { return std::optional<std::string>(); }) {
        fs.addFolder(kData);
        servers.setDefinitionOverride(kBase);
    }
    UpdateResult run(localization::ProductIdentity id = {"Nightjar", "Nightjar Labs", "x"}) {
        DefinitionUpdater updater(fs, http, locks, std::string(kData), id, servers, observer);
        return updater.CheckAndApplyUpdates();
    }
    std::optional<std::string> dateFile() { return fs.content(dataFile("date.dat")); }

    mock::FakeFileSystem fs;
    mock::FakeHttp http;
    mock::FakeFileLocks locks;
    ServerConfig servers;
    Recorder observer;
};

TEST_F(UpdaterTest, NewerServerDateFetchesAppliesAndStoresTheConfirmedDate) {
    http.respond(kDateUrl, "1/5/2009 3:04:05 PM PST\r\n");
    http.respond(defsUrl("3/16/2006"), record("EXE", "ADD", "bad.exe=Bad|x|y") + "[BR]");
    http.respond(kConfirmUrl, " 1/6/2009 1:00:00 AM PST\r\n");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.date, "1/6/2009 1:00:00 AM");
    EXPECT_EQ(dateFile(), "1/6/2009 1:00:00 AM\r\n");
    EXPECT_EQ(observer.captions, std::vector<std::string>{"1/6/2009 1:00:00 AM PST"});
    EXPECT_EQ(http.requests(),
              (std::vector<std::string>{kDateUrl, defsUrl("3/16/2006"), kConfirmUrl}));
    EXPECT_EQ(fs.content(dataFile("ExeDefinition.dat")), storedLine("bad.exe=Bad|x|y"));
    EXPECT_EQ(observer.shown, 1);
    ASSERT_FALSE(observer.statuses.empty());
    EXPECT_EQ(observer.statuses.front(), "Connecting to the definition server, please wait.");
    EXPECT_EQ(observer.statuses[1], "Downloaded 25 bytes.");
}

TEST_F(UpdaterTest, LocalDateWithATimeIsSentWithItsBlanksEncoded) {
    fs.addFile(dataFile("date.dat"), "1/5/2009 3:04:05 PM\r\n");
    http.respond(kDateUrl, "1/6/2009");
    http.respond(defsUrl("1/5/2009%203:04:05%20PM"), "");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Current);  // empty update: nothing applied
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(http.requests().back(), defsUrl("1/5/2009%203:04:05%20PM"));
    EXPECT_EQ(dateFile(), "1/5/2009 3:04:05 PM\r\n");  // unchanged
}

TEST_F(UpdaterTest, EqualOrOlderOrUnreadableServerDateMakesNoFurtherRequest) {
    for (const char* answer : {"3/16/2006 12:00:00 AM PST", "1/1/2005", "garbage", ""}) {
        mock::FakeHttp fresh;
        fresh.respond(kDateUrl, answer);
        DefinitionUpdater updater(fs, fresh, locks, std::string(kData),
                                  {"Nightjar", "Nightjar Labs", ""}, servers, observer);
        auto r = updater.CheckAndApplyUpdates();
        EXPECT_EQ(r.outcome, UpdateOutcome::Current) << answer;
        EXPECT_EQ(r.count, 0);
        EXPECT_EQ(fresh.requests().size(), 1u) << answer;
    }
    EXPECT_FALSE(dateFile().has_value());
}

TEST_F(UpdaterTest, ProductAndCompanyHaveOnlyTheirBlanksEscaped) {
    http.respond(std::string(kBase) + "/asp/currentDateNEW.asp?prog=My%20%20Shield&comp=A&B%20Co",
                 "3/16/2006");
    auto r = run({"My  Shield", "A&B Co", ""});
    EXPECT_EQ(r.outcome, UpdateOutcome::Current);
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_EQ(http.requests()[0],
              std::string(kBase) + "/asp/currentDateNEW.asp?prog=My%20%20Shield&comp=A&B%20Co");
}

TEST_F(UpdaterTest, NoNetworkIsAFailureNotCurrent) {
    fs.addFile(dataFile("date.dat"), "1/1/2010\r\n");
    auto r = run();  // the fake knows no URL: like an unknown host
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.date, "1/1/2010");
    EXPECT_EQ(dateFile(), "1/1/2010\r\n");
    EXPECT_EQ(http.requests().size(), 1u);
    EXPECT_TRUE(observer.captions.empty());
}

TEST_F(UpdaterTest, FailedUpdateTextRequestWritesNothing) {
    http.respond(kDateUrl, "1/5/2009");
    http.fail(defsUrl("3/16/2006"), "time-out");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_FALSE(fs.exists(dataFile("FileDefinition.dat")));
    EXPECT_FALSE(dateFile().has_value());
}

TEST_F(UpdaterTest, UpdateThatCannotBeWrittenKeepsTheOldDate) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1"));
    fs.addFolder(dataFile("ExeDefinition.dat"));
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("3/16/2006"),
                 record("FILE", "ADD", "b=2|c") + "[BR]" + record("EXE", "ADD", "d=3|e"));
    http.respond(kConfirmUrl, "1/5/2009");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), storedLine("a=1"));
    EXPECT_FALSE(dateFile().has_value());
    EXPECT_EQ(http.requests().size(), 2u);
}

TEST_F(UpdaterTest, MalformedRecordIsSkippedAndTheDateStillAdvances) {
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("3/16/2006"), record("COOK", "ADD", "a") + "[BR]" +
                                           definitions::ScrambleLine("DIR") + "|ADD[BR]" +
                                           record("COOK", "ADD", "b"));
    http.respond(kConfirmUrl, "1/5/2009");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(fs.content(dataFile("BlockedCookies.dat")), storedLine("a") + storedLine("b"));
    EXPECT_EQ(dateFile(), "1/5/2009\r\n");
}

TEST_F(UpdaterTest, DateThatCannotBeStoredFailsAndLeavesTheDefinitionFilesAsTheyWere) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1"));
    const auto before = fs.allPaths();
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("3/16/2006"), record("FILE", "ADD", "b=2|c"));
    http.respond(kConfirmUrl, "1/5/2009");
    // The journal and the six definition files go in place; writing date.dat fails.
    fs.failCommitAfter(7);
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), storedLine("a=1"));
    EXPECT_EQ(fs.allPaths(), before);
    EXPECT_TRUE(observer.captions.empty());
    // The next check fetches the same update and appends it once.
    fs.failCommitAfter(-1);
    EXPECT_EQ(run().outcome, UpdateOutcome::Updated);
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), storedLine("a=1") + storedLine("b=2|c"));
}

TEST_F(UpdaterTest, UpdateCutShortBeforeItsDateWasStoredIsUndoneByTheNextCheck) {
    fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1"));
    {
        // Files committed, then the program ends before the date is written.
        DefinitionCommit commit(fs, std::string(kData));
        UpdateTextApplier applier(fs, std::string(kData), observer);
        ASSERT_TRUE(applier.ApplyUpdateText(record("FILE", "ADD", "b=2|c"), commit).complete);
    }
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("3/16/2006"), record("FILE", "ADD", "b=2|c"));
    http.respond(kConfirmUrl, "1/5/2009");
    EXPECT_EQ(run().outcome, UpdateOutcome::Updated);
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), storedLine("a=1") + storedLine("b=2|c"));
    // Once the date is stored, the leftovers of the commit are gone.
    EXPECT_FALSE(fs.exists(dataFile("FileDefinition.dat.bak")));
}

TEST_F(UpdaterTest, SecondUpdateOfTheSameFolderIsBusyAndAsksNothing) {
    std::optional<UpdateResult> second;
    http.handler([&](const std::string& url) -> platform::HttpResult {
        if (url == kDateUrl && !second) {
            second = run();  // started while the first one runs
        }
        if (url == defsUrl("3/16/2006")) {
            return {true, record("COOK", "ADD", "a"), {}, {}};
        }
        return {true, "1/5/2009", {}, {}};
    });
    EXPECT_EQ(run().outcome, UpdateOutcome::Updated);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->outcome, UpdateOutcome::Busy);
    EXPECT_EQ(http.requests().size(), 3u);
    EXPECT_EQ(fs.content(dataFile("BlockedCookies.dat")), storedLine("a"));
    // The lock is given back.
    EXPECT_FALSE(locks.held(dataFile(DefinitionUpdater::kLockFile)));
}

TEST_F(UpdaterTest, DateAnswerLongerThanADateIsAFailedRequest) {
    http.respond(kDateUrl, std::string(DefinitionUpdater::kDateAnswerBytes, ' ') + "1/5/2009");
    EXPECT_EQ(run().outcome, UpdateOutcome::Failed);
    EXPECT_EQ(http.requests().size(), 1u);
}

TEST_F(UpdaterTest, UnconvertibleConfirmedDateStoresTheZeroDate) {
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("3/16/2006"), record("COOK", "ADD", "x"));
    http.respond(kConfirmUrl, "not a date");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(dateFile(), "12:00:00 AM\r\n");
    EXPECT_EQ(observer.captions, std::vector<std::string>{"12:00:00 AM PST"});
}

TEST_F(UpdaterTest, FailedConfirmedDateRequestStoresTheAnnouncedDate) {
    http.respond(kDateUrl, "1/5/2009 3:04:05 PM");
    http.respond(defsUrl("3/16/2006"), record("COOK", "ADD", "x"));
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(dateFile(), "1/5/2009 3:04:05 PM\r\n");
}

TEST_F(UpdaterTest, UnreadableLocalDateAsksForEverythingSinceTheZeroDate) {
    fs.addFile(dataFile("date.dat"), "corrupt\r\n");
    http.respond(kDateUrl, "1/5/2009");
    http.respond(defsUrl("12:00:00%20AM"), "");
    auto r = run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Current);
    EXPECT_EQ(http.requests().back(), defsUrl("12:00:00%20AM"));
}

TEST(OutcomeName, Words) {
    EXPECT_EQ(OutcomeName(UpdateOutcome::Updated), "updated");
    EXPECT_EQ(OutcomeName(UpdateOutcome::Current), "current");
    EXPECT_EQ(OutcomeName(UpdateOutcome::Failed), "failed");
    EXPECT_EQ(OutcomeName(UpdateOutcome::Busy), "busy");
}

/// One client with a public key and a server whose answers a test signs (or spoils) one
/// by one.
class SignedUpdate {
  public:
    static constexpr std::string_view kKeyBytes = "key-1";

    SignedUpdate() : servers(nullptr, [](const char*) { return std::optional<std::string>(); }) {
        fs.addFolder(kData);
        fs.addFile(dataFile("date.dat"), "3/16/2006\r\n");
        fs.addFile(dataFile("FileDefinition.dat"), storedLine("a=1"));
        servers.setDefinitionOverride(kBase);
        // The honest server's answers.
        answer(kDateUrl, "1/5/2009 3:04:05 PM PST");
        answer(defsUrl("3/16/2006"), kUpdateText);
        answer(kConfirmUrl, "1/5/2009 3:04:05 PM");
    }

    /// The signature header the server gives `body` as the answer to `url`.
    static std::string signatureOf(const std::string& url, const std::string& body) {
        return signing::base64Encode(mock::FakeSignatureVerifier::sign(
            kKeyBytes, signing::signedMessage(signing::requestTarget(url), body)));
    }
    void answer(const std::string& url, const std::string& body) {
        http.respond(url, body, signatureOf(url, body));
    }

    /// `key`: the client's configured key; empty for a client that has none.
    UpdateResult run(const std::string& key = signing::base64Encode(kKeyBytes)) {
        DefinitionUpdater updater(fs, http, locks, std::string(kData),
                                  {"Nightjar", "Nightjar Labs", "x"}, servers, observer);
        if (!key.empty()) {
            updater.requireSignedAnswers(verifier, key);
        }
        return updater.CheckAndApplyUpdates();
    }
    /// Every path of the data folder with its content.
    std::map<std::string, std::optional<std::string>> files() const {
        std::map<std::string, std::optional<std::string>> out;
        for (const std::string& path : fs.allPaths()) {
            out[path] = fs.content(path);
        }
        return out;
    }

    inline static const std::string kUpdateText = record("FILE", "ADD", "b=2|c");

    mock::FakeFileSystem fs;
    mock::FakeHttp http;
    mock::FakeFileLocks locks;
    mock::FakeSignatureVerifier verifier;
    ServerConfig servers;
    Recorder observer;
};

TEST(SignedUpdaterTest, SignedAnswersUpdateWithAndWithoutAKey) {
    for (const bool withKey : {true, false}) {
        SignedUpdate u;
        const UpdateResult r = u.run(withKey ? signing::base64Encode(SignedUpdate::kKeyBytes) : "");
        EXPECT_EQ(r.outcome, UpdateOutcome::Updated) << withKey;
        EXPECT_FALSE(r.unverified);
        EXPECT_EQ(u.fs.content(dataFile("FileDefinition.dat")),
                  storedLine("a=1") + storedLine("b=2|c"));
        EXPECT_EQ(u.fs.content(dataFile("date.dat")), "1/5/2009 3:04:05 PM\r\n");
    }
    // A client without a key takes unsigned answers as before.
    SignedUpdate plain;
    plain.http.respond(defsUrl("3/16/2006"), SignedUpdate::kUpdateText);
    EXPECT_EQ(plain.run("").outcome, UpdateOutcome::Updated);
}

TEST(SignedUpdaterTest, AnyAnswerWithoutItsOwnValidSignatureFailsAndChangesNothing) {
    const std::string defs = defsUrl("3/16/2006");
    const std::string text = SignedUpdate::kUpdateText;
    const std::string changedText = text.substr(0, text.size() - 1) + "d";
    struct Case {
        const char* what;
        std::function<void(SignedUpdate&)> spoil;
        std::string key = signing::base64Encode(SignedUpdate::kKeyBytes);
    };
    const std::vector<Case> cases = {
        {"unsigned date", [](SignedUpdate& u) { u.http.respond(kDateUrl, "1/5/2009"); }},
        {"far-future date under the signature of the real one",
         [](SignedUpdate& u) {
             u.http.respond(kDateUrl, "1/5/2099",
                            SignedUpdate::signatureOf(kDateUrl, "1/5/2009 3:04:05 PM PST"));
         }},
        {"one byte of the update text changed",
         [&](SignedUpdate& u) {
             u.http.respond(defs, changedText, SignedUpdate::signatureOf(defs, text));
         }},
        {"update text without its header", [&](SignedUpdate& u) { u.http.respond(defs, text); }},
        {"update text with the signature of the date answer",
         [&](SignedUpdate& u) {
             u.http.respond(defs, text,
                            SignedUpdate::signatureOf(kDateUrl, "1/5/2009 3:04:05 PM PST"));
         }},
        {"update text signed for another query",
         [&](SignedUpdate& u) {
             u.http.respond(defs, text, SignedUpdate::signatureOf(defsUrl("1/1/2000"), text));
         }},
        {"signature that is not base64",
         [&](SignedUpdate& u) {
             u.http.respond(defs, text, SignedUpdate::signatureOf(defs, text) + "!");
         }},
        // The files are already in place when the confirmed date comes: they go back.
        {"unsigned confirmed date",
         [](SignedUpdate& u) { u.http.respond(kConfirmUrl, "1/5/2099"); }},
        {"a key that does not decode", [](SignedUpdate&) {}, "not base64!"},
        {"another key", [](SignedUpdate&) {}, signing::base64Encode("key-2")},
    };
    for (const Case& c : cases) {
        SignedUpdate u;
        const auto before = u.files();
        c.spoil(u);
        const UpdateResult r = u.run(c.key);
        EXPECT_EQ(r.outcome, UpdateOutcome::Failed) << c.what;
        EXPECT_TRUE(r.unverified) << c.what;
        EXPECT_EQ(r.count, 0) << c.what;
        EXPECT_EQ(r.date, "3/16/2006") << c.what;
        EXPECT_EQ(u.files(), before) << c.what;
        EXPECT_TRUE(u.observer.captions.empty()) << c.what;
        ASSERT_FALSE(u.observer.statuses.empty());
        EXPECT_EQ(u.observer.statuses.back(), DefinitionUpdater::kUnverifiedAnswer) << c.what;
    }
    // A request that fails outright is still a network failure, not a verification one.
    SignedUpdate offline;
    offline.http.fail(kDateUrl);
    const UpdateResult r = offline.run();
    EXPECT_EQ(r.outcome, UpdateOutcome::Failed);
    EXPECT_FALSE(r.unverified);
}

}  // namespace
}  // namespace nightjar::update
