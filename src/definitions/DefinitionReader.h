#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::definitions {

/// Reads a stored definition file a line at a time. Lines are separated by CR LF only (a
/// bare CR or LF is a stored character: É and Ì are stored as LF and CR); a last line
/// without a line break counts. Each line is unscrambled and converted from Windows-1252
/// to UTF-8.
class DefinitionReader {
  public:
    /// Reads `file`; null stands for a missing file, which has no lines.
    explicit DefinitionReader(std::unique_ptr<platform::InputFile> file);
    /// Opens `path` on `fs`.
    DefinitionReader(platform::FileSystem& fs, std::string_view path);

    bool isOpen() const { return file_ != nullptr; }
    /// The next line, decoded; false at the end of the file. `line` views text of the
    /// reader, valid until the next call.
    bool next(std::string_view& line);
    /// The next line, decoded, copied to `line`; false at the end of the file.
    bool next(std::string& line);

    /// Number of lines next() gives for the file at `path`; 0 when it cannot be read.
    static std::size_t countLines(platform::FileSystem& fs, std::string_view path);

  private:
    /// The next stored line, still scrambled; valid until the next call.
    bool nextStored(std::string_view& stored);
    /// Appends another chunk of the file; false at its end.
    bool fill();

    std::unique_ptr<platform::InputFile> file_;
    std::string buffer_;
    std::size_t pos_ = 0;         ///< start of the next line in buffer_
    std::size_t searchFrom_ = 0;  ///< where the search for the next CR LF resumes
    bool eof_ = false;
    std::string utf8_;  ///< the last line, when it needed converting to UTF-8
};

}  // namespace nightjar::definitions
