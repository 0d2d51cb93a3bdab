#include "app/ProgramWindows.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/DeleteFailedList.h"
#include "app/UserInterface.h"
#include "localization/Languages.h"
#include "localization/TranslationKeys.h"
#include "util/Text.h"

namespace nightjar::app {

namespace {

using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;

ControlText Ctl(ControlKind kind, std::string_view name, std::string_view caption = {},
                std::string_view parent = {}) {
    ControlText c;
    c.kind = kind;
    c.name = name;
    c.caption = caption;
    c.parent = parent;
    return c;
}

/// Member `index` of the control array `name`.
ControlText Member(ControlKind kind, std::string_view name, int index, std::string_view caption,
                   std::string_view parent = {}) {
    ControlText c = Ctl(kind, name, caption, parent);
    c.index = index;
    return c;
}

ControlText MakeList(std::string_view name, std::vector<std::string> columns,
                     std::string_view parent = {}) {
    ControlText c = Ctl(ControlKind::ListView, name, {}, parent);
    c.columns = std::move(columns);
    return c;
}

ControlText MakeLabel(std::string_view name, std::string_view caption = {},
                      std::string_view parent = {}) {
    return Ctl(ControlKind::Label, name, caption, parent);
}

ControlText MakeButton(std::string_view name, std::string_view caption,
                       std::string_view parent = {}) {
    return Ctl(ControlKind::CommandButton, name, caption, parent);
}

ControlText MakeCheck(std::string_view name, std::string_view caption, std::string_view parent) {
    return Ctl(ControlKind::CheckBox, name, caption, parent);
}

ControlText MakeOption(std::string_view name, std::string_view caption, std::string_view parent) {
    return Ctl(ControlKind::OptionButton, name, caption, parent);
}

ControlText MakeTimer(std::string_view name) {
    return Ctl(ControlKind::Timer, name);
}

void Append(std::vector<ControlText>& to, std::vector<ControlText> more) {
    for (ControlText& c : more) {
        to.push_back(std::move(c));
    }
}

/// The caption labels that stand before the main window's value labels and some options,
/// and the protection summary above the status values (its texts follow the shields).
void AddCaptionLabels(WindowText& w) {
    struct Caption {
        std::string_view before;
        std::string_view name;
        std::string_view text;
    };
    static constexpr Caption kCaptions[] = {
        {"lblVersion", "lblProtectionState", ""},
        {"lblVersion", "lblProtectionDetail", ""},
        {"lblVersion", "lblVersionCaption", "Program version"},
        {"lblDefCount", "lblDefCountCaption", "Definitions"},
        {"lblDefVersion", "lblDefVersionCaption", "Definitions date"},
        {"lblDefRemoved", "lblDefRemovedCaption", "Threats removed"},
        {"lblLastScan", "lblLastScanCaption", "Last scan"},
        {"lblLastFullScan", "lblLastFullScanCaption", "Last complete scan"},
        {"lblMemoryInspected", "lblMemoryInspectedCaption", "Processes"},
        {"lblRegistryInspected", "lblRegistryInspectedCaption", "Registry items"},
        {"lblFilesFolderInspected", "lblFilesFolderInspectedCaption", "Files and folders"},
        {"lblSoftwareFound", "lblSoftwareFoundCaption", "Threats found"},
        {"lblTotalNoOfRunningItems", "lblTotalNoOfRunningItemsCaption", "Running items"},
        {"lblRemovePicSoftwareFound", "lblRemovePicSoftwareFoundCaption", "Threats found:"},
        {"lbltracesFound", "lbltracesFoundCaption", "Traces:"},
        {"txtFilename", "lblFilenameCaption", "Send a suspicious file name for analysis:"},
        {"chkAutoProtect", "lblAutoProtectCaption", "Memory shield"},
        {"chkHomePage", "lblHomePageCaption", "Home-page shield"},
        // Also ends the shield's group of option buttons above it.
        {"optAlwaysnotifybeforerestoring", "lblHomePageActionCaption",
         "When the home page is changed:"},
        {"cmbDays", "lblDaysCaption", "Scan on:"},
    };
    std::vector<ControlText> out;
    out.reserve(w.controls.size() + std::size(kCaptions));
    for (ControlText& c : w.controls) {
        for (const Caption& caption : kCaptions) {
            if (caption.before == c.name) {
                out.push_back(MakeLabel(caption.name, caption.text, c.parent));
            }
        }
        out.push_back(std::move(c));
    }
    w.controls = std::move(out);
}

WindowText MainWindow() {
    WindowText w{"FrmMain", "[ProgramName] by [CompanyName]", {}};
    auto& c = w.controls;

    // Menus: the file menu's items are numbered from 1 ("Run Live Update" is item 4) and an
    // item captioned "-" is a separator; the settings menu's items carry the number of the
    // options tab they open.
    c.push_back(Ctl(ControlKind::Menu, "mnuFile", "File"));
    const char* fileItems[] = {"Scan Now", "View Log",         "-", "Run Live Update",
                               "-",        "Minimize to Tray", "-", "Exit"};
    for (int i = 0; i < 8; ++i) {
        c.push_back(Member(ControlKind::Menu, "mnuFileItem", i + 1, fileItems[i], "mnuFile"));
    }
    c.push_back(Ctl(ControlKind::Menu, "mnuSettings", "Settings"));
    const char* settingsItems[] = {"Scan Options", "Proactive Protection", "Schedule",
                                   "Auto Update"};
    for (int i = 0; i < 4; ++i) {
        c.push_back(
            Member(ControlKind::Menu, "mnuSettingsItem", i + 1, settingsItems[i], "mnuSettings"));
    }
    Append(c, {
                  Ctl(ControlKind::Menu, "mnuQuar", "Quarantine"),
                  Member(ControlKind::Menu, "mnuQuarItem", 0, "View Quarantine", "mnuQuar"),
                  Member(ControlKind::Menu, "mnuQuarItem", 1, "View Exclusions", "mnuQuar"),
                  Ctl(ControlKind::Menu, "mnuLanguage", "Language"),
                  Member(ControlKind::Menu, "mnuLanguageItem", 0, "Change Language", "mnuLanguage"),
              });

    // Title bar, navigation and the commands outside the pages.
    Append(c, {
                  MakeLabel("lblHide", "X"),
                  MakeButton("cmdStatus", "Home"),
                  MakeButton("cmdScan", "Scan"),
                  MakeButton("cmdResults", "Results/Removal"),
                  MakeButton("cmdSettings", "Options"),
                  MakeButton("cmdLog", "Log File"),
                  MakeButton("cmdUpdate", "Update Now"),
                  MakeLabel("lblResult", "Result"),
                  MakeLabel("lblOptions", "Options"),
                  MakeButton("cmdWebsite", "Visit [Website]"),
                  MakeButton("cmdHijack", "Launch Anti-Hijack"),
                  MakeButton("Command5", "Minimize"),
                  Ctl(ControlKind::Shape, "shpCircle"),
              });

    // Home: the status panel.
    const std::string_view home = "frmStatus";
    Append(c, {
                  Ctl(ControlKind::Frame, home, "[ProgramName] Status"),
                  MakeLabel("lblVersion", {}, home),
                  MakeLabel("lblDefCount", {}, home),
                  MakeLabel("lblDefVersion", {}, home),
                  MakeLabel("lblDefRemoved", {}, home),
                  MakeLabel("lblLastScan", {}, home),
                  MakeLabel("lblLastFullScan", {}, home),
                  MakeButton("Command1", "Scan Now", home),
                  MakeLabel("lblStart", "Start", home),
                  MakeButton("cmdLiveUpdate", "Run Live Update Now", home),
                  MakeLabel("lblViewLogFile", "Show Report", home),
              });

    // Scan page: mode choice, shortcuts, run commands, progress, counters and the feed.
    const std::string_view scan = "frmScan";
    c.push_back(Ctl(ControlKind::Frame, scan, "Scan for malicious items"));
    const char* modes[] = {"Smart Scan", "Full System Scan", "File Scan", "Folder Scan"};
    for (int i = 0; i < 4; ++i) {
        c.push_back(Member(ControlKind::OptionButton, "optScan", i, modes[i], scan));
    }
    Append(c, {
                  MakeButton("Command3", "Smart Scan", scan),
                  MakeButton("cmdMainScan1", "Full System Scan", scan),
                  MakeButton("Command6", "File Scan", scan),
                  MakeButton("Command7", "Directory Scan", scan),
                  MakeButton("cmdScanNow", "Start", scan),
                  MakeButton("cmdPause", "Pause", scan),
                  MakeButton("cmdStop", "Stop", scan),
                  MakeLabel("lblPause", "Pause", scan),
                  MakeLabel("lblStop", "Stop", scan),
                  MakeLabel("lblPercentageCompleted", {}, scan),
                  Member(ControlKind::Label, "lblStatus", 0, {}, scan),
                  Ctl(ControlKind::ProgressBar, "pb1", {}, scan),
                  Ctl(ControlKind::ProgressBar, "pb2", {}, scan),
                  Ctl(ControlKind::ProgressBar, "pbgMain", {}, scan),
                  Ctl(ControlKind::Shape, "shpPhaseMarker", {}, scan),
                  MakeLabel("lblMemoryInspected", {}, scan),
                  MakeLabel("lblRegistryInspected", {}, scan),
                  MakeLabel("lblFilesFolderInspected", {}, scan),
                  MakeLabel("lblSoftwareFound", {}, scan),
                  MakeLabel("lblTotalNoOfRunningItems", {}, scan),
                  MakeList("lvwSpywareFound", {"Name", "Details"}, scan),
                  MakeButton("cmdRemove", "Continue to Overview", scan),
              });

    // Results page: the result list, its actions, the removal progress and the submit box.
    const std::string_view results = "frmResults";
    Append(c, {
                  Ctl(ControlKind::Frame, results, "Results"),
                  MakeList("lvwPicRemoveListOfSpywareFoundAndToBeRemoved",
                           {"File", "Location", "Type", "Risk", "Details"}, results),
                  MakeLabel("lblRemovePicSoftwareFound", {}, results),
                  MakeLabel("lbltracesFound", {}, results),
                  MakeButton("cmdSelectAll", "Select All", results),
                  MakeButton("Command4", "Repair Now", results),
                  MakeLabel("lblRemove", "Remove", results),
                  MakeButton("cmdExclude", "Exclude", results),
                  MakeButton("cmdBrowse", "Browse", results),
                  MakeButton("cmdFalsePos", "False positive", results),
                  Ctl(ControlKind::ProgressBar, "pgbDeleteSpywaresFound", {}, results),
                  MakeLabel("lblDeletingPercentageCompleted", {}, results),
                  MakeLabel("lblDeletingCaption", {}, results),
                  Ctl(ControlKind::TextBox, "txtFilename", {}, results),
                  MakeButton("cmdSubmit", "Submit", results),
                  MakeLabel("Label26", {}, results),
              });

    // Options page. The tab strip shows one group at a time; the groups follow in tab
    // order: scan options, proactive protection, schedule, automatic update.
    const std::string_view options = "frmOptions";
    ControlText tabs = Ctl(ControlKind::TabStrip, "TabStrip1", {}, options);
    tabs.tabs = {settingsItems[0], settingsItems[1], settingsItems[2], settingsItems[3]};
    Append(
        c,
        {
            Ctl(ControlKind::Frame, options, "Options"),
            std::move(tabs),
            // Scan options.
            MakeOption("optScanOnlyKnownSoftwares", "Quick Scan", options),
            MakeOption("optScanAllSelectedHardDrive", "Complete System Scan", options),
            MakeList("lvwHardDrives", {"Drive"}, options),
            MakeCheck("chkSweepMemory", "Scan Proccesses and Files", options),
            MakeCheck("chkScanRegistry", "Scan Windows Registry", options),
            MakeCheck("chkScanCookies", "Scan Internet Cookies", options),
            MakeCheck("chkMakeLog", "Save scan results to log", options),
            MakeCheck("chkSendData", "Send anonymous data to help identify unknown spyware",
                      options),
            // Proactive protection: memory shield, home-page shield, start-up.
            MakeCheck("chkAutoProtect", "Enable", options),
            MakeOption("optMemorySheildOn", "Enabled", options),
            MakeOption("optMemorySheildOff", "Disabled", options),
            MakeCheck("chkHomePage", "Enable", options),
            MakeOption("optIEHomePageSheildOn", "Enabled", options),
            MakeOption("optIEHomePageSheildOff", "Disabled", options),
            MakeOption("optAlwaysnotifybeforerestoring", "Ask me what I would like to do", options),
            MakeOption("optRestoredefaultwithoutnotification",
                       "Silently restore my original home page", options),
            MakeCheck("chkRunAtStartup", "Run at Startup and protect my computer automatically",
                      options),
            // Schedule.
            MakeCheck("chkAutomaticScanYesOrNo", "Enable Scheduled Scans", options),
            Ctl(ControlKind::ComboBox, "cmbDays", {}, options),
            Ctl(ControlKind::DTPicker, "dtpScheduleDate", {}, options),
            Ctl(ControlKind::DTPicker, "dtpScheduleTime", {}, options),
            MakeCheck("chkAutoDel", "Delete spyware automatically after scheduled scan", options),
            MakeButton("CmdProceed", "Apply", options),
            MakeButton("cmdDefaultSetting", "Reset", options),
            // Automatic update.
            MakeCheck("chkAutomaticUpdate", "Enable automatic Live update (recommended)", options),
            MakeLabel("lblLastUpdate", {}, options),
        });

    // The hidden work lists of the removal, and the timers.
    Append(c, {
                  MakeList("lvwFilesToBeDeleted", {}),
                  MakeList("lvwRegistryToBeDeleted", {}),
                  MakeList("lvwCookiesToDelete", {}),
                  MakeList("lvwFileNotFounds", {}),
                  MakeTimer("tmrScroll"),
                  MakeTimer("tmrScheduler"),
                  MakeTimer("tmrCheckHomePage"),
                  MakeTimer("tmrMemoryInspected"),
                  MakeTimer("timUpdate"),
                  MakeTimer("tmrTimeOut"),
              });
    AddCaptionLabels(w);
    return w;
}

std::vector<WindowText> BuildWindows() {
    using Alert = SpywareAlertView;
    std::vector<WindowText> windows;
    windows.push_back({"frmSplash", "[ProgramName]", {MakeTimer("Timer2")}});
    windows.push_back(MainWindow());
    windows.push_back({"frmQuarantine", "Quarantine", {}});
    windows.push_back({"frmDownload",
                       "Live Update",
                       {
                           Ctl(ControlKind::Image, "picUp"),
                           Ctl(ControlKind::Image, "picDown"),
                           MakeLabel("lblProduct", "Connecting to server/downloading....."),
                           Ctl(ControlKind::TextBox, "txtStatus"),
                           MakeButton("Command1", "Cancel"),
                           MakeTimer("tmrBlink"),
                       }});
    windows.push_back(
        {"frmSignatureUpdated",
         "Live Update",
         {
             MakeLabel("lblUpdateInfo",
                       "All [ProgramName] signatures have been updated automatically.  You are now "
                       "protected from new malicious applications."),
             MakeButton("cmdUpdateSuccesfullOK", "OK"),
             MakeTimer("tmrPopupSignatureUpdate"),
             MakeTimer("tmrEnablePopDownTimer"),
             MakeTimer("tmrPopDown"),
         }});
    // The "Delete Failed" window's two texts and its buttons, and the fixed texts of the
    // spyware alert, are created under the names given here.
    windows.push_back({"frmDelete",
                       "Delete Failed",
                       {
                           MakeLabel("lblCannotDelete", DeleteFailedList::kText1),
                           MakeLabel("lblSafeMode", DeleteFailedList::kText2),
                           MakeList("lstProblem", {"Location"}),
                           MakeButton("cmdCopyList", "Copy List"),
                           MakeButton("cmdOk", "Ok"),
                       }});
    windows.push_back({"frmSpywareFoundAlert",
                       std::string(Alert::kHeading),
                       {
                           MakeLabel("lblDetected", Alert::kDetected),
                           MakeLabel("lblFileNameCaption", Alert::kFileNameCaption),
                           MakeLabel("lblAlertFileName"),
                           MakeLabel("lblCompanyNameCaption", Alert::kCompanyNameCaption),
                           MakeLabel("lblAlertCompanyName"),
                           MakeLabel("lblStopHint", Alert::kStopHint),
                           MakeLabel("lblAllowHint", Alert::kAllowHint),
                           MakeButton("cmdYes", Alert::kStopCaption),
                           MakeButton("cmdNO", Alert::kAllowCaption),
                           MakeTimer("tmrBlink"),
                       }});
    windows.push_back({"frmHomePageChangedAlert",
                       "Home Page Changed",
                       {
                           MakeLabel("lblFrmHomePageProductName", "[ProgramName]"),
                           MakeLabel("lblHomePageInfo"),
                           MakeButton("cmdYes", "Yes"),
                           MakeButton("cmdNO", "No"),
                       }});
    windows.push_back({"frmMenuPopUp",
                       "[ProgramName]",
                       {
                           MakeLabel("lblName", "[ProgramName]"),
                           Ctl(ControlKind::Menu, "mnuMaxmimaize", "Show Program"),
                           Ctl(ControlKind::Menu, "mnuClose", "Exit Program"),
                           MakeLabel("lblMenuClose", "Close This Menu"),
                           MakeTimer("tmrMenuPopup"),
                           MakeTimer("TmrEnablePopDown"),
                           MakeTimer("tmrPopDown"),
                       }});
    windows.push_back({"frmReport",
                       "[ProgramName] Log",
                       {
                           Ctl(ControlKind::TextBox, "txtReport"),
                           MakeButton("cmdOk", "OK"),
                       }});
    windows.push_back({"frmLanguage",
                       "Language Selection",
                       {
                           Ctl(ControlKind::ComboBox, "Combo1"),
                           MakeButton("Command1", "Check for language updates"),
                           MakeButton("Command3", "Translate this program"),
                           MakeButton("Command2", "OK"),
                       }});
    return windows;
}

}  // namespace

std::span<const localization::WindowText> ProgramWindows() {
    static const std::vector<WindowText> windows = BuildWindows();
    return windows;
}

const localization::WindowText* FindProgramWindow(std::string_view name) {
    for (const WindowText& w : ProgramWindows()) {
        if (text::iequals(w.name, name)) {
            return &w;
        }
    }
    return nullptr;
}

std::string WindowCaption(const localization::Languages& languages, std::string_view key) {
    if (std::string translated = languages.getCaption(key); !translated.empty()) {
        return translated;
    }
    for (localization::WindowText window : ProgramWindows()) {
        for (const localization::TranslatableText& t : localization::TranslatableTexts(window)) {
            if (text::iequals(t.key, key)) {
                return languages.fillPlaceholders(*t.text);
            }
        }
    }
    return {};
}

}  // namespace nightjar::app
