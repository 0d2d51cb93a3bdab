#pragma once
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "DefinitionStore.h"

namespace nightjar::server::test {

/// A temporary folder for one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/njserver_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ec);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

/// A store in a fresh database file.
inline std::unique_ptr<DefinitionStore> openTempStore(const TempDir& dir) {
    std::string error;
    return DefinitionStore::open(dir.file("defs.db"), error);
}

}  // namespace nightjar::server::test
