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
    entries_.clear();
    folderForms_.clear();
    lookup_.clear();
    const std::string path = filePath();
    if (fs_.fileExists(path)) {
        LineReader reader(fs_, path);
        std::string line;
        while (reader.isOpen() && reader.next(line)) {
            if (!text::trimView(line).empty()) {
                entries_.push_back(line);
            }
            if (pump_) {
                pump_();
            }
        }
    }
    folderForms_.reserve(entries_.size());
    for (const auto& e : entries_) {
        lookup_.insert(text::toLower(e));
        folderForms_.push_back(folderForm(e));
    }
}

std::string ExclusionList::folderForm(std::string_view path) {
    std::string form = text::toLower(text::trimView(path));
    if (!form.empty() && form.back() == '\\') {
        form.pop_back();
    }
    return form;
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
    const std::string folder = folderForm(candidate);
    if (folder.empty()) {
        return false;
    }
    for (const auto& e : folderForms_) {
        if (e.size() >= folder.size() && e.compare(0, folder.size(), folder) == 0 &&
            (e.size() == folder.size() || e[folder.size()] == '\\')) {
            return true;
        }
    }
    return false;
}

ExclusionList::AddResult ExclusionList::append(std::string_view entry, std::string_view lineEnd,
                                               bool reload) {
    const std::string_view trimmed = text::trimView(entry);
    if (trimmed.empty() || trimmed.find_first_of("\r\n") != std::string_view::npos) {
        return AddResult::Refused;
    }
    const std::string path = filePath();
    std::string out;
    // A file last edited by hand may lack its final line break; without one the new entry
    // would be glued to the last line and both would be lost as entries.
    std::string existing;
    if (fs_.fileExists(path) && fs_.readAll(path, existing) && !existing.empty() &&
        existing.back() != '\n') {
        out += "\r\n";
    }
    out.append(trimmed);
    out.append(lineEnd);
    auto file = fs_.openAppend(path);
    const bool written = file && file->write(out) && file->commit();
    if (reload) {
        LoadExclusions();
    }
    return written ? AddResult::Added : AddResult::NotWritten;
}

ExclusionList::AddResult ExclusionList::AddExclusion(std::string_view entry) {
    return append(entry, "\r\n\r\n", true);
}

ExclusionList::AddResult ExclusionList::AppendAlertExclusion(std::string_view entry, bool reload) {
    return append(entry, "\r\n", reload);
}

}  // namespace nightjar::removal
