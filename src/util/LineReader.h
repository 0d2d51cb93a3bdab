#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar {

/// Reads a file a line at a time: lines of any length, CR LF or bare LF line ends, a
/// missing final line break, and any byte 0..255 inside a line.
class LineReader {
  public:
    /// Where lines end.
    enum class Breaks {
        CrLfOrLf,  ///< at CR LF or a bare LF
        /// At CR LF only: a bare LF or CR is part of the line (stored definition lines hold
        /// byte 10 for an upper-case E acute).
        CrLf,
    };

    explicit LineReader(std::unique_ptr<platform::InputFile> file,
                        Breaks breaks = Breaks::CrLfOrLf);
    /// Opens `path` on `fs`; isOpen() is false when it cannot be read.
    LineReader(platform::FileSystem& fs, std::string_view path, Breaks breaks = Breaks::CrLfOrLf);

    bool isOpen() const { return file_ != nullptr; }
    /// The next line without its line end; false at the end of the file.
    bool next(std::string& line);
    /// The same without a copy: `line` views the reader's buffer and stays valid only
    /// until the next call.
    bool next(std::string_view& line);
    /// Lines read so far.
    std::size_t lineNumber() const { return lines_; }

  private:
    bool fill();
    /// Finds the next line in the buffer: its start and length there.
    bool advance(std::size_t& lineStart, std::size_t& length);

    std::unique_ptr<platform::InputFile> file_;
    Breaks breaks_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool eof_ = false;
    std::size_t lines_ = 0;
};

/// Number of lines `LineReader` would return for the file; 0 when it cannot be read.
std::size_t countLines(platform::FileSystem& fs, std::string_view path);

}  // namespace nightjar
