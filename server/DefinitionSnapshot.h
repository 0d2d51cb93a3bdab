#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "DefinitionRow.h"

namespace nightjar::server {

/// The definitions as loaded at one generation, shared read-only by the worker threads,
/// with the answers computed from them kept for reuse.
class DefinitionSnapshot {
  public:
    DefinitionSnapshot(std::vector<DefinitionRow> rows, std::int64_t generation);

    std::int64_t generation() const { return generation_; }
    const std::vector<DefinitionRow>& rows() const { return rows_; }

    /// The current definitions date: the latest time an entry was added or withdrawn; the
    /// client's default date when there are no entries at all.
    std::int64_t currentDate() const { return currentDate_; }

    /// The update text for a client at `since` (cached per date).
    std::shared_ptr<const std::string> updateText(std::int64_t since) const;
    /// A server-layout file by its path below "/definitions/" ("data/FileDefinition.dat",
    /// "version/F.HTM"); null when there is no such file.
    std::shared_ptr<const std::string> layoutFile(const std::string& relativePath) const;

    /// True when a current FILE, EXE or DLL entry names this file (letter case ignored).
    bool namesFile(const std::string& lowerName) const { return fileNames_.contains(lowerName); }

  private:
    static constexpr std::size_t kMaxCachedTexts = 256;

    std::vector<DefinitionRow> rows_;
    std::int64_t generation_;
    std::int64_t currentDate_;
    std::int64_t earliest_;  ///< earliest change time
    std::set<std::string> fileNames_;

    mutable std::mutex cacheMutex_;
    mutable std::map<std::int64_t, std::shared_ptr<const std::string>> texts_;
    mutable std::map<std::string, std::shared_ptr<const std::string>> layout_;
};

}  // namespace nightjar::server
