#include "scan/DriveList.h"

namespace nightjar::scan {

namespace {
std::string letterKey(char letter) {
    return std::string(1, letter);
}
std::string rootOf(char letter) {
    return std::string(1, letter) + ":\\";
}
}  // namespace

DriveList::DriveList(platform::FileSystem& fs, settings::SettingsStore& settings)
    : fs_(fs), settings_(settings) {}

void DriveList::FillDriveList(const std::function<void()>& pump) {
    using platform::DriveType;
    rows_.clear();
    for (const auto& d : fs_.drives()) {
        bool add = false;
        switch (d.type) {
            case DriveType::Removable:
            case DriveType::Remote:
            case DriveType::CdRom:
                add = true;
                break;
            case DriveType::Fixed:
                add = d.ready;
                break;
            default:
                add = false;
                break;
        }
        if (add) {
            rows_.push_back({d.letter, !d.hostRoot, !d.hostRoot});
        }
        if (pump) {
            pump();
        }
    }
    ApplyStoredChecks();
}

void DriveList::ApplyStoredChecks() {
    for (auto& r : rows_) {
        r.checked = settings_.ReadBool(kSection, letterKey(r.letter), r.checkedByDefault);
    }
}

void DriveList::lvwHardDrives_ItemCheck(std::size_t index, bool checked) {
    if (index < rows_.size()) {
        rows_[index].checked = checked;
    }
    StoreDriveChecks();
}

void DriveList::StoreDriveChecks() {
    for (const auto& r : rows_) {
        settings_.Write(kSection, letterKey(r.letter), r.checked ? "True" : "False");
    }
}

bool DriveList::ReadVolumeInfo(std::string_view root) {
    return fs_.volumeInfo(root).has_value();
}

std::vector<std::string> DriveList::checkedDrives() const {
    std::vector<std::string> roots;
    for (const auto& r : rows_) {
        if (r.checked) {
            roots.push_back(rootOf(r.letter));
        }
    }
    return roots;
}

std::vector<std::string> DriveList::allDrives() const {
    std::vector<std::string> roots;
    roots.reserve(rows_.size());
    for (const auto& r : rows_) {
        roots.push_back(rootOf(r.letter));
    }
    return roots;
}

}  // namespace nightjar::scan
