#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "definitions/PlaceholderExpander.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/ShellFolders.h"
#include "removal/ExclusionList.h"
#include "removal/ProcessControl.h"
#include "scan/CompanyNameReader.h"
#include "scan/ScanSink.h"

namespace nightjar::scan {

/// Matches the running processes against ExeDefinition.dat. During a scan a matching
/// process is stopped and reported in the feed; outside a scan (the memory shield) the
/// alert handler is called instead.
class MemoryScan {
  public:
    /// A matching process seen outside a scan.
    struct Sighting {
        std::string fileName;
        std::string company;
        std::uint32_t pid = 0;
        /// The module path it was matched by (a stop leaves a reused id alone).
        std::string image;
    };
    /// The spyware alert; returns when the user has answered.
    using AlertHandler = std::function<void(const Sighting& sighting)>;
    /// The legacy-system question "stop this process?"; true for Yes.
    using ConfirmStop = std::function<bool(const std::string& fileName)>;

    static constexpr std::string_view kCompanionProcess = "RizereZivuzedAvivaz.exe";

    MemoryScan(platform::Processes& processes, removal::ProcessControl& control,
               platform::FileSystem& fs, platform::ShellFolders& shell,
               definitions::PlaceholderExpander& expander, removal::ExclusionList& exclusions,
               const CompanyNameReader& company, std::string dataFolder);

    void setAlertHandler(AlertHandler handler) { alert_ = std::move(handler); }
    void setConfirmStop(ConfirmStop confirm) { confirm_ = std::move(confirm); }

    /// Runs the NT-family variant (platform id 2) or the 9x variant (1); nothing otherwise.
    void CheckMemory(ScanSink& sink);
    void CheckMemoryNt(ScanSink& sink);
    void CheckMemory9x(ScanSink& sink);

    /// A path with "SYSTEM32\" in it becomes the system directory followed by the text
    /// after the last such occurrence.
    std::string NormalizeSystemPath(std::string_view path);

    const std::string& ProcessFingerprint() const { return fingerprint_; }
    const std::string& ExeMatchList() const { return exeMatchList_; }
    const std::string& LegacyCache() const { return legacyCache_; }

  private:
    bool buildExeMatchList(ScanSink& sink);
    static bool matchesList(const std::string& list, const std::string& path,
                            const std::string& fileName);

    platform::Processes& processes_;
    removal::ProcessControl& control_;
    platform::FileSystem& fs_;
    platform::ShellFolders& shell_;
    definitions::PlaceholderExpander& expander_;
    removal::ExclusionList& exclusions_;
    const CompanyNameReader& company_;
    std::string dataFolder_;
    AlertHandler alert_;
    ConfirmStop confirm_;
    std::string fingerprint_;
    std::string exeMatchList_;
    std::string legacyCache_;
    std::string lastStatus_;
};

}  // namespace nightjar::scan
