#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "definitions/TextArena.h"

namespace nightjar::definitions {

/// One row of the file or folder table. The texts view storage of the table it came from
/// (valid while that table is neither cleared nor destroyed).
struct SignatureEntry {
    std::string_view
        folder;             ///< lower case; files: ends in "\" (or empty); folders: no trailing "\"
    std::string_view name;  ///< lower case, trimmed
    std::string_view type;  ///< threat type ("TYPE" in the file table reads as "Spyware")
    std::string_view threatName;  ///< as written
};

/// The file or the folder table: rows in table order, each a few references into one
/// text arena, so that a table of 100,000 rows costs no allocation per row and little
/// memory. A folder or type text may be kept once and shared by many rows.
class SignatureTable {
  public:
    using Ref = TextArena::Ref;
    /// The reference of an empty text.
    static constexpr Ref kEmpty = TextArena::kNoRef;

    SignatureTable() = default;
    /// A table holding copies of `entries`, in order.
    explicit SignatureTable(const std::vector<SignatureEntry>& entries);
    SignatureTable(SignatureTable&&) noexcept = default;
    SignatureTable& operator=(SignatureTable&&) noexcept = default;
    SignatureTable(const SignatureTable&) = delete;
    SignatureTable& operator=(const SignatureTable&) = delete;

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    SignatureEntry operator[](std::size_t i) const;
    SignatureEntry front() const { return (*this)[0]; }
    SignatureEntry back() const { return (*this)[size() - 1]; }
    /// Names the row storage: it changes when the table is refilled.
    const void* data() const { return rows_.data(); }

    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = SignatureEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = SignatureEntry;
        const_iterator() = default;
        const_iterator(const SignatureTable* table, std::size_t index)
            : table_(table), index_(index) {}
        SignatureEntry operator*() const { return (*table_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++index_;
            return old;
        }
        bool operator==(const const_iterator& o) const { return index_ == o.index_; }

      private:
        const SignatureTable* table_ = nullptr;
        std::size_t index_ = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    /// Appends a row with copies of the entry's texts. False when the table can hold no
    /// more text (it is then unchanged).
    bool push_back(const SignatureEntry& entry);
    /// Drops every row and gives back the memory.
    void clear();
    void reserve(std::size_t rows) { rows_.reserve(rows); }

    /// For loaders that share texts between rows: keeps a copy of `text` and sets `ref`
    /// to it (kEmpty for an empty text). False when the table can hold no more text.
    bool keep(std::string_view text, Ref& ref) {
        if (text.empty()) {
            ref = kEmpty;
            return true;
        }
        // Lengths beyond 32 bits would not survive the prefix.
        if (text.size() > 0xFFFFFFFFu) {
            return false;
        }
        char* p = nullptr;
        const Ref r = arena_.allocate(lengthSize(text.size()) + text.size(), p);
        if (r == TextArena::kNoRef) {
            return false;
        }
        std::memcpy(putLength(p, text.size()), text.data(), text.size());
        ref = r;
        return true;
    }
    /// keep() for a text followed by kCopySlack readable characters (copied a fixed
    /// number at a time; see copyShort).
    bool keepPadded(std::string_view text, Ref& ref) {
        if (text.empty()) {
            ref = kEmpty;
            return true;
        }
        if (text.size() > 0xFFFFFFFFu) {
            return false;
        }
        char* p = nullptr;
        const Ref r = arena_.allocate(lengthSize(text.size()) + text.size(), p);
        if (r == TextArena::kNoRef) {
            return false;
        }
        copyShort(putLength(p, text.size()), text.data(), text.size());
        ref = r;
        return true;
    }
    /// Room for a kept text of `length` (> 0) characters, for loaders that build the text
    /// in place: sets `ref` and returns where the text goes, with kCopySlack more
    /// characters free to overwrite until the next keep or row. Null when the table can
    /// hold no more text.
    char* keepRoom(std::size_t length, Ref& ref) {
        if (length > 0xFFFFFFFFu) {
            return nullptr;
        }
        char* p = nullptr;
        const Ref r = arena_.allocate(lengthSize(length) + length, p);
        if (r == TextArena::kNoRef) {
            return nullptr;
        }
        ref = r;
        return putLength(p, length);
    }
    /// The text kept at `ref`.
    std::string_view text(Ref ref) const;
    /// Appends a row with a kept folder and type; returns where the caller writes the name
    /// followed by the threat name (nameLength + threatLength characters, and up to
    /// kCopySlack more as copyShort does), or null when the table can hold no more text
    /// (it is then unchanged).
    char* appendRow(Ref folder, Ref type, std::size_t nameLength, std::size_t threatLength) {
        if (nameLength > 0xFFFFFFFFu || threatLength > 0xFFFFFFFFu) {
            return nullptr;
        }
        char* p = nullptr;
        const Ref r = arena_.allocate(
            lengthSize(nameLength) + lengthSize(threatLength) + nameLength + threatLength, p);
        if (r == TextArena::kNoRef) {
            return nullptr;
        }
        rows_.push_back(Row{r, folder, type});
        return putLength(putLength(p, nameLength), threatLength);
    }

  private:
    struct Row {
        Ref text;  ///< lengths of name and threat name, then both
        Ref folder;
        Ref type;
    };
    /// Writes a length prefix at `p` (2 bytes, or 6 for a length of 65,535 and more).
    static char* putLength(char* p, std::size_t length) {
        if (length < 0xFFFF) {
            const auto v = static_cast<std::uint16_t>(length);
            std::memcpy(p, &v, 2);
            return p + 2;
        }
        const std::uint16_t mark = 0xFFFF;
        const auto v = static_cast<std::uint32_t>(length);
        std::memcpy(p, &mark, 2);
        std::memcpy(p + 2, &v, 4);
        return p + 6;
    }
    static const char* getLength(const char* p, std::size_t& length);
    static std::size_t lengthSize(std::size_t length) { return length < 0xFFFF ? 2 : 6; }

    TextArena arena_;
    std::vector<Row> rows_;
};

}  // namespace nightjar::definitions
