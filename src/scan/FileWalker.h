#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "platform/FileSystem.h"
#include "removal/ExclusionList.h"
#include "scan/CompanyNameReader.h"
#include "scan/FolderPartCache.h"
#include "scan/ScanSink.h"
#include "scan/SignatureIndex.h"

namespace nightjar::scan {

/// The walk-based checks: every file and folder met is compared with the file and folder
/// tables of the signature store (which the caller has loaded).
class FileWalker {
  public:
    FileWalker(platform::FileSystem& fs, definitions::SignatureStore& store,
               definitions::PlaceholderExpander& expander, removal::ExclusionList& exclusions,
               const CompanyNameReader& company);
    // Keeps views into its own buffers between checks.
    FileWalker(const FileWalker&) = delete;
    FileWalker& operator=(const FileWalker&) = delete;

    /// Walks the drive root ("C:\") when its volume information can be read.
    void ScanDrive(std::string_view root, ScanSink& sink);
    /// Checks every entry of the folder (ending in "\"), then walks its subfolders.
    void WalkFolder(std::string_view folder, ScanSink& sink);
    /// Compares one file with the file table and records a hit.
    void CheckFilePath(std::string_view path, ScanSink& sink);
    /// Compares one folder (ending in "\") with the folder table and records a hit.
    void CheckFolderPath(std::string_view folder, ScanSink& sink);

    /// The Folder Scan phase: the chosen folder (ending in "\") is checked, counted and
    /// walked.
    void ScanFolderTree(std::string_view folder, ScanSink& sink);
    /// The File Scan phase: the chosen file alone is checked and counted.
    void ScanSingleFile(std::string_view file, ScanSink& sink);

    /// Number of positions, counted from the end, where both paths (drive part removed)
    /// have equal, non-empty components.
    static int TrailingMatchCount(std::string_view a, std::string_view b);

    /// Walks stop descending past this path length (a guard against link cycles).
    static constexpr std::size_t kMaxPathLength = 32767;

  private:
    void walkOne(std::string_view folder, ScanSink& sink, std::vector<std::string>& subfolders);
    const std::string& systemFolder();

    platform::FileSystem& fs_;
    definitions::SignatureStore& store_;
    definitions::PlaceholderExpander& expander_;
    removal::ExclusionList& exclusions_;
    const CompanyNameReader& company_;
    SignatureIndex index_;
    std::vector<std::uint32_t> candidates_;
    std::string status_;
    std::string path_;
    std::string nameKey_;
    std::string folderKey_;
    std::string fullKey_;
    // The folder of the last file checked, as given and lower-cased, with what the checks
    // need of it: its parts, depth and whether it lies in the system folder.
    std::string parentRaw_;
    std::string parentKey_;
    std::vector<FolderPartCache::Part> parentParts_;
    long parentDepth_ = 0;
    bool parentInSystem_ = false;
    bool haveParent_ = false;
    std::vector<FolderPartCache::Part> folderParts_;
    // The folder paths of the table rows met, cut into parts once.
    FolderPartCache fileParts_;
    FolderPartCache folderRowParts_;
    std::string driveKey_;
    std::string systemFolder_;
    bool haveSystemFolder_ = false;
};

}  // namespace nightjar::scan
