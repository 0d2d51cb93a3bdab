#pragma once
#include <string_view>

/// Section and key names of the settings stores, shared by every reader and writer so that
/// all of them address the same values. Keys are the names of the controls they mirror.
namespace nightjar::settings::keys {

// Sections.
inline constexpr std::string_view kOptionAndSettings = "OptionAndSettings";
inline constexpr std::string_view kSettings = "Settings";
inline constexpr std::string_view kDrives = "Drives";

// Section "OptionAndSettings".
inline constexpr std::string_view kAutomaticScanYesOrNo = "chkAutomaticScanYesOrNo";
inline constexpr std::string_view kDay = "Day";
inline constexpr std::string_view kTime = "Time";
inline constexpr std::string_view kDate = "Date";
inline constexpr std::string_view kAutomaticUpdate = "chkAutomaticUpdate";
inline constexpr std::string_view kMakeLog = "chkMakeLog";
inline constexpr std::string_view kRunAtStartup = "chkRunAtStartup";
inline constexpr std::string_view kScanCookies = "chkScanCookies";
inline constexpr std::string_view kScanRegistry = "chkScanRegistry";
inline constexpr std::string_view kSweepMemory = "chkSweepMemory";
inline constexpr std::string_view kSendData = "chkSendData";
inline constexpr std::string_view kMemoryShieldOn = "optMemorySheildOn";
inline constexpr std::string_view kMemoryShieldOff = "optMemorySheildOff";
inline constexpr std::string_view kHomePageShieldOn = "optIEHomePageSheildOn";
inline constexpr std::string_view kHomePageShieldOff = "optIEHomePageSheildOff";
inline constexpr std::string_view kAlwaysNotifyBeforeRestoring = "optAlwaysnotifybeforerestoring";
inline constexpr std::string_view kRestoreDefaultWithoutNotification =
    "optRestoredefaultwithoutnotification";
inline constexpr std::string_view kScanAllSelectedHardDrive = "optScanAllSelectedHardDrive";
inline constexpr std::string_view kScanOnlyKnownSoftwares = "optScanOnlyKnownSoftwares";
inline constexpr std::string_view kHomepage = "Homepage";
inline constexpr std::string_view kStatus = "STATUS";
inline constexpr std::string_view kRestart = "RESTART";
inline constexpr std::string_view kShow = "SHOW";
inline constexpr std::string_view kRegistryDefinitionSize = "RegistryDefinition";
inline constexpr std::string_view kFileDefinitionSize = "FileDefinition";
inline constexpr std::string_view kExeDefinitionSize = "EXEDefinition";
inline constexpr std::string_view kCookieDefinitionSize = "CookieDefinition";
/// The definition server's public key (one line of base64 DER), in place of the built-in one.
inline constexpr std::string_view kDefinitionPublicKey = "DefinitionPublicKey";

// Section "Settings" (per user).
inline constexpr std::string_view kLanguage = "Language";
inline constexpr std::string_view kMinimized = "Minimized";
inline constexpr std::string_view kShowHelp = "showHelp";
inline constexpr std::string_view kAutoDel = "chkAutoDel";
inline constexpr std::string_view kLastScan = "lblLastScan";
inline constexpr std::string_view kLastFullScan = "lblLastFullScan";
inline constexpr std::string_view kDefRemoved = "lblDefRemoved";
/// Followed by the 1-based column number: "FoundCol21", "FoundCol22", ...
inline constexpr std::string_view kFoundColumnPrefix = "FoundCol2";
inline constexpr std::string_view kMax = "Max";
inline constexpr std::string_view kIgnorePermissionDeniedError = "IgnorePermissionDeniedError";

// Section "Settings" of the machine-wide store.
inline constexpr std::string_view kFirstTime = "FirstTime";
// "showHelp" (kShowHelp) is written there as well.

// Companion record: application names; the section is the company name.
inline constexpr std::string_view kOwnRecordApp = "DiDudaRodirur2";
inline constexpr std::string_view kCompanionApp = "ZeRidoRevira2";
inline constexpr std::string_view kRecordName = "Name";
inline constexpr std::string_view kRecordFile = "File";

// Value forms.
inline constexpr std::string_view kTrue = "True";
inline constexpr std::string_view kFalse = "False";
inline constexpr std::string_view kYes = "Yes";
inline constexpr std::string_view kNo = "No";
inline constexpr std::string_view kRunning = "RUNNING";
inline constexpr std::string_view kStopped = "STOPPED";
inline constexpr std::string_view kNever = "Never";
/// What acknowledging the update-finished popup writes under "SHOW" (lower case).
inline constexpr std::string_view kShowAcknowledged = "false";

// Defaults on read.
inline constexpr std::string_view kDefaultColumnWidth = "1400";
inline constexpr std::string_view kDefaultLanguage = "English";
inline constexpr std::string_view kDefaultScheduleTime = "Null";
inline constexpr std::string_view kDefaultScheduleDate = "Null";
inline constexpr int kDefaultDayIndex = 7;

}  // namespace nightjar::settings::keys
