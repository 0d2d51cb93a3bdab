#pragma once
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace CLI {
class App;
}

namespace nightjar::cli {

/// Exit statuses of nightjar-cli.
namespace exitcode {
inline constexpr int Ok = 0;
inline constexpr int Found = 1;  ///< a scan found something
inline constexpr int Error = 2;
inline constexpr int Interrupted = 130;
}  // namespace exitcode

/// State shared by the command handlers: the global options and the platform layer,
/// created on first use.
class CliEnv {
  public:
    std::string machineRoot;  ///< --machine-root
    std::string programDir;   ///< --program-dir (Windows or host path)
    std::string serverUrl;    ///< --server (definition server base URL)
    std::string user;         ///< --user (profile of a Windows disk)
    int exitCode = exitcode::Ok;

    /// The platform layer; nullptr after printing a message on stderr when it cannot be
    /// created (the handler then returns with exit status 2).
    platform::Platform* platform();
    /// The program folder in Windows form (default: the folder of the executable).
    std::string programFolder();
    /// Prints "nightjar-cli: MESSAGE" on stderr and sets exit status 2.
    void fail(const std::string& message);

  private:
    std::unique_ptr<platform::Platform> platform_;
    bool platformTried_ = false;
};

// Each group of commands registers itself on the main App.
void addInfoCommands(CLI::App& app, CliEnv& env);
void addDefinitionCommands(CLI::App& app, CliEnv& env);
void addRegistryCommands(CLI::App& app, CliEnv& env);
void addSettingsCommands(CLI::App& app, CliEnv& env);
void addScanCommands(CLI::App& app, CliEnv& env);    ///< scan, exclusions
void addUpdateCommands(CLI::App& app, CliEnv& env);  ///< update
void addReportCommands(CLI::App& app, CliEnv& env);  ///< report
/// quarantine list, quarantine restore
void addQuarantineCommands(CLI::App& app, CliEnv& env);
/// guard: the shields, the scheduler and the automatic update in the foreground
void addGuardCommand(CLI::App& app, CliEnv& env);

/// language list|set|update; further language subcommands attach to the returned App.
CLI::App* addLanguageCommands(CLI::App& app, CliEnv& env);
/// language keys: every translatable key of every window and every MSG_ key, under the
/// "language" command.
void addLanguageKeysCommand(CLI::App& language, CliEnv& env);
/// submit NAME, false-positive: the submissions to the definition server
void addSubmitCommands(CLI::App& app, CliEnv& env);

}  // namespace nightjar::cli
