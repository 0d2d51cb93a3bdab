#include "platform/posix/WindowsDisk.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "definitions/DefinitionFiles.h"
#include "platform/posix/HiveFile.h"
#include "platform/posix/PosixShellFolders.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSoftwareHive = "C:\\Windows\\System32\\config\\SOFTWARE";
constexpr std::string_view kSystemHive = "C:\\Windows\\System32\\config\\SYSTEM";
constexpr std::string_view kDefaultHive = "C:\\Windows\\System32\\config\\DEFAULT";
constexpr std::string_view kUserClassesBelowProfile =
    "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";

/// Host path of a folder's entry matched without regard to letter case; empty when none.
std::string findEntry(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / std::string(name);
    if (fs::exists(exact, ec)) {
        return exact.string();
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (text::iequals(it->path().filename().string(), name)) {
            return it->path().string();
        }
    }
    return {};
}

fs::file_time_type changed(const std::string& hostPath) {
    std::error_code ec;
    auto t = fs::last_write_time(hostPath, ec);
    return ec ? fs::file_time_type::min() : t;
}

/// The profile folder a ProfileList entry names, in the disk's terms.
std::optional<std::string> profilePath(const HiveFile& hive, std::size_t entry) {
    auto v = hive.value(entry, "ProfileImagePath");
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz)) {
        return std::nullopt;
    }
    std::string path = WindowsDisk::expand(HiveRegistry::textFromHive(v->data), {});
    while (!path.empty() && (path.back() == '\\' || path.back() == '\0')) {
        path.pop_back();
    }
    if (path.size() < 3 || path[1] != ':') {
        return std::nullopt;
    }
    return path;
}

}  // namespace

std::string WindowsDisk::expand(std::string_view text, std::string_view profile) {
    std::string out = text::ireplaceAll(text, "%SystemDrive%", "C:");
    out = text::ireplaceAll(out, "%SystemRoot%", "C:\\Windows");
    out = text::ireplaceAll(out, "%windir%", "C:\\Windows");
    if (!profile.empty()) {
        out = text::ireplaceAll(out, "%USERPROFILE%", profile);
    }
    // The disk is drive C: here, whatever letter its Windows gave it.
    if (out.size() >= 2 && out[1] == ':' && out[0] != 'C' && out[0] != 'c') {
        out[0] = 'C';
    }
    return out;
}

bool WindowsDisk::isWindowsDisk(const std::string& hostFolder) {
    std::string at = hostFolder;
    for (std::string_view part : {"Windows", "System32", "config", "SOFTWARE"}) {
        at = findEntry(at, part);
        if (at.empty()) {
            return false;
        }
    }
    std::error_code ec;
    return fs::is_regular_file(at, ec);
}

bool WindowsDisk::makeMachineRoot(const std::string& machineRoot, const std::string& diskFolder,
                                  std::string& error) {
    std::error_code ec;
    const fs::path dosdevices = fs::path(machineRoot) / "dosdevices";
    fs::create_directories(dosdevices, ec);
    if (ec) {
        error = "cannot create folder " + dosdevices.string() + ": " + ec.message();
        return false;
    }
    const fs::path disk = fs::absolute(diskFolder, ec).lexically_normal();
    const fs::path link = dosdevices / "c:";
    // The link follows the disk when the same machine root is used for another mount.
    if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) != disk) {
        fs::remove(link, ec);
    }
    if (!fs::is_symlink(link, ec) && symlink(disk.c_str(), link.c_str()) != 0) {
        error = "cannot create link " + link.string() + " -> " + disk.string();
        return false;
    }
    return true;
}

WindowsDisk::WindowsDisk(MachineRoot machine) : machine_(std::move(machine)) {}

std::string WindowsDisk::existing(std::string_view windowsPath) const {
    std::string host = machine_.hostPath(windowsPath);
    std::error_code ec;
    return !host.empty() && fs::exists(host, ec) ? host : std::string();
}

std::vector<WindowsDisk::Profile> WindowsDisk::profiles() const {
    std::vector<Profile> found;
    auto add = [&](const std::string& windowsPath, const std::string& sid) {
        std::string host = existing(windowsPath);
        if (host.empty() || existing(windowsPath + "\\NTUSER.DAT").empty()) {
            return;
        }
        for (const auto& p : found) {
            if (text::iequals(p.windowsPath, windowsPath)) {
                return;
            }
        }
        std::string name = windowsPath.substr(windowsPath.find_last_of('\\') + 1);
        found.push_back({std::move(name), windowsPath, std::move(host), sid});
    };
    std::string error;
    if (std::string software = existing(kSoftwareHive); !software.empty()) {
        if (auto hive = HiveFile::open(software, false, error)) {
            const std::size_t list =
                hive->find({"Microsoft", "Windows NT", "CurrentVersion", "ProfileList"});
            for (const auto& sid : hive->subkeyNames(list)) {
                // The service accounts' profiles are no one's to choose.
                if (sid == "S-1-5-18" || sid == "S-1-5-19" || sid == "S-1-5-20") {
                    continue;
                }
                if (auto path = profilePath(*hive, hive->child(list, sid))) {
                    add(*path, sid);
                }
            }
        }
    }
    if (found.empty()) {
        const std::string users = existing("C:\\Users");
        std::error_code ec;
        for (fs::directory_iterator it(users, ec), end; !users.empty() && !ec && it != end;
             it.increment(ec)) {
            add("C:\\Users\\" + it->path().filename().string(), {});
        }
    }
    return found;
}

std::optional<WindowsDisk::Profile> WindowsDisk::chooseProfile(std::string_view wanted) const {
    std::vector<Profile> all = profiles();
    std::optional<Profile> chosen;
    for (auto& p : all) {
        if (!wanted.empty()) {
            if (text::iequals(p.name, wanted)) {
                return p;
            }
        } else if (!chosen || changed(existing(p.windowsPath + "\\NTUSER.DAT")) >
                                  changed(existing(chosen->windowsPath + "\\NTUSER.DAT"))) {
            chosen = p;
        }
    }
    return chosen;
}

HiveRegistry::Files WindowsDisk::hiveFiles(const std::optional<Profile>& profile) const {
    HiveRegistry::Files files;
    files.software = existing(kSoftwareHive);
    files.system = existing(kSystemHive);
    files.defaultUser = existing(kDefaultHive);
    if (profile) {
        files.user = existing(profile->windowsPath + "\\NTUSER.DAT");
        files.userSid = profile->sid;
        files.userClasses = existing(profile->windowsPath + std::string(kUserClassesBelowProfile));
    }
    return files;
}

}  // namespace nightjar::platform::posix

namespace nightjar::platform::posix {

std::string WindowsDisk::machineRootFor(const std::string& diskFolder) {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        data = std::string(home) + "/.local/share";
    } else {
        data = "/tmp";
    }
    std::error_code ec;
    std::string name = fs::weakly_canonical(fs::absolute(diskFolder, ec), ec).string();
    while (!name.empty() && name.front() == '/') {
        name.erase(0, 1);
    }
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    return data + "/nightjar/disks/" + (name.empty() ? std::string("root") : name);
}

std::optional<WindowsDisk::PlatformParts> WindowsDisk::open(const std::string& diskFolder,
                                                            const std::string& user,
                                                            std::string& error) {
    PlatformParts parts;
    parts.machineRoot = machineRootFor(diskFolder);
    if (!makeMachineRoot(parts.machineRoot, diskFolder, error)) {
        return std::nullopt;
    }
    MachineRoot machine(parts.machineRoot);
    WindowsDisk disk(machine);
    std::optional<Profile> profile = disk.chooseProfile(user);
    if (!profile && !user.empty()) {
        error = "no user profile named " + user + " on " + diskFolder;
        return std::nullopt;
    }
    const std::string name = profile ? profile->name : PosixShellFolders::loginName();
    const std::string profileFolder = profile ? profile->windowsPath : "C:\\Users\\" + name;
    // The shell folders read the registry, and the registry's backup folder follows the
    // shell folders: the registry is made first and told its folder afterwards.
    parts.registry = std::make_unique<HiveRegistry>(disk.hiveFiles(profile), std::string());
    parts.shellFolders =
        std::make_unique<DiskShellFolders>(*parts.registry, name, profileFolder, machine);
    std::string data(definitions::kDataFolderTemplate);
    data.replace(0, data.find(']') + 1, "\\");
    const auto appData = parts.shellFolders->specialFolder(0x1a);
    const std::string backups = machine.hostPath(
        appData.value_or(profileFolder + "\\AppData\\Roaming") + data + "\\Hive backups");
    parts.registry->setBackupFolder(backups);
    return parts;
}

}  // namespace nightjar::platform::posix
