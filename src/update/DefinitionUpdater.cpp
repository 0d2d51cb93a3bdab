#include "update/DefinitionUpdater.h"

#include "definitions/DefinitionFiles.h"
#include "update/DefinitionCommit.h"
#include "update/DefinitionsDate.h"
#include "update/HttpReader.h"
#include "update/ServerConfig.h"
#include "update/UpdateTextApplier.h"
#include "util/Text.h"

namespace nightjar::update {

std::string_view OutcomeName(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Updated:
            return "updated";
        case UpdateOutcome::Current:
            return "current";
        case UpdateOutcome::Failed:
            return "failed";
        case UpdateOutcome::Busy:
            return "busy";
    }
    return "failed";
}

DefinitionUpdater::DefinitionUpdater(platform::FileSystem& fs, platform::Http& http,
                                     platform::FileLocks& locks, std::string dataFolder,
                                     localization::ProductIdentity identity,
                                     const ServerConfig& servers, UpdateObserver& observer)
    : fs_(fs),
      http_(http),
      locks_(locks),
      dataFolder_(std::move(dataFolder)),
      identity_(std::move(identity)),
      servers_(servers),
      observer_(observer) {}

void DefinitionUpdater::requireSignedAnswers(const platform::SignatureVerifier& verifier,
                                             std::string_view publicKeyBase64) {
    signedAnswers_.emplace(verifier, publicKeyBase64);
}

UpdateResult DefinitionUpdater::unverified(UpdateResult result) {
    observer_.status(kUnverifiedAnswer);
    result.outcome = UpdateOutcome::Failed;
    result.unverified = true;
    return result;
}

std::string DefinitionUpdater::EscapeBlanks(std::string_view text) {
    return text::replaceAll(text, " ", "%20");
}

std::string DefinitionUpdater::ServerDateRequest() const {
    return "/asp/currentDateNEW.asp?prog=" + EscapeBlanks(identity_.productName) +
           "&comp=" + EscapeBlanks(identity_.companyName);
}

std::string DefinitionUpdater::UpdateTextRequest(std::string_view localDateText) const {
    // The date goes unescaped except for its blanks, which no HTTP client sends raw; the
    // server decodes them.
    return "/asp/getDefsNEW.asp?prog=" + EscapeBlanks(identity_.productName) +
           "&comp=" + EscapeBlanks(identity_.companyName) + "&date=" + EscapeBlanks(localDateText);
}

UpdateResult DefinitionUpdater::CheckAndApplyUpdates() {
    observer_.downloadWindowShown();
    observer_.status(kConnecting);
    observer_.pump();

    // Two updates of one folder would both append the same entries.
    const std::string lockFile = definitions::DataFile(dataFolder_, kLockFile);
    if (!locks_.lock(lockFile, kLockWait)) {
        UpdateResult busy;
        busy.outcome = UpdateOutcome::Busy;
        busy.date = DefinitionsDate(fs_, dataFolder_).ReadDefinitionsDate();
        return busy;
    }
    UpdateResult result = checkLocked();
    locks_.unlock(lockFile);
    return result;
}

UpdateResult DefinitionUpdater::checkLocked() {
    DefinitionsDate stored(fs_, dataFolder_);
    UpdateResult result;
    DefinitionCommit commit(fs_, dataFolder_);
    if (!commit.Recover()) {
        // An earlier run's files could not be put back; applying on top would mix them.
        result.date = stored.ReadDefinitionsDate();
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    result.date = stored.ReadDefinitionsDate();
    // An unreadable stored date counts as the zero date, so the server sends everything.
    const DateText local = DateText::Parse(result.date).value_or(DateText());

    HttpReader reader(http_, [this] { observer_.pump(); });
    const HttpReader::StatusCallback status = [this](std::string_view t) { observer_.status(t); };
    reader.requireSignedAnswers(signedAnswers_ ? &*signedAnswers_ : nullptr);

    // A request that failed is not an answer: the outcome is Failed, never Current.
    FetchResult serverAnswer = reader.FetchUrlTextWithProgress(
        servers_.definitionUrl(ServerDateRequest()), status, kDateAnswerBytes);
    if (serverAnswer.unverified) {
        return unverified(result);
    }
    if (!serverAnswer.ok) {
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    const DateText serverDate = ParseServerDate(serverAnswer.text).value_or(local);
    if (!(serverDate > local)) {
        result.outcome = UpdateOutcome::Current;
        return result;
    }

    FetchResult updateText = reader.FetchUrlTextWithProgress(
        servers_.definitionUrl(UpdateTextRequest(local.ToText())), status);
    if (updateText.unverified) {
        return unverified(result);
    }
    if (!updateText.ok) {
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    UpdateTextApplier applier(fs_, dataFolder_, observer_);
    const ApplyResult applied = applier.ApplyUpdateText(updateText.text, commit);
    if (!applied.complete) {
        // Nothing was written: keep the old date so the next check fetches the same
        // changes again.
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    result.count = applied.count;
    result.skipped = applied.skipped;
    // An update of nothing but malformed records still moves the date on: fetching them
    // again would change nothing.
    if (result.count <= 0 && result.skipped == 0) {
        commit.Finish();
        result.outcome = UpdateOutcome::Current;
        return result;
    }

    FetchResult confirmed =
        reader.FetchUrlText(servers_.definitionUrl(kConfirmedDateRequest), kDateAnswerBytes);
    if (confirmed.unverified) {
        // A date nobody vouches for could stop every later update; the applied changes go
        // with it, so that the next check fetches them again.
        commit.Rollback();
        result.count = 0;
        result.skipped = 0;
        return unverified(result);
    }
    DateText newDate;  // an answer that does not convert stores the zero date/time
    if (confirmed.ok) {
        newDate = ParseServerDate(confirmed.text).value_or(DateText());
    } else {
        // No answer at all: the date the server announced a moment ago is the best record
        // of what was just applied; the zero date would make the next check fetch (and
        // append) the whole set again.
        newDate = serverDate;
    }
    const std::string newText = newDate.ToText();
    if (!stored.WriteDefinitionsDate(newText)) {
        // Files that are new while the date is old would have the next check append the
        // same entries again.
        commit.Rollback();
        result.count = 0;
        result.skipped = 0;
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    commit.Finish();
    observer_.definitionsDateCaption(newText + " PST");
    result.date = newText;
    result.outcome = result.count > 0 ? UpdateOutcome::Updated : UpdateOutcome::Current;
    return result;
}

}  // namespace nightjar::update
