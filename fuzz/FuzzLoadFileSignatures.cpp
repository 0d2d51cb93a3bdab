// The file and folder tables loaded from definition files in memory. Input: the stored
// (scrambled) content of FileDefinition.dat, a NUL byte, that of DirectoryDefinition.dat,
// a NUL byte, then that of Safety.dat. Every row must equal what the plain reading of the
// loading steps gives (tests/definitions).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/ReferenceLoader.h"
#include "definitions/SignatureStore.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeShellFolders.h"
#include "util/Text.h"
#include "util/Windows1252.h"

namespace {
constexpr std::string_view kFolder = "C:\\data";

std::string_view part(std::string_view& input) {
    const std::size_t nul = input.find('\0');
    const std::string_view head = input.substr(0, nul);
    input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    return head;
}

/// The lines of a stored file as the loader reads them: split at CR LF, a last line
/// without a break kept; each unscrambled and made UTF-8.
std::vector<std::string> plainLines(std::string_view stored) {
    std::vector<std::string> lines;
    while (!stored.empty()) {
        const std::size_t end = stored.find("\r\n");
        lines.push_back(nightjar::text::windows1252ToUtf8(
            nightjar::definitions::UnscrambleLine(stored.substr(0, end))));
        stored = end == std::string_view::npos ? std::string_view() : stored.substr(end + 2);
    }
    return lines;
}

std::size_t lineCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        n += c == '\n' ? 1 : 0;
    }
    return n + 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nightjar;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view files = part(input);
    const std::string_view folders = part(input);
    const std::string_view safety = input;

    mock::FakeFileSystem fs;
    mock::FakeShellFolders shell;
    shell.set(38, "C:\\Prog[windir]ram Files");  // a folder with brackets: row by row
    fs.addFolder(kFolder);
    fs.addFile(definitions::DataFile(kFolder, definitions::kFileDefinition), files);
    fs.addFile(definitions::DataFile(kFolder, definitions::kDirectoryDefinition), folders);
    fs.addFile(definitions::DataFile(kFolder, definitions::kSafety), safety);
    definitions::PlaceholderExpander expander(shell);
    definitions::SignatureStore store(fs, expander, std::string(kFolder));
    definitions::LoadObserver observer;
    store.LoadSafetyEntries(observer);
    store.LoadFileSignatures(observer);

    const auto& fileTable = store.FileSignatures();
    const auto& folderTable = store.DirectorySignatures();
    if (!store.filesLoaded() || fileTable.size() > lineCount(files) ||
        folderTable.size() > lineCount(folders)) {
        std::abort();
    }
    // The same rows as the plain reading, in the same order.
    using definitions::testing::referenceTable;
    const auto wantFiles = referenceTable(plainLines(files), true, expander, store.SafetyEntries());
    const auto wantFolders =
        referenceTable(plainLines(folders), false, expander, store.SafetyEntries());
    for (const auto& [table, want] :
         {std::pair{&fileTable, &wantFiles}, {&folderTable, &wantFolders}}) {
        if (table->size() != want->size()) {
            std::abort();
        }
        for (std::size_t i = 0; i < want->size(); ++i) {
            const definitions::SignatureEntry e = (*table)[i];
            const auto& w = (*want)[i];
            if (e.folder != w.folder || e.name != w.name || e.type != w.type ||
                e.threatName != w.threatName) {
                std::abort();
            }
        }
    }
    for (const auto& table : {&fileTable, &folderTable}) {
        for (const auto& e : *table) {
            // Names and folders are kept lower-cased; file folders end in "\".
            if (text::toLower(e.name) != e.name || text::toLower(e.folder) != e.folder) {
                std::abort();
            }
            if (table == &fileTable && !e.folder.empty() && e.folder.back() != '\\') {
                std::abort();
            }
            if (store.IsProtectedPath(table == &fileTable
                                          ? std::string(e.folder) + std::string(e.name)
                                          : std::string(e.folder))) {
                std::abort();
            }
        }
    }
    return 0;
}
