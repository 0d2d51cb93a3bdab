// End-to-end submissions: nightjar-cli `submit` and `false-positive` against the real
// definition server on 127.0.0.1, then the admin listing of what was stored.
#include <gtest/gtest.h>

#include <string>

#include "ClientMachine.h"
#include "ServerProcess.h"
#include "util/Text.h"

namespace nightjar::e2e {
namespace {

TEST(SubmissionTest, NamesAndReportsArriveDecodedAndTheReportedItemsAreExcluded) {
    mock::TempDir tmp;
    const std::string db = tmp.file("defs.db");
    const std::string root = tmp.file("machine");
    ServerProcess server;
    ASSERT_TRUE(server.start(db, tmp.file("server.log")));
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--machine-root", root, "--server", server.baseUrl()});
        return runProgram(NJ_CLI_PATH, args);
    };

    // Blanks, "|", "&", "%41" and 8-bit letters travel encoded and come back as typed.
    const std::string name = "T\xC3\xA9l\xC3\xA9 tool%41.exe";
    const CommandResult submitted = cli({"submit", name});
    EXPECT_EQ(submitted.exitCode, 0) << submitted.err;
    EXPECT_NE(submitted.out.find(" " + name + " "), std::string::npos) << submitted.out;

    const std::string details = "two  blanks & more|+";
    const CommandResult reported = cli({"false-positive", "--details", details, "--exclude",
                                        "C:\\Apps\\a b.exe", "C:\\x&y\\z.exe"});
    EXPECT_EQ(reported.exitCode, 0) << reported.out << reported.err;

    const CommandResult listed = runProgram(ServerProcess::binary(), {"--db", db, "submissions"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::vector<std::string> lines = text::split(listed.out, "\n");
    ASSERT_EQ(lines.size(), 3u) << listed.out;  // two lines and the final break
    EXPECT_TRUE(lines[0].ends_with("\t127.0.0.1\tdata\t" + name)) << lines[0];
    EXPECT_TRUE(
        lines[1].ends_with("\t127.0.0.1\tfp\tC:\\Apps\\a b.exe|C:\\x&y\\z.exe|\t" + details))
        << lines[1];

    // The accepted report's Yes excluded exactly the two locations.
    ClientMachine client(root);
    ASSERT_TRUE(client.ok());
    EXPECT_EQ(client.bytes("ENoSignature.dat"), "C:\\Apps\\a b.exe\r\n\r\nC:\\x&y\\z.exe\r\n\r\n");

    // No server: both are refused with exit status 2, and nothing more is stored.
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(cli({"submit", name}).exitCode, 2);
    EXPECT_EQ(cli({"false-positive", "--details", "x", "C:\\q.exe"}).exitCode, 2);
}

}  // namespace
}  // namespace nightjar::e2e
