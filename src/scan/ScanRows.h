#pragma once
#include <cstdint>
#include <string>

namespace nightjar::scan {

/// Small icons of the result lists.
namespace icon {
inline constexpr int None = 0;
inline constexpr int Cookie = 1;
inline constexpr int Registry = 2;
inline constexpr int File = 3;
inline constexpr int Folder = 4;
inline constexpr int Excluded = 5;
}  // namespace icon

/// A row of the scan feed (`lvwSpywareFound`): "Name" and "Details".
struct FeedRow {
    std::string text;
    int icon = icon::None;
    std::string details;
};

/// A row of the ResultList: "File", "Location", "Type", "Risk", "Details".
struct FoundItem {
    std::string title;
    int icon = icon::None;
    std::string location;
    std::string type;
    std::string risk;
    std::string details;
    bool checked = false;
};

/// A row of `lvwFilesToBeDeleted`: full path, and the threat name (files), "" or "FILE"
/// (folders).
struct FileWorkRow {
    std::string path;
    std::string second;
    bool checked = false;
};

/// A row of `lvwRegistryToBeDeleted`: "Main Key", "KeyValue", "Value", "SpywareName".
struct RegistryWorkRow {
    std::string mainKey;  ///< hive handle value as signed decimal text
    std::string keyPath;
    std::string valueName;
    std::string threatName;
    bool checked = false;
};

/// A row of `lvwCookiesToDelete` (full path) or `lvwFileNotFounds`.
struct PathWorkRow {
    std::string path;
    bool checked = false;
};

/// The five counters of a run.
struct ScanCounters {
    std::int32_t processes = 0;
    std::int32_t registry = 0;
    std::int32_t filesFolders = 0;
    std::int32_t threats = 0;
    std::int32_t throttle = 0;
};

}  // namespace nightjar::scan
