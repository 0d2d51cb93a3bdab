#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "util/Text.h"
#include "util/Utf16Text.h"
#include "util/Windows1252.h"

namespace nightjar::platform::win32 {
namespace {

// Rights that make a key count as openable: query, set, create subkey, enumerate, notify,
// create link. A key the user may only read does not open with them.
constexpr REGSAM kFullAccess = 0x3F;
// Every key is opened in the 64-bit view, whatever this build's bitness: there the keys of
// 32-bit programs are seen where they really lie, under Wow6432Node. On 32-bit Windows the
// flag is ignored.
constexpr REGSAM kView = KEY_WOW64_64KEY;

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

/// UTF-16LE bytes of the engine's text. Text that is not UTF-8 is taken as Windows-1252,
/// as eight-bit text is everywhere else in the engine. NULs are kept.
std::string utf16Bytes(std::string_view text) {
    if (auto bytes = utf16::fromUtf8(text)) {
        return *bytes;
    }
    return utf16::fromUtf8(text::windows1252ToUtf8(text)).value_or(std::string());
}

/// The engine's text of UTF-16LE bytes. Data that are not well-formed UTF-16 (an odd byte
/// at the end, a lone surrogate) are read as Windows reads them, a lone unit becoming
/// U+FFFD.
std::string textOfUtf16Bytes(std::string_view bytes) {
    if (auto text = utf16::toUtf8(bytes)) {
        return *text;
    }
    std::wstring units(bytes.size() / 2, L'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * sizeof(wchar_t));
    const int units32 = static_cast<int>(units.size());
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, units.data(), units32, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, units.data(), units32, out.data(), n, nullptr, nullptr);
    }
    return out;
}

/// A key or value name for the W functions.
std::wstring wide(std::string_view text) {
    const std::string bytes = utf16Bytes(text);
    std::wstring w(bytes.size() / 2, L'\0');
    std::memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    return w;
}

std::string narrow(const wchar_t* units, std::size_t count) {
    return textOfUtf16Bytes(
        std::string_view(reinterpret_cast<const char*>(units), count * sizeof(wchar_t)));
}

/// Value types whose data the system keeps as UTF-16 and the engine as UTF-8.
bool isTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

/// `path` under `hive` opened with `rights` or, with `create`, created when it is missing;
/// null on a failure.
KeyPtr openKey(Hive hive, std::string_view path, REGSAM rights, bool create = false) {
    HKEY root = rootKey(hive);
    if (root == nullptr) {
        return nullptr;
    }
    HKEY key = nullptr;
    const std::wstring p = wide(path);
    LONG status = create ? RegCreateKeyExW(root, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           rights | kView, nullptr, &key, nullptr)
                         : RegOpenKeyExW(root, p.c_str(), 0, rights | kView, &key);
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
    const std::wstring valueName = wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between the size query and the read; retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string data(size, '\0');
        DWORD got = size;
        LONG rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got);
            RegValue v;
            v.type = static_cast<RegType>(type);
            v.data = isTextType(type) ? textOfUtf16Bytes(data) : std::move(data);
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
    const std::string data =
        isTextType(static_cast<DWORD>(value.type)) ? utf16Bytes(value.data) : value.data;
    if (data.size() > 0xFFFFFFFFu) {
        return false;
    }
    KeyPtr key = createOrOpen(hive, path, KEY_WRITE | KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    const std::wstring valueName = wide(name);
    return RegSetValueExW(key.get(), valueName.c_str(), 0, static_cast<DWORD>(value.type),
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool Win32Registry::deleteValue(Hive hive, std::string_view path, std::string_view name) {
    KeyPtr key = openKey(hive, path, KEY_SET_VALUE);
    if (!key) {
        return false;
    }
    const std::wstring valueName = wide(name);
    return RegDeleteValueW(key.get(), valueName.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::deleteTree(Hive hive, std::string_view path) {
    HKEY root = rootKey(hive);
    // Leading or trailing separators would still name the hive itself.
    if (root == nullptr || text::trim(text::replaceAll(path, "\\", "")).empty()) {
        return false;
    }
    // Emptied and deleted in the view it was opened in (SHDeleteKey has no choice of view).
    {
        KeyPtr key =
            openKey(hive, path, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!key || RegDeleteTreeW(key.get(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
    }
    const std::wstring p = wide(path);
    return RegDeleteKeyExW(root, p.c_str(), kView, 0) == ERROR_SUCCESS;
}

std::optional<std::vector<std::string>> Win32Registry::subkeys(Hive hive, std::string_view path) {
    KeyPtr key = openKey(hive, path, KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    wchar_t buf[256];  // key names are at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(std::size(buf));
        LONG rc = RegEnumKeyExW(key.get(), i, buf, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        names.push_back(narrow(buf, len));
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
    std::wstring buf(16384, L'\0');  // value names are at most 16383 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG rc = RegEnumValueW(key.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        names.push_back(narrow(buf.data(), len));
    }
    return names;
}

}  // namespace nightjar::platform::win32
