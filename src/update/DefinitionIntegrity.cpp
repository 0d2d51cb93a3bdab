#include "update/DefinitionIntegrity.h"

#include <array>

#include "definitions/DefinitionFiles.h"

namespace nightjar::update {

DefinitionIntegrity::DefinitionIntegrity(platform::FileSystem& fs, std::string dataFolder)
    : fs_(fs), dataFolder_(std::move(dataFolder)) {}

bool DefinitionIntegrity::NormalFileExists(platform::FileSystem& fs, std::string_view path) {
    auto a = fs.attributes(path);
    constexpr std::uint32_t kNotNormal =
        platform::attr::Directory | platform::attr::Hidden | platform::attr::System;
    return a.has_value() && (*a & kNotNormal) == 0;
}

void DefinitionIntegrity::PromoteStagedDefinitions() {
    static constexpr std::array<std::string_view, 4> kStaged = {
        definitions::kBlockedCookies, definitions::kRegistryDefinition,
        definitions::kFileDefinition, definitions::kExeDefinition};
    for (std::string_view name : kStaged) {
        const std::string target = definitions::DataFile(dataFolder_, name);
        const std::string staged = definitions::DataFile(dataFolder_, "DL" + std::string(name));
        if (!NormalFileExists(fs_, staged)) {
            continue;
        }
        // One rename that replaces the old file: there is no moment without either file.
        fs_.moveFile(staged, target);
    }
}

bool DefinitionIntegrity::CheckDefinitionFiles(const std::function<void()>& filesMissing) {
    for (std::string_view name : definitions::kGuardedFiles) {
        if (!NormalFileExists(fs_, definitions::DataFile(dataFolder_, name))) {
            if (filesMissing) {
                filesMissing();
            }
            DeleteDefinitionFiles();
            return false;
        }
    }
    return true;
}

void DefinitionIntegrity::DeleteDefinitionFiles() {
    static constexpr std::array<std::string_view, 6> kOrder = {
        definitions::kDirectoryDefinition, definitions::kBlockedCookies,
        definitions::kExeDefinition,       definitions::kRegistryDefinition,
        definitions::kFileDefinition,      definitions::kDateFile};
    for (std::string_view name : kOrder) {
        fs_.deleteFile(definitions::DataFile(dataFolder_, name));  // failures are skipped
    }
}

}  // namespace nightjar::update
