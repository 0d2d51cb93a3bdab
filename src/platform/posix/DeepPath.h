#pragma once
#include <dirent.h>
#include <sys/stat.h>

#include <string>

namespace nightjar::platform::posix {

/// A host path made reachable however long it is. A path at least PATH_MAX bytes long is
/// refused by every call that takes a whole path, so the folders above its last part are
/// opened one stretch at a time, each stretch relative to the folder opened before; calls
/// then go through at() and name() ("*at" calls). A shorter path is used as it is.
class DeepPath {
  public:
    /// `hostPath` must outlive this object.
    explicit DeepPath(const std::string& hostPath);
    ~DeepPath();
    DeepPath(const DeepPath&) = delete;
    DeepPath& operator=(const DeepPath&) = delete;

    /// False when a folder on the way could not be opened.
    bool ok() const { return ok_; }
    /// The folder descriptor to pass to the "*at" calls (AT_FDCWD for a short path).
    int at() const { return fd_; }
    /// The rest of the path, relative to at().
    const char* name() const { return name_; }

    /// Opens the path (flags as for open; O_CLOEXEC is added); -1 on failure.
    static int open(const std::string& hostPath, int flags);
    /// The status of the entry (`follow`: of what a link leads to); false on failure.
    static bool status(const std::string& hostPath, struct stat& st, bool follow);
    /// Opens a folder for listing; nullptr on failure.
    static DIR* openFolder(const std::string& hostPath);

  private:
    int fd_;
    const char* name_;
    std::string rest_;
    bool ok_ = true;
};

}  // namespace nightjar::platform::posix
