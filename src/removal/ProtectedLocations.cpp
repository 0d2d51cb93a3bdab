#include "removal/ProtectedLocations.h"

#include <algorithm>
#include <cctype>

#include "util/Text.h"

namespace nightjar::removal {

namespace {

// Shell folder ids whose folder must survive every removal: the Windows folder, the system
// folders, Program Files and its common files, the profile and the folders the desktop,
// start menu, documents and application data of every user live in.
constexpr int kGuardedFolders[] = {
    0x00, 0x02, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0b, 0x10, 0x14, 0x15, 0x16, 0x17,
    0x18, 0x19, 0x1a, 0x1c, 0x1d, 0x1e, 0x1f, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e, 0x2f, 0x30, 0x35,
};
constexpr int kProfile = 0x28;

std::string parentOf(const std::string& normalized) {
    const auto cut = normalized.rfind('\\');
    return cut == std::string::npos ? std::string() : normalized.substr(0, cut);
}

bool below(const std::string& path, const std::string& tree) {
    return path.size() > tree.size() && path.compare(0, tree.size(), tree) == 0 &&
           path[tree.size()] == '\\';
}

}  // namespace

std::string ProtectedLocations::normalize(std::string_view path) {
    const std::string_view trimmed = text::trimView(path);
    if (trimmed.size() < 2 || trimmed[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(trimmed[0]))) {
        return {};
    }
    std::vector<std::string_view> parts;
    std::string_view rest = trimmed.substr(2);
    while (!rest.empty()) {
        const auto cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        // Blanks and dots at the end of a part are dropped by Windows when it opens a path.
        std::string_view name = part;
        while (!name.empty() && (name.back() == ' ' || name.back() == '.') && name != "." &&
               name != "..") {
            name.remove_suffix(1);
        }
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            if (parts.empty()) {
                return {};
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(name);
    }
    std::string out;
    out.push_back(trimmed[0]);
    out.push_back(':');
    for (std::string_view part : parts) {
        out.push_back('\\');
        out.append(part);
    }
    return text::toLower(out);
}

void ProtectedLocations::addFolder(std::string_view path) {
    if (std::string n = normalize(path); !n.empty()) {
        folders_.push_back(std::move(n));
    }
}

void ProtectedLocations::addTree(std::string_view path) {
    if (std::string n = normalize(path); !n.empty()) {
        trees_.push_back(std::move(n));
    }
}

void ProtectedLocations::addChildrenOf(std::string_view path) {
    if (std::string n = normalize(path); !n.empty()) {
        parents_.push_back(std::move(n));
    }
}

bool ProtectedLocations::isProtected(std::string_view path) const {
    const std::string n = normalize(path);
    // Not a drive path, or a drive root.
    if (n.size() <= 2) {
        return true;
    }
    const auto same = [&](const std::string& p) { return p == n; };
    if (std::any_of(folders_.begin(), folders_.end(), same) ||
        std::any_of(trees_.begin(), trees_.end(), same)) {
        return true;
    }
    if (std::any_of(trees_.begin(), trees_.end(),
                    [&](const std::string& t) { return below(n, t); })) {
        return true;
    }
    const std::string parent = parentOf(n);
    return std::any_of(parents_.begin(), parents_.end(),
                       [&](const std::string& p) { return p == parent; });
}

ProtectedLocations ProtectedLocations::forMachine(platform::ShellFolders& shell,
                                                  std::string_view dataFolder,
                                                  std::string_view programFolder) {
    ProtectedLocations p;
    for (int id : kGuardedFolders) {
        if (const auto folder = shell.specialFolder(id)) {
            p.addFolder(*folder);
        }
    }
    p.addFolder(shell.systemDirectory());
    if (const auto profile = shell.specialFolder(kProfile)) {
        // "C:\Users" and every profile in it, not only the current user's.
        const std::string parent = parentOf(normalize(*profile));
        p.addFolder(parent);
        p.addChildrenOf(parent);
    }
    if (!dataFolder.empty()) {
        p.addTree(dataFolder);
    }
    if (!programFolder.empty()) {
        p.addTree(programFolder);
    }
    return p;
}

}  // namespace nightjar::removal
