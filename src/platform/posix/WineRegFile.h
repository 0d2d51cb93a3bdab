#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace nightjar::platform::posix {

/// One of the text files in which Wine keeps a registry branch (system.reg, user.reg,
/// userdef.reg): the keys and values it holds, read and changed, and the file's text with
/// every line kept as it was, so that writing it back changes only the lines of the keys and
/// values that were changed. Lines it does not understand are kept and otherwise ignored.
///
/// Key paths are relative to the file's branch and use single backslashes; names are UTF-8
/// (the file writes them as escaped UTF-16) and compare without regard to letter case.
/// String values (types 1, 2 and 7) come as UTF-8 with their terminating NULs, other types as
/// the stored bytes. No call throws.
class WineRegFile {
  public:
    /// The file read from its bytes; nullopt when they do not start with Wine's header line.
    static std::optional<WineRegFile> parse(std::string_view bytes);

    WineRegFile(WineRegFile&&) noexcept;
    WineRegFile& operator=(WineRegFile&&) noexcept;
    ~WineRegFile();

    /// The file's bytes: those read, with the changes made since.
    std::string text() const;
    /// The branch named by the ";; All keys relative to" line ("REGISTRY\User\S-1-5-21-..."),
    /// empty when there is none.
    const std::string& relativeTo() const { return relativeTo_; }
    /// True when a change was made since parse() or the last clearChanged().
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }

    /// An empty path is the branch itself, which always exists.
    bool keyExists(std::string_view path) const;
    std::optional<RegValue> value(std::string_view path, std::string_view name) const;
    /// Names of the direct subkeys in name order; nullopt when the key does not exist.
    std::optional<std::vector<std::string>> subkeys(std::string_view path) const;
    /// Names of the values in file order; nullopt when the key does not exist.
    std::optional<std::vector<std::string>> valueNames(std::string_view path) const;

    // Changes. `now` (seconds since 1970) becomes the write time of every key changed.
    /// Creates the key and the keys above it when missing.
    bool createKey(std::string_view path, std::int64_t now);
    /// Creates the key when missing and sets the value; an existing value keeps the spelling
    /// of its name.
    bool setValue(std::string_view path, std::string_view name, const RegValue& value,
                  std::int64_t now);
    /// False when the value does not exist.
    bool deleteValue(std::string_view path, std::string_view name, std::int64_t now);
    /// Deletes the key with everything below it; false when it does not exist or is the
    /// branch itself. The key above keeps existing.
    bool deleteTree(std::string_view path, std::int64_t now);

  private:
    struct Node;
    struct Item {
        std::string raw;  ///< the line(s) as in the file, with their line ends
        bool isValue = false;
        std::string name;
        std::string folded;
        RegValue value;
    };
    struct Block {
        std::string lead;     ///< lines before the key line (a blank line for new keys)
        std::string keyLine;  ///< "[path] seconds" with its line end
        std::size_t pathEnd = 0;
        std::vector<std::string> meta;  ///< the "#" lines right after the key line
        std::vector<Item> items;        ///< values and other lines, in file order
        Node* node = nullptr;           ///< null for a key line that could not be read
    };

    WineRegFile();
    Node* findNode(std::string_view path) const;
    /// The node of the path, made (without blocks) where missing; null for a bad name.
    Node* makeNode(std::string_view path, bool& made);
    Block& newBlock(Node& node, std::list<Block>::iterator before, std::int64_t now);
    void stamp(Block& block, std::int64_t now);
    void formatKeyLine(Block& block, const Node& node);
    std::string pathOf(const Node& node) const;

    std::string preamble_;
    std::list<Block> blocks_;
    std::unique_ptr<Node> root_;
    std::string relativeTo_;
    std::string eol_ = "\n";
    bool changed_ = false;
};

}  // namespace nightjar::platform::posix
