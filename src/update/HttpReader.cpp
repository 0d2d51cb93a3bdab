#include "update/HttpReader.h"

#include "update/SignedAnswerCheck.h"

namespace nightjar::update {

HttpReader::HttpReader(platform::Http& http, PumpCallback pump)
    : http_(http), pump_(std::move(pump)) {}

std::string HttpReader::ProgressText(std::size_t bytes) {
    return "Downloaded " + std::to_string(bytes) + " bytes.";
}

FetchResult HttpReader::FetchUrlText(std::string_view url, std::size_t maxBytes) {
    return fetch(url, nullptr, maxBytes);
}

FetchResult HttpReader::FetchUrlTextWithProgress(std::string_view url, const StatusCallback& status,
                                                 std::size_t maxBytes) {
    return fetch(url, &status, maxBytes);
}

FetchResult HttpReader::fetch(std::string_view url, const StatusCallback* status,
                              std::size_t maxBytes) {
    platform::HttpProgress progress = [this, status](std::size_t received) {
        if (status != nullptr && *status) {
            (*status)(ProgressText(received));
        }
        if (pump_) {
            pump_();
        }
        return true;
    };
    platform::HttpResult r = http_.get(url, progress, maxBytes);
    FetchResult out;
    if (r.ok && check_ != nullptr && !check_->accepts(url, r.body, r.signature)) {
        out.unverified = true;
        out.error = "the answer's signature is missing or wrong";
        return out;
    }
    out.ok = r.ok;
    if (r.ok) {
        out.text = std::move(r.body);
    } else {
        // A failure never passes a partial body on: callers see an empty text.
        out.error = r.error.empty() ? std::string("request failed") : std::move(r.error);
    }
    return out;
}

}  // namespace nightjar::update
