#include "update/DefinitionsDate.h"

#include "definitions/DefinitionFiles.h"
#include "util/LineReader.h"

namespace nightjar::update {

DefinitionsDate::DefinitionsDate(platform::FileSystem& fs, std::string dataFolder)
    : fs_(fs), dataFolder_(std::move(dataFolder)) {}

std::string DefinitionsDate::path() const {
    return definitions::DataFile(dataFolder_, definitions::kDateFile);
}

std::string DefinitionsDate::ReadDefinitionsDate() {
    LineReader reader(fs_, path());
    if (!reader.isOpen()) {
        return std::string(kDefault);
    }
    std::string line;
    reader.next(line);  // an empty file gives an empty first line
    return line;
}

bool DefinitionsDate::WriteDefinitionsDate(std::string_view text) {
    // Replacing in one rename (rather than delete, then create) leaves either the old or
    // the new date on disk whatever happens in between; the resulting file is the same.
    std::string content(text);
    content += "\r\n";
    return fs_.writeAll(path(), content);
}

}  // namespace nightjar::update
