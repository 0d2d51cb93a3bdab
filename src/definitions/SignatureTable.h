#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
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

/// The file or the folder table: rows in table order. The texts of a row lie back to back
/// in blocks of text that never move, so that a table of 100,000 rows costs a few dozen
/// allocations rather than 400,000, and growing it copies no text.
class SignatureTable {
  public:
    SignatureTable() = default;
    /// A table holding copies of `entries`, in order.
    explicit SignatureTable(const std::vector<SignatureEntry>& entries);
    SignatureTable(SignatureTable&&) noexcept = default;
    SignatureTable& operator=(SignatureTable&&) noexcept = default;

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    SignatureEntry operator[](std::size_t i) const;
    SignatureEntry front() const { return (*this)[0]; }
    SignatureEntry back() const { return (*this)[size() - 1]; }
    /// Names the row storage: it changes when the table is refilled.
    const void* data() const { return rows_.empty() ? nullptr : &rows_.front(); }

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
    /// Room for `rows` rows, so that filling the table up to them moves no row.
    void reserve(std::size_t rows) { rows_.reserve(rows); }
    /// Drops every row and gives back the memory.
    void clear();

  private:
    /// Where a row's texts start, and their lengths: folder, name, type, threat name.
    struct Row {
        const char* text = nullptr;
        std::uint32_t folder = 0;
        std::uint32_t name = 0;
        std::uint32_t type = 0;
        std::uint32_t threatName = 0;
    };
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;
    /// Room for `n` characters that stays where it is until clear().
    char* room(std::size_t n);

    std::vector<Row> rows_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;  ///< the unused end of the last block
    std::size_t left_ = 0;
};

}  // namespace nightjar::definitions
