#include "scan/KnownLocationScan.h"

#include <functional>
#include <vector>

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
    /// Every place the location names (a location in the system folder is in SysWOW64 as
    /// well on 64-bit Windows); one empty text for a line without a location.
    std::vector<std::string> locations{std::string()};
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
    k.locations =
        expander.Expansions(text::replaceAll(fields[1], "[drive]", expander.SystemDriveRoot()));
    for (std::string& location : k.locations) {
        location = text::collapseBackslashes(location);
    }
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

/// What a line gives the phase's own test: the parsed line, its name (also shown in the
/// progress) and the threat it names.
using LineTest =
    std::function<void(const KnownLine& k, const std::string& name, const std::string& threatName)>;

/// Reads one definition file line by line until it ends or a stop is requested. Each line
/// is counted, shown in the progress under `nameOf` its key and handed to `test`; with
/// `needsLocation`, lines without a location are passed over uncounted.
void scanLines(platform::FileSystem& fs, const std::string& path,
               definitions::PlaceholderExpander& expander,
               const definitions::DefinitionCounts& counts, ScanSink& sink, bool needsLocation,
               std::string (*nameOf)(std::string_view), const LineTest& test) {
    if (!fs.fileExists(path)) {
        return;
    }
    definitions::DefinitionReader reader(fs, path);
    std::string line;
    auto& c = sink.counters();
    std::string status;
    while (reader.isOpen() && !sink.stopRequested() && reader.next(line)) {
        const KnownLine k = parseLine(line, expander);
        if (needsLocation && !k.hasLocation) {
            sink.pump();
            continue;
        }
        const auto parts = text::split(k.key, "=");
        const std::string name = nameOf(parts[0]);
        const std::string threatName = parts.size() > 1 ? parts[1] : std::string();

        ++c.filesFolders;
        reportProgress(sink, counts, status, name);
        if (sink.stopRequested()) {
            return;
        }
        test(k, name, threatName);
        sink.pump();
    }
}
}  // namespace

void KnownLocationScan::ScanKnownFiles(ScanSink& sink) {
    scanLines(fs_, definitionPath(definitions::kFileDefinition), expander_, store_.counts(), sink,
              false, text::trim,
              [&](const KnownLine& k, const std::string& fileName, const std::string& threatName) {
                  for (const std::string& location : k.locations) {
                      const std::string full =
                          location.empty() ? fileName
                                           : text::collapseBackslashes(location + "\\" + fileName);
                      if (!normalFileExists(full) || store_.IsProtectedPath(full)) {
                          continue;
                      }
                      if (exclusions_.IsExcluded(full)) {
                          sink.addFeedRow({"EXCLUDED", icon::Excluded, full});
                      } else if (!text::iequals(text::trimView(company_.ReadCompanyName(full)),
                                                kMicrosoft)) {
                          recordHit(sink, full, threatName, threatName,
                                    std::string(definitions::FileDefinitionType(k.type)),
                                    icon::File);
                      }
                  }
              });
}

void KnownLocationScan::ScanKnownFolders(ScanSink& sink) {
    scanLines(
        fs_, definitionPath(definitions::kDirectoryDefinition), expander_, store_.counts(), sink,
        true, cleanKeyName,
        [&](const KnownLine& k, const std::string&, const std::string& threatName) {
            for (const std::string& folder : k.locations) {
                if (folder.empty() || !fs_.folderExists(folder) || store_.IsProtectedPath(folder)) {
                    continue;
                }
                if (exclusions_.IsExcludedPart(folder)) {
                    sink.addFeedRow({"EXCLUDED", icon::Excluded, folder});
                } else {
                    recordHit(sink, folder, "", threatName, k.type, icon::Folder);
                }
            }
        });
}

}  // namespace nightjar::scan
