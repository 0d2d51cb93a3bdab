#include "platform/Processes.h"

namespace nightjar::platform {

std::optional<std::vector<std::string>> Processes::runningNames() {
    std::optional<std::vector<SnapshotEntry>> entries = snapshot();
    if (!entries) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(entries->size());
    for (const SnapshotEntry& entry : *entries) {
        // Windows 9x lists full paths, the NT family file names only.
        const std::size_t slash = entry.exeFile.rfind('\\');
        names.push_back(slash == std::string::npos ? entry.exeFile
                                                   : entry.exeFile.substr(slash + 1));
    }
    return names;
}

}  // namespace nightjar::platform
