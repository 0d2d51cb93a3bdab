#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::update {

/// The guards around the definition files: start-up staging and the pre-scan check.
class DefinitionIntegrity {
  public:
    DefinitionIntegrity(platform::FileSystem& fs, std::string dataFolder);

    /// Puts every staged copy ("DL" + name) of BlockedCookies.dat, RegistryDefinition.dat,
    /// FileDefinition.dat and ExeDefinition.dat in place of its file.
    void PromoteStagedDefinitions();

    /// True when all five guarded files exist. At the first missing one it calls
    /// `filesMissing` (the caller sets `lblDefVersion` to MSG_MISSINGFILES), deletes the
    /// whole set with DeleteDefinitionFiles and returns false.
    bool CheckDefinitionFiles(const std::function<void()>& filesMissing = {});

    /// Deletes DirectoryDefinition.dat, BlockedCookies.dat, ExeDefinition.dat,
    /// RegistryDefinition.dat, FileDefinition.dat and date.dat; failures are skipped.
    void DeleteDefinitionFiles();

    /// Existence as a listing of the exact path for normal files sees it: a file that is
    /// neither a folder, hidden nor system.
    static bool NormalFileExists(platform::FileSystem& fs, std::string_view path);

  private:
    platform::FileSystem& fs_;
    std::string dataFolder_;
};

}  // namespace nightjar::update
