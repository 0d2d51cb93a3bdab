#include "platform/win32/WinInetHttp.h"

#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <memory>
#include <string>

#include "util/SignedAnswer.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

struct InternetCloser {
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using InternetPtr = std::unique_ptr<void, InternetCloser>;

HttpResult failure(std::string reason) {
    HttpResult r;
    r.ok = false;
    r.error = std::move(reason);
    return r;
}

std::string withCode(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

/// The value of the signature header of the answer; empty when there is none or when it is
/// longer than any valid signature.
std::string signatureHeader(HINTERNET request) {
    std::wstring wide(Http::kMaxSignatureBytes + 1, L'\0');
    // HTTP_QUERY_CUSTOM takes the header name in the buffer and returns the value there.
    const std::wstring name = utf16::widen(signing::kSignatureHeader);
    wide.replace(0, name.size(), name);
    DWORD size = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_CUSTOM, wide.data(), &size, nullptr)) {
        return {};  // absent, or longer than any valid signature
    }
    wide.resize(std::min<std::size_t>(size / sizeof(wchar_t), Http::kMaxSignatureBytes));
    const std::string buffer = utf16::narrow(wide);
    const auto first = buffer.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return buffer.substr(first, buffer.find_last_not_of(" \t") - first + 1);
}

}  // namespace

HttpResult WinInetHttp::fetch(std::string_view url, const HttpProgress& progress,
                              std::size_t maxBytes) {
    InternetPtr session(InternetOpenW(L"Mozilla", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        return failure(withCode("cannot open an Internet session"));
    }
    DWORD timeout = timeoutMs_;
    for (DWORD option :
         {DWORD{INTERNET_OPTION_CONNECT_TIMEOUT}, DWORD{INTERNET_OPTION_RECEIVE_TIMEOUT},
          DWORD{INTERNET_OPTION_SEND_TIMEOUT}}) {
        InternetSetOptionW(session.get(), option, &timeout, sizeof timeout);
    }

    const std::wstring target = utf16::widen(url);
    InternetPtr request(InternetOpenUrlW(session.get(), target.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    if (!request) {
        return failure(withCode("cannot open the URL"));
    }

    // Only HTTP requests carry a status; other schemes read as they are.
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                       &statusSize, nullptr) &&
        status >= 400) {
        return failure("HTTP status " + std::to_string(status));
    }

    HttpResult result;
    char block[256];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request.get(), block, sizeof block, &got)) {
            return failure(withCode("reading the response failed"));
        }
        if (got == 0) {
            break;
        }
        if (got > maxBytes - result.body.size()) {
            return failure(std::string(kTooLong));
        }
        result.body.append(block, got);
        if (progress && !progress(result.body.size())) {
            return failure("cancelled");
        }
    }
    result.signature = signatureHeader(request.get());
    result.ok = true;
    return result;
}

}  // namespace nightjar::platform::win32
