#include "ServeCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ServerTestSupport.h"

namespace nightjar::server {
namespace {

TEST(ServeCommandTest, AnUnusableSigningKeyStopsBeforeServing) {
    test::TempDir dir;
    std::ofstream(dir.file("junk.pem")) << "not a key\n";
    ServerOptions options;
    options.port = 0;
    for (const char* key : {"missing.pem", "junk.pem"}) {
        ServeCommand command(dir.file("defs.db"), options, dir.file("port"),
                             std::chrono::seconds(600), dir.file(key));
        EXPECT_EQ(command.run(), 2) << key;
        EXPECT_FALSE(std::filesystem::exists(dir.file("port"))) << key;
    }
}

}  // namespace
}  // namespace nightjar::server
