#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <shlwapi.h>

#include <memory>
#include <string>

#include "platform/win32/AnsiText.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

// Rights that make a key count as openable: query, set, create subkey, enumerate, notify,
// create link. A key the user may only read does not open with them.
constexpr REGSAM kFullAccess = 0x3F;

struct KeyCloser {
    void operator()(HKEY k) const { RegCloseKey(k); }
};
using KeyPtr = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

HKEY rootKey(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Hive::CurrentUser:
            return HKEY_CURRENT_USER;
        case Hive::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case Hive::Users:
            return HKEY_USERS;
        case Hive::CurrentConfig:
            return HKEY_CURRENT_CONFIG;
        case Hive::DynData:
            return HKEY_DYN_DATA;
    }
    return nullptr;
}

/// `path` under `hive` opened with `rights` or, with `create`, created when it is missing;
/// null on a failure.
KeyPtr openKey(Hive hive, std::string_view path, REGSAM rights, bool create = false) {
    HKEY root = rootKey(hive);
    if (root == nullptr) {
        return nullptr;
    }
    HKEY key = nullptr;
    std::string p = ToAnsi(path);
    LONG status = create ? RegCreateKeyExA(root, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           rights, nullptr, &key, nullptr)
                         : RegOpenKeyExA(root, p.c_str(), 0, rights, &key);
    if (status != ERROR_SUCCESS) {
        return nullptr;
    }
    return KeyPtr(key);
}

KeyPtr createOrOpen(Hive hive, std::string_view path, REGSAM rights) {
    return openKey(hive, path, rights, true);
}

}  // namespace

bool Win32Registry::keyExists(Hive hive, std::string_view path, KeyAccess access) {
    return openKey(hive, path, access == KeyAccess::Full ? kFullAccess : KEY_READ) != nullptr;
}

std::optional<RegValue> Win32Registry::queryValue(Hive hive, std::string_view path,
                                                  std::string_view name, KeyAccess access) {
    KeyPtr key = openKey(hive, path, access == KeyAccess::Full ? kFullAccess : KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    std::string valueName = ToAnsi(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between the size query and the read; retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string data(size, '\0');
        DWORD got = size;
        LONG rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got);
            RegValue v;
            v.type = static_cast<RegType>(type);
            v.data = std::move(data);
            return v;
        }
        if (rc != ERROR_MORE_DATA) {
            return std::nullopt;
        }
        size = got > size ? got : size * 2 + 16;
    }
    return std::nullopt;
}

bool Win32Registry::createKey(Hive hive, std::string_view path) {
    return createOrOpen(hive, path, KEY_WRITE | KEY_QUERY_VALUE) != nullptr;
}

bool Win32Registry::setValue(Hive hive, std::string_view path, std::string_view name,
                             const RegValue& value) {
    if (value.data.size() > 0xFFFFFFFFu) {
        return false;
    }
    KeyPtr key = createOrOpen(hive, path, KEY_WRITE | KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    std::string valueName = ToAnsi(name);
    return RegSetValueExA(key.get(), valueName.c_str(), 0, static_cast<DWORD>(value.type),
                          reinterpret_cast<const BYTE*>(value.data.data()),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool Win32Registry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    KeyPtr key = openKey(hive, path, KEY_SET_VALUE);
    if (!key) {
        return false;
    }
    std::string valueName = ToAnsi(name);
    return RegDeleteValueA(key.get(), valueName.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::deleteTree(Hive hive, std::string_view path) {
    HKEY root = rootKey(hive);
    std::string p = ToAnsi(path);
    // Leading or trailing separators would still name the hive itself.
    if (root == nullptr || text::trim(text::replaceAll(p, "\\", "")).empty()) {
        return false;
    }
    return SHDeleteKeyA(root, p.c_str()) == ERROR_SUCCESS;
}

std::optional<std::vector<std::string>> Win32Registry::subkeys(Hive hive, std::string_view path) {
    KeyPtr key = openKey(hive, path, KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    char buf[256];  // key names are at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof buf;
        LONG rc = RegEnumKeyExA(key.get(), i, buf, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        names.push_back(FromAnsi(std::string_view(buf, len)));
    }
    return names;
}

std::optional<std::vector<std::string>> Win32Registry::valueNames(Hive hive,
                                                                  std::string_view path) {
    KeyPtr key = openKey(hive, path, KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    std::string buf(16384, '\0');  // value names are at most 16383 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG rc = RegEnumValueA(key.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        names.push_back(FromAnsi(std::string_view(buf.data(), len)));
    }
    return names;
}

}  // namespace nightjar::platform::win32
