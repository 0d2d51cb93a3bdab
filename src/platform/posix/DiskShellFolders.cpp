#include "platform/posix/DiskShellFolders.h"

#include <string_view>

#include "platform/posix/PosixShellFolders.h"
#include "platform/posix/WindowsDisk.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

struct NamedFolder {
    int csidl;
    bool common;  ///< named in the machine's key rather than the user's
    const char* name;
};

// The value names of the Shell Folders keys.
constexpr NamedFolder kNamed[] = {
    {0x00, false, "Desktop"},         {0x02, false, "Programs"},
    {0x05, false, "Personal"},        {0x06, false, "Favorites"},
    {0x07, false, "Startup"},         {0x08, false, "Recent"},
    {0x09, false, "SendTo"},          {0x0b, false, "Start Menu"},
    {0x10, false, "Desktop"},         {0x14, false, "Fonts"},
    {0x15, false, "Templates"},       {0x16, true, "Common Start Menu"},
    {0x17, true, "Common Programs"},  {0x18, true, "Common Startup"},
    {0x19, true, "Common Desktop"},   {0x1a, false, "AppData"},
    {0x1c, false, "Local AppData"},   {0x1f, true, "Common Favorites"},
    {0x20, false, "Cache"},           {0x21, false, "Cookies"},
    {0x22, false, "History"},         {0x23, true, "Common AppData"},
    {0x2d, true, "Common Templates"}, {0x2e, true, "Common Documents"},
};

constexpr int kCsidlMask = 0xFF;
constexpr int kProfile = 0x28;
constexpr std::string_view kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

}  // namespace

DiskShellFolders::DiskShellFolders(Registry& registry, std::string userName, std::string profile,
                                   MachineRoot machine)
    : registry_(registry),
      user_(std::move(userName)),
      profile_(std::move(profile)),
      machine_(std::move(machine)) {}

std::optional<std::string> DiskShellFolders::fromRegistry(int csidl) {
    for (const auto& row : kNamed) {
        if (row.csidl != csidl) {
            continue;
        }
        const Hive hive = row.common ? Hive::LocalMachine : Hive::CurrentUser;
        const std::string base = (row.common ? "SOFTWARE\\" : "") + std::string(kExplorer);
        for (const char* key : {"Shell Folders", "User Shell Folders"}) {
            auto v = registry_.queryValue(hive, base + key, row.name, KeyAccess::Read);
            if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz)) {
                continue;
            }
            std::string path = WindowsDisk::expand(v->text(), profile_);
            while (path.size() > 3 && path.back() == '\\') {
                path.pop_back();
            }
            if (path.size() >= 3 && path[1] == ':' && path.find('%') == std::string::npos) {
                return path;
            }
        }
        break;
    }
    return std::nullopt;
}

std::optional<std::string> DiskShellFolders::specialFolder(int csidl) {
    const int id = csidl & kCsidlMask;
    if (id == kProfile) {
        return profile_;
    }
    if (auto named = fromRegistry(id)) {
        return named;
    }
    // The usual place below the profile: the table of a Wine prefix, moved to the profile.
    auto path = PosixShellFolders::folderFor(id, user_);
    const std::string wineProfile = "C:\\users\\" + user_;
    if (path && text::istartsWith(*path, wineProfile) &&
        (path->size() == wineProfile.size() || (*path)[wineProfile.size()] == '\\')) {
        path = profile_ + path->substr(wineProfile.size());
    }
    return path;
}

std::optional<std::string> DiskShellFolders::folderLocationPath(int csidl) {
    return specialFolder(csidl);
}

std::string DiskShellFolders::systemDirectory() {
    return "C:\\Windows\\System32";
}

std::optional<std::string> DiskShellFolders::systemWow64Directory() {
    // The same rule as for any machine root: the folder when the disk has it.
    return PosixShellFolders(user_, machine_).systemWow64Directory();
}

std::string DiskShellFolders::userName() {
    return user_;
}

}  // namespace nightjar::platform::posix
