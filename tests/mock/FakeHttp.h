#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Http.h"

namespace nightjar::mock {

/// Answers URLs from a table (exact match); unknown URLs fail like an unreachable host.
/// Records every requested URL.
class FakeHttp : public platform::Http {
  public:
    /// `signature`: the value of the signature header, empty for none.
    void respond(std::string url, std::string body, std::string signature = {}) {
        table_[std::move(url)] = {true, std::move(body), {}, std::move(signature)};
    }
    void fail(std::string url, std::string reason = "HTTP 500") {
        table_[std::move(url)] = {false, {}, std::move(reason), {}};
    }
    /// Answers every URL through a function (takes precedence over the table).
    void handler(std::function<platform::HttpResult(const std::string&)> fn) {
        handler_ = std::move(fn);
    }
    /// Size of the blocks reported to the progress callback.
    void setBlockSize(std::size_t n) { block_ = n; }
    const std::vector<std::string>& requests() const { return requests_; }

  protected:
    /// A body longer than `maxBytes` fails as the real readers do.
    platform::HttpResult fetch(std::string_view url, const platform::HttpProgress& progress,
                               std::size_t maxBytes) override;

  private:
    std::map<std::string, platform::HttpResult> table_;
    std::function<platform::HttpResult(const std::string&)> handler_;
    std::vector<std::string> requests_;
    std::size_t block_ = 256;
};

}  // namespace nightjar::mock
