#include "ServerLayoutFiles.h"

#include "definitions/LineCodec.h"
#include "util/Text.h"

namespace nightjar::server {

std::optional<TargetFile> ServerLayoutFiles::dataFile(std::string_view name) {
    for (const TargetFile f :
         {TargetFile::Cookies, TargetFile::Registry, TargetFile::File, TargetFile::Exe}) {
        if (text::iequals(name, TargetFileName(f))) {
            return f;
        }
    }
    return std::nullopt;
}

std::optional<TargetFile> ServerLayoutFiles::versionFile(std::string_view name) {
    if (text::iequals(name, "R.HTM")) {
        return TargetFile::Registry;
    }
    if (text::iequals(name, "F.HTM")) {
        return TargetFile::File;
    }
    if (text::iequals(name, "E.HTM")) {
        return TargetFile::Exe;
    }
    if (text::iequals(name, "C.HTM")) {
        return TargetFile::Cookies;
    }
    return std::nullopt;
}

std::vector<std::string> ServerLayoutFiles::plainLines(const std::vector<DefinitionRow>& rows,
                                                       TargetFile file) {
    std::vector<std::string> out;
    for (const DefinitionRow& r : rows) {
        if (!r.current()) {
            continue;
        }
        const std::optional<DefinitionKind> k = DefinitionKind::parse(r.kind);
        if (k && k->reaches(file)) {
            out.push_back(k->storedLine(r.body, file));
        }
    }
    return out;
}

std::string ServerLayoutFiles::dataFileText(const std::vector<DefinitionRow>& rows,
                                            TargetFile file) {
    std::string out;
    for (const std::string& line : plainLines(rows, file)) {
        out += definitions::ScrambleLine(line);
        out += "\r\n";
    }
    return out;
}

std::string ServerLayoutFiles::versionFileText(const std::vector<DefinitionRow>& rows,
                                               TargetFile file, std::string_view dateText) {
    return std::string(dateText) + "\r\n" + std::to_string(plainLines(rows, file).size()) + "\r\n";
}

}  // namespace nightjar::server
