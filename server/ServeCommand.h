#pragma once
#include <chrono>
#include <string>

#include "DefinitionServer.h"

namespace nightjar::server {

/// Runs the server until SIGTERM or SIGINT: binds, announces the address on standard output
/// ("listening on HOST:PORT"), optionally writes the port to a file, serves, then stops the
/// workers and closes the database. With a signing key file, the answers the program relies
/// on are signed; a key that cannot be loaded ends the command with status 2 before binding.
class ServeCommand {
  public:
    ServeCommand(std::string dbPath, ServerOptions options, std::string portFile,
                 std::chrono::seconds handoffWindow, std::string signingKeyPath = {});
    int run();

  private:
    std::string dbPath_;
    ServerOptions options_;
    std::string portFile_;
    std::chrono::seconds handoffWindow_;
    std::string signingKeyPath_;
};

}  // namespace nightjar::server
