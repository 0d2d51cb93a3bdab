#include "platform/posix/WineRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <unordered_set>

#include "platform/posix/PosixReplaceFile.h"
#include "platform/posix/WineServerProbe.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

constexpr const char* kFileNames[] = {"system.reg", "user.reg", "userdef.reg"};
constexpr std::string_view kDefaultUser = ".Default";
constexpr std::string_view kClasses = "Software\\Classes";
constexpr std::string_view kCurrentProfile =
    "System\\CurrentControlSet\\Hardware Profiles\\Current";

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string below(std::string_view base, std::string_view path) {
    std::string p = text::trim(path);
    while (!p.empty() && p.front() == '\\') {
        p.erase(0, 1);
    }
    return p.empty() ? std::string(base) : std::string(base) + "\\" + p;
}

/// The first component of a path and the rest after it.
std::pair<std::string_view, std::string_view> firstPart(std::string_view path) {
    while (path.starts_with('\\')) {
        path.remove_prefix(1);
    }
    std::size_t sep = path.find('\\');
    if (sep == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(0, sep), path.substr(sep + 1)};
}

/// Locks the prefix folder for one change, so that two of our processes do not write the
/// same file from the same old copy; the lock ends with the returned guard.
std::shared_ptr<void> lockPrefix(const std::string& prefix) {
    const int fd = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    flock(fd, LOCK_EX);
    return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
}

}  // namespace

bool WineRegistry::isPrefix(const std::string& folder) {
    for (const char* name : kFileNames) {
        if (!fileExists(folder + "/" + name)) {
            return false;
        }
    }
    return true;
}

WineRegistry::WineRegistry(std::string prefix, Clock clock)
    : prefix_(std::move(prefix)), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    }
    for (int i = 0; i < kFileCount; ++i) {
        files_[i].hostPath = prefix_ + "/" + kFileNames[i];
    }
}

std::string WineRegistry::readOnlyReason() const {
    if (!WineServerProbe::running(prefix_)) {
        return {};
    }
    return "a wineserver runs for the Wine prefix " + prefix_ +
           " and writes its registry when it ends, so the registry is only read (end it "
           "with \"wineserver -k\" to allow changes)";
}

bool WineRegistry::writable() const {
    return !WineServerProbe::running(prefix_);
}

WineRegFile* WineRegistry::file(FileId id) {
    Loaded& f = files_[id];
    struct stat st {};
    if (stat(f.hostPath.c_str(), &st) != 0) {
        f.reg.reset();
        return nullptr;
    }
    const std::uint64_t identity[4] = {static_cast<std::uint64_t>(st.st_dev),
                                       static_cast<std::uint64_t>(st.st_ino),
                                       static_cast<std::uint64_t>(st.st_size),
                                       static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                                           static_cast<std::uint64_t>(st.st_mtim.tv_nsec)};
    if (f.reg && std::equal(std::begin(identity), std::end(identity), std::begin(f.identity))) {
        return &*f.reg;
    }
    std::ifstream in(f.hostPath, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    f.reg = in ? WineRegFile::parse(bytes.str()) : std::nullopt;
    std::copy(std::begin(identity), std::end(identity), std::begin(f.identity));
    return f.reg ? &*f.reg : nullptr;
}

bool WineRegistry::save(FileId id) {
    Loaded& f = files_[id];
    if (!f.reg || !f.reg->changed()) {
        return true;
    }
    auto out = PosixReplaceFile::open(f.hostPath);
    const bool ok = out && out->write(f.reg->text()) && out->commit();
    if (ok) {
        f.reg->clearChanged();
        // Known to match the disk only through the next look at it.
        struct stat st {};
        if (stat(f.hostPath.c_str(), &st) == 0) {
            f.identity[0] = static_cast<std::uint64_t>(st.st_dev);
            f.identity[1] = static_cast<std::uint64_t>(st.st_ino);
            f.identity[2] = static_cast<std::uint64_t>(st.st_size);
            f.identity[3] = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                            static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
        }
    } else {
        // What the disk holds is read again.
        f.reg.reset();
    }
    return ok;
}

std::string WineRegistry::userName() {
    WineRegFile* user = file(kUser);
    if (user == nullptr) {
        return {};
    }
    const std::string& rel = user->relativeTo();
    std::size_t sep = rel.rfind('\\');
    return sep == std::string::npos ? std::string() : rel.substr(sep + 1);
}

WineRegistry::Target WineRegistry::target(Hive hive, std::string_view path) {
    Target t;
    switch (hive) {
        case Hive::LocalMachine:
            t.places.push_back({kSystem, below("", path)});
            break;
        case Hive::CurrentUser:
            t.places.push_back({kUser, below("", path)});
            break;
        case Hive::ClassesRoot:
            t.places.push_back({kUser, below(kClasses, path)});
            t.places.push_back({kSystem, below(kClasses, path)});
            break;
        case Hive::CurrentConfig:
            t.places.push_back({kSystem, below(kCurrentProfile, path)});
            break;
        case Hive::Users: {
            auto [first, rest] = firstPart(path);
            if (first.empty()) {
                t.usersRoot = true;
            } else if (text::iequals(first, kDefaultUser)) {
                t.places.push_back({kUserDefault, below("", rest)});
            } else if (const std::string user = userName();
                       !user.empty() && text::iequals(first, user)) {
                t.places.push_back({kUser, below("", rest)});
            }
            break;
        }
        case Hive::DynData:
            break;
    }
    return t;
}

std::optional<WineRegistry::Place> WineRegistry::writePlace(const Target& t) {
    if (t.places.empty()) {
        return std::nullopt;
    }
    for (const Place& p : t.places) {
        if (WineRegFile* f = file(p.file); f != nullptr && f->keyExists(p.path)) {
            return p;
        }
    }
    return t.places.back();
}

bool WineRegistry::keyExists(Hive hive, std::string_view path, KeyAccess /*access*/) {
    Target t = target(hive, path);
    if (t.usersRoot) {
        return true;
    }
    for (const Place& p : t.places) {
        if (WineRegFile* f = file(p.file); f != nullptr && f->keyExists(p.path)) {
            return true;
        }
    }
    return false;
}

std::optional<RegValue> WineRegistry::queryValue(Hive hive, std::string_view path,
                                                 std::string_view name, KeyAccess /*access*/) {
    for (const Place& p : target(hive, path).places) {
        if (WineRegFile* f = file(p.file)) {
            if (auto v = f->value(p.path, name)) {
                return v;
            }
        }
    }
    return std::nullopt;
}

bool WineRegistry::createKey(Hive hive, std::string_view path) {
    Target t = target(hive, path);
    if (t.usersRoot) {
        return true;
    }
    const auto lock = lockPrefix(prefix_);
    auto place = writePlace(t);
    WineRegFile* f = place && writable() ? file(place->file) : nullptr;
    return f != nullptr && f->createKey(place->path, clock_()) && save(place->file);
}

bool WineRegistry::setValue(Hive hive, std::string_view path, std::string_view name,
                            const RegValue& value) {
    const auto lock = lockPrefix(prefix_);
    auto place = writePlace(target(hive, path));
    WineRegFile* f = place && writable() ? file(place->file) : nullptr;
    return f != nullptr && f->setValue(place->path, name, value, clock_()) && save(place->file);
}

bool WineRegistry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    if (!writable()) {
        return false;
    }
    const auto lock = lockPrefix(prefix_);
    bool done = false;
    for (const Place& p : target(hive, path).places) {
        if (WineRegFile* f = file(p.file); f != nullptr && f->deleteValue(p.path, name, clock_())) {
            done = save(p.file) || done;
        }
    }
    return done;
}

bool WineRegistry::deleteTree(Hive hive, std::string_view path) {
    if (!writable()) {
        return false;
    }
    const auto lock = lockPrefix(prefix_);
    bool done = false;
    for (const Place& p : target(hive, path).places) {
        // A root key is never deleted, nor the branch it shows.
        if (p.path.empty() || firstPart(path).first.empty()) {
            continue;
        }
        if (WineRegFile* f = file(p.file); f != nullptr && f->deleteTree(p.path, clock_())) {
            done = save(p.file) || done;
        }
    }
    return done;
}

std::optional<std::vector<std::string>> WineRegistry::mergedNames(const Target& t, NameList list) {
    std::optional<std::vector<std::string>> names;
    std::unordered_set<std::string> seen;
    for (const Place& p : t.places) {
        WineRegFile* f = file(p.file);
        auto some = f != nullptr ? (f->*list)(p.path) : std::nullopt;
        if (!some) {
            continue;
        }
        if (!names) {
            names.emplace();
        }
        for (auto& n : *some) {
            if (seen.insert(text::toLower(n)).second) {
                names->push_back(std::move(n));
            }
        }
    }
    return names;
}

std::optional<std::vector<std::string>> WineRegistry::subkeys(Hive hive, std::string_view path) {
    Target t = target(hive, path);
    if (t.usersRoot) {
        std::vector<std::string> names{std::string(kDefaultUser)};
        if (std::string user = userName(); !user.empty()) {
            names.push_back(user);
        }
        return names;
    }
    auto names = mergedNames(t, &WineRegFile::subkeys);
    if (names && t.places.size() > 1) {
        std::sort(names->begin(), names->end(), [](const std::string& a, const std::string& b) {
            return text::toLower(a) < text::toLower(b);
        });
    }
    return names;
}

std::optional<std::vector<std::string>> WineRegistry::valueNames(Hive hive, std::string_view path) {
    Target t = target(hive, path);
    if (t.usersRoot) {
        return std::vector<std::string>{};
    }
    auto names = mergedNames(t, &WineRegFile::valueNames);
    return names;
}

}  // namespace nightjar::platform::posix
