#include "report/ScanReport.h"

#include "definitions/DefinitionFiles.h"
#include "scan/CompanyNameReader.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace nightjar::report {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kRule = "-----------------------";
constexpr std::string_view kItemRule = "============================================";

/// The kind printed after "Type: " for a result's small icon ("" for an unknown icon).
std::string_view KindName(int icon) {
    switch (icon) {
        case scan::icon::Cookie:
            return "Cookie";
        case scan::icon::Registry:
            return "Registry";
        case scan::icon::File:
            return "File";
        case scan::icon::Folder:
            return "Folder";
        case scan::icon::Excluded:
            return "EXCLUDED";
        default:
            return "";
    }
}

/// Every line of a text file (CR LF or LF ends); empty when it is missing.
std::vector<std::string> ReadLines(platform::FileSystem& fs, std::string_view path) {
    std::vector<std::string> lines;
    if (!fs.fileExists(path)) {
        return lines;
    }
    LineReader reader(fs, path);
    std::string line;
    while (reader.isOpen() && reader.next(line)) {
        lines.push_back(line);
    }
    return lines;
}

/// Appends `parts` and a line end.
template <class... Parts>
void line(std::string& out, const Parts&... parts) {
    (out.append(parts), ...);
    out.append(kEol);
}

}  // namespace

ScanReport::ScanReport(platform::FileSystem& fs, std::string dataFolder)
    : fs_(fs), dataFolder_(std::move(dataFolder)) {}

std::string ScanReport::ReportPath(std::string_view dataFolder) {
    return definitions::DataFile(dataFolder, kReportFile);
}

std::string ScanReport::ExclusionText(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        if (!l.empty() && l != " ") {
            line(out, l);
        }
    }
    return out;
}

std::string ScanReport::QuarantineLogText(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        line(out, l, kEol);
    }
    return out;
}

std::string ScanReport::BuildText(const ScanReportInput& input,
                                  const std::vector<ReportFileFacts>& facts,
                                  std::string_view exclusionText,
                                  std::string_view quarantineLogText) {
    std::string out;
    line(out);
    line(out, std::string(19, ' '), input.productName, "v", std::to_string(input.majorVersion), ".",
         std::to_string(input.minorVersion), "   Scan Report");
    line(out);
    line(out,
         "Remember: Not all items found are malicious.  In particular, cookies and recent "
         "document lists are only privacy concerns.  They cannot hurt your computer.  If you are "
         "unsure about an item please send this log to an expert before removing the item from "
         "your computer.");
    line(out);
    line(out, kRule);
    line(out, " Scan Started at  : ", input.scanStartTime);
    line(out, " Scan Finished at : ", input.scanFinishTime);
    line(out, kRule);
    line(out);
    line(out);
    line(out, " 1)Total Number of Processes inspected: ", input.processesCaption);
    line(out, " 2)Total Number of Registry entries inspected: ", input.registryCaption);
    line(out, " 3)Total Number of Files/Folders inspected: ", input.filesFoldersCaption);
    line(out);
    line(out, "[Threats Detected]");
    line(out);
    static const ReportFileFacts kNoFacts;
    for (std::size_t i = 0; i < input.results.size(); ++i) {
        const scan::FoundItem& item = input.results[i];
        const ReportFileFacts& f = i < facts.size() ? facts[i] : kNoFacts;
        const bool file = item.icon == scan::icon::File;
        const bool sized = file || item.icon == scan::icon::Cookie;
        line(out, kItemRule);
        line(out, "File: ", item.location);
        line(out, "Name: ", item.title);
        line(out, "Company: ", file ? f.company : std::string("N/A"));
        line(out, "Type: ", KindName(item.icon));
        line(out, "Size: ", std::to_string(sized ? f.size : 0), " bytes");
        line(out, "Detail: ", item.details);
        line(out, "Risk: ", item.risk);
        line(out);
    }
    line(out, kItemRule);
    line(out);
    line(out, "Total = ", std::to_string(input.results.size()));
    if (!exclusionText.empty()) {
        line(out);
        line(out, "[Files Currently Excluded]");
        line(out);
        line(out, exclusionText);
    }
    if (!quarantineLogText.empty()) {
        line(out);
        line(out, "[Current Quarantine Log]");
        line(out);
        line(out, quarantineLogText, kEol);
    }
    line(out);
    out.append("=====================End Of Report.");
    return out;
}

ReportFileFacts ScanReport::factsOf(const scan::FoundItem& item) {
    ReportFileFacts f;
    if (item.icon == scan::icon::File) {
        f.company = scan::CompanyNameReader(fs_).ReadCompanyName(item.location);
    }
    if (item.icon != scan::icon::File && item.icon != scan::icon::Cookie) {
        return f;
    }
    // The length as the folder lists it; a file that is gone counts 0 bytes.
    const std::size_t slash = item.location.rfind('\\');
    if (slash == std::string::npos) {
        return f;
    }
    const std::string_view name = std::string_view(item.location).substr(slash + 1);
    auto entries = fs_.list(std::string_view(item.location).substr(0, slash + 1));
    if (!entries) {
        return f;
    }
    const platform::DirEntry* match = nullptr;
    for (const platform::DirEntry& e : *entries) {
        if (e.isDirectory()) {
            continue;
        }
        if (e.name == name) {
            match = &e;
            break;
        }
        if (match == nullptr && text::iequals(e.name, name)) {
            match = &e;
        }
    }
    if (match != nullptr) {
        f.size = match->size;
    }
    return f;
}

ScanReport::Result ScanReport::MakeReport(const ScanReportInput& input) {
    const std::string quarantineLog =
        definitions::DataFile(definitions::DataFile(dataFolder_, definitions::kQuarantineFolder),
                              definitions::kQuarantineLogFile);
    const std::string quarantineText = QuarantineLogText(ReadLines(fs_, quarantineLog));
    const std::string exclusionText = ExclusionText(
        ReadLines(fs_, definitions::DataFile(dataFolder_, definitions::kExclusionFile)));

    std::vector<ReportFileFacts> facts;
    facts.reserve(input.results.size());
    for (const scan::FoundItem& item : input.results) {
        facts.push_back(factsOf(item));
    }

    const std::string path = ReportPath(dataFolder_);
    if (fs_.writeAll(path, BuildText(input, facts, exclusionText, quarantineText))) {
        return Result::Written;
    }
    // The previous scan's report must not pass for this one.
    fs_.deleteFile(path);
    return Result::NotWritten;
}

std::vector<std::string> ScanReport::ReportLines(platform::FileSystem& fs,
                                                 std::string_view dataFolder) {
    return ReadLines(fs, ReportPath(dataFolder));
}

}  // namespace nightjar::report
