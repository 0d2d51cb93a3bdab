#pragma once
#include <chrono>
#include <string_view>

namespace nightjar::platform {

/// Exclusive locks on files, seen by every process of the machine: one holder per file at
/// a time. A lock ends with its holder's process, so a holder that crashed never blocks
/// the next one. Paths are Windows paths; the file is created when missing and stays.
class FileLocks {
  public:
    virtual ~FileLocks() = default;
    /// Takes the lock on `path`, waiting up to `wait` while someone else (another process,
    /// or another lock of this object on the same file) holds it. False when it stays
    /// held or the file cannot be opened.
    virtual bool lock(std::string_view path, std::chrono::milliseconds wait) = 0;
    /// Lets go of a lock that lock() gave on `path`.
    virtual void unlock(std::string_view path) = 0;
};

}  // namespace nightjar::platform
