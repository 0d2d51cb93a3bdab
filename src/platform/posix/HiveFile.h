#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

struct hive_h;

namespace nightjar::platform::posix {

/// One registry hive file of a Windows disk (SOFTWARE, NTUSER.DAT...) opened through
/// hivex. Keys are node numbers (0: none); names match without regard to case. Values
/// come and go as stored: their type and raw bytes (strings in UTF-16LE). Changes stay in
/// memory until commit(), which writes a new file beside the hive and renames it over the
/// hive, so the hive on disk is always whole. No call throws.
class HiveFile {
  public:
    /// Opens the hive; `writable` reads it into memory so that it can be changed. nullptr
    /// with a reason in `error` when hivex cannot open it.
    static std::unique_ptr<HiveFile> open(const std::string& path, bool writable,
                                          std::string& error);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    const std::string& path() const { return path_; }
    bool writable() const { return writable_; }

    std::size_t root() const;
    /// The subkey `name` of `node`, 0 when there is none.
    std::size_t child(std::size_t node, std::string_view name) const;
    /// The key reached from the root through `parts`, 0 when one is missing.
    std::size_t find(const std::vector<std::string>& parts) const;
    std::vector<std::string> subkeyNames(std::size_t node) const;
    std::vector<std::string> valueNames(std::size_t node) const;
    /// The value's type and raw bytes; "" names the default value.
    std::optional<RegValue> value(std::size_t node, std::string_view name) const;

    /// The new subkey, 0 on failure (read-only hive, name taken or not storable).
    std::size_t addChild(std::size_t node, std::string_view name);
    /// Deletes the key with everything below it; the root cannot be deleted.
    bool deleteKey(std::size_t node);
    /// Sets the value (raw bytes) in place of one of the same name.
    bool setValue(std::size_t node, std::string_view name, const RegValue& raw);
    /// False when the value does not exist.
    bool deleteValue(std::size_t node, std::string_view name);
    /// Writes the hive as it is in memory: to a new file beside it, flushed, then renamed
    /// over it. False when it could not be written; the hive on disk is then unchanged.
    bool commit();

  private:
    /// hivex's handle of the value, 0 when there is none.
    std::size_t valueHandle(std::size_t node, std::string_view name) const;

    HiveFile(hive_h* h, std::string path, bool writable)
        : h_(h), path_(std::move(path)), writable_(writable) {}

    hive_h* h_;
    std::string path_;
    bool writable_;
};

}  // namespace nightjar::platform::posix
