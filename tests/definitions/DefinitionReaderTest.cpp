#include "definitions/DefinitionReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "definitions/LineCodec.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace nightjar::definitions {
namespace {

/// A file in memory that hands out at most `step` characters a read (at random below it
/// when `ragged`), as a pipe or a slow disk may.
class ChunkedInput : public platform::InputFile {
  public:
    ChunkedInput(std::string data, std::size_t step, bool ragged, unsigned seed)
        : data_(std::move(data)), step_(step), ragged_(ragged), rng_(seed) {}
    std::size_t read(char* buffer, std::size_t size) override {
        std::size_t n = std::min({size, step_, data_.size() - pos_});
        if (ragged_ && n > 1) {
            n = 1 + rng_() % n;
        }
        std::copy_n(data_.data() + pos_, n, buffer);
        pos_ += n;
        return n;
    }

  private:
    std::string data_;
    std::size_t pos_ = 0;
    std::size_t step_;
    bool ragged_;
    std::mt19937 rng_;
};

/// The lines LineReader gives for `data`.
std::vector<std::string> referenceLines(const std::string& data) {
    LineReader reader(std::make_unique<ChunkedInput>(data, data.size() + 1, false, 1));
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) {
        lines.push_back(line);
    }
    return lines;
}

/// Separators found by plain searches, as DefinitionReader::separators defines them.
DefinitionReader::Separators referenceSeparators(std::string_view plain) {
    const std::size_t n = plain.size();
    auto at = [&](std::size_t from, std::size_t to, char c) {
        if (from >= to) {
            return to;
        }
        std::size_t hit = plain.substr(0, to).find(c, from);
        return hit == std::string_view::npos ? to : hit;
    };
    DefinitionReader::Separators s{};
    s.bar1 = at(0, n, '|');
    s.bar2 = s.bar1 < n ? at(s.bar1 + 1, n, '|') : n;
    s.bar3 = s.bar2 < n ? at(s.bar2 + 1, n, '|') : n;
    s.equals1 = at(0, s.bar1, '=');
    s.equals2 = s.equals1 < s.bar1 ? at(s.equals1 + 1, s.bar1, '=') : s.bar1;
    return s;
}

/// Reads `data` with a DefinitionReader and checks every line against LineReader, the
/// codec and plain searches.
void expectSameLines(const std::string& data, std::size_t chunk, std::size_t step, bool ragged,
                     const std::string& what) {
    const std::vector<std::string> want = referenceLines(data);
    DefinitionReader reader(std::make_unique<ChunkedInput>(data, step, ragged, 7), chunk);
    ASSERT_TRUE(reader.isOpen());
    std::size_t i = 0;
    while (reader.next()) {
        ASSERT_LT(i, want.size()) << what;
        const std::string plain = UnscrambleLine(want[i]);
        ASSERT_EQ(reader.plain(), plain) << what << " line " << i;
        ASSERT_EQ(reader.lower(), text::toLower(plain)) << what << " line " << i;
        ASSERT_EQ(reader.size(), plain.size());
        const auto got = reader.separators();
        const auto ref = referenceSeparators(plain);
        ASSERT_EQ(got.bar1, ref.bar1) << what << " line " << i;
        ASSERT_EQ(got.bar2, ref.bar2) << what << " line " << i;
        ASSERT_EQ(got.bar3, ref.bar3) << what << " line " << i;
        ASSERT_EQ(got.equals1, ref.equals1) << what << " line " << i;
        ASSERT_EQ(got.equals2, ref.equals2) << what << " line " << i;
        ++i;
    }
    EXPECT_EQ(i, want.size()) << what;
    EXPECT_FALSE(reader.next()) << what;  // stays at the end
}

TEST(DefinitionReaderTest, MissingFileHasNoLines) {
    DefinitionReader reader(nullptr);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.next());
}

TEST(DefinitionReaderTest, LineEndsAsLineReaderSeesThem) {
    const std::vector<std::string> files = {
        "",
        "\n",
        "\r",
        "\r\n",
        "a",
        "a\r",
        "a\n\n",
        "a\r\r\nb",
        "a\rb\nc",
        "\n\r\n\r\r\n",
        ScrambleLine("x=y|[windir]a|TYPE") + "\r\n" + ScrambleLine("p|q|r|s") + "\r\n",
    };
    for (const auto& f : files) {
        for (std::size_t chunk : {1u, 3u, 64u, 65536u}) {
            expectSameLines(f, chunk, f.size() + 1, false, "file '" + f + "'");
        }
    }
}

// Random content of every byte value and line length, read in chunks of many sizes and
// with short reads: the lines, their unscrambled and lower-cased forms and the separators
// must be those of the plain reading.
TEST(DefinitionReaderTest, RandomFilesReadInAnyChunksMatchLineReader) {
    std::mt19937 rng(99);
    // Stored bytes that unscramble to the separators and to letters of both cases, plus
    // any byte at all.
    const std::string sep = ScrambleLine("|=[]\\ AZaz\xC0\xD7\xDE\xDF");
    for (int round = 0; round < 300; ++round) {
        std::string data;
        const int lines = static_cast<int>(rng() % 12);
        for (int l = 0; l < lines; ++l) {
            // Lengths around the 16-character steps and the 64-character words.
            const std::size_t len = rng() % 4 == 0 ? rng() % 300 : rng() % 80;
            for (std::size_t k = 0; k < len; ++k) {
                const auto r = rng() % 10;
                char c = r < 6 ? sep[rng() % sep.size()] : static_cast<char>(rng() % 256);
                if (c == '\n' && rng() % 2 == 0) {
                    c = 'x';
                }
                data.push_back(c);
            }
            data += rng() % 3 == 0 ? "\n" : "\r\n";
        }
        if (rng() % 2 == 0 && !data.empty()) {
            data.pop_back();  // no final line break (or a lone CR at the end)
        }
        const std::size_t chunk = 1 + rng() % 200;
        const std::size_t step = 1 + rng() % 300;
        expectSameLines(data, chunk, step, rng() % 2 == 0, "round " + std::to_string(round));
    }
}

TEST(DefinitionReaderTest, VeryLongLineSpanningManyChunks) {
    std::string line(100000, static_cast<char>('a' + 64));
    line[70000] = static_cast<char>('|' + 64);
    line[99999] = static_cast<char>('=' + 64);
    const std::string data = "short\r\n" + line + "\r\n" + line + "\n" + line;
    expectSameLines(data, 4096, 5000, true, "long lines");
    expectSameLines(data, DefinitionReader::kDefaultChunk, data.size(), false, "long lines");
}

// Around the words that separators() looks at without a search (64 and 128 characters).
TEST(DefinitionReaderTest, SeparatorsPastTheFirstWords) {
    for (std::size_t bar1 : {10u, 63u, 64u, 65u, 100u, 127u, 128u, 129u, 200u}) {
        for (std::size_t gap : {1u, 40u, 64u, 70u}) {
            std::string plain(400, 'n');
            plain[bar1] = '|';
            plain[bar1 + gap] = '|';
            plain[bar1 + 2 * gap] = '|';
            plain[bar1 / 2] = '=';
            plain[bar1 - 1] = '=';
            expectSameLines(ScrambleLine(plain) + "\r\n", 64, 1000, false,
                            "bar at " + std::to_string(bar1) + " gap " + std::to_string(gap));
        }
    }
}

TEST(LineReaderTest, ViewsGiveTheSameLinesAsCopies) {
    const std::string data = "one\r\ntwo\n\r\nthree\r";
    LineReader copies(std::make_unique<ChunkedInput>(data, 2, false, 1));
    LineReader views(std::make_unique<ChunkedInput>(data, 2, false, 1));
    std::string a;
    std::string_view b;
    int n = 0;
    while (copies.next(a)) {
        ASSERT_TRUE(views.next(b));
        EXPECT_EQ(a, b);
        ++n;
    }
    EXPECT_FALSE(views.next(b));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(views.lineNumber(), 4u);
}

}  // namespace
}  // namespace nightjar::definitions
