#include "app/CommunitySubmission.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "app/RemovalRun.h"
#include "update/ServerConfig.h"
#include "util/PercentEncoding.h"
#include "util/Text.h"

namespace nightjar::apptest {
namespace {

using app::AnonymousDataOutcome;
using app::FalsePositiveOutcome;
using app::MsgAnswer;
using app::MsgButtons;
using app::SubmitOutcome;
using definitions::ScrambleLine;

class CommunitySubmissionTest : public AppFixture {
  protected:
    CommunitySubmissionTest() {
        // Every request is answered with `answer` and recorded.
        fake.http.handler([this](const std::string& url) {
            requests.push_back(url);
            return platform::HttpResult{reachable, reachable ? answer : "", "", ""};
        });
    }

    app::CommunitySubmission& community() { return state->community(); }

    /// The decoded value of `key` in a request URL; the raw query must be plain ASCII with
    /// nothing but unreserved bytes, "%" escapes and the separators of the keys.
    std::string value(const std::string& url, std::string_view key) {
        const std::size_t q = url.find('?');
        EXPECT_NE(q, std::string::npos);
        for (char c : url.substr(q + 1)) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) ||
                        std::string_view("-._~%=&").find(c) != std::string_view::npos)
                << url;
        }
        const std::string marker = std::string(key) + "=";
        std::size_t at = url.find(marker, q);
        if (at == std::string::npos) {
            ADD_FAILURE() << key << " missing in " << url;
            return {};
        }
        at += marker.size();
        return url::percentDecode(url.substr(at, url.find('&', at) - at));
    }
    bool isPath(const std::string& url, std::string_view path) {
        return url.starts_with(state->servers().definitionUrl(path) + "?");
    }
    void addChecked(std::string title, std::string location, bool checked) {
        addResult(std::move(title), scan::icon::File, std::move(location));
        state->ResultList().setChecked(state->ResultList().size() - 1, checked);
    }

    std::vector<std::string> requests;
    std::string answer;
    bool reachable = true;
};

TEST_F(CommunitySubmissionTest, AnonymousDataLeavesOutExactSystemNamesOnly) {
    std::uint32_t pid = 10;
    for (const char* name :
         {"System", "System Idle Process", "C:\\WINDOWS\\SVCHOST.EXE", "C:\\WINDOWS\\svchost.exe",
          "C:\\Apps\\two  blanks.exe", "C:\\WINDOWS\\explorer.exe", "C:\\Apps\\Firefox.exe"}) {
        fake.processes.add(pid++, name);
    }
    EXPECT_EQ(community().SendAnonymousData(), AnonymousDataOutcome::Sent);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(isPath(requests[0], "/asp/getData.asp"));
    EXPECT_EQ(value(requests[0], "data"), ScrambleLine("SVCHOST.EXE") + "|" +
                                              ScrambleLine("two  blanks.exe") + "|" +
                                              ScrambleLine("Firefox.exe"));

    // Only left-out names, or no listing at all: nothing goes out.
    fake.processes.clear();
    fake.processes.add(4, "System");
    EXPECT_EQ(community().SendAnonymousData(), AnonymousDataOutcome::NothingToSend);
    fake.processes.setListingFails(true);
    EXPECT_EQ(community().SendAnonymousData(), AnonymousDataOutcome::NothingToSend);
    EXPECT_EQ(requests.size(), 1u);
}

TEST_F(CommunitySubmissionTest, ResultsPageAndRemovalSendOnlyWhenAllowed) {
    fake.processes.add(7, "C:\\Apps\\tool.exe");
    state->cmdResults_Click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(ui.pages.back(), "frmResults");

    setOption("chkSendData", "0");
    state->cmdResults_Click();
    EXPECT_EQ(community().SendAnonymousData(), AnonymousDataOutcome::Off);
    EXPECT_EQ(requests.size(), 1u);

    // A results page with rows sends nothing even when allowed.
    setOption("chkSendData", "1");
    addResult("x", scan::icon::File, "C:\\x.exe");
    state->cmdResults_Click();
    EXPECT_EQ(requests.size(), 1u);

    // After a removal.
    state->ResultList().clear();
    writeStandardDefinitions();
    plantThreats();
    state->FillDrives();
    state->scanRun().cmdScanNow_Click();
    state->resultActions().cmdSelectAll_Click();
    ui.answers.push_back(MsgAnswer::Yes);
    ASSERT_EQ(state->removal().RepairNow(), app::RemovalOutcome::Removed);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(value(requests[1], "data").find(ScrambleLine("tool.exe")), std::string::npos);
}

TEST_F(CommunitySubmissionTest, SubmitReadsTheAnswerWithoutLetterCase) {
    ui.setStatusText(app::control::txtFilename, "spy ware.exe");
    answer = "name added";
    EXPECT_EQ(community().cmdSubmit_Click("spy ware.exe"), SubmitOutcome::Accepted);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(isPath(requests[0], "/asp/getData.asp"));
    EXPECT_EQ(value(requests[0], "data"), ScrambleLine("spy ware.exe") + "|");
    EXPECT_EQ(ui.text("Label26"),
              state->msg("MSG_RESULTS") + " spy ware.exe " + state->msg("MSG_RESULTS_THANK"));
    EXPECT_EQ(ui.text("txtFilename"), "");

    reachable = false;
    EXPECT_EQ(community().cmdSubmit_Click("x.exe"), SubmitOutcome::Refused);
    EXPECT_EQ(ui.text("Label26"), state->msg("MSG_RESULTS") + " " + state->msg("MSG_PROBLEM") +
                                      " x.exe.  " + state->msg("MSG_PROBLEM2"));
    reachable = true;
    answer = "Refused";
    EXPECT_EQ(community().cmdSubmit_Click("x.exe"), SubmitOutcome::Refused);
}

TEST_F(CommunitySubmissionTest, FalsePositiveWithoutCheckedRowsStillAsksAndSends) {
    addChecked("Unchecked", "C:\\not\\sent.exe", false);
    ui.answers = {MsgAnswer::Ok};
    ui.inputs = {std::string("two  blanks & more|")};
    answer = "Error 17";
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::Refused);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(isPath(requests[0], "/asp/submitFP.asp"));
    EXPECT_EQ(value(requests[0], "files"), "");
    EXPECT_EQ(value(requests[0], "details"), "two  blanks & more|");
    EXPECT_NE(requests[0].find("two%20%20blanks"), std::string::npos);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_FALSE_POS") + "\r\n\r\n");
    EXPECT_EQ(ui.boxes[1].text, state->msg("MSG_FALSE_POS5") + "\r\n\r\nError 17");
}

TEST_F(CommunitySubmissionTest, FalsePositiveStopsWithoutConsentOrDetails) {
    addChecked("A", "C:\\a.exe", true);
    ui.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::Cancelled);
    ui.answers = {MsgAnswer::Ok};
    ui.inputs = {std::string("   ")};
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::NoDetails);
    ui.answers = {MsgAnswer::Ok};
    ui.inputs = {std::nullopt};
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::NoDetails);
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(ui.boxes.back().text, state->msg("MSG_FALSE_POS3"));
}

TEST_F(CommunitySubmissionTest, AcceptedReportOffersToExcludeTheSameRows) {
    addChecked("Tool", "C:\\Apps\\tool.exe", true);
    addChecked("Kept", "C:\\Apps\\kept.exe", false);
    addChecked("Other", "C:\\Other\\o ther.exe", true);
    ui.inputs = {std::string("mine"), std::string("mine")};
    answer = "ok";

    // Accepted, then No: nothing excluded.
    ui.answers = {MsgAnswer::Ok, MsgAnswer::No};
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::Accepted);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(value(requests[0], "files"), "C:\\Apps\\tool.exe|C:\\Other\\o ther.exe|");
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_FALSE_POS") +
                                    "\r\n\r\nC:\\Apps\\tool.exe\r\nC:\\Other\\o ther.exe\r\n");
    EXPECT_EQ(ui.boxes[1].text, state->msg("MSG_FALSE_POS4"));
    EXPECT_EQ(state->ResultList().size(), 3u);

    // Yes, and Yes to the exclusion's own question: the two rows go to the exclusion list.
    ui.answers = {MsgAnswer::Ok, MsgAnswer::Yes, MsgAnswer::Yes};
    EXPECT_EQ(community().cmdFalsePos_Click(), FalsePositiveOutcome::Excluded);
    EXPECT_TRUE(state->exclusions().IsExcluded("C:\\Apps\\tool.exe"));
    EXPECT_TRUE(state->exclusions().IsExcluded("C:\\Other\\o ther.exe"));
    EXPECT_FALSE(state->exclusions().IsExcluded("C:\\Apps\\kept.exe"));
    ASSERT_EQ(state->ResultList().size(), 1u);
    EXPECT_EQ(state->ResultList()[0].title, "Kept");
}

TEST_F(CommunitySubmissionTest, UncheckingSendDataAsksAndNoKeepsItOn) {
    EXPECT_TRUE(community().chkSendData_MouseUp(true));
    EXPECT_TRUE(ui.boxes.empty());
    ui.answers = {MsgAnswer::No};
    EXPECT_TRUE(community().chkSendData_MouseUp(false));
    EXPECT_EQ(setting("OptionAndSettings", "chkSendData"), "1");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, state->msg("MSG_ANON4"));
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_ANON1") + "\r\n\r\n" + state->msg("MSG_ANON2") +
                                    "\r\n\r\n" + state->msg("MSG_ANON3"));
    ui.answers = {MsgAnswer::Yes};
    EXPECT_FALSE(community().chkSendData_MouseUp(false));
    EXPECT_EQ(setting("OptionAndSettings", "chkSendData"), "0");
}

}  // namespace
}  // namespace nightjar::apptest
