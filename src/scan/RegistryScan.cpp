#include "scan/RegistryScan.h"

#include "definitions/DefinitionFiles.h"
#include "definitions/DefinitionReader.h"
#include "scan/PhasePercent.h"
#include "util/Text.h"

namespace nightjar::scan {

/// What a definition line names, whichever view it is looked up in.
struct RegistryScan::LineEntry {
    platform::Hive hive;
    std::string hiveText;
    std::string givenPath;  ///< the key path as the line gives it
    std::string valueName;  ///< empty for a whole key
    std::string threatName;
    std::string threatType;
};

namespace {

/// The result row of a registry key or value found.
void addRegistryItem(ScanSink& sink, const std::string& title, const std::string& location,
                     const std::string& type) {
    FoundItem item;
    item.title = title;
    item.icon = icon::Registry;
    item.location = location;
    item.type = type;
    sink.addFoundItem(std::move(item));
}

}  // namespace

RegistryScan::RegistryScan(platform::FileSystem& fs, RegistryAccess& access,
                           definitions::PlaceholderExpander& expander,
                           definitions::SignatureStore& store, removal::ExclusionList& exclusions)
    : fs_(fs), access_(access), expander_(expander), store_(store), exclusions_(exclusions) {}

void RegistryScan::ScanRegistry(ScanSink& sink) {
    const std::string path =
        definitions::DataFile(store_.dataFolder(), definitions::kRegistryDefinition);
    if (!fs_.fileExists(path)) {
        return;
    }
    definitions::DefinitionReader reader(fs_, path);
    if (!reader.isOpen()) {
        return;
    }
    std::string line;
    for (;;) {
        sink.pump();
        if (sink.stopRequested()) {
            return;
        }
        if (!reader.next(line)) {
            return;
        }
        scanLine(line, sink);
    }
}

void RegistryScan::scanLine(const std::string& line, ScanSink& sink) {
    // The last "=" separates the location from the threat: key paths may hold "=".
    const std::size_t eq = line.rfind('=');
    if (eq == std::string::npos) {
        return;
    }
    const std::string threatPart = text::trim(std::string_view(line).substr(eq + 1));
    std::string threatName = threatPart;
    std::string threatType;
    if (auto bar = threatPart.find('|'); bar != std::string::npos) {
        auto fields = text::split(threatPart, "|");
        threatName = fields[0];
        threatType = fields[1];
    }
    std::string location = text::replaceAll(std::string_view(line).substr(0, eq), "[drive]",
                                            expander_.SystemDriveRoot());
    expander_.ExpandInPlace(location);
    const auto fields = text::split(location, "^");
    if (fields.size() < 3) {
        return;
    }
    if (text::trimView(fields[0]).empty()) {
        return;
    }
    const auto hive = access_.HiveFromCode(text::trimView(fields[0]));
    if (!hive) {
        return;
    }
    const std::string& keyPath = fields[1];
    // A line that names no key below the hive would make the whole hive a threat; it is
    // never acted on, whatever the protected items hold.
    if (keyPath.find_first_not_of(" \t\\") == std::string::npos) {
        return;
    }
    const std::string& hiveText = access_.currentHiveName();

    auto& c = sink.counters();
    ++c.registry;
    {
        const auto& counts = store_.counts();
        std::string status = sink.statusPrefix();
        status += "\r\n";
        status += text::toLower(keyPath + "\\" + fields[2]);
        sink.UpdateScanProgress(
            status, PhasePercent(c.registry, static_cast<double>(counts.registry)),
            PhasePercent(static_cast<double>(c.registry) + static_cast<double>(counts.cookies) +
                             static_cast<double>(counts.exe),
                         static_cast<double>(counts.total)));
    }

    const LineEntry entry{.hive = *hive,
                          .hiveText = hiveText,
                          .givenPath = keyPath,
                          .valueName = text::replaceAll(fields[2], "\\\\", "\\"),
                          .threatName = threatName,
                          .threatType = threatType};
    checkView(entry, keyPath, sink);
    if (auto twin = platform::wow64TwinPath(*hive, keyPath)) {
        checkView(entry, *twin, sink);
    }
}

void RegistryScan::checkView(const LineEntry& entry, const std::string& keyPath, ScanSink& sink) {
    auto& c = sink.counters();
    const std::string keyText = entry.hiveText + "\\" + keyPath;
    // The 32-bit copy of a protected key is just as protected.
    auto isProtected = [&](std::string_view suffix) {
        return store_.IsProtectedPath(keyText + std::string(suffix)) ||
               (keyPath != entry.givenPath &&
                store_.IsProtectedPath(entry.hiveText + "\\" + entry.givenPath +
                                       std::string(suffix)));
    };

    RegistryWorkRow work;
    work.mainKey = std::to_string(platform::hiveHandleValue(entry.hive));
    work.keyPath = keyPath;
    work.threatName = entry.threatName;

    if (entry.valueName.empty()) {
        if (!access_.KeyExists(entry.hive, text::trimView(keyPath))) {
            return;
        }
        const std::string& entryText = keyText;
        if (isProtected("")) {
            return;
        }
        if (exclusions_.IsExcluded(entryText) || exclusions_.IsExcluded(keyText)) {
            sink.addFeedRow({"EXCLUDED", icon::Excluded, entryText});
            return;
        }
        sink.addRegistryWorkRow(std::move(work));
        sink.addTrace();
        if (entry.threatName.empty()) {
            sink.addFeedRow({"RegKey " + keyPath, icon::None, keyText});
            addRegistryItem(sink, keyPath, keyText, "");
        } else {
            sink.addFeedRow({entry.threatName, icon::Registry, keyText});
            addRegistryItem(sink, entry.threatName, keyText, entry.threatType);
        }
        ++c.threats;
        return;
    }

    const std::string& valueName = entry.valueName;
    std::string data;
    if (!access_.ReadValue(entry.hive, keyPath, valueName, data)) {
        return;
    }
    const std::string entryText = keyText + valueName;
    // A protected value is written as its key, "\" and its name.
    if (isProtected("\\" + valueName)) {
        return;
    }
    if (exclusions_.IsExcluded(entryText) || exclusions_.IsExcluded(keyText)) {
        sink.addFeedRow({"EXCLUDED", icon::Excluded, entryText});
        return;
    }
    work.valueName = valueName;
    sink.addRegistryWorkRow(std::move(work));
    sink.addTrace();
    if (entry.threatName.empty()) {
        return;
    }
    sink.addFeedRow({entry.threatName, icon::Registry, entryText});
    addRegistryItem(sink, entry.threatName, entryText, entry.threatType);
    ++c.threats;
}

}  // namespace nightjar::scan
