#pragma once
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "mock/TempDir.h"
#include "platform/Platform.h"
#include "update/DefinitionUpdater.h"
#include "update/ServerConfig.h"
#include "util/Text.h"

namespace nightjar::e2e {

inline std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// One client installation: a machine root, the POSIX platform layer over it, and the
/// data folder the update writes.
class ClientMachine {
  public:
    explicit ClientMachine(const std::string& root) {
        platform::PlatformOptions options;
        options.machineRoot = root;
        platform_ = platform::createPlatform(options, error_);
        if (platform_) {
            definitions::PlaceholderExpander expander(*platform_->shellFolders);
            dataFolder_ = definitions::DataFolder(expander);
            platform_->fileSystem->createFolder(dataFolder_);
        }
    }

    bool ok() const { return platform_ != nullptr && !dataFolder_.empty(); }
    const std::string& error() const { return error_; }

    /// One check against `baseUrl` with the given HTTP client (the platform's by default);
    /// with `publicKey` (base64), only answers signed with its private key are taken.
    update::UpdateResult check(const std::string& baseUrl, platform::Http* http = nullptr,
                               const std::string& publicKey = {}) {
        update::ServerConfig servers(nullptr, [](const char*) { return std::nullopt; });
        servers.setDefinitionOverride(baseUrl);
        localization::ProductIdentity identity{"Nightjar", "Nightjar Labs", "nightjar.example"};
        update::UpdateObserver observer;
        update::DefinitionUpdater updater(
            *platform_->fileSystem, http != nullptr ? *http : *platform_->http,
            *platform_->fileLocks, dataFolder_, identity, servers, observer);
        if (!publicKey.empty()) {
            updater.requireSignedAnswers(*platform_->signatureVerifier, publicKey);
        }
        return updater.CheckAndApplyUpdates();
    }

    std::string hostPath(std::string_view name) {
        return platform_->fileSystem->hostPath(definitions::DataFile(dataFolder_, name));
    }
    bool exists(std::string_view name) { return std::filesystem::exists(hostPath(name)); }
    /// The raw bytes of a data file ("" when missing).
    std::string bytes(std::string_view name) { return readHostFile(hostPath(name)); }
    /// The decoded lines of a data file, in file order.
    std::vector<std::string> lines(std::string_view name) {
        std::vector<std::string> out;
        for (const std::string& l : text::split(bytes(name), "\r\n")) {
            if (!l.empty()) {
                out.push_back(definitions::UnscrambleLine(l));
            }
        }
        return out;
    }
    /// True when no definition file holds anything and date.dat does not exist.
    bool untouched() {
        if (exists(definitions::kDateFile)) {
            return false;
        }
        for (std::string_view f : {definitions::kFileDefinition, definitions::kExeDefinition,
                                   definitions::kRegistryDefinition, definitions::kBlockedCookies,
                                   definitions::kDirectoryDefinition, definitions::kSafety}) {
            if (!bytes(f).empty()) {
                return false;
            }
        }
        return true;
    }
    platform::Http& http() { return *platform_->http; }
    platform::Platform& platform() { return *platform_; }
    const std::string& dataFolder() const { return dataFolder_; }

  private:
    std::string error_;
    std::unique_ptr<platform::Platform> platform_;
    std::string dataFolder_;
};

}  // namespace nightjar::e2e
