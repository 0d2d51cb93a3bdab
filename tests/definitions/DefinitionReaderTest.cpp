#include "definitions/DefinitionReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "definitions/LineCodec.h"
#include "mock/FakeFileSystem.h"
#include "util/LineReader.h"
#include "util/Text.h"
#include "util/Windows1252.h"

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

/// The lines of a stored file the plain way: the text split at every CR LF (a final CR LF
/// ends the last line rather than starting another), each unscrambled and made UTF-8.
std::vector<std::string> referenceLines(const std::string& data) {
    std::vector<std::string> lines = text::split(data, "\r\n");
    if (data.empty() || text::iendsWith(data, "\r\n")) {
        lines.pop_back();
    }
    for (auto& line : lines) {
        line = text::windows1252ToUtf8(UnscrambleLine(line));
    }
    return lines;
}

std::vector<std::string> readAll(const std::string& data, std::size_t step, bool ragged) {
    DefinitionReader reader(std::make_unique<ChunkedInput>(data, step, ragged, 7));
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) {
        lines.push_back(line);
    }
    EXPECT_FALSE(reader.next(line));  // stays at the end
    return lines;
}

TEST(DefinitionReaderTest, MissingFileHasNoLines) {
    DefinitionReader reader(nullptr);
    std::string line;
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.next(line));
}

// É and Ì are stored as LF and CR: only CR LF ends a line, and the line comes out in UTF-8.
TEST(DefinitionReaderTest, StoredLineBreakBytesStayInTheLine) {
    const std::string data = ScrambleLine("\xC9t\xE9.exe=A|\xCC") + "\r\n" + ScrambleLine("b=B");
    ASSERT_NE(data.find('\n'), data.rfind('\n'));
    EXPECT_EQ(readAll(data, data.size(), false),
              (std::vector<std::string>{"\xC3\x89t\xC3\xA9.exe=A|\xC3\x8C", "b=B"}));
}

// Random content of every byte value and line length, read with short reads of many
// sizes: the lines and their count must be those of the plain reading.
TEST(DefinitionReaderTest, RandomFilesReadInAnyChunksMatchThePlainReading) {
    std::mt19937 rng(99);
    const std::string breaks[] = {"\r\n", "\n", "\r", "\r\r\n"};
    for (int round = 0; round < 300; ++round) {
        std::string data;
        const int lines = static_cast<int>(rng() % 12);
        for (int l = 0; l < lines; ++l) {
            const std::size_t len = rng() % 4 == 0 ? rng() % 300 : rng() % 20;
            for (std::size_t k = 0; k < len; ++k) {
                data.push_back(static_cast<char>(rng() % 256));
            }
            data += breaks[rng() % 4];
        }
        if (rng() % 2 == 0 && !data.empty()) {
            data.pop_back();  // no final line break (or a lone CR at the end)
        }
        const std::string what = "round " + std::to_string(round);
        const auto want = referenceLines(data);
        EXPECT_EQ(readAll(data, 1 + rng() % 300, rng() % 2 == 0), want) << what;

        mock::FakeFileSystem fs;
        fs.addFolder("C:\\d");
        fs.addFile("C:\\d\\f.dat", data);
        EXPECT_EQ(DefinitionReader::countLines(fs, "C:\\d\\f.dat"), want.size()) << what;
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
