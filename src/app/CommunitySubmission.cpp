#include "app/CommunitySubmission.h"

#include <array>

#include "app/ExclusionCommands.h"
#include "app/MainState.h"
#include "definitions/LineCodec.h"
#include "platform/Platform.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/HttpReader.h"
#include "update/ServerConfig.h"
#include "util/PercentEncoding.h"
#include "util/Text.h"

namespace nightjar::app {

namespace keys = settings::keys;

namespace {

constexpr std::string_view kSeparator = "|";

// The system's own processes and the common shells and browsers say nothing about
// unknown programs.
constexpr std::array<std::string_view, 8> kLeftOut = {
    "System",      "System Idle Process", "winlogon.exe", "services.exe",
    "svchost.exe", "explorer.exe",        "firefox.exe",  "iexplore.exe"};

// The answers are a word or a short message; nothing larger is worth holding.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

bool sendDataOn(const settings::SettingsStore& settings) {
    return settings.ReadInt(keys::kOptionAndSettings, keys::kSendData, 1) == 1;
}

}  // namespace

CommunitySubmission::CommunitySubmission(MainState& state) : state_(state) {}

bool CommunitySubmission::IsLeftOut(std::string_view processName) {
    for (std::string_view name : kLeftOut) {
        if (name == processName) {
            return true;
        }
    }
    return false;
}

std::string CommunitySubmission::AnonymousDataList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        if (IsLeftOut(name)) {
            continue;
        }
        if (!list.empty()) {
            list += kSeparator;
        }
        list += definitions::ScrambleLine(name);
    }
    return list;
}

std::string CommunitySubmission::request(const std::string& pathAndQuery) {
    update::HttpReader reader(*state_.platform().http, [this] { state_.pump(); });
    return reader.FetchUrlText(state_.servers().definitionUrl(pathAndQuery), kMaxAnswerBytes).text;
}

AnonymousDataOutcome CommunitySubmission::SendAnonymousData() {
    if (!sendDataOn(state_.settings())) {
        return AnonymousDataOutcome::Off;
    }
    const std::optional<std::vector<std::string>> names =
        state_.platform().processes->runningNames();
    const std::string list = names ? AnonymousDataList(*names) : std::string();
    if (list.empty()) {
        return AnonymousDataOutcome::NothingToSend;
    }
    request("/asp/getData.asp?data=" + url::percentEncode(list));
    return AnonymousDataOutcome::Sent;
}

SubmitOutcome CommunitySubmission::cmdSubmit_Click(std::string_view txtFilename) {
    const std::string submitted(txtFilename);
    const std::string answer =
        request("/asp/getData.asp?data=" +
                url::percentEncode(definitions::ScrambleLine(submitted) + std::string(kSeparator)));
    const bool accepted = text::icontains(answer, "Added") || text::icontains(answer, "Skipped");
    const std::string label =
        accepted
            ? state_.msg("MSG_RESULTS") + " " + submitted + " " + state_.msg("MSG_RESULTS_THANK")
            : state_.msg("MSG_RESULTS") + " " + state_.msg("MSG_PROBLEM") + " " + submitted +
                  ".  " + state_.msg("MSG_PROBLEM2");
    ControlStateTracker& ui = state_.ui();
    ui.setStatusText(control::Label26, label);
    ui.setStatusText(control::txtFilename, "");
    return accepted ? SubmitOutcome::Accepted : SubmitOutcome::Refused;
}

FalsePositiveOutcome CommunitySubmission::cmdFalsePos_Click() {
    ControlStateTracker& ui = state_.ui();
    const std::string& title = state_.productName();
    std::string lines;
    for (const scan::FoundItem& row : state_.ResultList()) {
        if (row.checked) {
            lines += row.location + "\r\n";
        }
    }
    if (ui.messageBox(state_.msg("MSG_FALSE_POS") + "\r\n\r\n" + lines, title, MsgButtons::OkCancel,
                      MsgIcon::None) != MsgAnswer::Ok) {
        return FalsePositiveOutcome::Cancelled;
    }
    const std::string details = ui.inputBox(state_.msg("MSG_FALSE_POS2"), title).value_or("");
    if (text::trim(details).empty()) {
        ui.messageBox(state_.msg("MSG_FALSE_POS3"), title, MsgButtons::Ok, MsgIcon::None);
        return FalsePositiveOutcome::NoDetails;
    }
    const std::string files = text::replaceAll(lines, "\r\n", kSeparator);
    const std::string answer = request("/asp/submitFP.asp?files=" + url::percentEncode(files) +
                                       "&details=" + url::percentEncode(details));
    if (!text::icontains(answer, "OK")) {
        ui.messageBox(state_.msg("MSG_FALSE_POS5") + "\r\n\r\n" + answer, title, MsgButtons::Ok,
                      MsgIcon::None);
        return FalsePositiveOutcome::Refused;
    }
    if (ui.messageBox(state_.msg("MSG_FALSE_POS4"), title, MsgButtons::YesNo, MsgIcon::None) !=
        MsgAnswer::Yes) {
        return FalsePositiveOutcome::Accepted;
    }
    // The checked rows are still those the report named: nothing ran in between.
    state_.exclusionCommands().cmdExclude_Click();
    return FalsePositiveOutcome::Excluded;
}

bool CommunitySubmission::chkSendData_MouseUp(bool checked) {
    if (!checked) {
        const std::string question = state_.msg("MSG_ANON1") + "\r\n\r\n" +
                                     state_.msg("MSG_ANON2") + "\r\n\r\n" + state_.msg("MSG_ANON3");
        if (state_.ui().messageBox(question, state_.msg("MSG_ANON4"), MsgButtons::YesNo,
                                   MsgIcon::Question) != MsgAnswer::Yes) {
            checked = true;
        }
    }
    state_.settings().Write(keys::kOptionAndSettings, keys::kSendData, checked ? "1" : "0");
    return checked;
}

}  // namespace nightjar::app
