#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/Http.h"

namespace nightjar::update {

/// Result of one GET: the body, and whether the request succeeded at all. A failed request
/// (no network, unknown host, HTTP error, time-out) has ok == false and an empty text.
struct FetchResult {
    bool ok = false;
    std::string text;
    std::string error;  ///< short reason when !ok
    /// The answer came but its signature was missing or did not verify (ok is false).
    bool unverified = false;
};

class SignedAnswerCheck;

/// The plain HTTP reader used by updates, language downloads and submissions.
class HttpReader {
  public:
    using StatusCallback = std::function<void(std::string_view)>;
    using PumpCallback = std::function<void()>;

    /// `pump` is called after every block read (yield to the message loop); may be empty.
    explicit HttpReader(platform::Http& http, PumpCallback pump = {});

    /// From now on an answer that `check` does not accept is a failed request; null (the
    /// default) takes every answer as it comes.
    void requireSignedAnswers(const SignedAnswerCheck* check) { check_ = check; }

    /// Whole body of `url`; ok == false and an empty text on any failure, an answer of more
    /// than `maxBytes` included.
    FetchResult FetchUrlText(std::string_view url,
                             std::size_t maxBytes = platform::Http::kMaxAnswerBytes);
    /// The same; after every block `status` receives "Downloaded N bytes.".
    FetchResult FetchUrlTextWithProgress(std::string_view url, const StatusCallback& status,
                                         std::size_t maxBytes = platform::Http::kMaxAnswerBytes);

    /// "Downloaded " + bytes + " bytes.".
    static std::string ProgressText(std::size_t bytes);

  private:
    FetchResult fetch(std::string_view url, const StatusCallback* status, std::size_t maxBytes);

    platform::Http& http_;
    PumpCallback pump_;
    const SignedAnswerCheck* check_ = nullptr;
};

}  // namespace nightjar::update
