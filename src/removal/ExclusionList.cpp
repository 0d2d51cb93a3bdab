#include "removal/ExclusionList.h"

#include "definitions/DefinitionFiles.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace nightjar::removal {

ExclusionList::ExclusionList(platform::FileSystem& fs, std::string dataFolder)
    : fs_(fs), dataFolder_(std::move(dataFolder)) {}

std::string ExclusionList::filePath() const {
    return definitions::DataFile(dataFolder_, definitions::kExclusionFile);
}

void ExclusionList::LoadExclusions() {
    text_.clear();
    parts_.clear();
    lowerParts_.clear();
    lookup_.clear();
    const std::string path = filePath();
    if (fs_.fileExists(path)) {
        LineReader reader(fs_, path);
        std::string line;
        while (reader.isOpen() && reader.next(line)) {
            if (!text::trimView(line).empty()) {
                text_ += line;
                text_ += '|';
            }
            if (pump_) {
                pump_();
            }
        }
    }
    if (text_.empty()) {
        return;
    }
    // The parts are what a split of the text at "|" gives, including the empty one after
    // the final separator; a line holding "|" itself gives several parts.
    parts_ = text::split(text_, "|");
    lowerParts_.reserve(parts_.size());
    for (const auto& p : parts_) {
        lowerParts_.push_back(text::toLower(p));
        lookup_.insert(lowerParts_.back());
    }
}

bool ExclusionList::IsExcluded(std::string_view candidate) const {
    if (lookup_.empty()) {
        return false;
    }
    if (lookup_.count(text::toLower(candidate)) != 0) {
        return true;
    }
    return lookup_.count(text::toLower(text::trimView(candidate))) != 0;
}

bool ExclusionList::IsExcludedPart(std::string_view candidate) const {
    if (IsExcluded(candidate)) {
        return true;
    }
    const std::string lower = text::toLower(candidate);
    for (const auto& p : lowerParts_) {
        if (p.find(lower) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void ExclusionList::append(std::string_view data) {
    const std::string path = filePath();
    std::string out;
    // A file last edited by hand may lack its final line break; without one the new entry
    // would be glued to the last line and both would be lost as entries.
    std::string existing;
    if (fs_.fileExists(path) && fs_.readAll(path, existing) && !existing.empty() &&
        existing.back() != '\n') {
        out += "\r\n";
    }
    out.append(data);
    auto file = fs_.openAppend(path);
    if (file && file->write(out)) {
        file->commit();
    }
}

void ExclusionList::AddExclusion(std::string_view entry) {
    std::string line = text::trim(entry);
    line += "\r\n\r\n";
    append(line);
    LoadExclusions();
}

void ExclusionList::AppendAlertExclusion(std::string_view entry, bool reload) {
    std::string line = text::trim(entry);
    line += "\r\n";
    append(line);
    if (reload) {
        LoadExclusions();
    }
}

}  // namespace nightjar::removal
