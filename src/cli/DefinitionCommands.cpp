#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

/// Calls `fn` for every line of `data`: CR LF or LF line ends, last line without a break.
template <class Fn>
void forEachLine(std::string_view data, Fn fn) {
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t nl = data.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? data.size() : nl;
        std::size_t len = end - pos;
        if (len > 0 && data[end - 1] == '\r') {
            --len;
        }
        fn(data.substr(pos, len));
        if (nl == std::string_view::npos) {
            break;
        }
        pos = nl + 1;
    }
}

void convertFile(CliEnv& env, const std::string& in, const std::string& out, bool encode) {
    std::string data;
    if (!readHostFile(in, data)) {
        env.fail("cannot read " + in);
        return;
    }
    std::string result;
    result.reserve(data.size() + data.size() / 16);
    if (encode) {
        forEachLine(data, [&](std::string_view line) {
            result += definitions::ScrambleLine(line);
            result += "\r\n";
        });
    } else {
        // Stored lines end in CR LF only: a bare CR or LF is a stored Ì or É.
        std::vector<std::string> lines = text::split(data, "\r\n");
        if (lines.back().empty()) {
            lines.pop_back();
        }
        for (const std::string& line : lines) {
            result += definitions::UnscrambleLine(line);
            result += "\n";
        }
    }
    if (!writeHostFile(out, result)) {
        env.fail("cannot write " + out);
    }
}

}  // namespace

void addDefinitionCommands(CLI::App& app, CliEnv& env) {
    auto* defs = app.add_subcommand("definitions", "Count, encode and decode definition files");
    defs->require_subcommand(1);

    auto* count = defs->add_subcommand("count", "Count the installed definitions");
    static bool json = false;
    count->add_flag("--json", json, "Print one JSON object");
    count->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        definitions::PlaceholderExpander expander(*p->shellFolders);
        definitions::SignatureStore store(*p->fileSystem, expander,
                                          definitions::DataFolder(expander));
        store.CountDefinitions();
        const auto& c = store.counts();
        if (json) {
            nlohmann::json j;
            j["cookies"] = c.cookies;
            j["exe"] = c.exe;
            j["registry"] = c.registry;
            j["files"] = c.files;
            j["total"] = c.total;
            std::cout << jsonText(j) << '\n';
        } else {
            std::cout << "Cookies:          " << c.cookies << '\n'
                      << "Executables:      " << c.exe << '\n'
                      << "Registry:         " << c.registry << '\n'
                      << "Files and folders: " << c.files << '\n'
                      << "Total:            " << c.total << '\n';
        }
    });

    static std::string in;
    static std::string out;
    auto* encode = defs->add_subcommand("encode", "Plain text lines to the stored form (CR LF)");
    encode->add_option("IN", in, "Plain text file")->required();
    encode->add_option("OUT", out, "Stored-form file to write")->required();
    encode->callback([&env]() { convertFile(env, in, out, true); });

    auto* decode = defs->add_subcommand("decode", "Stored form back to plain text lines");
    decode->add_option("IN", in, "Stored-form file")->required();
    decode->add_option("OUT", out, "Plain text file to write")->required();
    decode->callback([&env]() { convertFile(env, in, out, false); });
}

}  // namespace nightjar::cli
