#pragma once
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "localization/ProductIdentity.h"

namespace nightjar::localization {

/// One English default: a MSG_ key and its text.
struct DefaultMessage {
    std::string_view key;
    std::string_view text;
};

/// The 70 English defaults, in the order in which they are stored.
std::span<const DefaultMessage> DefaultMessages();
/// English texts for the keys that the program uses without a classic default
/// ("MSG_TITLELANGUAGE", "MSG_DOWNLOADED"). They are stored right after the 70 defaults, so
/// that a translation can replace them like any other entry and the English program never
/// shows an empty caption.
std::span<const DefaultMessage> SupplementaryMessages();

/// The MSG_ texts in the current language, with the white-label placeholders filled.
class MessageCatalog {
  public:
    static constexpr std::size_t kCapacity = 201;

    explicit MessageCatalog(ProductIdentity identity);

    /// Stores the 70 English defaults in their fixed order, then the supplementary texts.
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
