#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "scan/ScanRows.h"

namespace nightjar::report {

/// The report file's name in the data folder.
inline constexpr std::string_view kReportFile = "Scan_Log.txt";

/// What a scan report is made of, as the scan run leaves it.
struct ScanReportInput {
    std::string productName;  ///< printed unchanged (a trailing blank stays)
    int majorVersion = 0;
    int minorVersion = 0;
    std::string scanStartTime;   ///< general date form
    std::string scanFinishTime;  ///< general date form
    /// The captions of the three counter labels, as displayed.
    std::string processesCaption;
    std::string registryCaption;
    std::string filesFoldersCaption;
    /// The result rows, in list order (title, icon, location, risk, details are printed).
    std::vector<scan::FoundItem> results;
};

/// What the report prints about the file at a result's location.
struct ReportFileFacts {
    std::string company;     ///< printed for files
    std::uint64_t size = 0;  ///< printed for files and cookies
};

/// The plain-text scan report "Scan_Log.txt" in the data folder: scan times, counters,
/// every result with its company, kind and size, the exclusions and the quarantine log.
/// CR LF line ends, UTF-8 text, no line end after the last line. No call throws.
class ScanReport {
  public:
    /// How writing a report ended.
    enum class Result {
        Written,
        NotWritten,  ///< the file could not be written; no report is left behind
    };

    ScanReport(platform::FileSystem& fs, std::string dataFolder);

    /// Builds the report from `input`, the exclusion file and the quarantine log, and
    /// replaces the previous report with it.
    Result MakeReport(const ScanReportInput& input);

    /// The lines of the last report as the report window shows them; empty when there is
    /// none.
    static std::vector<std::string> ReportLines(platform::FileSystem& fs,
                                                std::string_view dataFolder);
    /// `dataFolder`\Scan_Log.txt.
    static std::string ReportPath(std::string_view dataFolder);

    /// The report text. `facts[i]` belongs to `input.results[i]` (missing ones count as
    /// empty); the two section texts come from ExclusionText and QuarantineLogText.
    static std::string BuildText(const ScanReportInput& input,
                                 const std::vector<ReportFileFacts>& facts,
                                 std::string_view exclusionText,
                                 std::string_view quarantineLogText);
    /// Every line that is not empty and not a single blank, each followed by CR LF.
    static std::string ExclusionText(const std::vector<std::string>& lines);
    /// Every line followed by two CR LF pairs.
    static std::string QuarantineLogText(const std::vector<std::string>& lines);

  private:
    ReportFileFacts factsOf(const scan::FoundItem& item);

    platform::FileSystem& fs_;
    std::string dataFolder_;
};

}  // namespace nightjar::report
