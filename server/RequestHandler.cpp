#include "RequestHandler.h"

#include <optional>
#include <vector>

#include "QueryString.h"
#include "ServerDate.h"
#include "definitions/LineCodec.h"
#include "util/PercentEncoding.h"
#include "util/Text.h"

namespace nightjar::server {

namespace {

constexpr std::string_view kAnsiText = "text/plain; charset=windows-1252";

Reply textReply(int status, std::string body) {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

std::string_view pathOf(std::string_view target) {
    const std::size_t q = target.find('?');
    return q == std::string_view::npos ? target : target.substr(0, q);
}

}  // namespace

RequestHandler::RequestHandler(DefinitionStore& store, std::chrono::seconds handoffWindow,
                               const AnswerSigner* signer, SubmissionLimits limits)
    : store_(store), signer_(signer), limits_(limits), handoff_(handoffWindow) {}

Reply RequestHandler::serverError() {
    return textReply(500, "");
}

std::shared_ptr<const DefinitionSnapshot> RequestHandler::snapshot() {
    std::optional<std::int64_t> generation;
    {
        std::lock_guard lock(storeMutex_);
        generation = store_.generation();
    }
    if (!generation) {
        return nullptr;
    }
    std::lock_guard lock(snapshotMutex_);
    if (snapshot_ && snapshot_->generation() == *generation) {
        return snapshot_;
    }
    std::vector<DefinitionRow> rows;
    std::int64_t loadedGeneration = 0;
    {
        std::lock_guard storeLock(storeMutex_);
        if (!store_.loadAll(rows, loadedGeneration)) {
            return nullptr;
        }
    }
    snapshot_ = std::make_shared<const DefinitionSnapshot>(std::move(rows), loadedGeneration);
    return snapshot_;
}

std::shared_ptr<const DefinitionSnapshot> RequestHandler::servedSnapshot() {
    // A change committed between loading and recording would be stamped no later than the
    // date handed out; then the snapshot is loaded again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::shared_ptr<const DefinitionSnapshot> snap = snapshot();
        if (!snap) {
            return nullptr;
        }
        // The handed-out date never goes down, so a date at or below one already known to
        // be recorded needs no write.
        if (snap->currentDate() <= knownServed_) {
            return snap;
        }
        std::optional<bool> marked;
        {
            std::lock_guard lock(storeMutex_);
            marked = store_.markServedIfUnchanged(snap->currentDate(), snap->generation());
        }
        if (!marked) {
            return nullptr;
        }
        if (*marked) {
            std::int64_t known = knownServed_;
            while (known < snap->currentDate() &&
                   !knownServed_.compare_exchange_weak(known, snap->currentDate())) {
            }
            return snap;
        }
    }
    return nullptr;
}

Reply RequestHandler::handle(std::string_view method, std::string_view target,
                             const std::string& remote) {
    bool signable = false;
    Reply r = answer(method, target, remote, signable);
    if (signable && signer_ != nullptr) {
        std::optional<std::string> signature = signer_->sign(target, r.content());
        if (!signature) {
            // An unsigned answer would be refused by the client anyway; say what happened.
            return serverError();
        }
        r.signature = std::move(*signature);
    }
    return r;
}

Reply RequestHandler::answer(std::string_view method, std::string_view target,
                             const std::string& remote, bool& signable) {
    if (method != "GET" && method != "HEAD") {
        return textReply(405, "Method not allowed");
    }
    const std::string path = url::percentDecode(pathOf(target));
    // Everything but the submissions is read by the program as its definitions or texts.
    signable = true;
    if (text::iequals(path, "/asp/currentDateNEW.asp")) {
        return currentDate();
    }
    if (text::iequals(path, "/asp/getDefsNEW.asp")) {
        return updateText(target, remote);
    }
    if (text::iequals(path, "/asp/date.asp")) {
        return confirmedDate(remote);
    }
    if (text::istartsWith(path, "/Languages/")) {
        return language(path);
    }
    if (text::istartsWith(path, "/definitions/")) {
        return layoutFile(path);
    }
    signable = false;
    if (text::iequals(path, "/asp/getData.asp")) {
        return getData(target, remote);
    }
    if (text::iequals(path, "/asp/submitFP.asp")) {
        return submitFalsePositive(target, remote);
    }
    return textReply(404, "Not found");
}

Reply RequestHandler::currentDate() {
    std::shared_ptr<const DefinitionSnapshot> snap = servedSnapshot();
    if (!snap) {
        return serverError();
    }
    return textReply(200, ServerDate::text(snap->currentDate()));
}

Reply RequestHandler::updateText(std::string_view target, const std::string& remote) {
    const QueryString query(target, {"prog", "comp", "date"});
    const std::optional<std::string> dateText = query.get("date");
    const std::optional<std::int64_t> since =
        dateText ? ServerDate::parse(*dateText) : std::nullopt;
    if (!since) {
        // Guessing a date could append the whole set twice; an error leaves the client as
        // it is.
        return textReply(400, "");
    }
    std::shared_ptr<const DefinitionSnapshot> snap = servedSnapshot();
    if (!snap) {
        return serverError();
    }
    handoff_.remember(remote, snap->currentDate(), DateHandoff::Clock::now());
    Reply r;
    r.shared = snap->updateText(*since);
    r.contentType = kAnsiText;
    return r;
}

Reply RequestHandler::confirmedDate(const std::string& remote) {
    // Every date answered here was handed out (and so recorded as served) with an update
    // text. Knowing none, the client default makes the client fetch again: duplicate work
    // rather than a change missed for good.
    const std::optional<std::int64_t> sent = handoff_.take(remote, DateHandoff::Clock::now());
    return textReply(200, ServerDate::text(sent.value_or(ServerDate::defaultClientDate())));
}

std::optional<Reply> RequestHandler::refuseSubmission(const std::string& remote, std::int64_t now) {
    const std::optional<std::int64_t> recent =
        store_.submissionsFrom(remote, now - limits_.window.count() + 1);
    const std::optional<std::int64_t> stored = store_.submissionCount();
    if (!recent || !stored) {
        return serverError();
    }
    if (*recent >= limits_.perAddress) {
        return textReply(429, "Too many submissions from this address; try again later");
    }
    if (*stored >= limits_.maxStored) {
        return textReply(503, "Submissions are closed for now");
    }
    return std::nullopt;
}

Reply RequestHandler::getData(std::string_view target, const std::string& remote) {
    const QueryString query(target, {"data"});
    const std::optional<std::string> data = query.get("data");
    if (!data) {
        return textReply(400, "Missing data");
    }
    if (data->size() > limits_.maxBytes) {
        return textReply(413, "Too large");
    }
    // One typed name arrives as its scrambled text followed by "|"; the anonymous list is
    // scrambled names joined by "|".
    std::vector<std::string> names;
    for (const std::string& piece : text::split(*data, "|")) {
        std::string name = text::trim(definitions::UnscrambleLine(piece));
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    if (names.empty()) {
        return textReply(400, "Empty");
    }
    std::shared_ptr<const DefinitionSnapshot> snap = snapshot();
    if (!snap) {
        return serverError();
    }
    bool anyNew = false;
    const std::int64_t now = ServerDate::now();
    std::lock_guard lock(storeMutex_);
    if (std::optional<Reply> refusal = refuseSubmission(remote, now)) {
        return std::move(*refusal);
    }
    std::string joined;
    for (const std::string& name : names) {
        const std::optional<bool> fresh = store_.recordName(name, now);
        if (!fresh) {
            return serverError();
        }
        if (*fresh && !snap->namesFile(text::toLower(name))) {
            anyNew = true;
        }
        joined += (joined.empty() ? "" : "|") + name;
    }
    if (!store_.recordData(joined, remote, now)) {
        return serverError();
    }
    return textReply(200, anyNew ? "Added" : "Skipped");
}

Reply RequestHandler::submitFalsePositive(std::string_view target, const std::string& remote) {
    const QueryString query(target, {"files", "details"});
    const std::optional<std::string> files = query.get("files");
    const std::optional<std::string> details = query.get("details");
    if (!files || !details) {
        return textReply(400, "Missing files or details");
    }
    if (files->size() + details->size() > limits_.maxBytes) {
        return textReply(413, "Too large");
    }
    const std::int64_t now = ServerDate::now();
    std::lock_guard lock(storeMutex_);
    if (std::optional<Reply> refusal = refuseSubmission(remote, now)) {
        return std::move(*refusal);
    }
    if (!store_.recordFalsePositive(*files, *details, remote, now)) {
        return serverError();
    }
    return textReply(200, "OK");
}

Reply RequestHandler::language(std::string_view path) {
    // "/Languages/" + package number + "/Localization.txt"
    const std::vector<std::string> parts = text::split(path.substr(11), "/");
    long long package = 0;
    if (parts.size() != 2 || !text::iequals(parts[1], "Localization.txt") || parts[0].empty() ||
        parts[0].find_first_not_of("0123456789") != std::string::npos ||
        !text::parseInt(parts[0], package)) {
        return textReply(404, "Not found");
    }
    std::optional<std::string> body;
    {
        std::lock_guard lock(storeMutex_);
        body = store_.language(package);
    }
    if (!body) {
        return textReply(404, "Not found");
    }
    Reply r = textReply(200, std::move(*body));
    r.contentType = "text/plain; charset=utf-8";
    return r;
}

Reply RequestHandler::layoutFile(std::string_view path) {
    std::shared_ptr<const DefinitionSnapshot> snap = snapshot();
    if (!snap) {
        return serverError();
    }
    std::shared_ptr<const std::string> content =
        snap->layoutFile(std::string(path.substr(std::string_view("/definitions/").size())));
    if (!content) {
        return textReply(404, "Not found");
    }
    Reply r;
    r.shared = std::move(content);
    r.contentType = kAnsiText;
    return r;
}

}  // namespace nightjar::server
