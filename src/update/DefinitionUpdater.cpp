#include "update/DefinitionUpdater.h"

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
    }
    return "failed";
}

DefinitionUpdater::DefinitionUpdater(platform::FileSystem& fs, platform::Http& http,
                                     std::string dataFolder, localization::ProductIdentity identity,
                                     const ServerConfig& servers, UpdateObserver& observer)
    : fs_(fs),
      http_(http),
      dataFolder_(std::move(dataFolder)),
      identity_(std::move(identity)),
      servers_(servers),
      observer_(observer) {}

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

    DefinitionsDate stored(fs_, dataFolder_);
    UpdateResult result;
    result.date = stored.ReadDefinitionsDate();
    // An unreadable stored date counts as the zero date, so the server sends everything.
    const DateText local = DateText::Parse(result.date).value_or(DateText());

    HttpReader reader(http_, [this] { observer_.pump(); });
    const HttpReader::StatusCallback status = [this](std::string_view t) { observer_.status(t); };

    // A request that failed is not an answer: the outcome is Failed, never Current.
    FetchResult serverAnswer =
        reader.FetchUrlTextWithProgress(servers_.definitionUrl(ServerDateRequest()), status);
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
    if (!updateText.ok) {
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    UpdateTextApplier applier(fs_, dataFolder_, observer_);
    const ApplyResult applied = applier.ApplyUpdateText(updateText.text);
    if (!applied.complete) {
        // Nothing (or not everything) was written: keep the old date so the next check
        // fetches the same changes again.
        result.outcome = UpdateOutcome::Failed;
        return result;
    }
    result.count = applied.count;
    if (result.count <= 0) {
        result.outcome = UpdateOutcome::Current;
        return result;
    }

    FetchResult confirmed = reader.FetchUrlText(servers_.definitionUrl(kConfirmedDateRequest));
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
    stored.WriteDefinitionsDate(newText);
    observer_.definitionsDateCaption(newText + " PST");
    result.date = newText;
    result.outcome = UpdateOutcome::Updated;
    return result;
}

}  // namespace nightjar::update
