#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DefinitionKind.h"
#include "DefinitionRow.h"

namespace nightjar::server {

/// The files of the server layout that the client's listing names: the full definition
/// files under "/definitions/data/" and the version files under "/definitions/version/".
///
/// A data file holds every current entry of its file, in the order the entries were added,
/// exactly as a client that started from nothing stores it: each line scrambled, CR LF
/// after each. A version file ("R.HTM" for the registry file, "F.HTM" for the file
/// definitions, "E.HTM" for the executables, "C.HTM" for the cookies) holds two CR LF
/// lines: the definitions date, then the number of lines of its data file.
class ServerLayoutFiles {
  public:
    /// The target file behind "FileDefinition.dat" etc. (exact names, letter case ignored);
    /// only the four files of the layout are served.
    static std::optional<TargetFile> dataFile(std::string_view name);
    /// The target file behind "R.HTM", "F.HTM", "E.HTM", "C.HTM" (letter case ignored).
    static std::optional<TargetFile> versionFile(std::string_view name);

    /// Every line (plain) that current entries put into `file`.
    static std::vector<std::string> plainLines(const std::vector<DefinitionRow>& rows,
                                               TargetFile file);
    static std::string dataFileText(const std::vector<DefinitionRow>& rows, TargetFile file);
    static std::string versionFileText(const std::vector<DefinitionRow>& rows, TargetFile file,
                                       std::string_view dateText);
};

}  // namespace nightjar::server
