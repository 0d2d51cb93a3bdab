#pragma once
#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "PeImage.h"
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

/// Matches a result row by title, icon, location and type.
inline auto FoundRow(const std::string& title, int icon, const std::string& location,
                     const std::string& type) {
    using ::testing::Field;
    return ::testing::AllOf(Field("title", &scan::FoundItem::title, title),
                            Field("icon", &scan::FoundItem::icon, icon),
                            Field("location", &scan::FoundItem::location, location),
                            Field("type", &scan::FoundItem::type, type));
}

/// Matches a feed row by text, icon and details.
inline auto FeedRow(const std::string& text, int icon, const std::string& details) {
    using ::testing::Field;
    return ::testing::AllOf(Field("text", &scan::FeedRow::text, text),
                            Field("icon", &scan::FeedRow::icon, icon),
                            Field("details", &scan::FeedRow::details, details));
}

/// An executable whose version resource names `company` (no CompanyName entry when
/// `withCompany` is false).
inline std::string FakeExecutable(std::string_view company, bool withCompany = true) {
    std::vector<std::pair<std::string, std::string>> strings;
    if (withCompany) {
        strings.emplace_back("CompanyName", std::string(company));
    }
    strings.emplace_back("FileDescription", "Some program");
    strings.emplace_back("ProductName", "Some product");
    return PeImage::executable(PeImage::versionInfo(strings));
}

}  // namespace nightjar::scantest
