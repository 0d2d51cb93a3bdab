#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::server {

/// The values of a request's query, taken from the raw request target.
///
/// Clients send values raw: 8-bit bytes as they are, "&" and "=" unescaped inside values,
/// only blanks as "%20". Others percent-encode everything. Both are read alike: when the
/// raw query holds the expected keys in the expected order ("prog=", then "&comp=", then
/// "&date="), each value runs up to the next expected key, so an "&" inside a value stays;
/// otherwise the query is split at every "&". Values are then percent-decoded
/// (url::percentDecode): "+" stays "+", as a scrambled name can hold one.
class QueryString {
  public:
    /// `target` is the request target ("/path?query"); `orderedKeys` the keys this request
    /// is expected to carry, in order.
    QueryString(std::string_view target, const std::vector<std::string>& orderedKeys);

    /// The decoded value of `key`, nullopt when absent.
    std::optional<std::string> get(const std::string& key) const;
    /// The raw query (after "?"), undecoded.
    const std::string& raw() const { return raw_; }

  private:
    bool parseOrdered(const std::vector<std::string>& keys);
    void parseGeneric();

    std::string raw_;
    std::map<std::string, std::string> values_;
};

}  // namespace nightjar::server
