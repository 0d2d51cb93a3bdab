#include "definitions/DefinitionReader.h"

#include <algorithm>

#include "definitions/LineCodec.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar::definitions {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;
constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

DefinitionReader::DefinitionReader(std::unique_ptr<platform::InputFile> file)
    : file_(std::move(file)) {}

DefinitionReader::DefinitionReader(platform::FileSystem& fs, std::string_view path)
    : DefinitionReader(fs.openRead(path)) {}

bool DefinitionReader::fill() {
    if (eof_) {
        return false;
    }
    buffer_.erase(0, pos_);
    searchFrom_ -= pos_;
    pos_ = 0;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kChunk);
    const std::size_t n = file_->read(buffer_.data() + old, kChunk);
    buffer_.resize(old + n);
    eof_ = n == 0;
    return !eof_;
}

bool DefinitionReader::nextStored(std::string_view& stored) {
    if (!file_) {
        return false;
    }
    for (;;) {
        const std::size_t end = buffer_.find(kLineBreak, searchFrom_);
        if (end != std::string::npos) {
            stored = std::string_view(buffer_).substr(pos_, end - pos_);
            pos_ = end + kLineBreak.size();
            searchFrom_ = pos_;
            return true;
        }
        // A CR at the end may start the line break that the next chunk completes.
        searchFrom_ = std::max(pos_, buffer_.empty() ? 0 : buffer_.size() - 1);
        if (!fill()) {
            if (pos_ >= buffer_.size()) {
                return false;
            }
            stored = std::string_view(buffer_).substr(pos_);  // the last line, without a break
            pos_ = searchFrom_ = buffer_.size();
            return true;
        }
    }
}

bool DefinitionReader::next(std::string_view& line) {
    std::string_view stored;
    if (!nextStored(stored)) {
        return false;
    }
    // The stored bytes of a line are not searched again, so they are decoded where they
    // are. The same pass notes whether any byte lies outside ASCII.
    char* text = buffer_.data() + (stored.data() - buffer_.data());
    unsigned char allBits = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        text[i] = UnscrambleChar(text[i]);
        allBits |= static_cast<unsigned char>(text[i]);
    }
    line = std::string_view(text, stored.size());
    if (allBits >= 0x80) {
        utf8_ = text::windows1252ToUtf8(line);
        line = utf8_;
    }
    return true;
}

bool DefinitionReader::next(std::string& line) {
    std::string_view decoded;
    if (!next(decoded)) {
        return false;
    }
    line.assign(decoded);
    return true;
}

std::size_t DefinitionReader::countLines(platform::FileSystem& fs, std::string_view path) {
    DefinitionReader reader(fs, path);
    std::size_t lines = 0;
    std::string_view stored;
    while (reader.nextStored(stored)) {
        ++lines;
    }
    return lines;
}

}  // namespace nightjar::definitions
