#include "util/LineReader.h"

#include <string_view>

namespace nightjar {

namespace {
constexpr std::size_t kChunk = 1 << 16;
}

LineReader::LineReader(std::unique_ptr<platform::InputFile> file, Breaks breaks)
    : file_(std::move(file)), breaks_(breaks) {}

LineReader::LineReader(platform::FileSystem& fs, std::string_view path, Breaks breaks)
    : file_(fs.openRead(path)), breaks_(breaks) {}

bool LineReader::fill() {
    if (eof_ || !file_) {
        return false;
    }
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    std::size_t old = buffer_.size();
    buffer_.resize(old + kChunk);
    std::size_t n = file_->read(buffer_.data() + old, kChunk);
    buffer_.resize(old + n);
    if (n == 0) {
        eof_ = true;
        return false;
    }
    return true;
}

bool LineReader::advance(std::size_t& lineStart, std::size_t& length) {
    if (!file_) {
        return false;
    }
    std::size_t scanFrom = pos_;
    for (;;) {
        const std::size_t end = std::string_view(buffer_).find('\n', scanFrom);
        if (end != std::string_view::npos) {
            std::size_t len = end - pos_;
            const bool afterCr = len > 0 && buffer_[end - 1] == '\r';
            if (!afterCr && breaks_ == Breaks::CrLf) {
                scanFrom = end + 1;  // a bare LF inside the line
                continue;
            }
            if (afterCr) {
                --len;
            }
            lineStart = pos_;
            length = len;
            pos_ = end + 1;
            ++lines_;
            return true;
        }
        std::size_t consumed = buffer_.size() - pos_;
        if (!fill()) {
            // End of file: whatever is left is the last line (no final line break).
            if (pos_ >= buffer_.size()) {
                return false;
            }
            std::size_t len = buffer_.size() - pos_;
            if (breaks_ == Breaks::CrLfOrLf && buffer_[buffer_.size() - 1] == '\r') {
                --len;
            }
            lineStart = pos_;
            length = len;
            pos_ = buffer_.size();
            ++lines_;
            return true;
        }
        scanFrom = pos_ + consumed;
    }
}

bool LineReader::next(std::string& line) {
    std::size_t start = 0;
    std::size_t length = 0;
    if (!advance(start, length)) {
        return false;
    }
    line.assign(buffer_, start, length);
    return true;
}

bool LineReader::next(std::string_view& line) {
    std::size_t start = 0;
    std::size_t length = 0;
    if (!advance(start, length)) {
        return false;
    }
    line = std::string_view(buffer_.data() + start, length);
    return true;
}

std::size_t countLines(platform::FileSystem& fs, std::string_view path) {
    auto in = fs.openRead(path);
    if (!in) {
        return 0;
    }
    std::size_t lines = 0;
    char buf[kChunk];
    char last = '\n';
    for (;;) {
        std::size_t n = in->read(buf, sizeof buf);
        if (n == 0) {
            break;
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (buf[i] == '\n') {
                ++lines;
            }
        }
        last = buf[n - 1];
    }
    if (last != '\n') {
        ++lines;
    }
    return lines;
}

}  // namespace nightjar
