#include "platform/posix/CurlHttp.h"

#include <curl/curl.h>

#include <mutex>
#include <string>

#include "util/SignedAnswer.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

constexpr long kBlockSize = 16 * 1024;
constexpr long kMaxRedirects = 5;

struct Transfer {
    std::string body;
    std::string signature;
    const HttpProgress* progress = nullptr;
    std::size_t maxBytes = 0;
    bool cancelled = false;
    bool tooLong = false;
};

std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    // Checked before appending, so a hostile answer never grows the body past the limit.
    if (n > t->maxBytes - t->body.size()) {
        t->tooLong = true;
        return 0;
    }
    t->body.append(data, n);
    if (t->progress != nullptr && *t->progress && !(*t->progress)(t->body.size())) {
        t->cancelled = true;
        return 0;  // anything but n ends the transfer
    }
    return n;
}

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

/// One header line of any response of the transfer (redirects included).
std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    const std::string_view line(data, n);
    // Each response of a redirect chain starts with its status line; only the headers of
    // the last one belong to the body that is returned.
    if (line.starts_with("HTTP/")) {
        t->signature.clear();
        return n;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos &&
        text::iequals(line.substr(0, colon), signing::kSignatureHeader)) {
        t->signature = std::string(trimBlanks(line.substr(colon + 1)));
        if (t->signature.size() > Http::kMaxSignatureBytes) {
            t->signature.resize(Http::kMaxSignatureBytes);
        }
    }
    return n;
}

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResult failure(std::string reason) {
    HttpResult r;
    r.ok = false;
    r.error = std::move(reason);
    return r;
}

}  // namespace

CurlHttp::CurlHttp(std::chrono::seconds stallTimeout, std::chrono::seconds connectTimeout)
    : stallTimeout_(stallTimeout), connectTimeout_(connectTimeout) {
    initOnce();
}

HttpResult CurlHttp::fetch(std::string_view url, const HttpProgress& progress,
                           std::size_t maxBytes) {
    // A URL is never sent with raw blanks or control characters.
    for (char c : url) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
            return failure("malformed URL");
        }
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return failure("cannot start a transfer");
    }
    Transfer transfer;
    transfer.progress = &progress;
    transfer.maxBytes = maxBytes;
    const std::string target(url);

    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");

    curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kBlockSize);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout_.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallTimeout_.count()));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    // An announced length above the limit fails before any of the body is read.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));

    CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    if (transfer.tooLong || rc == CURLE_FILESIZE_EXCEEDED) {
        return failure(std::string(kTooLong));
    }
    if (transfer.cancelled) {
        return failure("cancelled");
    }
    if (rc != CURLE_OK) {
        return failure(curl_easy_strerror(rc));
    }
    if (status < 200 || status > 299) {
        return failure("HTTP status " + std::to_string(status));
    }
    HttpResult result;
    result.ok = true;
    result.body = std::move(transfer.body);
    result.signature = std::move(transfer.signature);
    return result;
}

}  // namespace nightjar::platform::posix
