// nightjar-defserver: the definition and language server, and its admin commands.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "AdminTool.h"
#include "AnswerSigner.h"
#include "DefinitionKind.h"
#include "DefinitionStore.h"
#include "ServeCommand.h"

using namespace nightjar::server;

namespace {

int run(int argc, char** argv) {
    CLI::App app{"Nightjar definition server and its administration commands"};
    app.require_subcommand(1);
    std::string db = "nightjar-defs.db";
    app.add_option("--db", db, "SQLite database file (created when missing)")
        ->capture_default_str();
    app.fallthrough();

    std::string kinds;
    for (const std::string& k : DefinitionKind::allMarkers()) {
        kinds += (kinds.empty() ? "" : ", ") + k;
    }

    ServerOptions options;
    std::string portFile;
    int handoffSeconds = 600;
    CLI::App* serve = app.add_subcommand("serve", "Serve the definitions over HTTP");
    serve->add_option("--host", options.host, "Address to listen on")->capture_default_str();
    serve->add_option("--port", options.port, "Port; 0 picks a free one")->capture_default_str();
    serve->add_option("--threads", options.threads, "Worker threads")
        ->check(CLI::Range(1, 256))
        ->capture_default_str();
    serve
        ->add_option("--request-timeout", options.requestTimeoutSeconds,
                     "Seconds a client has to send one whole request")
        ->check(CLI::Range(1, 3600))
        ->capture_default_str();
    serve
        ->add_option("--max-per-address", options.maxPerAddress,
                     "Open connections one client address may hold")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    serve->add_option("--port-file", portFile, "Write the bound port to this file");
    serve
        ->add_option("--handoff-window", handoffSeconds,
                     "Seconds during which date.asp confirms the date of the update a "
                     "client was just sent")
        ->check(CLI::Range(0, 86400))
        ->capture_default_str();
    std::string signingKey;
    serve->add_option("--signing-key", signingKey,
                      "Sign the answers the program relies on with this private key (PEM, "
                      "ECDSA P-256; see keygen)");

    std::string kind;
    std::string file;
    std::string body;
    CLI::App* import = app.add_subcommand("import", "Add every line of a plain text file");
    import->add_option("KIND", kind, "One of " + kinds)->required();
    import->add_option("FILE", file, "One entry per line; lines starting with # are comments")
        ->required();

    CLI::App* add = app.add_subcommand("add", "Add one entry");
    add->add_option("KIND", kind, "One of " + kinds)->required();
    add->add_option("BODY", body, "The plain entry text")->required();

    std::int64_t id = 0;
    CLI::App* withdraw = app.add_subcommand("withdraw", "Withdraw an entry by text or by id");
    withdraw->add_option("--id", id, "The entry's id (see list)");
    withdraw->add_option("KIND", kind, "One of " + kinds);
    withdraw->add_option("BODY", body, "The plain entry text");

    bool all = false;
    CLI::App* list = app.add_subcommand("list", "List the entries");
    list->add_flag("--all", all, "Include withdrawn entries");

    std::string since;
    bool raw = false;
    CLI::App* updateText =
        app.add_subcommand("update-text", "Show the update a client at a date would receive");
    updateText->add_option("--since", since, "The client's definitions date")->required();
    updateText->add_flag("--raw", raw, "Print the exact bytes sent");

    CLI::App* date = app.add_subcommand("date", "Print the current definitions date");

    std::int64_t package = 21;
    CLI::App* language =
        app.add_subcommand("set-language", "Store the language file a package serves");
    language->add_option("--package", package, "Language package number")->capture_default_str();
    language->add_option("FILE", file, "A Localization.txt file")->required();

    CLI::App* submissions =
        app.add_subcommand("submissions", "List the submitted names and false positives");

    std::string keyFile;
    CLI::App* keygen = app.add_subcommand(
        "keygen", "Make a signing key pair: FILE (private, PEM) and FILE.pub (public key line)");
    keygen->add_option("FILE", keyFile, "The private key file to create (never overwritten)")
        ->required();

    CLI11_PARSE(app, argc, argv);

    if (serve->parsed()) {
        return ServeCommand(db, options, portFile, std::chrono::seconds(handoffSeconds), signingKey)
            .run();
    }
    if (keygen->parsed()) {
        // No database is involved: the key is made where the vendor keeps its secrets.
        std::string error;
        const std::unique_ptr<AnswerSigner> signer = AnswerSigner::generate(keyFile, error);
        if (!signer) {
            std::cerr << error << "\n";
            return 2;
        }
        std::cout << signer->publicKey() << "\n";
        return 0;
    }

    std::string error;
    std::unique_ptr<DefinitionStore> store = DefinitionStore::open(db, error);
    if (!store) {
        std::cerr << "cannot open " << db << ": " << error << "\n";
        return 1;
    }
    AdminTool tool(*store, std::cout, std::cerr);
    if (import->parsed()) {
        return tool.importFile(kind, file);
    }
    if (add->parsed()) {
        return tool.add(kind, body);
    }
    if (withdraw->parsed()) {
        if (withdraw->count("--id") > 0) {
            return tool.withdrawId(id);
        }
        if (kind.empty() || body.empty()) {
            std::cerr << "withdraw needs KIND and BODY, or --id\n";
            return 2;
        }
        return tool.withdraw(kind, body);
    }
    if (list->parsed()) {
        return tool.list(all);
    }
    if (updateText->parsed()) {
        return tool.updateText(since, raw);
    }
    if (date->parsed()) {
        return tool.date();
    }
    if (language->parsed()) {
        return tool.setLanguage(package, file);
    }
    if (submissions->parsed()) {
        return tool.submissions();
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing below is meant to throw; a failure to allocate or the like still ends with a
    // message and a failure status rather than an abort.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "nightjar-defserver: " << e.what() << "\n";
        return 1;
    }
}
