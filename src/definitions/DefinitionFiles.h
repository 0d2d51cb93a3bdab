#pragma once
#include <array>
#include <string>
#include <string_view>

namespace nightjar::definitions {

class PlaceholderExpander;

inline constexpr std::string_view kFileDefinition = "FileDefinition.dat";
inline constexpr std::string_view kDirectoryDefinition = "DirectoryDefinition.dat";
inline constexpr std::string_view kRegistryDefinition = "RegistryDefinition.dat";
inline constexpr std::string_view kExeDefinition = "ExeDefinition.dat";
inline constexpr std::string_view kBlockedCookies = "BlockedCookies.dat";
inline constexpr std::string_view kSafety = "Safety.dat";
inline constexpr std::string_view kDateFile = "date.dat";
inline constexpr std::string_view kTempFile = "temp.dat";
inline constexpr std::string_view kExclusionFile = "ENoSignature.dat";
inline constexpr std::string_view kQuarantineFolder = "quarantine";
/// The quarantine log, in the quarantine folder.
inline constexpr std::string_view kQuarantineLogFile = "QuarantineLog.txt";
inline constexpr std::string_view kDataFolderTemplate = "[appdata]ZuvoDivavarIVA";

/// The five files every scan needs, in the order they are checked.
inline constexpr std::array<std::string_view, 5> kGuardedFiles = {
    kFileDefinition, kRegistryDefinition, kExeDefinition, kBlockedCookies, kDirectoryDefinition};

/// The data folder: "[appdata]ZuvoDivavarIVA" expanded, no trailing backslash.
std::string DataFolder(PlaceholderExpander& expander);

/// dataFolder + "\" + fileName.
std::string DataFile(std::string_view dataFolder, std::string_view fileName);

}  // namespace nightjar::definitions
