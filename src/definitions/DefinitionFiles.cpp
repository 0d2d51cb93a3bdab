#include "definitions/DefinitionFiles.h"

#include "definitions/PlaceholderExpander.h"

namespace nightjar::definitions {

std::string DataFolder(PlaceholderExpander& expander) {
    // "[appdata]" expands with its trailing backslash, so the result has exactly one
    // separator before the folder name and none after it.
    return expander.Expand(kDataFolderTemplate);
}

std::string DataFile(std::string_view dataFolder, std::string_view fileName) {
    std::string path;
    path.reserve(dataFolder.size() + 1 + fileName.size());
    path.append(dataFolder);
    path.push_back('\\');
    path.append(fileName);
    return path;
}

}  // namespace nightjar::definitions
