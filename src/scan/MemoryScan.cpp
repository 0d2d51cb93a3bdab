#include "scan/MemoryScan.h"

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "util/Text.h"

namespace nightjar::scan {

namespace {
constexpr int kNtFamily = 2;
constexpr int kLegacyFamily = 1;
constexpr std::string_view kMicrosoftUpper = "MICROSOFT CORPORATION";
constexpr std::string_view kSunUpper = "SUN MICROSYSTEMS, INC.";

std::string afterLastSlash(std::string_view s) {
    auto slash = s.rfind('\\');
    return std::string(slash == std::string_view::npos ? s : s.substr(slash + 1));
}

std::string cutAtNul(std::string_view s) {
    auto z = s.find('\0');
    return std::string(z == std::string_view::npos ? s : s.substr(0, z));
}
/// The feed's account of a stop: said to have stopped only when it did.
std::string stoppedText(const ScanSink& sink, const std::string& upperName, bool stopped) {
    return stopped ? upperName + " was stopped" : upperName + ": " + sink.msg("MSG_ERROR_STOPPED");
}
}  // namespace

MemoryScan::MemoryScan(platform::Processes& processes, removal::ProcessControl& control,
                       platform::FileSystem& fs, platform::ShellFolders& shell,
                       definitions::PlaceholderExpander& expander,
                       removal::ExclusionList& exclusions, const CompanyNameReader& company,
                       std::string dataFolder)
    : processes_(processes),
      control_(control),
      fs_(fs),
      shell_(shell),
      expander_(expander),
      exclusions_(exclusions),
      company_(company),
      dataFolder_(std::move(dataFolder)) {}

void MemoryScan::CheckMemory(ScanSink& sink) {
    switch (processes_.platformId()) {
        case kNtFamily:
            CheckMemoryNt(sink);
            break;
        case kLegacyFamily:
            CheckMemory9x(sink);
            break;
        default:
            break;
    }
}

std::string MemoryScan::NormalizeSystemPath(std::string_view path) {
    const std::string upper = text::toUpper(text::trimView(path));
    constexpr std::string_view kSystem32 = "SYSTEM32\\";
    const auto at = upper.rfind(kSystem32);
    if (at == std::string::npos) {
        return std::string(path);
    }
    std::string out = cutAtNul(shell_.systemDirectory());
    out += '\\';
    out += upper.substr(at + kSystem32.size());
    return out;
}

bool MemoryScan::buildExeMatchList(ScanSink& sink) {
    exeMatchList_.clear();
    const std::string path = definitions::DataFile(dataFolder_, definitions::kExeDefinition);
    // The file must be listed as a normal file under its own name.
    auto attrs = fs_.attributes(path);
    auto stored = fs_.storedName(path);
    if (!attrs ||
        (*attrs & (platform::attr::Directory | platform::attr::Hidden | platform::attr::System)) ||
        !stored || !text::iequals(*stored, definitions::kExeDefinition)) {
        return false;
    }
    definitions::DefinitionReader reader(fs_, path);
    std::string line;
    const bool scanning = sink.scanRunning();
    while (reader.isOpen() && reader.next(line)) {
        if (sink.stopRequested()) {
            exeMatchList_.clear();
            break;
        }
        const auto eq = line.find('=');
        std::string name;
        if (eq != std::string::npos) {
            name = line.substr(0, eq);
            const auto fields = text::split(line, "=");
            std::string location = fields[1];
            if (location.find('|') != std::string::npos) {
                location = text::split(location, "|")[1];
            }
            if (exeMatchList_.empty()) {
                exeMatchList_ = "|";
            }
            // A program in the system folder may run from SysWOW64 as well.
            for (const std::string& place : expander_.Expansions(location)) {
                exeMatchList_ += text::collapseBackslashes(place + "\\" + name);
                exeMatchList_ += '|';
            }
        }
        if (scanning) {
            ++sink.counters().processes;
            lastStatus_ = sink.statusPrefix();
            lastStatus_ += "\r\n";
            lastStatus_ += name;
            sink.UpdateScanProgress(lastStatus_, -1, -1);
        }
        sink.pump();
    }
    exeMatchList_ = text::toUpper(exeMatchList_);
    return true;
}

bool MemoryScan::matchesList(const std::string& list, const std::string& path,
                             const std::string& fileName) {
    // By full path ...
    if (list.find("|" + text::toUpper(path) + "|") != std::string::npos) {
        return true;
    }
    // ... or by file name in any folder: only the first occurrence of "\name" counts, and
    // it must end its entry.
    const std::string needle = "\\" + text::toUpper(fileName);
    const auto at = list.find(needle);
    if (at == std::string::npos) {
        return false;
    }
    const auto bar = list.find('|', at);
    if (bar == std::string::npos) {
        return false;
    }
    return text::trimView(std::string_view(list).substr(at, bar - at)) == needle;
}

void MemoryScan::CheckMemoryNt(ScanSink& sink) {
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    const int listed = control_.ListProcesses(names, ids, "", true);
    std::string fingerprint;
    for (const auto& n : names) {
        fingerprint += n;
    }
    if (fingerprint == fingerprint_) {
        return;  // no process started or ended since the last check
    }
    fingerprint_ = std::move(fingerprint);

    buildExeMatchList(sink);
    sink.setRunningItems(listed < 0 ? 0 : listed);

    const bool scanning = sink.scanRunning();
    auto& c = sink.counters();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ++c.processes;
        if (scanning) {
            sink.UpdateScanProgress(lastStatus_, -1, -1);
        }
        if (sink.stopRequested()) {
            return;
        }
        auto module = processes_.firstModulePath(ids[i]);
        if (module) {
            const std::string image = cutAtNul(*module);
            const std::string path = NormalizeSystemPath(text::toUpper(text::trim(image)));
            const std::string fileName = afterLastSlash(path);
            if (matchesList(exeMatchList_, path, fileName)) {
                const std::string company = company_.ReadCompanyName(path);
                const std::string companyUpper = text::toUpper(text::trimView(company));
                if (companyUpper != kMicrosoftUpper && companyUpper != kSunUpper) {
                    const std::string upperName = text::toUpper(fileName);
                    if (exclusions_.IsExcluded(fileName)) {
                        sink.addFeedRow({"EXCLUDED", icon::Excluded, upperName});
                    } else if (!text::iequals(fileName, kCompanionProcess)) {
                        if (scanning) {
                            // By the id at hand: a namesake elsewhere is not touched.
                            const bool stopped = control_.StopProcessById(ids[i], 0, image);
                            sink.addFeedRow({"Running Application", icon::File,
                                             stoppedText(sink, upperName, stopped)});
                        } else if (alert_) {
                            alert_(Sighting{fileName, company, ids[i], image});
                        }
                        ++c.threats;
                    }
                }
            }
        }
        sink.pump();
    }
}

void MemoryScan::CheckMemory9x(ScanSink& sink) {
    const bool scanning = sink.scanRunning();
    auto& c = sink.counters();
    if (!text::trimView(legacyCache_).empty()) {
        // The number of lines the cache holds (each line ends in CR LF).
        const auto pieces = text::split(legacyCache_, "\r\n");
        c.processes += static_cast<std::int32_t>(pieces.size() - 1);
    } else {
        const std::string path = definitions::DataFile(dataFolder_, definitions::kExeDefinition);
        if (!fs_.fileExists(path)) {
            return;
        }
        definitions::DefinitionReader reader(fs_, path);
        std::string line;
        while (reader.isOpen() && reader.next(line)) {
            if (sink.stopRequested()) {
                legacyCache_.clear();
                break;
            }
            legacyCache_ += line;
            legacyCache_ += "\r\n";
            ++c.processes;
            if (scanning) {
                std::string status = sink.statusPrefix();
                status += "\r\n";
                status += line;
                sink.UpdateScanProgress(status, -1, -1);
            }
            sink.pump();
        }
    }

    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    control_.ListProcesses(names, ids, "", false);
    int running = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        sink.setRunningItems(++running);
        const std::string fileName = text::toUpper(text::trim(afterLastSlash(cutAtNul(names[i]))));
        bool matched = false;
        if (!fileName.empty()) {
            const auto at = text::ifind(legacyCache_, fileName);
            if (at != std::string::npos) {
                auto end = legacyCache_.find("\r\n", at);
                if (end == std::string::npos) {
                    end = legacyCache_.size();
                }
                matched = text::toUpper(text::trimView(
                              std::string_view(legacyCache_).substr(at, end - at))) == fileName;
            }
        }
        if (matched) {
            const std::string company =
                text::toUpper(text::trim(company_.ReadCompanyName(fileName)));
            if (company != kMicrosoftUpper) {
                if (exclusions_.IsExcluded(fileName)) {
                    sink.addFeedRow({"EXCLUDED", icon::Excluded, fileName});
                } else if (scanning) {
                    const bool stopped = control_.StopProcessLegacy(ids[i], names[i]);
                    sink.addFeedRow(
                        {"Running Process", icon::File, stoppedText(sink, fileName, stopped)});
                    ++c.threats;
                } else if (confirm_) {
                    if (confirm_(fileName)) {
                        control_.StopProcessLegacy(ids[i], names[i]);
                        ++c.threats;
                    } else {
                        // Not reloaded here: the entry takes effect when the list next loads.
                        exclusions_.AppendAlertExclusion(text::trim(fileName), false);
                    }
                }
            }
        }
        sink.pump();
    }
}

}  // namespace nightjar::scan
