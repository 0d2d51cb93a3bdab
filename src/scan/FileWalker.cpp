#include "scan/FileWalker.h"

#include <algorithm>

#include "util/Text.h"

namespace nightjar::scan {

namespace {

constexpr std::string_view kMicrosoft = "Microsoft Corporation";

std::string_view parentOf(std::string_view path) {
    auto slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

std::string_view lastPart(std::string_view path) {
    auto slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view drivePart(std::string_view path) {
    auto slash = path.find('\\');
    return slash == std::string_view::npos ? path : path.substr(0, slash);
}

long depthOf(std::string_view s) {
    return static_cast<long>(std::count(s.begin(), s.end(), '\\'));
}

/// The test of an applying entry that looks at where the object lies: a folder named
/// "system32", "system" or "windows" in the path must be named by the entry as well.
bool folderWordsAgree(std::string_view fullPath, std::string_view entryFolder) {
    for (std::string_view word : {"system32", "system", "windows"}) {
        if (text::icontains(fullPath, word) && !text::icontains(entryFolder, word)) {
            return false;
        }
    }
    return true;
}

}  // namespace

FileWalker::FileWalker(platform::FileSystem& fs, definitions::SignatureStore& store,
                       definitions::PlaceholderExpander& expander,
                       removal::ExclusionList& exclusions, const CompanyNameReader& company)
    : fs_(fs), store_(store), expander_(expander), exclusions_(exclusions), company_(company) {}

const std::string& FileWalker::systemFolder() {
    if (!haveSystemFolder_) {
        systemFolder_ = text::toLower(expander_.SystemDirectory());
        haveSystemFolder_ = true;
    }
    return systemFolder_;
}

int FileWalker::TrailingMatchCount(std::string_view a, std::string_view b) {
    std::vector<FolderPartCache::Part> aParts;
    std::vector<FolderPartCache::Part> bParts;
    FolderPartCache::cut(a, aParts);
    FolderPartCache::cut(b, bParts);
    return FolderPartCache::trailingMatches(a, aParts, b, bParts, 0);
}

void FileWalker::CheckFilePath(std::string_view path, ScanSink& sink) {
    index_.refresh(store_);
    text::lowerInto(nameKey_, text::trimView(lastPart(path)));
    text::lowerInto(driveKey_, drivePart(path));
    index_.fileCandidates(nameKey_, driveKey_, candidates_);
    if (candidates_.empty()) {
        return;  // the common case: nothing in the table bears this name
    }
    const std::string& name = nameKey_;
    const std::string& sys = systemFolder();
    // What depends on the folder alone is worked out once for all the files in it.
    if (const std::string_view rawParent = parentOf(path);
        !haveParent_ || rawParent != parentRaw_) {
        parentRaw_.assign(rawParent);
        text::lowerInto(parentKey_, rawParent);
        parentParts_.clear();
        FolderPartCache::cut(parentKey_, parentParts_);
        parentDepth_ = depthOf(parentKey_);
        parentInSystem_ = text::icontains(parentKey_, sys);
        haveParent_ = true;
    }
    const std::string& parent = parentKey_;
    // Blanks around the name count for the match only: the location names the file as it
    // is, so that it leads to this file and no other.
    fullKey_.assign(parent).append(text::toLower(lastPart(path)));
    const std::string& full = fullKey_;
    const auto& rows = store_.FileSignatures();
    fileParts_.refresh(store_.generation(), rows.data(), rows.size());
    const bool anyFolder = name.size() > 16 && text::icontains(name, ".exe");
    const long depth = parentDepth_;
    const bool inSystem = parentInSystem_;
    bool gatesPassed = false;
    for (std::uint32_t i : candidates_) {
        const auto& e = rows[i];
        if (!anyFolder) {
            const bool placed = depth < 2 ? depthOf(e.folder) == 1
                                          : FolderPartCache::trailingMatches(
                                                parent, parentParts_, e.folder,
                                                fileParts_.partsOf(i, e.folder), 2) >= 2;
            if (!placed || (inSystem && !text::icontains(e.folder, sys))) {
                continue;
            }
        }
        if (!gatesPassed) {
            // These tests do not depend on the entry: decided once for the object.
            if (store_.IsProtectedPath(full)) {
                return;
            }
            if (exclusions_.IsExcluded(full)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, full});
                return;
            }
            if (text::iequals(text::trimView(company_.ReadCompanyName(full)), kMicrosoft)) {
                return;
            }
            gatesPassed = true;
        }
        if (!folderWordsAgree(full, e.folder)) {
            continue;
        }
        sink.addFileWorkRow({full, std::string(e.threatName)});
        sink.addTrace();
        sink.addFeedRow({std::string(e.threatName), icon::File, full});
        FoundItem item;
        item.title = e.threatName;
        item.icon = icon::File;
        item.location = full;
        item.type = e.type;
        sink.addFoundItem(std::move(item));
        ++sink.counters().threats;
        return;
    }
}

void FileWalker::CheckFolderPath(std::string_view folderIn, ScanSink& sink) {
    index_.refresh(store_);
    text::lowerInto(folderKey_, folderIn);
    text::lowerInto(driveKey_, drivePart(folderIn));
    if (folderKey_.size() > 1 && folderKey_.back() == '\\') {
        folderKey_.pop_back();
    }
    index_.folderCandidates(folderKey_, driveKey_, candidates_);
    if (candidates_.empty()) {
        return;
    }
    const std::string& folder = folderKey_;
    const auto& rows = store_.DirectorySignatures();
    const long depth = depthOf(folder);
    const std::string& sys = systemFolder();
    const bool inSystem = text::icontains(folder, sys);
    folderParts_.clear();
    FolderPartCache::cut(folder, folderParts_);
    folderRowParts_.refresh(store_.generation(), rows.data(), rows.size());
    bool gatesPassed = false;
    for (std::uint32_t i : candidates_) {
        const auto& e = rows[i];
        const bool placed = depth < 2 ? depthOf(e.folder) == 1
                                      : FolderPartCache::trailingMatches(
                                            folder, folderParts_, e.folder,
                                            folderRowParts_.partsOf(i, e.folder), 2) >= 2;
        if (!placed || (inSystem && !text::icontains(e.folder, sys))) {
            continue;
        }
        if (!gatesPassed) {
            if (store_.IsProtectedPath(folder)) {
                return;
            }
            if (exclusions_.IsExcludedPart(folder)) {
                sink.addFeedRow({"EXCLUDED", icon::Excluded, folder + "\\"});
                return;
            }
            // A folder has no version resource: the company test never exempts it.
            gatesPassed = true;
        }
        if (!folderWordsAgree(folder, e.folder)) {
            continue;
        }
        sink.addFileWorkRow({folder, "FILE"});
        sink.addTrace();
        sink.addFeedRow({std::string(e.threatName), icon::File, folder});
        FoundItem item;
        item.title.assign(e.threatName).append(" Directory");
        item.icon = icon::Folder;
        item.location = folder;
        item.type = e.type;
        sink.addFoundItem(std::move(item));
        ++sink.counters().threats;
        return;
    }
}

void FileWalker::walkOne(std::string_view folder, ScanSink& sink,
                         std::vector<std::string>& subfolders) {
    subfolders.clear();
    // The walk asks of each entry only whether it is a plain folder.
    auto listing = fs_.listEntries(folder, platform::ListDetail::PlainFolders);
    if (!listing || listing->empty()) {
        return;
    }
    // Only an entry whose attributes are the directory attribute alone is a subfolder;
    // one with further attributes is checked as a file and not entered.
    auto isSubfolder = [](const platform::DirEntry& e) {
        return e.attributes == platform::attr::Directory && e.name != "." && e.name != "..";
    };
    std::size_t count = 0;
    for (const auto& e : *listing) {
        if (isSubfolder(e)) {
            ++count;
        }
        if (sink.stopRequested()) {
            return;
        }
        sink.pump();
    }
    subfolders.reserve(count);
    auto& counters = sink.counters();
    // The status line differs between entries only in the name at its end.
    status_.assign("Scanning: ");
    status_.append(folder);
    status_.append("\r\n");
    const std::size_t statusPrefix = status_.size();
    for (const auto& e : *listing) {
        if (e.name != "." && e.name != "..") {
            std::string& path = path_;
            path.assign(folder);
            path += e.name;
            if (isSubfolder(e)) {
                path += '\\';
                CheckFolderPath(path, sink);
                subfolders.push_back(e.name);
            } else {
                CheckFilePath(path, sink);
            }
            ++counters.filesFolders;
            status_.resize(statusPrefix);
            status_.append(e.name);
            sink.UpdateScanProgress(status_, 0, 0);
        }
        if (sink.stopRequested()) {
            return;
        }
        sink.pump();
        // A stop pressed while yielding ends the loop before the next entry.
        if (sink.stopRequested()) {
            return;
        }
    }
}

void FileWalker::WalkFolder(std::string_view folder, ScanSink& sink) {
    // Depth-first with an explicit stack: a folder's own entries are all checked before
    // any of its subfolders is entered, in the order listed, and a deep tree cannot
    // exhaust the call stack.
    struct Frame {
        std::string folder;
        std::vector<std::string> subfolders;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({std::string(folder), {}, 0});
    walkOne(stack.back().folder, sink, stack.back().subfolders);
    while (!stack.empty()) {
        if (sink.stopRequested()) {
            return;
        }
        Frame& top = stack.back();
        if (top.next >= top.subfolders.size()) {
            stack.pop_back();
            continue;
        }
        std::string child = top.folder + top.subfolders[top.next++] + "\\";
        if (child.size() > kMaxPathLength) {
            continue;
        }
        stack.push_back({std::move(child), {}, 0});
        walkOne(stack.back().folder, sink, stack.back().subfolders);
    }
}

void FileWalker::ScanDrive(std::string_view root, ScanSink& sink) {
    if (!fs_.volumeInfo(root)) {
        return;  // not ready: skipped without a message
    }
    WalkFolder(root, sink);
}

void FileWalker::ScanFolderTree(std::string_view folder, ScanSink& sink) {
    if (sink.stopRequested()) {
        return;
    }
    CheckFolderPath(folder, sink);
    ++sink.counters().filesFolders;
    std::string status = "Scanning: ";
    status.append(folder);
    sink.UpdateScanProgress(status, 0, 0);
    WalkFolder(folder, sink);
}

void FileWalker::ScanSingleFile(std::string_view file, ScanSink& sink) {
    CheckFilePath(file, sink);
    ++sink.counters().filesFolders;
    std::string status = "Scanning: ";
    status.append(file);
    sink.ForceScanProgress(status, 0, 0);
}

}  // namespace nightjar::scan
