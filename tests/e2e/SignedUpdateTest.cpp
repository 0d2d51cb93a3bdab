// End-to-end signed Live Update: the real definition server with a signing key, clients
// with and without its public key, and a proxy in between that changes what it passes on.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ClientMachine.h"
#include "HostileServer.h"
#include "ServerProcess.h"
#include "definitions/DefinitionFiles.h"
#include "platform/posix/CurlHttp.h"
#include "update/DefinitionUpdater.h"
#include "util/Text.h"

namespace nightjar::e2e {
namespace {

using update::UpdateOutcome;

/// One answer as it travels: body and signature header (empty: no header).
struct Answer {
    std::string body;
    std::string signature;
};

std::string httpReply(const Answer& a) {
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                      std::to_string(a.body.size()) + "\r\nConnection: close\r\n";
    if (!a.signature.empty()) {
        out += "X-Nightjar-Signature: " + a.signature + "\r\n";
    }
    return out + "\r\n" + a.body;
}

class SignedUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = tmp.file("defs.db");
        for (const char* kind : {"FILE", "EXE", "COOK"}) {
            const std::string file = std::string(NJ_DEMO_DIR) + "/definitions/" +
                                     (std::string(kind) == "FILE"  ? "files.txt"
                                      : std::string(kind) == "EXE" ? "executables.txt"
                                                                   : "cookies.txt");
            const CommandResult r =
                runProgram(ServerProcess::binary(), {"--db", db, "import", kind, file});
            ASSERT_EQ(r.exitCode, 0) << r.err;
        }
        publicKey = keygen("signing.pem");
        ASSERT_FALSE(publicKey.empty());
        ASSERT_TRUE(
            server.start(db, tmp.file("server.log"), {"--signing-key", tmp.file("signing.pem")}));
    }

    /// A new key pair in the temporary folder; its public key line.
    std::string keygen(const std::string& name) {
        const CommandResult r = runProgram(ServerProcess::binary(), {"keygen", tmp.file(name)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return text::trim(text::replaceAll(readHostFile(tmp.file(name + ".pub")), "\n", ""));
    }
    std::unique_ptr<ClientMachine> newClient() {
        auto client = std::make_unique<ClientMachine>(tmp.file("machine" + std::to_string(++n)));
        EXPECT_TRUE(client->ok()) << client->error();
        return client;
    }
    /// The signing server's answer to `target`.
    Answer fetch(const std::string& target) {
        platform::HttpResult r = platform::posix::CurlHttp().get(server.baseUrl() + target, {});
        EXPECT_TRUE(r.ok) << target << ": " << r.error;
        return {r.body, r.signature};
    }
    /// A proxy to the signing server that lets `change` rewrite each answer.
    std::unique_ptr<HostileServer> proxy(
        std::function<void(const std::string& target, Answer& answer)> change) {
        return std::make_unique<HostileServer>([this, change](const std::string& target) {
            Answer a = fetch(target);
            change(target, a);
            return HostileReply{httpReply(a)};
        });
    }

    mock::TempDir tmp;
    std::string db;
    std::string publicKey;
    ServerProcess server;
    int n = 0;
};

bool isUpdateText(const std::string& target) {
    return target.find("/asp/getDefsNEW.asp") != std::string::npos;
}
bool isServerDate(const std::string& target) {
    return target.find("/asp/currentDateNEW.asp") != std::string::npos;
}

TEST_F(SignedUpdateTest, ClientsWithAndWithoutTheKeyUpdateFromTheSigningServer) {
    auto verifying = newClient();
    const update::UpdateResult first = verifying->check(server.baseUrl(), nullptr, publicKey);
    ASSERT_EQ(first.outcome, UpdateOutcome::Updated);
    EXPECT_GT(first.count, 0);
    EXPECT_EQ(verifying->check(server.baseUrl(), nullptr, publicKey).outcome,
              UpdateOutcome::Current);

    // A client built without a key ignores the header and ends with the same files.
    auto plain = newClient();
    ASSERT_EQ(plain->check(server.baseUrl()).outcome, UpdateOutcome::Updated);
    for (std::string_view f : {definitions::kFileDefinition, definitions::kExeDefinition,
                               definitions::kBlockedCookies, definitions::kDateFile}) {
        EXPECT_EQ(plain->bytes(f), verifying->bytes(f)) << f;
    }

    // A faithful proxy changes nothing: what the tests below spoil is all that differs.
    auto faithful = proxy([](const std::string&, Answer&) {});
    ASSERT_TRUE(faithful->ok());
    auto third = newClient();
    EXPECT_EQ(third->check(faithful->baseUrl(), nullptr, publicKey).outcome,
              UpdateOutcome::Updated);
    EXPECT_EQ(third->bytes(definitions::kFileDefinition),
              verifying->bytes(definitions::kFileDefinition));

    // A key the server does not sign with refuses even the real server.
    auto other = newClient();
    const update::UpdateResult refused =
        other->check(server.baseUrl(), nullptr, keygen("other.pem"));
    EXPECT_EQ(refused.outcome, UpdateOutcome::Failed);
    EXPECT_TRUE(refused.unverified);
    EXPECT_TRUE(other->untouched());
}

TEST_F(SignedUpdateTest, AProxyThatChangesAnyAnswerMakesTheUpdateFailWithNothingWritten) {
    struct Case {
        const char* what;
        std::function<void(const std::string&, Answer&)> change;
    };
    const std::vector<Case> cases = {
        {"one byte of the update text changed",
         [](const std::string& target, Answer& a) {
             if (isUpdateText(target)) {
                 a.body[a.body.size() / 2] = static_cast<char>(a.body[a.body.size() / 2] ^ 1);
             }
         }},
        {"the header of the update text dropped",
         [](const std::string& target, Answer& a) {
             if (isUpdateText(target)) {
                 a.signature.clear();
             }
         }},
        {"the update text with the signature of the date answer",
         [this](const std::string& target, Answer& a) {
             if (isUpdateText(target)) {
                 a.signature = fetch("/asp/date.asp").signature;
             }
         }},
        {"the update text for another date, signed",
         [this](const std::string& target, Answer& a) {
             if (isUpdateText(target)) {
                 a = fetch(target.substr(0, target.find("&date=")) + "&date=1/1/2000");
             }
         }},
        {"the server date answered with the signed confirmed date",
         [this](const std::string& target, Answer& a) {
             if (isServerDate(target)) {
                 a = fetch("/asp/date.asp");
             }
         }},
        {"the confirmed date unsigned",
         [](const std::string& target, Answer& a) {
             if (target == "/asp/date.asp") {
                 a.signature.clear();
             }
         }},
    };
    for (const Case& c : cases) {
        auto hostile = proxy(c.change);
        ASSERT_TRUE(hostile->ok());
        auto client = newClient();
        const update::UpdateResult r = client->check(hostile->baseUrl(), nullptr, publicKey);
        EXPECT_EQ(r.outcome, UpdateOutcome::Failed) << c.what;
        EXPECT_TRUE(r.unverified) << c.what;
        EXPECT_EQ(r.count, 0) << c.what;
        EXPECT_TRUE(client->untouched()) << c.what;
        // The proxy was asked, so the spoiled answer is what failed.
        EXPECT_FALSE(hostile->targets().empty()) << c.what;
    }
}

}  // namespace
}  // namespace nightjar::e2e
