#pragma once
#include <memory>
#include <string>

#include "DefinitionStore.h"
#include "mock/TempDir.h"

namespace nightjar::server::test {

using mock::TempDir;

/// A store in a fresh database file.
inline std::unique_ptr<DefinitionStore> openTempStore(const TempDir& dir) {
    std::string error;
    return DefinitionStore::open(dir.file("defs.db"), error);
}

}  // namespace nightjar::server::test
