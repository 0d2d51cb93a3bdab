#pragma once
#include <string>
#include <string_view>

#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "platform/FileSystem.h"
#include "removal/ExclusionList.h"
#include "scan/CompanyNameReader.h"
#include "scan/ScanSink.h"

namespace nightjar::scan {

/// The known-files and known-folders phases of the Smart Scan: every definition line names
/// a file or folder at an expanded location, which is tested for existence.
class KnownLocationScan {
  public:
    KnownLocationScan(platform::FileSystem& fs, definitions::SignatureStore& store,
                      definitions::PlaceholderExpander& expander,
                      removal::ExclusionList& exclusions, const CompanyNameReader& company);

    /// Reads FileDefinition.dat line by line (nothing when it is missing).
    void ScanKnownFiles(ScanSink& sink);
    /// Reads DirectoryDefinition.dat line by line (nothing when it is missing).
    void ScanKnownFolders(ScanSink& sink);

  private:
    bool normalFileExists(const std::string& path);
    std::string definitionPath(std::string_view fileName) const;

    platform::FileSystem& fs_;
    definitions::SignatureStore& store_;
    definitions::PlaceholderExpander& expander_;
    removal::ExclusionList& exclusions_;
    const CompanyNameReader& company_;
};

}  // namespace nightjar::scan
