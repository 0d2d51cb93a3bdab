#include "platform/posix/MachineRoot.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/posix/DeepPath.h"
#include "platform/posix/FolderNameCache.h"
#include "platform/posix/JoinHostPath.h"
#include "platform/posix/PosixShellFolders.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace fs = std::filesystem;

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upperLetter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char lowerLetter(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool entryExists(const std::string& path) {
    struct stat st {};
    return DeepPath::status(path, st, false);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/tmp";
}

bool makeFolders(const std::string& path, std::string& error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path, ec)) {
        error = "cannot create folder " + path + ": " + (ec ? ec.message() : "not a folder");
        return false;
    }
    return true;
}

bool makeLink(const std::string& target, const std::string& link, std::string& error) {
    if (entryExists(link)) {
        return true;
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot create link " + link + " -> " + target;
        return false;
    }
    return true;
}

}  // namespace

MachineRoot::MachineRoot(const std::string& hostRoot)
    : names_(std::make_shared<FolderNameCache>()) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(hostRoot), ec);
    if (ec) {
        p = fs::path(hostRoot);
    }
    root_ = p.lexically_normal().string();
    while (root_.size() > 1 && root_.back() == '/') {
        root_.pop_back();
    }
}

std::string MachineRoot::defaultLocation() {
    if (const char* env = std::getenv("NIGHTJAR_MACHINE_ROOT"); env != nullptr && *env != '\0') {
        return env;
    }
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
        data = xdg;
    } else {
        data = homeFolder() + "/.local/share";
    }
    return data + "/nightjar/machine";
}

bool MachineRoot::looksLikeMachineRoot(const std::string& hostRoot) {
    std::error_code ec;
    return fs::is_directory(fs::path(hostRoot) / "dosdevices", ec);
}

bool MachineRoot::create(const std::string& hostRoot, std::string& error,
                         const std::string& userName) {
    MachineRoot machine(hostRoot);
    const std::string& root = machine.root();
    if (!makeFolders(root + "/dosdevices", error)) {
        return false;
    }
    if (machine.driveEntry('C').empty()) {
        if (!makeFolders(root + "/drive_c", error) ||
            !makeLink("../drive_c", root + "/dosdevices/c:", error)) {
            return false;
        }
    }
    if (machine.driveEntry('Z').empty() && !makeLink("/", root + "/dosdevices/z:", error)) {
        return false;
    }
    const std::string user = userName.empty() ? PosixShellFolders::loginName() : userName;
    std::vector<std::string> folders = PosixShellFolders::allFolders(user);
    folders.emplace_back("C:\\users\\Public");
    for (const auto& folder : folders) {
        std::string host = machine.hostPath(folder);
        if (host.empty()) {
            error = "drive C: of " + root + " does not lead to a folder";
            return false;
        }
        if (!makeFolders(host, error)) {
            return false;
        }
    }
    return true;
}

std::vector<char> MachineRoot::driveLetters() const {
    std::vector<char> letters;
    DIR* dir = opendir((root_ + "/dosdevices").c_str());
    if (dir == nullptr) {
        return letters;
    }
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        if (name.size() == 2 && name[1] == ':' && isAsciiLetter(name[0])) {
            letters.push_back(upperLetter(name[0]));
        }
    }
    closedir(dir);
    std::sort(letters.begin(), letters.end());
    letters.erase(std::unique(letters.begin(), letters.end()), letters.end());
    return letters;
}

std::string MachineRoot::driveEntry(char letter) const {
    if (!isAsciiLetter(letter)) {
        return {};
    }
    // Wine writes the entries in lower case; an upper-case one is accepted as well.
    for (char c : {lowerLetter(letter), upperLetter(letter)}) {
        std::string entry = root_ + "/dosdevices/" + c + ":";
        if (entryExists(entry)) {
            return entry;
        }
    }
    return {};
}

std::string MachineRoot::driveTarget(char letter) const {
    std::string entry = driveEntry(letter);
    if (entry.empty()) {
        return {};
    }
    std::error_code ec;
    fs::path target = fs::canonical(entry, ec);
    if (ec || !fs::is_directory(target, ec)) {
        return {};
    }
    return target.string();
}

namespace {

/// The drive letter of a Windows path and the text after its ":" ("\\\\?\\" prefix
/// dropped). False when the path has no drive letter or holds a zero byte.
bool driveAndRest(std::string_view w, char& letter, std::string_view& rest) {
    if (w.find('\0') != std::string_view::npos) {
        return false;
    }
    if (w.starts_with("\\\\?\\") || w.starts_with("//?/")) {
        w.remove_prefix(4);
    }
    if (w.size() < 2 || w[1] != ':' || !isAsciiLetter(w[0])) {
        return false;
    }
    letter = w[0];
    rest = w.substr(2);
    return true;
}

/// The drive letter and the components after it of a Windows path ('/' accepted as
/// separator, "\\?\" prefix dropped), with "." and ".." folded as Windows folds them.
/// False when the path has no drive letter or holds a zero byte.
bool splitWindowsPath(std::string_view w, char& letter, std::vector<std::string_view>& parts) {
    std::string_view rest;
    if (!driveAndRest(w, letter, rest)) {
        return false;
    }
    parts.clear();
    while (!rest.empty()) {
        std::size_t sep = rest.find_first_of("\\/");
        std::string_view part = rest.substr(0, sep);
        rest = sep == std::string_view::npos ? std::string_view{} : rest.substr(sep + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    return true;
}

}  // namespace

std::string MachineRoot::hostPath(std::string_view windowsPath) const {
    char letter = 0;
    std::vector<std::string_view> parts;
    if (!splitWindowsPath(windowsPath, letter, parts)) {
        return {};
    }
    std::string current = driveTarget(letter);
    if (current.empty()) {
        return {};
    }
    bool missing = false;
    for (std::string_view part : parts) {
        std::string next = JoinHostPath(current, part);
        if (!missing && !entryExists(next)) {
            if (auto found = names_->find(current, part)) {
                next = JoinHostPath(current, *found);
            } else {
                missing = true;
            }
        }
        current = std::move(next);
    }
    return current;
}

std::string MachineRoot::spelledHostPath(std::string_view windowsPath) const {
    char letter = 0;
    std::string_view w;
    if (!driveAndRest(windowsPath, letter, w)) {
        return {};
    }
    // Built in place, "." and ".." folded as splitWindowsPath folds them: a listing of
    // every folder of a walk goes through here.
    std::string out;
    out.reserve(root_.size() + 16 + w.size());
    out.append(root_);
    out.append("/dosdevices/");
    out.push_back(lowerLetter(letter));
    out.push_back(':');
    const std::size_t base = out.size();
    std::size_t i = 0;
    while (i < w.size()) {
        std::size_t j = i;
        while (j < w.size() && w[j] != '\\' && w[j] != '/') {
            ++j;
        }
        const std::string_view part = w.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (out.size() > base) {
                out.resize(out.rfind('/'));
            }
            continue;
        }
        out.push_back('/');
        out.append(part);
    }
    return out;
}

std::string MachineRoot::windowsPath(std::string_view hostPath) const {
    if (hostPath.empty() || hostPath.find('\0') != std::string_view::npos) {
        return {};
    }
    std::error_code ec;
    fs::path p(hostPath);
    if (p.is_relative()) {
        p = fs::absolute(p, ec);
        if (ec) {
            return {};
        }
    }
    p = p.lexically_normal();
    if (!p.has_filename() && p != p.root_path()) {
        p = p.parent_path();
    }
    // Resolve links in the folders above, not in the name itself: a link keeps its own place.
    std::string full;
    if (p == p.root_path()) {
        full = "/";
    } else {
        fs::path parent = fs::weakly_canonical(p.parent_path(), ec);
        if (ec) {
            parent = p.parent_path();
        }
        full = (parent / p.filename()).string();
    }

    char bestLetter = 0;
    std::string bestTarget;
    for (char letter : driveLetters()) {
        std::string target = driveTarget(letter);
        if (target.empty() || target.size() <= bestTarget.size()) {
            continue;
        }
        bool holds =
            target == "/" || full == target ||
            (full.size() > target.size() && full.starts_with(target) && full[target.size()] == '/');
        if (holds) {
            bestLetter = letter;
            bestTarget = target;
        }
    }
    if (bestLetter == 0) {
        return {};
    }
    std::string rest = full.substr(std::min(full.size(), bestTarget.size()));
    while (!rest.empty() && rest.front() == '/') {
        rest.erase(0, 1);
    }
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return std::string(1, bestLetter) + ":\\" + rest;
}

}  // namespace nightjar::platform::posix
