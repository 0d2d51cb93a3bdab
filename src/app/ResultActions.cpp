#include "app/ResultActions.h"

#include <string>
#include <string_view>

#include "app/MainState.h"
#include "platform/Platform.h"
#include "util/Text.h"

namespace nightjar::app {

namespace {

constexpr int kBrowseWithoutAsking = 6;

constexpr std::string_view kBrowseQuestion =
    "You have selected to browse more than 5 items at a time.  This can slow down your "
    "computer.  Are you sure you want to continue?";

std::string_view feedColumn(const scan::FeedRow& row, int column) {
    switch (column) {
        case 0:
            return row.text;
        case 1:
            return row.details;
        default:
            return {};
    }
}

std::string_view resultColumn(const scan::FoundItem& row, int column) {
    switch (column) {
        case 0:
            return row.title;
        case 1:
            return row.location;
        case 2:
            return row.type;
        case 3:
            return row.risk;
        case 4:
            return row.details;
        default:
            return {};
    }
}

/// Text order of list views: letter case ignored.
bool textLess(std::string_view a, std::string_view b) {
    return text::toLower(a) < text::toLower(b);
}

/// The folder holding a path: every "\"-separated part but the last, each followed by "\".
std::string containingFolder(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos) {
        return {};
    }
    return std::string(path.substr(0, slash + 1));
}

}  // namespace

ResultActions::ResultActions(MainState& state) : state_(state) {}

void ResultActions::setChecked(std::size_t index, bool checked) {
    if (index >= state_.ResultList().size()) {
        return;
    }
    state_.ResultList().setChecked(index, checked);
    SyncWorkListCheck(index);
}

void ResultActions::SyncWorkListCheck(std::size_t index) {
    if (index >= state_.ResultList().size()) {
        return;
    }
    const scan::FoundItem item = state_.ResultList()[index];
    switch (item.icon) {
        case scan::icon::Cookie: {
            auto& cookies = state_.lvwCookiesToDelete();
            for (std::size_t i = 0; i < cookies.size(); ++i) {
                if (text::iequals(cookies[i].path, item.location)) {
                    cookies.setChecked(i, item.checked);
                }
            }
            break;
        }
        case scan::icon::Registry: {
            auto& registry = state_.lvwRegistryToBeDeleted();
            for (std::size_t i = 0; i < registry.size(); ++i) {
                const scan::RegistryWorkRow& row = registry[i];
                if (text::iequals(row.keyPath, item.title) ||
                    text::iequals(row.threatName, item.title)) {
                    registry.setChecked(i, item.checked);
                }
            }
            break;
        }
        case scan::icon::File: {
            auto& files = state_.lvwFilesToBeDeleted();
            for (std::size_t i = 0; i < files.size(); ++i) {
                if (text::iequals(files[i].second, item.title)) {
                    files.setChecked(i, item.checked);
                }
            }
            break;
        }
        case scan::icon::Folder: {
            auto& files = state_.lvwFilesToBeDeleted();
            for (std::size_t i = 0; i < files.size(); ++i) {
                if (text::iequals(files[i].path, item.location)) {
                    files.setChecked(i, item.checked);
                }
            }
            break;
        }
        default:
            break;
    }
}

void ResultActions::cmdSelectAll_Click() {
    auto& results = state_.ResultList();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].checked) {
            results.setChecked(i, true);
            SyncWorkListCheck(i);
        }
    }
}

void ResultActions::cmdBrowse_Click() {
    auto& results = state_.ResultList();
    platform::Launcher& launcher = *state_.platform().launcher;
    int started = 0;
    bool asked = false;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].checked) {
            continue;
        }
        launcher.run("explorer.exe " + results[i].location, platform::WindowShow::Minimized);
        ++started;
        if (started == kBrowseWithoutAsking && !asked) {
            asked = true;
            if (state_.ui().messageBox(kBrowseQuestion, state_.productName(), MsgButtons::OkCancel,
                                       MsgIcon::None) != MsgAnswer::Ok) {
                return;
            }
        }
    }
}

void ResultActions::OpenResultLocation(std::size_t index) {
    if (index >= state_.ResultList().size()) {
        return;
    }
    const scan::FoundItem& item = state_.ResultList()[index];
    platform::Launcher& launcher = *state_.platform().launcher;
    if (item.icon == scan::icon::Registry) {
        launcher.run("regedit.exe", platform::WindowShow::Minimized);
        return;
    }
    std::string folder = item.location;
    if (folder.empty() || folder.back() != '\\') {
        folder = containingFolder(folder);
    }
    launcher.run("explorer.exe " + folder, platform::WindowShow::Normal);
}

void ResultActions::SortListByColumn(SortableList list, int column) {
    SortState& sort = sortState(list);
    if (list == SortableList::ScanFeed) {
        auto& feed = state_.lvwSpywareFound();
        if (feed.empty() || column < 0 || column > 1) {
            return;
        }
        sort.sorted = true;
        sort.descending = !sort.descending;
        const bool desc = sort.descending;
        feed.sort([column, desc](const scan::FeedRow& a, const scan::FeedRow& b) {
            return desc ? textLess(feedColumn(b, column), feedColumn(a, column))
                        : textLess(feedColumn(a, column), feedColumn(b, column));
        });
        return;
    }
    auto& results = state_.ResultList();
    if (results.empty() || column < 0 || column > 4) {
        return;
    }
    sort.sorted = true;
    sort.descending = !sort.descending;
    const bool desc = sort.descending;
    results.sort([column, desc](const scan::FoundItem& a, const scan::FoundItem& b) {
        return desc ? textLess(resultColumn(b, column), resultColumn(a, column))
                    : textLess(resultColumn(a, column), resultColumn(b, column));
    });
}

bool ResultActions::sorted(SortableList list) const {
    return sortState(list).sorted;
}

bool ResultActions::descending(SortableList list) const {
    return sortState(list).descending;
}

ResultActions::SortState& ResultActions::sortState(SortableList list) {
    return list == SortableList::ScanFeed ? feedSort_ : resultSort_;
}

const ResultActions::SortState& ResultActions::sortState(SortableList list) const {
    return list == SortableList::ScanFeed ? feedSort_ : resultSort_;
}

}  // namespace nightjar::app
