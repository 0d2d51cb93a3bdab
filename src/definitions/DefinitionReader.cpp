#include "definitions/DefinitionReader.h"

#include <algorithm>
#include <cstring>

#include "definitions/LineCodec.h"
#include "util/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nightjar::definitions {

namespace {

constexpr std::size_t kBlock = 16;

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

#if defined(__SSE2__)

struct BlockBits {
    std::uint32_t breaks;
    std::uint32_t bars;
    std::uint32_t equals;
};

/// Sixteen characters: unscramble (x - 64, one less where x < 64), fold the letters of
/// text::toLowerChar (A-Z and the Latin-1 capitals but the multiplication sign), and note
/// where LF (stored as is), "|" and "=" are.
inline BlockBits scanBlock(const char* src, char* plain, char* lower) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i below64 = _mm_cmpeq_epi8(_mm_and_si128(x, _mm_set1_epi8(static_cast<char>(0xC0))),
                                           _mm_setzero_si128());
    const __m128i u = _mm_add_epi8(_mm_sub_epi8(x, _mm_set1_epi8(64)), below64);
    // d <= span as unsigned: min(d, span) == d.
    const __m128i a = _mm_sub_epi8(u, _mm_set1_epi8('A'));
    const __m128i l = _mm_sub_epi8(u, _mm_set1_epi8(static_cast<char>(0xC0)));
    const __m128i ascii = _mm_cmpeq_epi8(_mm_min_epu8(a, _mm_set1_epi8('Z' - 'A')), a);
    const __m128i latin =
        _mm_andnot_si128(_mm_cmpeq_epi8(u, _mm_set1_epi8(static_cast<char>(0xD7))),
                         _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(0xDE - 0xC0)), l));
    const __m128i low =
        _mm_add_epi8(u, _mm_and_si128(_mm_or_si128(ascii, latin), _mm_set1_epi8(0x20)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(plain), u);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lower), low);
    auto bits = [](__m128i m) { return static_cast<std::uint32_t>(_mm_movemask_epi8(m)); };
    return {bits(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))),
            bits(_mm_cmpeq_epi8(u, _mm_set1_epi8('|'))),
            bits(_mm_cmpeq_epi8(u, _mm_set1_epi8('=')))};
}

#endif

}  // namespace

DefinitionReader::DefinitionReader(std::unique_ptr<platform::InputFile> file, std::size_t chunk)
    : file_(std::move(file)), chunk_(roundUp(chunk == 0 ? 1 : chunk, kWordBits)) {}

DefinitionReader::DefinitionReader(platform::FileSystem& fs, std::string_view path)
    : DefinitionReader(fs.openRead(path)) {}

void DefinitionReader::grow(std::size_t capacity) {
    // Slack past the end, so that a line's texts can be read in whole words (see
    // copyShort); it holds zeros until data lands there.
    auto bytes = [&](const std::unique_ptr<char[]>& old) {
        auto b = std::make_unique_for_overwrite<char[]>(capacity + kCopySlack);
        std::memset(b.get() + capacity, 0, kCopySlack);
        if (old) {
            std::memcpy(b.get(), old.get(), size_);
        }
        return b;
    };
    // One word more than the characters need: lineBits reads the word after a line's
    // first one whether or not the line reaches it.
    auto words = [&](const std::unique_ptr<std::uint64_t[]>& old) {
        auto w = std::make_unique<std::uint64_t[]>(capacity / kWordBits + 1);
        if (old) {
            std::memcpy(w.get(), old.get(), capacity_ / kWordBits * sizeof(std::uint64_t));
        }
        return w;
    };
    raw_ = bytes(raw_);
    plain_ = bytes(plain_);
    lower_ = bytes(lower_);
    breaks_ = words(breaks_);
    bars_ = words(bars_);
    equals_ = words(equals_);
    capacity_ = capacity;
}

void DefinitionReader::scanScalar(std::size_t from, std::size_t to) {
    UnscrambleInto(plain_.get() + from, std::string_view(raw_.get() + from, to - from));
    for (std::size_t i = from; i < to; ++i) {
        const std::size_t w = i / kWordBits;
        const std::uint64_t bit = std::uint64_t{1} << (i % kWordBits);
        if (i % kWordBits == 0) {
            breaks_[w] = bars_[w] = equals_[w] = 0;
        }
        const char c = plain_[i];
        lower_[i] = text::toLowerChar(c);
        if (raw_[i] == '\n') {
            breaks_[w] |= bit;
        }
        if (c == '|') {
            bars_[w] |= bit;
        }
        if (c == '=') {
            equals_[w] |= bit;
        }
    }
}

void DefinitionReader::scan(std::size_t to) {
    std::size_t i = scanned_;
#if defined(__SSE2__)
    const char* const raw = raw_.get();
    char* const plain = plain_.get();
    char* const lower = lower_.get();
    std::uint64_t* const breaks = breaks_.get();
    std::uint64_t* const bars = bars_.get();
    std::uint64_t* const equals = equals_.get();
    // A word that an earlier scan began: finish it block by block.
    while (i % kWordBits != 0 && i + kBlock <= to) {
        const std::size_t w = i / kWordBits;
        const unsigned shift = i % kWordBits;
        const BlockBits b = scanBlock(raw + i, plain + i, lower + i);
        breaks[w] |= std::uint64_t{b.breaks} << shift;
        bars[w] |= std::uint64_t{b.bars} << shift;
        equals[w] |= std::uint64_t{b.equals} << shift;
        i += kBlock;
    }
    // Whole words: four blocks each, their bits gathered before one store.
    for (; i + kWordBits <= to; i += kWordBits) {
        const BlockBits b0 = scanBlock(raw + i, plain + i, lower + i);
        const BlockBits b1 = scanBlock(raw + i + 16, plain + i + 16, lower + i + 16);
        const BlockBits b2 = scanBlock(raw + i + 32, plain + i + 32, lower + i + 32);
        const BlockBits b3 = scanBlock(raw + i + 48, plain + i + 48, lower + i + 48);
        auto join = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
            return std::uint64_t{a} | (std::uint64_t{b} << 16) | (std::uint64_t{c} << 32) |
                   (std::uint64_t{d} << 48);
        };
        const std::size_t w = i / kWordBits;
        breaks[w] = join(b0.breaks, b1.breaks, b2.breaks, b3.breaks);
        bars[w] = join(b0.bars, b1.bars, b2.bars, b3.bars);
        equals[w] = join(b0.equals, b1.equals, b2.equals, b3.equals);
    }
    // Whole blocks of a last, partial word.
    for (; i + kBlock <= to; i += kBlock) {
        const std::size_t w = i / kWordBits;
        const unsigned shift = i % kWordBits;
        if (shift == 0) {
            breaks[w] = bars[w] = equals[w] = 0;
        }
        const BlockBits b = scanBlock(raw + i, plain + i, lower + i);
        breaks[w] |= std::uint64_t{b.breaks} << shift;
        bars[w] |= std::uint64_t{b.bars} << shift;
        equals[w] |= std::uint64_t{b.equals} << shift;
    }
#endif
    if (i < to) {
        scanScalar(i, to);  // the last few characters of the file
    }
    scanned_ = to;
}

void DefinitionReader::fill() {
    // Room: the unfinished line moves to the front, by whole words so that its bits stay
    // where they are within a word.
    const std::size_t shift = pos_ / kWordBits * kWordBits;
    if (shift > 0) {
        std::memmove(raw_.get(), raw_.get() + shift, size_ - shift);
        std::memmove(plain_.get(), plain_.get() + shift, scanned_ - shift);
        std::memmove(lower_.get(), lower_.get() + shift, scanned_ - shift);
        const std::size_t words = roundUp(scanned_, kWordBits) / kWordBits - shift / kWordBits;
        for (auto* bits : {breaks_.get(), bars_.get(), equals_.get()}) {
            std::memmove(bits, bits + shift / kWordBits, words * sizeof(std::uint64_t));
        }
        size_ -= shift;
        scanned_ -= shift;
        pos_ -= shift;
    }
    if (capacity_ - size_ < chunk_) {
        grow(std::max(capacity_ * 2, roundUp(size_ + chunk_, kWordBits)));
    }
    const std::size_t n = file_->read(raw_.get() + size_, chunk_);
    if (n == 0) {
        eof_ = true;
        scan(size_);
        return;
    }
    size_ += n;
    // Whole blocks now; a partial one waits for the next read or the end of the file.
    scan(size_ / kBlock * kBlock);
}

bool DefinitionReader::nextAfterFill() {
    if (!file_) {
        return false;
    }
    for (;;) {
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
        if (eof_) {
            // Whatever is left is the last line (no final line break).
            if (pos_ >= size_) {
                return false;
            }
            start_ = pos_;
            length_ = size_ - pos_;
            if (raw_[size_ - 1] == '\r') {
                --length_;
            }
            pos_ = size_;
            return true;
        }
        fill();
    }
}

DefinitionReader::Separators DefinitionReader::separatorsFrom(Separators s) const {
    // The first 64 characters lack some "|": look further with the bits of the rest.
    const std::size_t n = length_;
    auto bar = [&](std::size_t from) {
        return find(bars_.get(), start_ + from, start_ + n) - start_;
    };
    auto eq = [&](std::size_t from, std::size_t to) {
        return find(equals_.get(), start_ + from, start_ + to) - start_;
    };
    if (s.bar1 >= kWordBits) {
        s.bar1 = bar(kWordBits);
        s.bar2 = s.bar1 < n ? bar(s.bar1 + 1) : n;
        s.bar3 = s.bar2 < n ? bar(s.bar2 + 1) : n;
        s.equals1 = eq(0, s.bar1);
        s.equals2 = s.equals1 < s.bar1 ? eq(s.equals1 + 1, s.bar1) : s.bar1;
    } else if (s.bar2 >= kWordBits) {
        s.bar2 = bar(kWordBits);
        s.bar3 = s.bar2 < n ? bar(s.bar2 + 1) : n;
    } else {
        s.bar3 = bar(kWordBits);
    }
    return s;
}

}  // namespace nightjar::definitions
