#pragma once
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::update {

/// The date of the installed definitions, kept as one line of text in "date.dat" in the
/// data folder.
class DefinitionsDate {
  public:
    static constexpr std::string_view kDefault = "3/16/2006 12:00:00 AM";

    DefinitionsDate(platform::FileSystem& fs, std::string dataFolder);

    /// First line of date.dat, or kDefault when the file is missing or unreadable.
    std::string ReadDefinitionsDate();
    /// Replaces date.dat with `text` + CR LF. The new file is written aside and renamed
    /// over the old one, so a crash never leaves the date missing or torn.
    bool WriteDefinitionsDate(std::string_view text);

    std::string path() const;

  private:
    platform::FileSystem& fs_;
    std::string dataFolder_;
};

}  // namespace nightjar::update
