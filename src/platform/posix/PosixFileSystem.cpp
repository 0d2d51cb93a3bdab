#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/posix/DeepPath.h"
#include "platform/posix/JoinHostPath.h"
#include "platform/posix/PosixAppendFile.h"
#include "platform/posix/PosixInputFile.h"
#include "platform/posix/PosixReplaceFile.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace fs = std::filesystem;

namespace {

// statfs magic numbers of the mounts that are not plain local disks.
constexpr long kNfsMagic = 0x6969;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = static_cast<long>(0xFF534D42u);
constexpr long kSmb2Magic = static_cast<long>(0xFE534D42u);
constexpr long kIsoMagic = 0x9660;
constexpr long kUdfMagic = 0x15013346;
constexpr long kExtMagic = 0xEF53;
constexpr long kTmpfsMagic = 0x01021994;
constexpr long kBtrfsMagic = 0x9123683E;
constexpr long kXfsMagic = 0x58465342;
constexpr long kOverlayMagic = 0x794C7630;
constexpr long kMsdosMagic = 0x4d44;
constexpr long kNtfsMagic = 0x5346544e;
constexpr long kFuseMagic = 0x65735546;

std::string fileSystemNameOf(long magic) {
    switch (magic) {
        case kExtMagic:
            return "ext";
        case kTmpfsMagic:
            return "tmpfs";
        case kBtrfsMagic:
            return "btrfs";
        case kXfsMagic:
            return "xfs";
        case kOverlayMagic:
            return "overlay";
        case kMsdosMagic:
            return "FAT";
        case kNtfsMagic:
            return "NTFS";
        case kFuseMagic:
            return "fuse";
        case kNfsMagic:
            return "nfs";
        case kSmbMagic:
        case kCifsMagic:
        case kSmb2Magic:
            return "cifs";
        case kIsoMagic:
            return "CDFS";
        case kUdfMagic:
            return "UDF";
        default:
            return "posix";
    }
}

std::string lastName(const std::string& hostPath) {
    std::size_t slash = hostPath.rfind('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

/// Attributes from a stat of the entry itself (not following a link).
std::uint32_t attributesFrom(const struct stat& own, const struct stat* target,
                             std::string_view name, std::uint64_t* size) {
    std::uint32_t a = 0;
    const struct stat* st = &own;
    if (S_ISLNK(own.st_mode)) {
        a |= attr::ReparsePoint;
        if (target != nullptr) {
            st = target;
        }
    }
    if (S_ISDIR(st->st_mode)) {
        a |= attr::Directory;
    }
    if ((st->st_mode & S_IWUSR) == 0) {
        a |= attr::ReadOnly;
    }
    if (!name.empty() && name.front() == '.') {
        a |= attr::Hidden;
    }
    if (a == 0) {
        a = attr::Normal;
    }
    if (size != nullptr) {
        *size = S_ISREG(st->st_mode) ? static_cast<std::uint64_t>(st->st_size) : 0;
    }
    return a;
}

bool isFolder(const std::string& hostPath) {
    struct stat st {};
    return DeepPath::status(hostPath, st, false) && S_ISDIR(st.st_mode);
}

/// Copies one file through a sibling temporary file, so the target is never torn; the copy
/// keeps the source's permission bits (its read-only state).
bool copyHostFile(const std::string& from, const std::string& to) {
    struct stat st {};
    if (!DeepPath::status(from, st, true) || !S_ISREG(st.st_mode)) {
        return false;
    }
    auto in = PosixInputFile::open(from);
    auto out = PosixReplaceFile::open(to);
    if (!in || !out) {
        return false;
    }
    char buf[65536];
    for (;;) {
        std::size_t n = in->read(buf, sizeof buf);
        if (n == 0) {
            break;
        }
        if (!out->write(std::string_view(buf, n))) {
            return false;
        }
    }
    if (!out->commit()) {
        return false;
    }
    chmod(to.c_str(), st.st_mode & 07777);
    return true;
}

bool copyHostFolder(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (!fs::is_directory(to, ec)) {
        return false;
    }
    DIR* dir = opendir(from.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool ok = true;
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        std::string src = JoinHostPath(from, name);
        std::string dst = JoinHostPath(to, name);
        struct stat st {};
        if (lstat(src.c_str(), &st) != 0) {
            ok = false;
        } else if (S_ISLNK(st.st_mode)) {
            // A link is copied as a link: following it could copy the whole disk or loop.
            fs::remove(dst, ec);
            fs::copy_symlink(src, dst, ec);
            ok = ok && !ec;
        } else if (S_ISDIR(st.st_mode)) {
            ok = copyHostFolder(src, dst) && ok;
        } else if (S_ISREG(st.st_mode)) {
            ok = copyHostFile(src, dst) && ok;
        }
    }
    closedir(dir);
    return ok;
}

/// Gives the owner full rights on every folder of a tree, so that a forced delete can remove
/// what read-only folders hold.
void allowOwnerEverywhere(const std::string& folder) {
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        chmod(folder.c_str(), (st.st_mode & 07777) | S_IRWXU);
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        if (name != "." && name != "..") {
            allowOwnerEverywhere(JoinHostPath(folder, name));
        }
    }
    closedir(dir);
}

bool removeTree(const std::string& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (!ec) {
        return true;
    }
    allowOwnerEverywhere(folder);
    ec.clear();
    fs::remove_all(folder, ec);
    return !ec;
}

/// True when `inner` is `outer` or lies below it (both canonical where they exist).
bool holds(const std::string& outer, const std::string& inner) {
    std::error_code ec;
    std::string o = fs::weakly_canonical(outer, ec).string();
    if (ec) {
        return false;
    }
    std::string i = fs::weakly_canonical(inner, ec).string();
    if (ec) {
        return false;
    }
    return i == o || o == "/" || (i.size() > o.size() && i.starts_with(o) && i[o.size()] == '/');
}

/// The drive letter of a bare root such as "C:", "C:\\" or "C:/"; 0 for anything else.
char rootLetter(std::string_view root) {
    if (root.size() < 2 || root.size() > 3 || root[1] != ':') {
        return 0;
    }
    if (root.size() == 3 && root[2] != '\\' && root[2] != '/') {
        return 0;
    }
    char c = text::toUpperChar(root[0]);
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

/// Upper case of every byte, as text::toUpperChar gives it, for comparisons in a sort.
struct UpperTable {
    unsigned char map[256];
    UpperTable() {
        for (int c = 0; c < 256; ++c) {
            map[c] = static_cast<unsigned char>(text::toUpperChar(static_cast<char>(c)));
        }
    }
};

/// A stable order, like an NTFS listing: by upper-cased name, then by name; bytes compare
/// unsigned, as std::string does. Sorts pointers and moves each entry once.
void sortLikeNtfs(std::vector<DirEntry>& entries) {
    static const UpperTable upper;
    auto before = [](const DirEntry* a, const DirEntry* b) {
        const std::size_t n = std::min(a->name.size(), b->name.size());
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char x = upper.map[static_cast<unsigned char>(a->name[i])];
            const unsigned char y = upper.map[static_cast<unsigned char>(b->name[i])];
            if (x != y) {
                return x < y;
            }
        }
        if (a->name.size() != b->name.size()) {
            return a->name.size() < b->name.size();
        }
        return a->name < b->name;
    };
    std::vector<DirEntry*> order;
    order.reserve(entries.size());
    for (DirEntry& e : entries) {
        order.push_back(&e);
    }
    std::sort(order.begin(), order.end(), before);
    std::vector<DirEntry> sorted;
    sorted.reserve(entries.size());
    for (DirEntry* e : order) {
        sorted.push_back(std::move(*e));
    }
    entries = std::move(sorted);
}

}  // namespace

PosixFileSystem::PosixFileSystem(MachineRoot machine) : machine_(std::move(machine)) {}

std::string PosixFileSystem::hostPath(std::string_view windowsPath) {
    return machine_.hostPath(windowsPath);
}

std::string PosixFileSystem::windowsPath(std::string_view hostPath) {
    return machine_.windowsPath(hostPath);
}

std::optional<std::vector<DirEntry>> PosixFileSystem::list(std::string_view folder) {
    return listEntries(folder, ListDetail::Full);
}

std::optional<std::vector<DirEntry>> PosixFileSystem::listEntries(std::string_view folder,
                                                                  ListDetail detail) {
    // The path as spelled names the folder hostPath() would find whenever it opens, and
    // costs no lookups; a walk spells every folder as it was listed.
    // Opened relative to the folders above when the path is too long for one call, so that
    // the depth of a tree is no limit.
    DIR* dir = nullptr;
    if (std::string spelled = machine_.spelledHostPath(folder); !spelled.empty()) {
        dir = DeepPath::openFolder(spelled);
    }
    if (dir == nullptr) {
        std::string host = hostPath(folder);
        if (host.empty()) {
            return std::nullopt;
        }
        dir = DeepPath::openFolder(host);
        if (dir == nullptr) {
            return std::nullopt;
        }
    }
    const int dfd = dirfd(dir);
    std::vector<DirEntry> entries;
    entries.reserve(16);
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        DirEntry entry;
        if (detail == ListDetail::PlainFolders && (e->d_type == DT_REG || e->d_type == DT_LNK)) {
            // Neither can be a plain folder; only the read-only bit, a link target's kind
            // and the size would need a status read.
            entry.name = std::string(name);
            entry.attributes = (e->d_type == DT_LNK ? attr::ReparsePoint : 0) |
                               (name.front() == '.' ? attr::Hidden : 0);
            if (entry.attributes == 0) {
                entry.attributes = attr::Normal;
            }
            entries.push_back(std::move(entry));
            continue;
        }
        struct stat own {};
        if (fstatat(dfd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        struct stat target {};
        bool haveTarget = S_ISLNK(own.st_mode) && fstatat(dfd, e->d_name, &target, 0) == 0;
        entry.name = std::string(name);
        entry.attributes = attributesFrom(own, haveTarget ? &target : nullptr, name, &entry.size);
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    sortLikeNtfs(entries);
    return entries;
}

std::optional<std::uint32_t> PosixFileSystem::attributes(std::string_view path) {
    std::string host = hostPath(path);
    if (host.empty()) {
        return std::nullopt;
    }
    struct stat own {};
    if (!DeepPath::status(host, own, false)) {
        return std::nullopt;
    }
    struct stat target {};
    bool haveTarget = S_ISLNK(own.st_mode) && DeepPath::status(host, target, true);
    // A drive root carries no name of its own.
    std::string name = rootLetter(path) != 0 ? std::string() : lastName(host);
    return attributesFrom(own, haveTarget ? &target : nullptr, name, nullptr);
}

std::optional<std::string> PosixFileSystem::storedName(std::string_view path) {
    std::string host = hostPath(path);
    struct stat st {};
    if (host.empty() || !DeepPath::status(host, st, false)) {
        return std::nullopt;
    }
    if (char letter = rootLetter(path); letter != 0) {
        return std::string(1, letter) + ":";
    }
    return lastName(host);
}

std::unique_ptr<InputFile> PosixFileSystem::openRead(std::string_view path) {
    return PosixInputFile::open(hostPath(path));
}

std::unique_ptr<OutputFile> PosixFileSystem::openAppend(std::string_view path) {
    std::string host = hostPath(path);
    if (host.empty() || isFolder(host)) {
        return nullptr;
    }
    return PosixAppendFile::open(host);
}

std::unique_ptr<OutputFile> PosixFileSystem::openReplace(std::string_view path) {
    return PosixReplaceFile::open(hostPath(path));
}

bool PosixFileSystem::createFolder(std::string_view path) {
    std::string host = hostPath(path);
    if (host.empty()) {
        return false;
    }
    std::error_code ec;
    fs::create_directories(host, ec);
    return fs::is_directory(host, ec);
}

bool PosixFileSystem::deleteFile(std::string_view path) {
    std::string host = hostPath(path);
    DeepPath deep(host);
    struct stat st {};
    if (!deep.ok() || fstatat(deep.at(), deep.name(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::unlinkat(deep.at(), deep.name(), 0) == 0;
}

bool PosixFileSystem::deleteFolder(std::string_view path) {
    std::string host = hostPath(path);
    struct stat st {};
    if (host.empty() || lstat(host.c_str(), &st) != 0) {
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder goes by itself; what it points at stays.
        struct stat target {};
        return stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode) &&
               ::unlink(host.c_str()) == 0;
    }
    if (!S_ISDIR(st.st_mode)) {
        return false;
    }
    // Never a whole drive, nor a folder that holds the machine root (and with it the
    // registry and the drives themselves).
    if (rootLetter(path) != 0 || host == "/" || holds(host, machine_.root())) {
        return false;
    }
    for (char letter : machine_.driveLetters()) {
        std::string target = machine_.driveTarget(letter);
        if (!target.empty() && holds(host, target)) {
            return false;
        }
    }
    return removeTree(host);
}

bool PosixFileSystem::copyFile(std::string_view from, std::string_view to, bool overwrite) {
    std::string src = hostPath(from);
    std::string dst = hostPath(to);
    if (src.empty() || dst.empty()) {
        return false;
    }
    struct stat st {};
    if (lstat(dst.c_str(), &st) == 0 && (!overwrite || S_ISDIR(st.st_mode))) {
        return false;
    }
    return copyHostFile(src, dst);
}

bool PosixFileSystem::copyFolder(std::string_view from, std::string_view to) {
    std::string src = hostPath(from);
    std::string dst = hostPath(to);
    std::error_code ec;
    if (src.empty() || dst.empty() || !fs::is_directory(src, ec)) {
        return false;
    }
    // Copying a folder into itself would never end.
    if (holds(src, dst)) {
        return false;
    }
    return copyHostFolder(src, dst);
}

bool PosixFileSystem::moveFile(std::string_view from, std::string_view to) {
    std::string src = hostPath(from);
    std::string dst = hostPath(to);
    struct stat st {};
    if (src.empty() || dst.empty() || lstat(src.c_str(), &st) != 0) {
        return false;
    }
    struct stat dstStat {};
    if (lstat(dst.c_str(), &dstStat) == 0 && S_ISDIR(dstStat.st_mode)) {
        return false;
    }
    if (::rename(src.c_str(), dst.c_str()) == 0) {
        return true;
    }
    // Another file system: copy, then remove the original.
    if (errno == EXDEV && S_ISREG(st.st_mode) && copyHostFile(src, dst)) {
        return ::unlink(src.c_str()) == 0;
    }
    return false;
}

std::vector<DriveInfo> PosixFileSystem::drives() {
    std::vector<DriveInfo> result;
    for (char letter : machine_.driveLetters()) {
        DriveInfo info;
        info.letter = letter;
        info.type = DriveType::Fixed;
        std::string target = machine_.driveTarget(letter);
        info.hostRoot = target == "/";
        struct statfs sf {};
        if (!target.empty() && statfs(target.c_str(), &sf) == 0) {
            info.ready = true;
            switch (static_cast<long>(sf.f_type)) {
                case kNfsMagic:
                case kSmbMagic:
                case kCifsMagic:
                case kSmb2Magic:
                    info.type = DriveType::Remote;
                    break;
                case kIsoMagic:
                case kUdfMagic:
                    info.type = DriveType::CdRom;
                    break;
                default:
                    break;
            }
        }
        result.push_back(info);
    }
    return result;
}

std::optional<VolumeInfo> PosixFileSystem::volumeInfo(std::string_view root) {
    char letter = rootLetter(root);
    if (letter == 0) {
        return std::nullopt;
    }
    std::string target = machine_.driveTarget(letter);
    struct statfs sf {};
    if (target.empty() || statfs(target.c_str(), &sf) != 0) {
        return std::nullopt;
    }
    VolumeInfo info;
    info.fileSystemName = fileSystemNameOf(static_cast<long>(sf.f_type));
    int fsid[2];
    static_assert(sizeof fsid == sizeof sf.f_fsid);
    std::memcpy(fsid, &sf.f_fsid, sizeof fsid);
    info.serial = static_cast<std::uint32_t>(fsid[0]) ^ static_cast<std::uint32_t>(fsid[1]);
    return info;
}

}  // namespace nightjar::platform::posix
