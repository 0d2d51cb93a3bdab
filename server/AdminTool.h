#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "DefinitionStore.h"

namespace nightjar::server {

/// The administration commands over one database. Each returns a process exit code
/// (0 success, 1 failure, 2 bad input) and writes its output and diagnostics to the given
/// streams.
class AdminTool {
  public:
    AdminTool(DefinitionStore& store, std::ostream& out, std::ostream& err);

    /// Adds every non-empty line of a plain text file as an entry of `kind` (lines starting
    /// with "#" are comments). All new entries share one change time.
    int importFile(const std::string& kind, const std::string& path);
    int add(const std::string& kind, const std::string& body);
    int withdraw(const std::string& kind, const std::string& body);
    int withdrawId(std::int64_t id);
    /// One line per entry: id, kind, added, withdrawn, body.
    int list(bool all);
    /// The update a client at `since` would receive: readable, or the exact bytes.
    int updateText(const std::string& since, bool raw);
    /// The current definitions date.
    int date();
    int setLanguage(std::int64_t package, const std::string& path);
    int submissions();

  private:
    int addBodies(const std::string& kind, const std::vector<std::string>& bodies);
    /// Warns about an unknown threat type of an added entry, or a key it shares with
    /// another current entry.
    void warnAboutAdded(const std::vector<std::int64_t>& added,
                        const std::vector<DefinitionRow>& current);

    DefinitionStore& store_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace nightjar::server
