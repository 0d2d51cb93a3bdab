#pragma once
#include <string>

namespace nightjar::platform::posix {

/// Tells whether a wineserver runs for a Wine prefix. A running server holds the lock file
/// of its server folder, server-<device>-<inode> of the prefix, which lies in
/// /tmp/.wine-<uid>/ or, where Wine's builds keep it elsewhere, in the temporary folder
/// named by the prefix's "wineserver" file.
class WineServerProbe {
  public:
    /// True when a process holds the lock of the prefix's server folder.
    static bool running(const std::string& prefix);
};

}  // namespace nightjar::platform::posix
