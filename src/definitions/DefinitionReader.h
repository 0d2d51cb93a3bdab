#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "definitions/ShortCopy.h"
#include "platform/FileSystem.h"

namespace nightjar::definitions {

/// Reads a stored definition file a line at a time and unscrambles it on the way: each
/// line as written and lower-cased, with the places of its "|" and "=" separators. Works
/// a chunk at a time (sixteen characters a step where the processor allows), so a line
/// costs no copy and no call of its own. Lines are those of LineReader: CR LF or bare LF
/// line ends, a last line without a line break, any byte 0..255, any length.
class DefinitionReader {
  public:
    static constexpr std::size_t kDefaultChunk = std::size_t{1} << 16;

    /// Reads `file` (null: a missing file, with no lines), `chunk` characters a read.
    explicit DefinitionReader(std::unique_ptr<platform::InputFile> file,
                              std::size_t chunk = kDefaultChunk);
    /// Opens `path` on `fs`.
    DefinitionReader(platform::FileSystem& fs, std::string_view path);

    bool isOpen() const { return file_ != nullptr; }
    /// Moves to the next line; false at the end of the file.
    bool next() {
        const std::size_t lf = findBreak();
        if (lf < scanned_) {
            start_ = pos_;
            length_ = lf - pos_;
            if (length_ > 0 && raw_[lf - 1] == '\r') {
                --length_;
            }
            pos_ = lf + 1;
            return true;
        }
        return nextAfterFill();
    }

    /// The current line unscrambled (UnscrambleLine); valid until the next call of next().
    /// The kCopySlack characters after it may be read as well (they are unspecified).
    std::string_view plain() const { return {plain_.get() + start_, length_}; }
    /// The same lower-cased (text::toLowerChar on every character), with the same slack.
    std::string_view lower() const { return {lower_.get() + start_, length_}; }
    std::size_t size() const { return length_; }

    /// Where the fields of the current line end: its first three "|" and the first two
    /// "=" before the first "|". An absent "|" is at size(); an absent "=" at the first
    /// "|" (or at size() when there is none).
    struct Separators {
        std::size_t bar1;
        std::size_t bar2;
        std::size_t bar3;
        std::size_t equals1;
        std::size_t equals2;
    };
    Separators separators() const {
        const std::size_t n = length_;
        // Most lines show every separator in the bits of their first 64 characters.
        std::uint64_t bars = lineBits(bars_.get());
        std::uint64_t equals = lineBits(equals_.get());
        const std::size_t seen = n < kWordBits ? n : kWordBits;
        auto pop = [](std::uint64_t& bits, std::size_t absent) {
            if (bits == 0) {
                return absent;
            }
            const auto at = static_cast<std::size_t>(std::countr_zero(bits));
            bits &= bits - 1;
            return at;
        };
        Separators s{};
        s.bar1 = pop(bars, seen);
        s.bar2 = pop(bars, seen);
        s.bar3 = pop(bars, seen);
        if (s.bar1 < kWordBits) {
            equals &= (std::uint64_t{1} << s.bar1) - 1;
        }
        s.equals1 = pop(equals, s.bar1);
        s.equals2 = pop(equals, s.bar1);
        if (s.bar3 < seen || n <= kWordBits) {
            return s;
        }
        return separatorsFrom(s);
    }

  private:
    static constexpr std::size_t kWordBits = 64;

    /// Reads another chunk (making room first).
    void fill();
    /// next() once the scanned characters hold no further line break.
    bool nextAfterFill();
    /// separators() of a line longer than 64 characters, given what its first 64 show.
    Separators separatorsFrom(Separators s) const;
    /// Unscrambles and marks [scanned_, to), `to` a multiple of 16 or the end of the data.
    void scan(std::size_t to);
    void scanScalar(std::size_t from, std::size_t to);
    void grow(std::size_t capacity);
    /// First set bit of `bits` in [from, to) (absolute positions), or `to`.
    static std::size_t find(const std::uint64_t* bits, std::size_t from, std::size_t to) {
        if (from >= to) {
            return to;
        }
        std::size_t word = from / kWordBits;
        std::uint64_t w = bits[word] & (~std::uint64_t{0} << (from % kWordBits));
        const std::size_t lastWord = (to - 1) / kWordBits;
        for (;;) {
            if (w != 0) {
                const std::size_t at =
                    word * kWordBits + static_cast<std::size_t>(std::countr_zero(w));
                return at < to ? at : to;
            }
            if (word == lastWord) {
                return to;
            }
            w = bits[++word];
        }
    }
    /// The next line break at or after pos_ before scanned_, or scanned_ when there is
    /// none. Most lines end in the word they start in or the next one: those two words are
    /// looked at without a branch on which it is.
    std::size_t findBreak() const {
        if (pos_ >= scanned_) {
            return scanned_;
        }
        const std::size_t word = pos_ / kWordBits;
        const std::uint64_t first = breaks_[word] & (~std::uint64_t{0} << (pos_ % kWordBits));
        const std::uint64_t second = breaks_[word + 1];
        const auto inFirst = static_cast<std::size_t>(std::countr_zero(first));
        const auto inSecond = static_cast<std::size_t>(std::countr_zero(second));
        const std::size_t at = word * kWordBits + (first != 0 ? inFirst : kWordBits + inSecond);
        if (at < 2 * kWordBits + word * kWordBits) {
            return at < scanned_ ? at : scanned_;
        }
        return find(breaks_.get(), (word + 2) * kWordBits, scanned_);
    }
    /// The bits of the current line's first 64 characters, bit 0 for its start.
    std::uint64_t lineBits(const std::uint64_t* bits) const {
        const std::size_t word = start_ / kWordBits;
        const unsigned shift = start_ % kWordBits;
        // Without branches on the line's place and length (they vary at random): the bits
        // of the next word always come in (shifted out entirely when shift is 0), and
        // whatever lies past the line is masked off.
        const std::uint64_t v =
            (bits[word] >> shift) | ((bits[word + 1] << 1) << (kWordBits - 1 - shift));
        const std::uint64_t mask = ((std::uint64_t{1} << (length_ % kWordBits)) - 1) |
                                   (std::uint64_t{0} - (length_ >= kWordBits ? 1u : 0u));
        return v & mask;
    }

    std::unique_ptr<platform::InputFile> file_;
    std::size_t chunk_;
    std::size_t capacity_ = 0;  ///< characters the buffers hold, a multiple of 64
    std::unique_ptr<char[]> raw_;
    std::unique_ptr<char[]> plain_;
    std::unique_ptr<char[]> lower_;
    // One bit per character, 64 characters a word: line breaks, "|" and "=".
    std::unique_ptr<std::uint64_t[]> breaks_;
    std::unique_ptr<std::uint64_t[]> bars_;
    std::unique_ptr<std::uint64_t[]> equals_;
    std::size_t size_ = 0;     ///< characters read into the buffer
    std::size_t scanned_ = 0;  ///< characters unscrambled and marked
    std::size_t pos_ = 0;      ///< start of the next line
    std::size_t start_ = 0;    ///< the current line
    std::size_t length_ = 0;
    bool eof_ = false;
};

}  // namespace nightjar::definitions
