#include "scan/CookieScan.h"

#include <cmath>

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "definitions/LineCodec.h"
#include "platform/CappedInputFile.h"
#include "util/LineReader.h"
#include "util/Text.h"

namespace nightjar::scan {

namespace {

constexpr std::uint64_t kMaxCookieBytes = std::uint64_t{512} << 10;

std::string cutAtNul(std::string_view s) {
    auto z = s.find('\0');
    return std::string(z == std::string_view::npos ? s : s.substr(0, z));
}

/// A field as a comma-separated reader gives it: surrounding blanks and quotes removed.
std::string_view fieldText(std::string_view f) {
    while (!f.empty() && (f.front() == ' ' || f.front() == '\t')) {
        f.remove_prefix(1);
    }
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) {
        f.remove_suffix(1);
    }
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') {
        f = f.substr(1, f.size() - 2);
    }
    return f;
}

std::int32_t roundedRatio(double part, double whole) {
    if (!(whole > 0)) {
        return 0;
    }
    double v = std::nearbyint(part / whole);
    if (v > 2147483647.0 || v < -2147483647.0) {
        return 0;
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

CookieScan::CookieScan(platform::FileSystem& fs, platform::ShellFolders& shell,
                       removal::ExclusionList& exclusions, std::string dataFolder)
    : fs_(fs), shell_(shell), exclusions_(exclusions), dataFolder_(std::move(dataFolder)) {}

std::string CookieScan::CookieSiteFromFileName(std::string_view name) {
    if (name.empty()) {
        return {};
    }
    const auto at = name.find('@');
    if (at == std::string_view::npos) {
        return {};
    }
    std::string_view rest = name.substr(at + 1);
    if (auto p = rest.find('('); p != std::string_view::npos) {
        return std::string(rest.substr(0, p));
    }
    if (auto p = rest.find('['); p != std::string_view::npos) {
        return std::string(rest.substr(0, p));
    }
    if (auto p = rest.rfind('.'); p != std::string_view::npos) {
        return std::string(rest.substr(0, p));
    }
    return std::string(rest);
}

std::string CookieScan::CookieDomainOf(std::string_view path) {
    const std::string site = CookieSiteFromFileName(path);
    if (site.empty() || !fs_.fileExists(path)) {
        return "False";
    }
    // A cookie is a few lines; reading stops well past that, so that no file in the
    // cookies folder can make the scan read (and keep a line) without end.
    auto file = fs_.openRead(path);
    if (!file) {
        return "False";
    }
    LineReader reader(
        std::make_unique<platform::CappedInputFile>(std::move(file), kMaxCookieBytes));
    std::string line;
    while (reader.next(line)) {
        std::size_t begin = 0;
        for (;;) {
            std::size_t comma = line.find(',', begin);
            std::string_view field = fieldText(std::string_view(line).substr(
                begin, comma == std::string::npos ? std::string::npos : comma - begin));
            if (auto at = field.find(site); at != std::string_view::npos) {
                std::string_view cut = field.substr(at);
                if (auto slash = cut.find('/'); slash != std::string_view::npos) {
                    return std::string(cut.substr(0, slash));
                }
            }
            if (comma == std::string::npos) {
                break;
            }
            begin = comma + 1;
        }
    }
    return "False";
}

bool CookieScan::IsBlockedSite(const std::vector<std::string>& list, std::string_view site) {
    // An empty site is contained in every entry; matching it would report any cookie whose
    // domain reduced to nothing.
    if (site.empty()) {
        return false;
    }
    for (const auto& entry : list) {
        if (entry.find(site) == std::string::npos) {
            continue;
        }
        std::string e = entry;
        if (auto dot = e.rfind('.'); dot != std::string::npos) {
            e.resize(dot);
        }
        if (auto star = e.find('*'); star != std::string::npos) {
            e.erase(star, 1);
        }
        if (text::iequals(e, site)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> CookieScan::LoadBlockedSites() {
    const std::string path = definitions::DataFile(dataFolder_, definitions::kBlockedCookies);
    std::string joined;
    if (fs_.fileExists(path)) {
        definitions::DefinitionReader reader(fs_, path);
        std::string line;
        while (reader.isOpen() && reader.next(line)) {
            joined += line;
            joined += '|';
        }
    }
    if (joined.empty()) {
        return {};
    }
    return text::split(joined, "|");
}

void CookieScan::ScanCookies(ScanSink& sink, int& cookieFiles) {
    auto folderPath = shell_.specialFolder(kCookiesFolder);
    std::string folder = folderPath ? cutAtNul(*folderPath) : std::string();
    // The folder is read into a 255-character buffer: a longer path is not found.
    if (folder.size() >= 255 || text::trimView(folder).empty()) {
        return;
    }
    const std::vector<std::string> blocked = LoadBlockedSites();
    auto listing = fs_.list(folder);
    if (!listing) {
        return;
    }
    std::vector<std::string> files;
    for (const auto& e : *listing) {
        if (!e.isDirectory()) {
            files.push_back(e.name);
        }
    }
    const double fileCount = static_cast<double>(files.size());
    auto& c = sink.counters();
    std::string status;
    std::int32_t examined = 0;
    for (const auto& name : files) {
        if (sink.stopRequested()) {
            break;  // the remaining files are passed over
        }
        ++cookieFiles;
        status = sink.statusPrefix();
        status += "\r\n";
        status += name;
        // The phase bar shows the share of files examined; no counter stands in for it.
        sink.UpdateScanProgress(status, roundedRatio(100.0 * examined, fileCount), -1);
        ++examined;

        const std::string full = folder + "\\" + name;
        std::string domain = CookieDomainOf(full);
        if (auto dot = domain.rfind('.'); dot != std::string::npos) {
            domain.resize(dot);
        }
        if (text::istartsWith(domain, "www.")) {
            domain.erase(0, 4);
        }
        const bool matched = IsBlockedSite(blocked, domain);

        sink.UpdateScanProgress(status, roundedRatio(100.0 * examined, fileCount), -1);

        if (matched) {
            if (exclusions_.IsExcluded(full)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, full});
            } else {
                sink.addFeedRow({"Cookie", icon::Cookie, name});
                sink.addCookieWorkRow({full});
                sink.addTrace();
                FoundItem item;
                item.title = "Cookie: " + name;
                item.icon = icon::Cookie;
                item.location = full;
                item.type = "Tracking Cookie";
                sink.addFoundItem(std::move(item));
                ++c.filesFolders;
                ++c.threats;
            }
        }
        sink.pump();
    }
}

}  // namespace nightjar::scan
