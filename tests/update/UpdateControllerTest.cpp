#include "app/UpdateController.h"

#include <gtest/gtest.h>

#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "localization/MessageCatalog.h"
#include "mock/FakeFileLocks.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeHttp.h"
#include "mock/FakeRegistry.h"
#include "mock/FakeShellFolders.h"
#include "mock/FakeSignatureVerifier.h"
#include "mock/ScriptedUserInterface.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"
#include "update/UpdateTestSupport.h"
#include "util/SignedAnswer.h"

namespace nightjar::app {
namespace {

using update::testing::dataFile;
using update::testing::kData;
using update::testing::record;
using update::testing::storedLine;

const std::string kBase = "http://defs.test";
const std::string kDateUrl = kBase + "/asp/currentDateNEW.asp?prog=Nightjar&comp=Nightjar%20Labs";
const std::string kDefsUrl =
    kBase + "/asp/getDefsNEW.asp?prog=Nightjar&comp=Nightjar%20Labs&date=3/16/2006";
const std::string kConfirmUrl = kBase + "/asp/date.asp";

class ControllerTest : public ::testing::Test {
  protected:
    ControllerTest()
        : expander(shell),
          store(fs, expander, std::string(kData)),
          settings(registry, "Nightjar"),
          catalog({"Nightjar", "Nightjar Labs", "nightjar.example"}),
          servers(nullptr, [](const char*) { return std::optional<std::string>(); }),
          controller(
              fs, http, verifier, locks, store, settings, catalog, ui, servers,
              [this](bool on) { timerCalls.push_back(on); }, [this] { return idle; }) {
        fs.addFolder(kData);
        catalog.LoadDefaultMessages();
        servers.setDefinitionOverride(kBase);
    }

    void serveOneUpdate() {
        http.respond(kDateUrl, "1/5/2009 3:04:05 PM PST");
        http.respond(kDefsUrl, record("COOK", "ADD", "a.example") + "[BR]" +
                                   record("EXE", "ADD", "b.exe=B|x|y"));
        http.respond(kConfirmUrl, "1/5/2009 3:04:05 PM");
    }
    std::string setting(std::string_view key) {
        return settings.Read("OptionAndSettings", key, "<unset>");
    }

    mock::FakeFileSystem fs;
    mock::FakeHttp http;
    mock::FakeSignatureVerifier verifier;
    mock::FakeFileLocks locks;
    mock::FakeShellFolders shell;
    mock::FakeRegistry registry;
    mock::ScriptedUserInterface ui;
    definitions::PlaceholderExpander expander;
    definitions::SignatureStore store;
    settings::SettingsStore settings;
    localization::MessageCatalog catalog;
    update::ServerConfig servers;
    std::vector<bool> timerCalls;
    bool idle = true;
    UpdateController controller;
};

TEST_F(ControllerTest, WithoutNetworkTheResultWindowSaysSoAndNothingIsWritten) {
    controller.RunUpdate();
    EXPECT_EQ(controller.lastResult().outcome, update::UpdateOutcome::Failed);
    EXPECT_EQ(ui.isVisible("frmSignatureUpdated"), true);
    EXPECT_EQ(ui.text("lblUpdateInfo"),
              "Definitions could not be downloaded. Please check your internet connection.");
    EXPECT_EQ(setting("SHOW"), "<unset>");
    EXPECT_EQ(setting("RESTART"), "<unset>");
    EXPECT_EQ(ui.text("lblDefVersion"), "");
    // The frame around the update: timers stopped and re-armed, the command disabled and
    // enabled again, the progress window gone.
    EXPECT_EQ(timerCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(ui.enabledLog, (std::vector<std::pair<std::string, bool>>{{"cmdLiveUpdate", false},
                                                                        {"cmdLiveUpdate", true}}));
    EXPECT_EQ(ui.isVisible("frmDownload"), false);
    EXPECT_EQ(ui.textsOf("txtStatus").front(), "Connecting to the definition server, please wait.");
}

TEST_F(ControllerTest, WhileAnotherProgramUpdatesNothingIsAskedAndNoResultIsShown) {
    serveOneUpdate();
    ASSERT_TRUE(locks.lock(dataFile(update::DefinitionUpdater::kLockFile), {}));
    controller.RunUpdate();
    EXPECT_EQ(controller.lastResult().outcome, update::UpdateOutcome::Busy);
    EXPECT_TRUE(http.requests().empty());
    EXPECT_NE(ui.isVisible("frmSignatureUpdated"), true);
    EXPECT_EQ(setting("SHOW"), "<unset>");
    EXPECT_EQ(timerCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(ui.isVisible("frmDownload"), false);
}

TEST_F(ControllerTest, NothingNewSaysMostRecentWithTheProductName) {
    http.respond(kDateUrl, "3/16/2006 12:00:00 AM PST");
    controller.RunUpdate();
    EXPECT_EQ(controller.lastResult().outcome, update::UpdateOutcome::Current);
    EXPECT_EQ(ui.text("lblUpdateInfo"), "You are using the most recent Nightjar definitions.");
    EXPECT_EQ(setting("SHOW"), "<unset>");
    EXPECT_EQ(setting("RESTART"), "<unset>");
}

TEST_F(ControllerTest, AppliedUpdateIsAnnouncedCountedAndPublished) {
    for (auto name : {"FileDefinition.dat", "DirectoryDefinition.dat"}) {
        fs.addFile(dataFile(name), storedLine("x=1") + storedLine("y=2"));
    }
    serveOneUpdate();
    controller.RunUpdate();
    const auto& r = controller.lastResult();
    EXPECT_EQ(r.outcome, update::UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(ui.text("lblUpdateInfo"), "Your Nightjar definitions have been updated!");
    EXPECT_EQ(setting("SHOW"), "True");
    EXPECT_EQ(setting("RESTART"), "True");
    EXPECT_EQ(ui.text("lblDefVersion"), "1/5/2009 3:04:05 PM PST");
    // cookies 1 + exe 1 + files (3 + 2) = 7
    EXPECT_EQ(controller.signatureCount(), 7);
    EXPECT_EQ(ui.text("lblDefCount"), "7");
    EXPECT_EQ(ui.isEnabled("cmdScan"), true);
    EXPECT_EQ(ui.isEnabled("cmdLiveUpdate"), true);
    EXPECT_EQ(timerCalls, (std::vector<bool>{false, true}));
}

TEST_F(ControllerTest, TheKeyInTheSettingsRequiresSignedAnswers) {
    serveOneUpdate();  // no signatures
    update::ServerConfig configured(&settings, [](const char*) { return std::nullopt; });
    configured.setDefinitionOverride(kBase);
    settings.Write("OptionAndSettings", "DefinitionPublicKey", " a2V5 ");
    UpdateController checking(fs, http, verifier, locks, store, settings, catalog, ui, configured,
                              {}, {});
    checking.RunUpdate();
    EXPECT_EQ(checking.lastResult().outcome, update::UpdateOutcome::Failed);
    EXPECT_TRUE(checking.lastResult().unverified);
    EXPECT_EQ(ui.text("lblUpdateInfo"), catalog.getMessages("MSG_UNVERIFIED"));
    EXPECT_EQ(setting("SHOW"), "<unset>");
    EXPECT_FALSE(fs.exists(dataFile("BlockedCookies.dat")));

    // The same answers signed under that key ("key") go through.
    const auto sign = [](const std::string& url, const std::string& body) {
        return signing::base64Encode(mock::FakeSignatureVerifier::sign(
            "key", signing::signedMessage(signing::requestTarget(url), body)));
    };
    const std::string defs =
        record("COOK", "ADD", "a.example") + "[BR]" + record("EXE", "ADD", "b.exe=B|x|y");
    http.respond(kDateUrl, "1/5/2009 3:04:05 PM PST", sign(kDateUrl, "1/5/2009 3:04:05 PM PST"));
    http.respond(kDefsUrl, defs, sign(kDefsUrl, defs));
    http.respond(kConfirmUrl, "1/5/2009 3:04:05 PM", sign(kConfirmUrl, "1/5/2009 3:04:05 PM"));
    checking.RunUpdate();
    EXPECT_EQ(checking.lastResult().outcome, update::UpdateOutcome::Updated);
    EXPECT_EQ(ui.text("lblUpdateInfo"), "Your Nightjar definitions have been updated!");
}

TEST_F(ControllerTest, CancelOfTheProgressWindowDoesNotStopTheUpdate) {
    serveOneUpdate();
    ui.onPump = [this] { ui.setVisible(control::frmDownload, false); };
    controller.RunUpdate();
    EXPECT_EQ(controller.lastResult().outcome, update::UpdateOutcome::Updated);
    EXPECT_EQ(ui.isVisible("frmSignatureUpdated"), true);
}

TEST_F(ControllerTest, SecondUpdateWhileOneRunsIsRefused) {
    serveOneUpdate();
    int nested = 0;
    ui.onPump = [&] {
        if (controller.updating()) {
            ++nested;
            controller.RunUpdate();
        }
    };
    controller.RunUpdate();
    EXPECT_GT(nested, 0);
    EXPECT_EQ(http.requests().size(), 3u);
    EXPECT_EQ(fs.content(dataFile("BlockedCookies.dat")), storedLine("a.example"));
}

TEST_F(ControllerTest, AutomaticUpdateIsArmedOnlyWhenTheSettingIsOne) {
    EXPECT_EQ(controller.timUpdate().interval(), 1000);
    controller.ArmAutomaticUpdate();
    EXPECT_FALSE(controller.timUpdate().enabled());  // missing setting counts as 0
    settings.Write("OptionAndSettings", "chkAutomaticUpdate", "0");
    controller.ArmAutomaticUpdate();
    EXPECT_FALSE(controller.timUpdate().enabled());
    settings.Write("OptionAndSettings", "chkAutomaticUpdate", "1");
    controller.ArmAutomaticUpdate();
    EXPECT_TRUE(controller.timUpdate().enabled());
}

TEST_F(ControllerTest, AutomaticUpdateRunsTwoHundredIdleSecondsAfterALongScan) {
    // A scan starts 100 s after start-up and lasts 10 minutes; ticks during it do not count.
    settings.Write("OptionAndSettings", "chkAutomaticUpdate", "1");
    controller.ArmAutomaticUpdate();
    http.respond(kDateUrl, "3/16/2006");
    std::vector<int> updatesAt;
    for (int second = 1; second <= 2000; ++second) {
        idle = second < 100 || second >= 700;
        std::size_t before = http.requests().size();
        controller.timUpdate().tick();
        if (http.requests().size() != before) {
            updatesAt.push_back(second);
        }
    }
    // 99 idle ticks before the scan, 201 after it: the first idle tick after 300 idle ticks,
    // about 200 s after the scan ended, and only once.
    EXPECT_EQ(updatesAt, std::vector<int>{901});
    EXPECT_FALSE(controller.timUpdate().enabled());
    EXPECT_EQ(controller.autoUpdateCounter(), 0);
}

TEST_F(ControllerTest, AutomaticUpdateWithoutScanRunsOnTheTickAfterThreeHundred) {
    settings.Write("OptionAndSettings", "chkAutomaticUpdate", "1");
    controller.ArmAutomaticUpdate();
    for (int i = 0; i < 300; ++i) {
        controller.timUpdate().tick();
    }
    EXPECT_TRUE(http.requests().empty());
    EXPECT_EQ(controller.autoUpdateCounter(), 300);
    controller.timUpdate().tick();
    EXPECT_EQ(http.requests().size(), 1u);
}

TEST_F(ControllerTest, ShiftClickListsTheServerLayout) {
    controller.ShowServerLayoutListing();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.substr(0, ui.boxes[0].text.find("\r\n")),
              kBase + "/definitions/version/R.HTM");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
}

}  // namespace
}  // namespace nightjar::app
