#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/CliEnv.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "report/ScanReport.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace nightjar::cli {

void addReportCommands(CLI::App& app, CliEnv& env) {
    auto* reportCmd = app.add_subcommand("report", "Print the report of the last scan as stored");
    reportCmd->footer("Exit status: 0 printed, 2 no report has been written yet.");
    reportCmd->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        definitions::PlaceholderExpander expander(*p->shellFolders);
        const std::string path = report::ScanReport::ReportPath(definitions::DataFolder(expander));
        std::string bytes;
        if (!p->fileSystem->fileExists(path) || !p->fileSystem->readAll(path, bytes)) {
            env.fail("no scan report: " + path + " does not exist or cannot be read");
            return;
        }
#ifdef _WIN32
        // The report's CR LF line ends go out as they are, not as CR CR LF.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
            env.fail("cannot write the report to standard output");
        }
    });
}

}  // namespace nightjar::cli
