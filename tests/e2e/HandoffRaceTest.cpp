// Two clients behind one address update while a definition is added: the one whose
// confirmation is delayed past the other's whole update must still receive the change.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "ServerProcess.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "platform/Platform.h"
#include "update/DefinitionUpdater.h"
#include "update/ServerConfig.h"
#include "util/Text.h"

namespace nightjar::e2e {
namespace {

using update::UpdateOutcome;

/// Passes requests on, first running `beforeConfirm` once before the confirmed-date one.
class DelayingHttp : public platform::Http {
  public:
    DelayingHttp(platform::Http& inner, std::function<void()> beforeConfirm)
        : inner_(inner), beforeConfirm_(std::move(beforeConfirm)) {}

  protected:
    platform::HttpResult fetch(std::string_view url, const platform::HttpProgress& p,
                               std::size_t maxBytes) override {
        if (beforeConfirm_ && url.find("/asp/date.asp") != std::string_view::npos) {
            std::exchange(beforeConfirm_, nullptr)();
        }
        return inner_.get(url, p, maxBytes);
    }

  private:
    platform::Http& inner_;
    std::function<void()> beforeConfirm_;
};

/// One client installation over a machine root below `root`.
class Client {
  public:
    explicit Client(const std::string& root) {
        platform::PlatformOptions options;
        options.machineRoot = root;
        platform_ = platform::createPlatform(options, error_);
        if (platform_) {
            definitions::PlaceholderExpander expander(*platform_->shellFolders);
            dataFolder_ = definitions::DataFolder(expander);
            platform_->fileSystem->createFolder(dataFolder_);
        }
    }
    bool ok() const { return platform_ != nullptr; }
    platform::Http& http() { return *platform_->http; }

    UpdateOutcome check(const std::string& baseUrl, platform::Http* http = nullptr) {
        update::ServerConfig servers(nullptr, [](const char*) { return std::nullopt; });
        servers.setDefinitionOverride(baseUrl);
        localization::ProductIdentity identity{"Nightjar", "Nightjar Labs", "nightjar.example"};
        update::UpdateObserver observer;
        update::DefinitionUpdater updater(
            *platform_->fileSystem, http != nullptr ? *http : *platform_->http,
            *platform_->fileLocks, dataFolder_, identity, servers, observer);
        return updater.CheckAndApplyUpdates().outcome;
    }
    /// How many lines of FileDefinition.dat decode to `entry`.
    long fileLines(const std::string& entry) {
        std::ifstream in(platform_->fileSystem->hostPath(
                             definitions::DataFile(dataFolder_, definitions::kFileDefinition)),
                         std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        const std::vector<std::string> lines = text::split(ss.str(), "\r\n");
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return definitions::UnscrambleLine(l) == entry;
        });
    }

  private:
    std::string error_;
    std::unique_ptr<platform::Platform> platform_;
    std::string dataFolder_;
};

TEST(HandoffRaceTest, AClientConfirmingAfterAnotherOfItsAddressStillGetsTheChange) {
    char pattern[] = "/tmp/njrace_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string db = dir + "/defs.db";
    const auto admin = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--db", db});
        return runProgram(ServerProcess::binary(), args).exitCode;
    };
    const std::string first = "race_first.exe=Race.First|[windir]|Adware";
    const std::string late = "race_late.exe=Race.Late|[windir]|Adware";
    ASSERT_EQ(admin({"add", "FILE", first}), 0);
    ServerProcess server;
    ASSERT_TRUE(server.start(db, dir + "/server.log"));
    Client a(dir + "/a");
    Client b(dir + "/b");
    ASSERT_TRUE(a.ok() && b.ok());

    // A is sent the update without the late entry; before its confirmation arrives the
    // entry is added and B, from the same address, updates completely.
    DelayingHttp delayed(a.http(), [&] {
        ASSERT_EQ(admin({"add", "FILE", late}), 0);
        EXPECT_EQ(b.check(server.baseUrl()), UpdateOutcome::Updated);
    });
    ASSERT_EQ(a.check(server.baseUrl(), &delayed), UpdateOutcome::Updated);
    EXPECT_EQ(a.fileLines(late), 0);

    // The next checks bring the late entry to both, and then both are current.
    a.check(server.baseUrl());
    b.check(server.baseUrl());
    EXPECT_EQ(a.fileLines(late), 1);
    EXPECT_GE(b.fileLines(late), 1);
    EXPECT_EQ(a.check(server.baseUrl()), UpdateOutcome::Current);
    EXPECT_EQ(b.check(server.baseUrl()), UpdateOutcome::Current);
    server.stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace nightjar::e2e
