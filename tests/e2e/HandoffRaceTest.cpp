// Two clients behind one address update while a definition is added: the one whose
// confirmation is delayed past the other's whole update must still receive the change.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ClientMachine.h"
#include "ServerProcess.h"
#include "definitions/DefinitionFiles.h"

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

/// How many lines of FileDefinition.dat decode to `entry`.
long fileLines(ClientMachine& client, const std::string& entry) {
    const std::vector<std::string> lines = client.lines(definitions::kFileDefinition);
    return std::count(lines.begin(), lines.end(), entry);
}

TEST(HandoffRaceTest, AClientConfirmingAfterAnotherOfItsAddressStillGetsTheChange) {
    mock::TempDir folder;
    const std::string dir = folder.file("");
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
    ClientMachine a(dir + "a");
    ClientMachine b(dir + "b");
    ASSERT_TRUE(a.ok() && b.ok());

    // A is sent the update without the late entry; before its confirmation arrives the
    // entry is added and B, from the same address, updates completely.
    DelayingHttp delayed(a.http(), [&] {
        ASSERT_EQ(admin({"add", "FILE", late}), 0);
        EXPECT_EQ(b.check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    });
    ASSERT_EQ(a.check(server.baseUrl(), &delayed).outcome, UpdateOutcome::Updated);
    EXPECT_EQ(fileLines(a, late), 0);

    // The next checks bring the late entry to both, and then both are current.
    a.check(server.baseUrl());
    b.check(server.baseUrl());
    EXPECT_EQ(fileLines(a, late), 1);
    EXPECT_GE(fileLines(b, late), 1);
    EXPECT_EQ(a.check(server.baseUrl()).outcome, UpdateOutcome::Current);
    EXPECT_EQ(b.check(server.baseUrl()).outcome, UpdateOutcome::Current);
    server.stop();
}

}  // namespace
}  // namespace nightjar::e2e
