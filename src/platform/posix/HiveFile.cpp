#include "platform/posix/HiveFile.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

/// Text hivex hands over and the caller frees.
struct FreeText {
    void operator()(char* p) const { std::free(p); }
};
using OwnedText = std::unique_ptr<char, FreeText>;

/// Names travel to hivex as C strings: one holding a zero byte cannot be stored.
bool storable(std::string_view name) {
    return name.find('\0') == std::string_view::npos;
}

bool syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::unique_ptr<HiveFile> HiveFile::open(const std::string& path, bool writable,
                                         std::string& error) {
    hive_h* h = hivex_open(path.c_str(), writable ? HIVEX_OPEN_WRITE : 0);
    if (h == nullptr) {
        error = "cannot open hive " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<HiveFile>(new HiveFile(h, path, writable));
}

HiveFile::~HiveFile() {
    hivex_close(h_);
}

std::size_t HiveFile::root() const {
    return hivex_root(h_);
}

std::size_t HiveFile::child(std::size_t node, std::string_view name) const {
    if (node == 0 || !storable(name)) {
        return 0;
    }
    if (std::size_t found = hivex_node_get_child(h_, node, std::string(name).c_str())) {
        return found;
    }
    // hivex folds ASCII letters only; the engine folds the Latin ones as well.
    if (text::isAscii(name)) {
        return 0;
    }
    std::size_t found = 0;
    if (hive_node_h* children = hivex_node_children(h_, node)) {
        for (hive_node_h* c = children; *c != 0 && found == 0; ++c) {
            OwnedText n(hivex_node_name(h_, *c));
            if (n && text::iequals(n.get(), name)) {
                found = *c;
            }
        }
        std::free(children);
    }
    return found;
}

std::size_t HiveFile::valueHandle(std::size_t node, std::string_view name) const {
    if (node == 0 || !storable(name)) {
        return 0;
    }
    if (std::size_t found = hivex_node_get_value(h_, node, std::string(name).c_str())) {
        return found;
    }
    if (text::isAscii(name)) {
        return 0;
    }
    std::size_t found = 0;
    if (hive_value_h* values = hivex_node_values(h_, node)) {
        for (hive_value_h* v = values; *v != 0 && found == 0; ++v) {
            OwnedText key(hivex_value_key(h_, *v));
            if (key && text::iequals(key.get(), name)) {
                found = *v;
            }
        }
        std::free(values);
    }
    return found;
}

std::size_t HiveFile::find(const std::vector<std::string>& parts) const {
    std::size_t node = root();
    for (const auto& part : parts) {
        node = child(node, part);
        if (node == 0) {
            break;
        }
    }
    return node;
}

std::vector<std::string> HiveFile::subkeyNames(std::size_t node) const {
    std::vector<std::string> names;
    if (node == 0) {
        return names;
    }
    hive_node_h* children = hivex_node_children(h_, node);
    if (children == nullptr) {
        return names;
    }
    for (hive_node_h* c = children; *c != 0; ++c) {
        OwnedText name(hivex_node_name(h_, *c));
        if (name) {
            names.emplace_back(name.get());
        }
    }
    std::free(children);
    return names;
}

std::vector<std::string> HiveFile::valueNames(std::size_t node) const {
    std::vector<std::string> names;
    if (node == 0) {
        return names;
    }
    hive_value_h* values = hivex_node_values(h_, node);
    if (values == nullptr) {
        return names;
    }
    for (hive_value_h* v = values; *v != 0; ++v) {
        OwnedText key(hivex_value_key(h_, *v));
        if (key) {
            names.emplace_back(key.get());
        }
    }
    std::free(values);
    return names;
}

std::optional<RegValue> HiveFile::value(std::size_t node, std::string_view name) const {
    hive_value_h v = valueHandle(node, name);
    if (v == 0) {
        return std::nullopt;
    }
    hive_type type{};
    std::size_t len = 0;
    OwnedText bytes(hivex_value_value(h_, v, &type, &len));
    if (!bytes) {
        return std::nullopt;
    }
    RegValue out;
    out.type = static_cast<RegType>(type);
    out.data.assign(bytes.get(), len);
    return out;
}

std::size_t HiveFile::addChild(std::size_t node, std::string_view name) {
    if (!writable_ || node == 0 || name.empty() || !storable(name) ||
        name.find('\\') != std::string_view::npos) {
        return 0;
    }
    return hivex_node_add_child(h_, node, std::string(name).c_str());
}

bool HiveFile::deleteKey(std::size_t node) {
    if (!writable_ || node == 0 || node == root()) {
        return false;
    }
    return hivex_node_delete_child(h_, node) == 0;
}

bool HiveFile::setValue(std::size_t node, std::string_view name, const RegValue& raw) {
    if (!writable_ || node == 0 || !storable(name)) {
        return false;
    }
    // A value of that name keeps its spelling.
    std::string key(name);
    if (hive_value_h old = valueHandle(node, name)) {
        if (OwnedText stored{hivex_value_key(h_, old)}) {
            key = stored.get();
        }
    }
    std::string data = raw.data;
    hive_set_value v{};
    v.key = key.data();
    v.t = static_cast<hive_type>(raw.type);
    v.len = data.size();
    v.value = data.data();
    return hivex_node_set_value(h_, node, &v, 0) == 0;
}

bool HiveFile::deleteValue(std::size_t node, std::string_view name) {
    if (!writable_ || node == 0 || !storable(name)) {
        return false;
    }
    hive_value_h doomed = valueHandle(node, name);
    if (doomed == 0) {
        return false;
    }
    // hivex replaces a key's values as a whole: every other value is written back as it is.
    hive_value_h* values = hivex_node_values(h_, node);
    if (values == nullptr) {
        return false;
    }
    struct Kept {
        std::string key;
        hive_type type;
        std::string data;
    };
    std::vector<Kept> kept;
    bool ok = true;
    for (hive_value_h* v = values; *v != 0 && ok; ++v) {
        if (*v == doomed) {
            continue;
        }
        OwnedText key(hivex_value_key(h_, *v));
        hive_type type{};
        std::size_t len = 0;
        OwnedText bytes(hivex_value_value(h_, *v, &type, &len));
        ok = key && bytes;
        if (ok) {
            kept.push_back({key.get(), type, std::string(bytes.get(), len)});
        }
    }
    std::free(values);
    if (!ok) {
        return false;
    }
    std::vector<hive_set_value> set(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        set[i].key = kept[i].key.data();
        set[i].t = kept[i].type;
        set[i].len = kept[i].data.size();
        set[i].value = kept[i].data.data();
    }
    return hivex_node_set_values(h_, node, set.size(), set.data(), 0) == 0;
}

bool HiveFile::commit() {
    if (!writable_) {
        return false;
    }
    const std::string fresh = path_ + ".nightjar-new";
    if (hivex_commit(h_, fresh.c_str(), 0) != 0) {
        std::remove(fresh.c_str());
        return false;
    }
    // The new file takes the place of the hive with the hive's permissions.
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        ::chmod(fresh.c_str(), st.st_mode & 07777);
    }
    if (!syncFile(fresh) || std::rename(fresh.c_str(), path_.c_str()) != 0) {
        std::remove(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace nightjar::platform::posix
