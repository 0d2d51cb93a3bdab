#pragma once
#include <array>
#include <string>
#include <string_view>

#include "localization/ProductIdentity.h"

namespace nightjar::localization {

/// The MSG_ texts in the current language, with the white-label placeholders filled.
class MessageCatalog {
public:
    static constexpr std::size_t kCapacity = 201;

    explicit MessageCatalog(ProductIdentity identity);

    /// Stores the 70 English defaults in their fixed order.
    void LoadDefaultMessages();
    /// Stores a new entry in the first free slot; does nothing when all 201 are used.
    void setMessage(std::string_view key, std::string_view text);
    /// Text of the first entry whose key matches (case ignored), "[ProgramName]" and
    /// "[CompanyName]" filled, first letter upper case; "" for an unknown key.
    std::string getMessages(std::string_view key) const;

    /// Used entries, for translation in place.
    std::size_t size() const { return used_; }
    const std::string& keyAt(std::size_t i) const { return entries_[i].key; }
    void setTextAt(std::size_t i, std::string text) { entries_[i].text = std::move(text); }

    const ProductIdentity& identity() const { return identity_; }

private:
    struct Entry {
        std::string key;
        std::string text;
    };
    ProductIdentity identity_;
    std::array<Entry, kCapacity> entries_{};
    std::size_t used_ = 0;
};

}  // namespace nightjar::localization
