#include "platform/posix/PosixShellFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace nightjar::platform::posix {

namespace {

/// Where a folder of the table starts.
enum class Base { User, Public, ProgramData, Windows, ProgramFiles, None };

struct FolderRow {
    int csidl;
    Base base;
    const char* rest;  ///< below the base, "" for the base itself
};

// The Vista-style layout of a Wine prefix. Rows with Base::None are folders Wine does not
// resolve: the Recycle Bin is virtual and the alternate Startup folders do not exist there.
constexpr FolderRow kFolders[] = {
    {0x00, Base::User, "Desktop"},
    {0x02, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {0x05, Base::User, "Documents"},
    {0x06, Base::User, "Favorites"},
    {0x07, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {0x08, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\Recent"},
    {0x09, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {0x0a, Base::None, ""},
    {0x0b, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {0x10, Base::User, "Desktop"},
    {0x14, Base::Windows, "Fonts"},
    {0x15, Base::User, "AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {0x16, Base::ProgramData, "Microsoft\\Windows\\Start Menu"},
    {0x17, Base::ProgramData, "Microsoft\\Windows\\Start Menu\\Programs"},
    {0x18, Base::ProgramData, "Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {0x19, Base::Public, "Desktop"},
    {0x1a, Base::User, "AppData\\Roaming"},
    {0x1c, Base::User, "AppData\\Local"},
    {0x1d, Base::None, ""},
    {0x1e, Base::None, ""},
    {0x1f, Base::Public, "Favorites"},
    {0x20, Base::User, "AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {0x21, Base::User, "AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {0x22, Base::User, "AppData\\Local\\Microsoft\\Windows\\History"},
    {0x23, Base::ProgramData, ""},
    {0x24, Base::Windows, ""},
    {0x25, Base::Windows, "system32"},
    {0x26, Base::ProgramFiles, ""},
    {0x28, Base::User, ""},
    {0x2b, Base::ProgramFiles, "Common Files"},
    {0x2d, Base::ProgramData, "Microsoft\\Windows\\Templates"},
    {0x2e, Base::Public, "Documents"},
};

// Flags such as CSIDL_FLAG_CREATE travel in the high byte of the id.
constexpr int kCsidlMask = 0xFF;

std::string basePath(Base base, std::string_view user) {
    switch (base) {
        case Base::User:
            return "C:\\users\\" + std::string(user);
        case Base::Public:
            return "C:\\users\\Public";
        case Base::ProgramData:
            return "C:\\ProgramData";
        case Base::Windows:
            return "C:\\windows";
        case Base::ProgramFiles:
            return "C:\\Program Files";
        case Base::None:
            break;
    }
    return {};
}

std::string rowPath(const FolderRow& row, std::string_view user) {
    std::string path = basePath(row.base, user);
    if (*row.rest != '\0') {
        path += '\\';
        path += row.rest;
    }
    return path;
}

}  // namespace

PosixShellFolders::PosixShellFolders() : user_(loginName()) {}

PosixShellFolders::PosixShellFolders(std::string userName) : user_(std::move(userName)) {}

PosixShellFolders::PosixShellFolders(std::string userName, MachineRoot machine)
    : user_(std::move(userName)), machine_(std::move(machine)) {}

std::optional<std::string> PosixShellFolders::folderFor(int csidl, std::string_view user) {
    const int id = csidl & kCsidlMask;
    for (const auto& row : kFolders) {
        if (row.csidl == id) {
            if (row.base == Base::None) {
                return std::nullopt;
            }
            return rowPath(row, user);
        }
    }
    return std::nullopt;
}

std::vector<std::string> PosixShellFolders::allFolders(std::string_view user) {
    std::vector<std::string> folders;
    for (const auto& row : kFolders) {
        if (row.base != Base::None) {
            folders.push_back(rowPath(row, user));
        }
    }
    return folders;
}

std::string PosixShellFolders::loginName() {
    if (const char* env = std::getenv("USER"); env != nullptr && *env != '\0') {
        return env;
    }
    if (const passwd* pw = getpwuid(getuid());
        pw != nullptr && pw->pw_name != nullptr && *pw->pw_name != '\0') {
        return pw->pw_name;
    }
    return "user";
}

std::optional<std::string> PosixShellFolders::specialFolder(int csidl) {
    return folderFor(csidl, user_);
}

std::optional<std::string> PosixShellFolders::folderLocationPath(int csidl) {
    return folderFor(csidl, user_);
}

std::string PosixShellFolders::systemDirectory() {
    return "C:\\windows\\system32";
}

std::optional<std::string> PosixShellFolders::systemWow64Directory() {
    constexpr std::string_view kFolder = "C:\\windows\\syswow64";
    if (!machine_) {
        return std::nullopt;
    }
    const std::string host = machine_->hostPath(kFolder);
    struct stat st {};
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return std::string(kFolder);
}

std::string PosixShellFolders::userName() {
    return user_;
}

}  // namespace nightjar::platform::posix
