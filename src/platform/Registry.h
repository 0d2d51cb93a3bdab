#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::platform {

/// The predefined root keys, with the handle values Windows gives them.
enum class Hive : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

/// Registry value types (the REG_* numbers).
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

/// A value as stored: its type and its raw bytes (REG_SZ data includes the terminating NUL
/// when the writer stored one, exactly as RegQueryValueEx would return it).
struct RegValue {
    RegType type = RegType::None;
    std::string data;

    static RegValue string(std::string_view text, RegType t = RegType::Sz);
    static RegValue dword(std::uint32_t v);
    /// Text of an Sz/ExpandSz value without its terminating NULs.
    std::string text() const;
    /// Number of a Dword value (0 when the data is short).
    std::uint32_t number() const;
};

/// Rights a key is opened with. `Full` is the 0x3F set (query, set, create subkey, enumerate,
/// notify, create link): a key the user may read but not change does not open with it.
enum class KeyAccess { Read, Full };

/// The registry. Every call opens and closes its own key; paths are below the hive and use
/// backslashes; names compare case-insensitively. No call throws.
class Registry {
  public:
    virtual ~Registry() = default;

    virtual bool keyExists(Hive hive, std::string_view path, KeyAccess access) = 0;
    /// The value, or nullopt when the key does not open with `access` or the value is missing.
    /// An empty name is the key's default value.
    virtual std::optional<RegValue> queryValue(Hive hive, std::string_view path,
                                               std::string_view name, KeyAccess access) = 0;
    /// Creates the key (and its parents) when missing.
    virtual bool createKey(Hive hive, std::string_view path) = 0;
    /// Creates the key when missing and sets the value.
    virtual bool setValue(Hive hive, std::string_view path, std::string_view name,
                          const RegValue& value) = 0;
    virtual bool deleteValue(Hive hive, std::string_view path, std::string_view name) = 0;
    /// Deletes the key with everything below it (SHDeleteKey).
    virtual bool deleteTree(Hive hive, std::string_view path) = 0;
    /// Names of the direct subkeys, nullopt when the key does not exist.
    virtual std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view path) = 0;
    /// Names of the values of the key, nullopt when the key does not exist.
    virtual std::optional<std::vector<std::string>> valueNames(Hive hive,
                                                               std::string_view path) = 0;
};

/// "HKEY_CURRENT_USER" etc.
std::string_view hiveName(Hive hive);
/// Accepts the full names and the short forms HKCR, HKCU, HKLM, HKU, HKCC, HKDD (any case).
std::optional<Hive> hiveFromName(std::string_view name);
/// The hive of a definition-file hive code "0" to "5" (blanks around it allowed); nullopt
/// for any other text.
std::optional<Hive> hiveFromCode(std::string_view code);
/// The handle value as a signed 32-bit number (HKEY_CURRENT_USER -> -2147483647).
std::int32_t hiveHandleValue(Hive hive);
/// The hive whose handle value is written in `text` as a signed decimal number, the form
/// the removal work list keeps; nullopt for any other text.
std::optional<Hive> hiveFromHandleText(std::string_view text);

/// Where 64-bit Windows keeps the 32-bit programs' view of `path`: "Wow6432Node" inserted
/// below the redirected root (HKLM\Software, HKLM and HKCU Software\Classes, HKCR), so
/// HKLM "Software\X" gives "Software\Wow6432Node\X". nullopt for a path outside those
/// roots, for a root itself and for a path already under Wow6432Node. Keys the two views
/// share have no copy there, so looking the twin up finds nothing for them.
std::optional<std::string> wow64TwinPath(Hive hive, std::string_view path);
/// The names of the keys along `path`, outermost first; empty names (doubled or outer
/// backslashes) are skipped. The views view `path`.
std::vector<std::string_view> keyPathParts(std::string_view path);

}  // namespace nightjar::platform
