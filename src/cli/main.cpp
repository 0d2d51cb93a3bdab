#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "cli/CliEnv.h"
#include "nightjar/Identity.h"
#include "platform/Console.h"

namespace {

int run(int argc, char** argv) {
    using namespace nightjar::cli;
    CliEnv env;
    CLI::App app{"Nightjar command line: definitions, registry, settings, scans and updates",
                 "nightjar-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(NJ_PRODUCT_NAME) + " " + NJ_VERSION_TEXT);
    app.add_option("--machine-root", env.machineRoot,
                   "Machine root folder (POSIX): dosdevices/<letter>: entries map the drives");
    app.add_option("--program-dir", env.programDir, "Program folder (Windows or host path)");
    app.add_option("--server", env.serverUrl, "Definition server base URL");
    app.add_option("--user", env.user,
                   "Profile of a Windows disk given as machine root (default: the only one, "
                   "else the one used last)");

    addInfoCommands(app, env);
    addDefinitionCommands(app, env);
    addRegistryCommands(app, env);
    addSettingsCommands(app, env);
    addScanCommands(app, env);
    addUpdateCommands(app, env);
    addReportCommands(app, env);
    addQuarantineCommands(app, env);
    addGuardCommand(app, env);

    CLI::App* language = addLanguageCommands(app, env);
    addLanguageKeysCommand(*language, env);
    addSubmitCommands(app, env);

    if (argc == 1 && nightjar::platform::ConsoleClosesOnExit()) {
        // Started by a double-click: show what the program does and keep the window open
        // long enough to read it.
        std::fputs(app.help().c_str(), stdout);
        std::fputs("\nPress any key to close this window.\n", stdout);
        std::fflush(stdout);
        nightjar::platform::WaitForKeyPress();
        return exitcode::Ok;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return exitcode::Error;
    }
    std::fflush(stdout);
    return env.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    // Commands report their failures through the exit status; anything thrown past them
    // (out of memory, say) still ends with a message rather than an abort.
    nightjar::platform::PrepareConsoleForUtf8();
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nightjar-cli: %s\n", e.what());
        return nightjar::cli::exitcode::Error;
    }
}
