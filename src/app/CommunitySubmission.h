#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::app {

class MainState;

/// How a sending of the anonymous process names ended (the answer is never read).
enum class AnonymousDataOutcome {
    /// "Send anonymous data" is off: nothing was asked or sent.
    Off,
    /// No process was listed, or every one listed is left out: nothing was sent.
    NothingToSend,
    /// The list was sent.
    Sent,
};

/// How "Submit" ended.
enum class SubmitOutcome {
    /// The server took the name ("Added" or "Skipped").
    Accepted,
    /// Any other answer, a network failure included.
    Refused,
};

/// How "False positive" ended.
enum class FalsePositiveOutcome {
    /// Cancel at the first question: nothing was sent.
    Cancelled,
    /// The details were empty (or the input box cancelled): nothing was sent.
    NoDetails,
    /// Sent, and the answer did not accept it (a network failure included).
    Refused,
    /// Accepted; the user chose not to exclude the rows.
    Accepted,
    /// Accepted, and the "Exclude" command ran on the same rows (it asks its own question).
    Excluded,
};

/// What the installation reports to the definition server: the anonymous list of running
/// executables, a name typed on the results page, and a false-positive report about checked
/// results. Every query value travels percent-encoded.
class CommunitySubmission {
  public:
    explicit CommunitySubmission(MainState& state);

    /// When "chkSendData" is "1" (the default): the running process names, less the
    /// system's own, each scrambled, joined by "|" and sent; nothing when none is left.
    AnonymousDataOutcome SendAnonymousData();
    /// "Submit": sends the scrambled text of `txtFilename` followed by "|", sets `Label26`
    /// to the thanks or the problem text, and clears `txtFilename`.
    SubmitOutcome cmdSubmit_Click(std::string_view txtFilename);
    /// "False positive": the second column of the checked results, the OK/Cancel question,
    /// the details, the report, and on acceptance the offer to exclude the same rows.
    FalsePositiveOutcome cmdFalsePos_Click();
    /// The `chkSendData` box after a click: unchecking asks first, and No checks it again.
    /// Stores and returns the box's value.
    bool chkSendData_MouseUp(bool checked);

    /// The process list as sent: every name but the system's own (compared exactly),
    /// scrambled, joined by "|".
    static std::string AnonymousDataList(const std::vector<std::string>& names);
    /// True for the names never sent (exact letter case): "System", "svchost.exe", ...
    static bool IsLeftOut(std::string_view processName);

  private:
    /// The answer of the definition server to `pathAndQuery`; empty on any failure.
    std::string request(const std::string& pathAndQuery);

    MainState& state_;
};

}  // namespace nightjar::app
