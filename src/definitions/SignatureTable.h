#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::definitions {

/// One row of the file or folder table. The texts view storage of the table it came from
/// (valid while that table is neither changed nor destroyed).
struct SignatureEntry {
    std::string_view
        folder;             ///< lower case; files: ends in "\" (or empty); folders: no trailing "\"
    std::string_view name;  ///< lower case, trimmed
    std::string_view type;  ///< threat type ("TYPE" in the file table reads as "Spyware")
    std::string_view threatName;  ///< as written
};

/// The file or the folder table: rows in table order. The texts of all rows live in one
/// string, so that a table of 100,000 rows costs a few allocations rather than 400,000.
class SignatureTable {
  public:
    SignatureTable() = default;
    /// A table holding copies of `entries`, in order.
    explicit SignatureTable(const std::vector<SignatureEntry>& entries);

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
    /// Room for `rows` rows of `textPerRow` characters on average.
    void reserve(std::size_t rows, std::size_t textPerRow) {
        rows_.reserve(rows);
        text_.reserve(rows * textPerRow);
    }

  private:
    struct Span {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    struct Row {
        Span folder;
        Span name;
        Span type;
        Span threatName;
    };
    std::string_view view(Span s) const { return std::string_view(text_).substr(s.offset, s.size); }
    /// Keeps `s` at the end of the text; a folder or type equal to the previous row's is
    /// kept once.
    Span keep(std::string_view s);
    Span keepShared(std::string_view s, Span previous);

    std::string text_;
    std::vector<Row> rows_;
};

}  // namespace nightjar::definitions
