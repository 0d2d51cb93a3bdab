#pragma once
#include <map>
#include <string>

#include "platform/ShellFolders.h"

namespace nightjar::mock {

/// Special folders from a table; starts with a Wine-like layout for the user "tester".
class FakeShellFolders : public platform::ShellFolders {
  public:
    FakeShellFolders();

    void set(int csidl, std::string path) { folders_[csidl] = std::move(path); }
    void remove(int csidl) { folders_.erase(csidl); }
    void setSystemDirectory(std::string dir) { systemDir_ = std::move(dir); }
    /// None until set: a 32-bit system.
    void setSystemWow64Directory(std::optional<std::string> dir) { wow64Dir_ = std::move(dir); }
    /// Number of folder lookups answered so far.
    int lookups() const { return lookups_; }

    std::optional<std::string> specialFolder(int csidl) override;
    std::optional<std::string> folderLocationPath(int csidl) override;
    std::string systemDirectory() override { return systemDir_; }
    std::optional<std::string> systemWow64Directory() override { return wow64Dir_; }
    std::string userName() override { return "tester"; }

  private:
    std::map<int, std::string> folders_;
    std::string systemDir_ = "C:\\windows\\system32";
    std::optional<std::string> wow64Dir_;
    int lookups_ = 0;
};

}  // namespace nightjar::mock
