// Live Update over WinINet and CNG against a loopback server that gives answers signed once
// with openssl (a signature covers the request target, never the host or port).
#include <gtest/gtest.h>

#include <string>

#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "definitions/DefinitionFiles.h"
#include "platform/win32/CngSignatureVerifier.h"
#include "platform/win32/Win32FileLocks.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WinInetHttp.h"
#include "update/DefinitionUpdater.h"
#include "update/ServerConfig.h"
#include "update/UpdateTestSupport.h"

namespace nightjar::platform::win32 {
namespace {

using test::LoopbackHttpServer;
using test::TempFolder;
using update::UpdateOutcome;

constexpr std::string_view kPublicKey =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEuMjPnQbqauKKltyeKN8Yi9zeBjS2QiXg2RskiTd2nuCDZcA9ICIb"
    "NFXPDXVoP9/6xWaKd4wJV/2fe8HTEBlzPA==";
const std::string kServerDate = "1/5/2009 3:04:05 PM PST";
const std::string kConfirmedDate = "1/5/2009 3:04:05 PM";
std::string updateText() {
    return update::testing::record("FILE", "ADD", "b=2|c") + "[BR]" +
           update::testing::record("COOK", "ADD", "ads.example");
}
/// Over "/asp/currentDateNEW.asp?prog=Nightjar&comp=Nightjar%20Labs", the update text
/// request for the zero date, and "/asp/date.asp", each with its body.
const std::string kDateHeader =
    "X-Nightjar-Signature: MEYCIQDd8cuLvHOo7A2rrasTOcHdqPlowD7AmbnvjNs7QMutrAIhAP/P9XwylryT/"
    "T59ZjyDOYZYro69yHPG5x76lNH0zlfS\r\n";
const std::string kTextHeader =
    "X-Nightjar-Signature: MEUCIQDONzluNOV8hqWcFTqyT1tUwY3wFtjo9/ff7vHsCck2KgIgJ/"
    "48nW8ZVNj//k4n7qZXZwK4xOjOqVJAN+m5NlHFo3Y=\r\n";
const std::string kConfirmedHeader =
    "X-Nightjar-Signature: MEQCIBq7Ou8+rM8ZpaM0yRe9PIz0q5nOJYCpYWLdmYpGsyagAiBbvoE0QzO1Lx+"
    "voXl1fsFiHoXovnjcTeUXodBAlIhtFQ==\r\n";

/// One check of a fresh data folder against the canned answers, in request order.
struct SignedCheck {
    explicit SignedCheck(std::vector<LoopbackHttpServer::Response> answers)
        : server(std::move(answers)) {}

    update::UpdateResult check() {
        update::ServerConfig servers(nullptr, [](const char*) { return std::nullopt; });
        servers.setDefinitionOverride(server.url(""));
        update::UpdateObserver observer;
        update::DefinitionUpdater updater(fs, http, locks, data.path(),
                                          {"Nightjar", "Nightjar Labs", "x"}, servers, observer);
        updater.requireSignedAnswers(verifier, kPublicKey);
        return updater.CheckAndApplyUpdates();
    }
    std::string file(std::string_view name) {
        std::string out;
        fs.readAll(definitions::DataFile(data.path(), name), out);
        return out;
    }

    TempFolder data;
    LoopbackHttpServer server;
    Win32FileSystem fs;
    WinInetHttp http{10000};
    Win32FileLocks locks;
    CngSignatureVerifier verifier;
};

TEST(SignedUpdateOverWin32Test, SignedAnswersApplyAndAChangedOneChangesNothing) {
    SignedCheck signedRun({{200, kServerDate, kDateHeader},
                           {200, updateText(), kTextHeader},
                           {200, kConfirmedDate, kConfirmedHeader}});
    ASSERT_TRUE(signedRun.server.started());
    const update::UpdateResult r = signedRun.check();
    EXPECT_EQ(r.outcome, UpdateOutcome::Updated);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(signedRun.file(definitions::kDateFile), kConfirmedDate + "\r\n");
    EXPECT_EQ(signedRun.file(definitions::kFileDefinition), update::testing::storedLine("b=2|c"));

    std::string changed = updateText();
    changed[changed.size() - 1] = static_cast<char>(changed.back() ^ 1);
    for (const auto& spoiled : {LoopbackHttpServer::Response{200, changed, kTextHeader},
                                LoopbackHttpServer::Response{200, updateText(), ""},
                                LoopbackHttpServer::Response{200, updateText(), kDateHeader}}) {
        SignedCheck run({{200, kServerDate, kDateHeader}, spoiled});
        ASSERT_TRUE(run.server.started());
        const update::UpdateResult failed = run.check();
        EXPECT_EQ(failed.outcome, UpdateOutcome::Failed);
        EXPECT_TRUE(failed.unverified);
        EXPECT_EQ(run.file(definitions::kFileDefinition), "");
        EXPECT_EQ(run.file(definitions::kDateFile), "");
    }
}

}  // namespace
}  // namespace nightjar::platform::win32
