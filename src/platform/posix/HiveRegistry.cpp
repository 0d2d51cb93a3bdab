#include "platform/posix/HiveRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/posix/HiveFile.h"
#include "util/Text.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::posix {

namespace fs = std::filesystem;

namespace {

/// What tells one version of a file from another: a commit puts a new file in place.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    off_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size};
}

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

FileStamp stampOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? stampOf(st) : FileStamp{};
}

}  // namespace

struct HiveRegistry::Slot {
    std::string path;
    std::unique_ptr<HiveFile> file;
    FileStamp stamp;  ///< of the file as it was read
    /// The file as it was read, held open so that its inode number is not given to a
    /// newer file: a changed stamp then always means a changed file.
    int pin = -1;
    bool tried = false;     ///< the file was opened once (or failed to open)
    bool backedUp = false;  ///< its copy of this run exists

    Slot() = default;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot() {
        if (pin >= 0) {
            ::close(pin);
        }
    }
};

namespace {

enum SlotIndex : std::size_t { kSoftware, kSystem, kUser, kUserClasses, kDefaultUser };

constexpr std::string_view kClassesSuffix = "_Classes";

/// keyPathParts as owned names, which the places keep after the path is gone.
std::vector<std::string> splitPath(std::string_view path) {
    const auto parts = keyPathParts(path);
    return {parts.begin(), parts.end()};
}

bool isText(RegType type) {
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

}  // namespace

std::string HiveRegistry::textFromHive(std::string_view utf16) {
    std::string out;
    out.reserve(utf16.size() / 2);
    auto unit = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(utf16[i]) |
                                     (static_cast<unsigned char>(utf16[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < utf16.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        text::appendUtf8(out, c);
    }
    return out;
}

namespace {

RegValue fromHive(RegValue raw) {
    if (isText(raw.type)) {
        raw.data = HiveRegistry::textFromHive(raw.data);
    }
    return raw;
}

std::optional<RegValue> toHive(const RegValue& value) {
    if (!isText(value.type)) {
        return value;
    }
    auto utf16 = utf16::fromUtf8(value.data);
    if (!utf16) {
        return std::nullopt;
    }
    RegValue raw;
    raw.type = value.type;
    raw.data = std::move(*utf16);
    return raw;
}

void addName(std::vector<std::string>& names, std::string name) {
    for (const auto& n : names) {
        if (text::iequals(n, name)) {
            return;
        }
    }
    names.push_back(std::move(name));
}

/// "2026-12-09 06-01-02", local time: part of the names of the backup copies.
std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H-%M-%S", &local);
    return std::string(buf, n);
}

}  // namespace

HiveRegistry::HiveRegistry(Files files, std::string backupFolder)
    : backupFolder_(std::move(backupFolder)), userSid_(std::move(files.userSid)) {
    for (std::string* path :
         {&files.software, &files.system, &files.user, &files.userClasses, &files.defaultUser}) {
        auto s = std::make_unique<Slot>();
        s->path = std::move(*path);
        slots_.push_back(std::move(s));
    }
}

HiveRegistry::~HiveRegistry() = default;

HiveRegistry::Slot* HiveRegistry::slot(std::size_t index) {
    Slot& s = *slots_[index];
    if (s.path.empty()) {
        return nullptr;
    }
    if (!s.tried) {
        s.tried = true;
        load(s, false);
    } else if (s.file && stampOf(s.path) != s.stamp && !load(s, s.file->writable())) {
        // Another program changed the hive: what is in memory is out of date.
        s.file.reset();
    }
    return s.file ? &s : nullptr;
}

bool HiveRegistry::isOuterKey(Hive hive, std::string_view path) const {
    if (hiveName(hive).empty()) {
        return false;
    }
    return splitPath(path).empty();
}

std::vector<HiveRegistry::Place> HiveRegistry::places(Hive hive, std::string_view path) {
    std::vector<Place> out;
    std::vector<std::string> parts = splitPath(path);
    auto add = [&](std::size_t index, std::vector<std::string> rest) {
        if (Slot* s = slot(index)) {
            out.push_back({s, std::move(rest)});
        }
    };
    switch (hive) {
        case Hive::LocalMachine: {
            if (parts.empty()) {
                break;
            }
            std::vector<std::string> rest(parts.begin() + 1, parts.end());
            if (text::iequals(parts[0], "SOFTWARE")) {
                add(kSoftware, std::move(rest));
            } else if (text::iequals(parts[0], "SYSTEM")) {
                if (!rest.empty() && text::iequals(rest[0], "CurrentControlSet")) {
                    rest[0] = controlSet();
                }
                add(kSystem, std::move(rest));
            }
            break;
        }
        case Hive::CurrentUser:
            // Software\Classes of a user lives in the user's own classes hive.
            if (parts.size() >= 2 && text::iequals(parts[0], "Software") &&
                text::iequals(parts[1], "Classes") && slot(kUserClasses) != nullptr) {
                add(kUserClasses, std::vector<std::string>(parts.begin() + 2, parts.end()));
            } else {
                add(kUser, std::move(parts));
            }
            break;
        case Hive::Users:
            if (parts.empty()) {
                break;
            } else if (text::iequals(parts[0], ".DEFAULT")) {
                add(kDefaultUser, std::vector<std::string>(parts.begin() + 1, parts.end()));
            } else if (!userSid_.empty() && text::iequals(parts[0], userSid_)) {
                std::string rest;
                for (std::size_t i = 1; i < parts.size(); ++i) {
                    rest += parts[i] + "\\";
                }
                return places(Hive::CurrentUser, rest);
            } else if (!userSid_.empty() &&
                       text::iequals(parts[0], userSid_ + std::string(kClassesSuffix))) {
                add(kUserClasses, std::vector<std::string>(parts.begin() + 1, parts.end()));
            }
            break;
        case Hive::CurrentConfig:
            parts.insert(parts.begin(), {controlSet(), "Hardware Profiles", "Current"});
            add(kSystem, std::move(parts));
            break;
        case Hive::ClassesRoot: {
            add(kUserClasses, parts);
            parts.insert(parts.begin(), "Classes");
            add(kSoftware, std::move(parts));
            break;
        }
        default:
            break;
    }
    return out;
}

const std::string& HiveRegistry::controlSet() {
    if (!controlSet_) {
        // The control set in use is the one Select\Current names.
        std::uint32_t current = 1;
        if (Slot* s = slot(kSystem)) {
            auto v = s->file->value(s->file->find({"Select"}), "Current");
            if (v && v->type == RegType::Dword && v->data.size() == 4) {
                current = v->number();
            }
        }
        char name[32];
        std::snprintf(name, sizeof name, "ControlSet%03u", current);
        controlSet_ = name;
    }
    return *controlSet_;
}

std::size_t HiveRegistry::node(const Place& place) {
    return place.slot->file->find(place.parts);
}

std::vector<std::string> HiveRegistry::outerSubkeys(Hive hive) {
    std::vector<std::string> names;
    if (hive == Hive::LocalMachine) {
        if (slot(kSoftware)) {
            names.emplace_back("SOFTWARE");
        }
        if (slot(kSystem)) {
            names.emplace_back("SYSTEM");
        }
    } else if (hive == Hive::Users) {
        if (slot(kDefaultUser)) {
            names.emplace_back(".DEFAULT");
        }
        if (!userSid_.empty() && slot(kUser)) {
            names.push_back(userSid_);
        }
        if (!userSid_.empty() && slot(kUserClasses)) {
            names.push_back(userSid_ + std::string(kClassesSuffix));
        }
    }
    return names;
}

bool HiveRegistry::keyExists(Hive hive, std::string_view path, KeyAccess) {
    if (isOuterKey(hive, path)) {
        return true;
    }
    for (const Place& p : places(hive, path)) {
        if (node(p) != 0) {
            return true;
        }
    }
    return false;
}

std::optional<RegValue> HiveRegistry::queryValue(Hive hive, std::string_view path,
                                                 std::string_view name, KeyAccess) {
    for (const Place& p : places(hive, path)) {
        if (auto v = p.slot->file->value(node(p), name)) {
            return fromHive(std::move(*v));
        }
    }
    return std::nullopt;
}

bool HiveRegistry::backup(Slot& s) {
    if (s.backedUp) {
        return true;
    }
    if (backupFolder_.empty()) {
        return false;
    }
    std::error_code ec;
    fs::create_directories(backupFolder_, ec);
    const std::string base =
        backupFolder_ + "/" + fs::path(s.path).filename().string() + " " + timeStamp();
    std::string target = base;
    for (int n = 2; fs::exists(target, ec) && n < 1000; ++n) {
        target = base + " (" + std::to_string(n) + ")";
    }
    if (!fs::copy_file(s.path, target, fs::copy_options::none, ec) || ec) {
        return false;
    }
    s.backedUp = true;
    backups_.push_back(target);
    return true;
}

HiveFile* HiveRegistry::writable(Slot& s) {
    if (s.file && s.file->writable()) {
        return s.file.get();
    }
    if (!backup(s)) {
        return nullptr;
    }
    return load(s, true) ? s.file.get() : nullptr;
}

bool HiveRegistry::load(Slot& s, bool writable) {
    // The file read must be the one pinned: when it is replaced in between, try again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int pin = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (pin < 0) {
            return false;
        }
        std::string error;
        auto file = HiveFile::open(s.path, writable, error);
        const FileStamp stamp = stampOf(pin);
        if (!file || stamp != stampOf(s.path)) {
            ::close(pin);
            if (!file) {
                return false;
            }
            continue;
        }
        if (s.pin >= 0) {
            ::close(s.pin);
        }
        s.pin = pin;
        s.stamp = stamp;
        s.file = std::move(file);
        return true;
    }
    return false;
}

bool HiveRegistry::commit(Slot& s) {
    if (s.file->commit()) {
        // What is in memory is what the file now holds: pin the new file.
        int pin = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (pin >= 0) {
            if (s.pin >= 0) {
                ::close(s.pin);
            }
            s.pin = pin;
            s.stamp = stampOf(pin);
        }
        return true;
    }
    discard(s);
    return false;
}

void HiveRegistry::discard(Slot& s) {
    // What is in memory no longer matches the file: read the file again.
    if (!load(s, true) && !load(s, false)) {
        s.file.reset();
    }
}

bool HiveRegistry::createKey(Hive hive, std::string_view path) {
    if (isOuterKey(hive, path)) {
        return true;
    }
    std::vector<Place> found = places(hive, path);
    if (found.empty()) {
        return false;
    }
    for (const Place& p : found) {
        if (node(p) != 0) {
            return true;
        }
    }
    // A new class goes to the machine's classes, as on a machine that runs.
    Place& p = found.back();
    HiveFile* file = writable(*p.slot);
    if (file == nullptr) {
        return false;
    }
    std::size_t n = file->root();
    for (const auto& part : p.parts) {
        std::size_t next = file->child(n, part);
        if (next == 0) {
            next = file->addChild(n, part);
        }
        if (next == 0) {
            discard(*p.slot);
            return false;
        }
        n = next;
    }
    return commit(*p.slot);
}

bool HiveRegistry::setValue(Hive hive, std::string_view path, std::string_view name,
                            const RegValue& value) {
    auto raw = toHive(value);
    if (!raw || isOuterKey(hive, path)) {
        return false;
    }
    std::vector<Place> found = places(hive, path);
    if (found.empty()) {
        return false;
    }
    std::size_t chosen = found.size() - 1;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (node(found[i]) != 0) {
            chosen = i;
            break;
        }
    }
    Place& p = found[chosen];
    if (node(p) == 0 && !createKey(hive, path)) {
        return false;
    }
    HiveFile* file = writable(*p.slot);
    if (file == nullptr) {
        return false;
    }
    if (!file->setValue(file->find(p.parts), name, *raw)) {
        discard(*p.slot);
        return false;
    }
    return commit(*p.slot);
}

bool HiveRegistry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    bool deleted = false;
    for (const Place& p : places(hive, path)) {
        if (!p.slot->file->value(node(p), name)) {
            continue;
        }
        HiveFile* file = writable(*p.slot);
        if (file != nullptr && file->deleteValue(file->find(p.parts), name)) {
            deleted = commit(*p.slot) || deleted;
        }
    }
    return deleted;
}

bool HiveRegistry::deleteTree(Hive hive, std::string_view path) {
    bool deleted = false;
    for (const Place& p : places(hive, path)) {
        // The top key of a hive file stays: only what is below it goes.
        if (p.parts.empty() || node(p) == 0) {
            continue;
        }
        HiveFile* file = writable(*p.slot);
        if (file != nullptr && file->deleteKey(file->find(p.parts))) {
            deleted = commit(*p.slot) || deleted;
        }
    }
    return deleted;
}

std::optional<std::vector<std::string>> HiveRegistry::subkeys(Hive hive, std::string_view path) {
    std::optional<std::vector<std::string>> names;
    if (isOuterKey(hive, path)) {
        names = outerSubkeys(hive);
    }
    for (const Place& p : places(hive, path)) {
        std::size_t n = node(p);
        if (n == 0) {
            continue;
        }
        if (!names) {
            names.emplace();
        }
        for (auto& name : p.slot->file->subkeyNames(n)) {
            addName(*names, std::move(name));
        }
        if (p.slot == slots_[kSystem].get() && p.parts.empty()) {
            addName(*names, "CurrentControlSet");
        }
        if (p.slot == slots_[kUser].get() && p.parts.size() == 1 &&
            text::iequals(p.parts[0], "Software") && slot(kUserClasses) != nullptr) {
            addName(*names, "Classes");
        }
    }
    return names;
}

std::optional<std::vector<std::string>> HiveRegistry::valueNames(Hive hive, std::string_view path) {
    std::optional<std::vector<std::string>> names;
    if (isOuterKey(hive, path)) {
        names.emplace();
    }
    for (const Place& p : places(hive, path)) {
        std::size_t n = node(p);
        if (n == 0) {
            continue;
        }
        if (!names) {
            names.emplace();
        }
        for (auto& name : p.slot->file->valueNames(n)) {
            addName(*names, std::move(name));
        }
    }
    return names;
}

}  // namespace nightjar::platform::posix
