#include "scan/KnownLocationScan.h"

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "definitions/LineCodec.h"
#include "definitions/ThreatCatalog.h"
#include "scan/PhasePercent.h"
#include "util/Text.h"

namespace nightjar::scan {

namespace {

constexpr std::string_view kMicrosoft = "Microsoft Corporation";

/// One definition line: key part, location (expanded) and type.
struct KnownLine {
    std::string key;
    std::string location;
    std::string type;
    bool hasLocation = false;
};

std::string_view lastPart(std::string_view path) {
    auto slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string cleanKeyName(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c != '\r' && c != '\n' && c != '\t') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

KnownLocationScan::KnownLocationScan(platform::FileSystem& fs, definitions::SignatureStore& store,
                                     definitions::PlaceholderExpander& expander,
                                     removal::ExclusionList& exclusions,
                                     const CompanyNameReader& company)
    : fs_(fs), store_(store), expander_(expander), exclusions_(exclusions), company_(company) {}

std::string KnownLocationScan::definitionPath(std::string_view fileName) const {
    return definitions::DataFile(store_.dataFolder(), fileName);
}

bool KnownLocationScan::normalFileExists(const std::string& path) {
    // A listing of normal files: hidden, system files and folders are not listed, and the
    // listed name must be the last component of the path.
    auto a = fs_.attributes(path);
    if (!a ||
        (*a & (platform::attr::Directory | platform::attr::Hidden | platform::attr::System)) != 0) {
        return false;
    }
    auto stored = fs_.storedName(path);
    return stored && text::iequals(*stored, lastPart(path));
}

namespace {
KnownLine parseLine(const std::string& line, definitions::PlaceholderExpander& expander) {
    KnownLine k;
    if (line.find('|') == std::string::npos) {
        k.key = line;
        return k;
    }
    auto fields = text::split(line, "|");
    k.key = fields[0];
    k.hasLocation = true;
    std::string loc = text::replaceAll(fields[1], "[drive]", expander.SystemDriveRoot());
    expander.ExpandInPlace(loc);
    k.location = text::collapseBackslashes(loc);
    if (fields.size() >= 3) {
        k.type = fields[2];
    }
    return k;
}

/// Counts against the file and folder lines for the phase, and against every definition
/// line for the whole run.
void reportProgress(ScanSink& sink, const definitions::DefinitionCounts& counts,
                    std::string& status, std::string_view item) {
    const auto& c = sink.counters();
    status = sink.statusPrefix();
    status += "\r\n";
    status += item;
    sink.UpdateScanProgress(
        status, PhasePercent(c.filesFolders, static_cast<double>(counts.files)),
        PhasePercent(static_cast<double>(c.filesFolders) + static_cast<double>(counts.registry) +
                         static_cast<double>(counts.cookies) + static_cast<double>(counts.exe),
                     static_cast<double>(counts.total)));
}

/// A hit: removal row (path, second column), trace, feed row and result row.
void recordHit(ScanSink& sink, const std::string& path, std::string second,
               const std::string& threatName, const std::string& type, int rowIcon) {
    sink.addFileWorkRow({path, std::move(second)});
    sink.addTrace();
    sink.addFeedRow({threatName, rowIcon, path});
    FoundItem item;
    item.title = threatName;
    item.icon = rowIcon;
    item.location = path;
    item.type = type;
    sink.addFoundItem(std::move(item));
    ++sink.counters().threats;
}
}  // namespace

void KnownLocationScan::ScanKnownFiles(ScanSink& sink) {
    const std::string path = definitionPath(definitions::kFileDefinition);
    if (!fs_.fileExists(path)) {
        return;
    }
    definitions::DefinitionReader reader(fs_, path);
    std::string line;
    auto& c = sink.counters();
    const auto& counts = store_.counts();
    std::string status;
    while (reader.isOpen() && !sink.stopRequested() && reader.next(line)) {
        const KnownLine k = parseLine(line, expander_);
        const auto parts = text::split(k.key, "=");
        const std::string fileName = text::trim(parts[0]);
        const std::string threatName = parts.size() > 1 ? parts[1] : std::string();
        std::string full =
            k.location.empty() ? fileName : text::collapseBackslashes(k.location + "\\" + fileName);

        ++c.filesFolders;
        reportProgress(sink, counts, status, fileName);
        if (sink.stopRequested()) {
            return;
        }
        if (normalFileExists(full) && !store_.IsProtectedPath(full)) {
            if (exclusions_.IsExcluded(full)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, full});
            } else if (!text::iequals(text::trimView(company_.ReadCompanyName(full)), kMicrosoft)) {
                recordHit(sink, full, threatName, threatName,
                          std::string(definitions::FileDefinitionType(k.type)), icon::File);
            }
        }
        sink.pump();
    }
}

void KnownLocationScan::ScanKnownFolders(ScanSink& sink) {
    const std::string path = definitionPath(definitions::kDirectoryDefinition);
    if (!fs_.fileExists(path)) {
        return;
    }
    definitions::DefinitionReader reader(fs_, path);
    std::string line;
    auto& c = sink.counters();
    const auto& counts = store_.counts();
    std::string status;
    while (reader.isOpen() && !sink.stopRequested() && reader.next(line)) {
        const KnownLine k = parseLine(line, expander_);
        if (!k.hasLocation) {
            sink.pump();
            continue;
        }
        const auto parts = text::split(k.key, "=");
        const std::string keyName = cleanKeyName(parts[0]);
        const std::string threatName = parts.size() > 1 ? parts[1] : std::string();
        const std::string& folder = k.location;

        ++c.filesFolders;
        reportProgress(sink, counts, status, keyName);
        if (sink.stopRequested()) {
            return;
        }
        if (!folder.empty() && fs_.folderExists(folder) && !store_.IsProtectedPath(folder)) {
            if (exclusions_.IsExcludedPart(folder)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, folder});
            } else {
                recordHit(sink, folder, "", threatName, k.type, icon::Folder);
            }
        }
        sink.pump();
    }
}

}  // namespace nightjar::scan
