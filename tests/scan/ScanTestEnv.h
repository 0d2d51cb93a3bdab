#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeProcesses.h"
#include "mock/FakeRegistry.h"
#include "mock/FakeShellFolders.h"
#include "mock/RecordingScanSink.h"
#include "removal/ExclusionList.h"
#include "scan/CompanyNameReader.h"

namespace nightjar::scantest {

/// The fakes and engine objects a scan phase needs, wired like the program wires them.
struct ScanTestEnv {
    mock::FakeFileSystem fs;
    mock::FakeShellFolders shell;
    mock::FakeRegistry registry;
    mock::FakeProcesses processes;
    definitions::PlaceholderExpander expander{shell};
    std::string dataFolder = definitions::DataFolder(expander);
    definitions::SignatureStore store{fs, expander, dataFolder};
    removal::ExclusionList exclusions{fs, dataFolder};
    scan::CompanyNameReader company{fs};
    mock::RecordingScanSink sink;
    definitions::LoadObserver observer;

    ScanTestEnv() { fs.addFolder(dataFolder); }

    std::string dataFile(std::string_view name) const {
        return definitions::DataFile(dataFolder, name);
    }
    /// Writes a definition file: each line scrambled, CR LF after each.
    void writeDefinitions(std::string_view name, const std::vector<std::string>& lines) {
        std::string content;
        for (const auto& l : lines) {
            content += definitions::ScrambleLine(l);
            content += "\r\n";
        }
        fs.addFile(dataFile(name), content);
    }
    void writeExclusions(std::string_view content) {
        fs.addFile(dataFile(definitions::kExclusionFile), content);
        exclusions.LoadExclusions();
    }
    /// Loads Safety.dat (when written) and the definition counts, as a scan run does.
    void prepareRun() {
        store.LoadSafetyEntries(observer);
        store.CountDefinitions();
    }
};

/// A version resource string table as a resource compiler lays it out: wide keys and
/// values, 32-bit aligned. An empty company value has no value characters.
inline std::string WideString(std::string_view s) {
    std::string w;
    for (char c : s) {
        w.push_back(c);
        w.push_back('\0');
    }
    return w;
}

inline std::string VersionStringEntry(std::string_view key, std::string_view value) {
    // wLength, wValueLength, wType = 1, key + NUL, padding to 4, value + NUL, padding.
    std::string body;
    body += std::string("\x01\0", 2);
    body += WideString(key);
    body += std::string(2, '\0');
    while ((body.size() + 4) % 4 != 0) {
        body.push_back('\0');
    }
    if (!value.empty()) {
        body += WideString(value);
        body += std::string(2, '\0');
    }
    std::string entry;
    const auto total = static_cast<unsigned>(body.size() + 4);
    const auto valueLen = static_cast<unsigned>(value.empty() ? 0 : value.size() + 1);
    entry.push_back(static_cast<char>(total & 0xFF));
    entry.push_back(static_cast<char>((total >> 8) & 0xFF));
    entry.push_back(static_cast<char>(valueLen & 0xFF));
    entry.push_back(static_cast<char>((valueLen >> 8) & 0xFF));
    entry += body;
    while (entry.size() % 4 != 0) {
        entry.push_back('\0');
    }
    return entry;
}

/// Bytes of an executable-like file whose version resource names `company` (none when
/// `withCompany` is false), padded with `before` filler bytes in front.
inline std::string FakeExecutable(std::string_view company, bool withCompany = true,
                                  std::size_t before = 64) {
    std::string bytes = "MZ";
    for (std::size_t i = 0; i < before; ++i) {
        bytes.push_back(static_cast<char>('A' + static_cast<char>(i % 23)));
    }
    bytes += std::string("\x50\x00\x00\x00\x01\x00", 6);
    bytes += WideString("StringFileInfo");
    bytes += std::string(2, '\0');
    bytes += std::string("\x40\x00\x00\x00\x01\x00", 6);
    bytes += WideString("040904b0");
    bytes += std::string(2, '\0');
    if (withCompany) {
        bytes += VersionStringEntry("CompanyName", company);
    }
    bytes += VersionStringEntry("FileDescription", "Some program");
    bytes += VersionStringEntry("ProductName", "Some product");
    bytes += std::string(16, '\0');
    return bytes;
}

}  // namespace nightjar::scantest
