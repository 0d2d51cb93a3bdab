#include "gui/MainWindowLayout.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "localization/WindowText.h"

namespace nightjar::gui {

using localization::ControlBounds;
using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;

namespace {

// The page area right of the navigation column; every page frame fills it.
constexpr int kPageX = 192;
constexpr int kPageY = 8;
constexpr int kPageWidth = 580;
constexpr int kPageHeight = 488;
// Controls inside a page, relative to its frame.
constexpr int kInset = 16;
constexpr int kInner = kPageWidth - 2 * kInset;
constexpr int kButtonHeight = 30;
constexpr int kRowHeight = 22;

/// Bounds by key (name, or name(index) for an array member).
using Table = std::map<std::string, ControlBounds, std::less<>>;

Table navigation() {
    Table t;
    const char* pages[] = {"cmdStatus", "cmdScan", "cmdResults", "cmdSettings"};
    for (int i = 0; i < 4; ++i) {
        t[pages[i]] = {12, 16 + 46 * i, 168, 38};
    }
    t["cmdUpdate"] = {12, 224, 168, kButtonHeight};
    t["cmdLog"] = {12, 262, 168, kButtonHeight};
    t["cmdHijack"] = {12, 374, 168, kButtonHeight};
    t["cmdWebsite"] = {12, 412, 168, kButtonHeight};
    t["Command5"] = {12, 450, 168, kButtonHeight};
    for (const char* page : {"frmStatus", "frmScan", "frmResults", "frmOptions"}) {
        t[page] = {kPageX, kPageY, kPageWidth, kPageHeight};
    }
    return t;
}

Table home() {
    Table t;
    t["lblProtectionState"] = {kInset + 4, 28, kInner - 8, 34};
    t["lblProtectionDetail"] = {kInset + 4, 64, kInner - 8, 20};
    const char* values[] = {"lblVersion",    "lblDefCount", "lblDefVersion",
                            "lblDefRemoved", "lblLastScan", "lblLastFullScan"};
    for (int i = 0; i < 6; ++i) {
        const int y = 104 + 30 * i;
        t[std::string(values[i]) + "Caption"] = {kInset + 4, y, 200, kRowHeight};
        t[values[i]] = {kInset + 212, y, kInner - 216, kRowHeight};
    }
    t["Command1"] = {kInset + 4, 304, 170, 36};
    t["cmdLiveUpdate"] = {kInset + 186, 304, 210, 36};
    t["lblViewLogFile"] = {kInset + 4, 352, 170, kRowHeight};
    return t;
}

Table scanPage() {
    Table t;
    const char* shortcuts[] = {"Command3", "cmdMainScan1", "Command6", "Command7"};
    const int column = (kInner + 8) / 4;
    for (int i = 0; i < 4; ++i) {
        t[shortcuts[i]] = {kInset + column * i, 26, column - 8, 34};
        t["optScan(" + std::to_string(i) + ")"] = {kInset + column * i, 68, column - 8, kRowHeight};
    }
    t["cmdScanNow"] = {kInset, 100, 120, kButtonHeight};
    t["cmdPause"] = {kInset + 128, 100, 100, kButtonHeight};
    t["cmdStop"] = {kInset + 236, 100, 100, kButtonHeight};
    t["lblPercentageCompleted"] = {kInset + 348, 106, kInner - 348, kRowHeight};
    t["lblStatus(0)"] = {kInset, 140, kInner, kRowHeight};
    t["pb1"] = {kInset, 166, kInner, 12};
    t["pb2"] = {kInset, 184, kInner, 12};
    t["pbgMain"] = {kInset, 202, kInner, 12};
    const char* counters[] = {"lblMemoryInspected", "lblRegistryInspected",
                              "lblFilesFolderInspected", "lblSoftwareFound",
                              "lblTotalNoOfRunningItems"};
    const int cell = kInner / 5;
    for (int i = 0; i < 5; ++i) {
        t[std::string(counters[i]) + "Caption"] = {kInset + cell * i, 224, cell - 6, 18};
        t[counters[i]] = {kInset + cell * i, 242, cell - 6, kRowHeight};
    }
    t["lvwSpywareFound"] = {kInset, 272, kInner, 162};
    t["cmdRemove"] = {kInset + kInner - 200, 442, 200, kButtonHeight};
    return t;
}

Table resultsPage() {
    Table t;
    t["lblRemovePicSoftwareFoundCaption"] = {kInset, 26, 120, kRowHeight};
    t["lblRemovePicSoftwareFound"] = {kInset + 124, 26, 100, kRowHeight};
    t["lbltracesFoundCaption"] = {kInset + 232, 26, 60, kRowHeight};
    t["lbltracesFound"] = {kInset + 296, 26, kInner - 296, kRowHeight};
    t["lvwPicRemoveListOfSpywareFoundAndToBeRemoved"] = {kInset, 52, kInner, 240};
    t["cmdSelectAll"] = {kInset, 300, 100, kButtonHeight};
    t["cmdExclude"] = {kInset + 106, 300, 100, kButtonHeight};
    t["cmdBrowse"] = {kInset + 212, 300, 100, kButtonHeight};
    t["cmdFalsePos"] = {kInset + 318, 300, 110, kButtonHeight};
    t["Command4"] = {kInset + kInner - 120, 300, 120, kButtonHeight};
    t["pgbDeleteSpywaresFound"] = {kInset, 340, kInner, 14};
    t["lblDeletingCaption"] = {kInset, 358, kInner - 120, kRowHeight};
    t["lblDeletingPercentageCompleted"] = {kInset + kInner - 110, 358, 110, kRowHeight};
    t["lblFilenameCaption"] = {kInset, 388, kInner, kRowHeight};
    t["txtFilename"] = {kInset, 412, kInner - 130, 26};
    t["cmdSubmit"] = {kInset + kInner - 120, 410, 120, kButtonHeight};
    t["Label26"] = {kInset, 446, kInner, 34};
    return t;
}

Table optionsPage() {
    Table t;
    t["TabStrip1"] = {12, 24, kPageWidth - 24, kPageHeight - 36};
    const int x = 36;
    const int wide = kPageWidth - 2 * x;
    // Scan options.
    // What a scan looks at first; the scope and its drive list (shown for a complete scan
    // only) below, so that nothing moves when the list comes and goes.
    const char* checks[] = {"chkSweepMemory", "chkScanRegistry", "chkScanCookies", "chkMakeLog",
                            "chkSendData"};
    for (int i = 0; i < 5; ++i) {
        t[checks[i]] = {x, 68 + 28 * i, wide, kRowHeight};
    }
    t["optScanOnlyKnownSoftwares"] = {x, 222, 260, kRowHeight};
    t["optScanAllSelectedHardDrive"] = {x, 248, 260, kRowHeight};
    t["lvwHardDrives"] = {x + 20, 276, 260, 110};
    // Proactive protection.
    t["lblAutoProtectCaption"] = {x, 68, wide, kRowHeight};
    t["chkAutoProtect"] = {x + 12, 94, 130, kRowHeight};
    t["optMemorySheildOn"] = {x + 150, 94, 130, kRowHeight};
    t["optMemorySheildOff"] = {x + 290, 94, 130, kRowHeight};
    t["lblHomePageCaption"] = {x, 136, wide, kRowHeight};
    t["chkHomePage"] = {x + 12, 162, 130, kRowHeight};
    t["optIEHomePageSheildOn"] = {x + 150, 162, 130, kRowHeight};
    t["optIEHomePageSheildOff"] = {x + 290, 162, 130, kRowHeight};
    t["lblHomePageActionCaption"] = {x + 12, 196, wide - 12, kRowHeight};
    t["optAlwaysnotifybeforerestoring"] = {x + 32, 220, wide - 32, kRowHeight};
    t["optRestoredefaultwithoutnotification"] = {x + 32, 246, wide - 32, kRowHeight};
    t["chkRunAtStartup"] = {x, 296, wide, kRowHeight};
    // Schedule.
    t["chkAutomaticScanYesOrNo"] = {x, 68, wide, kRowHeight};
    t["lblDaysCaption"] = {x + 12, 104, 200, kRowHeight};
    t["cmbDays"] = {x + 12, 128, 160, 24};
    t["dtpScheduleDate"] = {x + 184, 128, 140, 24};
    t["dtpScheduleTime"] = {x + 336, 128, 130, 24};
    t["chkAutoDel"] = {x, 170, wide, kRowHeight};
    t["CmdProceed"] = {x, 212, 110, kButtonHeight};
    t["cmdDefaultSetting"] = {x + 118, 212, 110, kButtonHeight};
    // Automatic update.
    t["chkAutomaticUpdate"] = {x, 68, wide, kRowHeight};
    t["lblLastUpdate"] = {x, 100, wide, kRowHeight};
    return t;
}

const std::map<std::string, int, std::less<>>& tabs() {
    static const std::map<std::string, int, std::less<>> map = [] {
        std::map<std::string, int, std::less<>> m;
        const std::vector<std::vector<const char*>> groups = {
            {"optScanOnlyKnownSoftwares", "optScanAllSelectedHardDrive", "lvwHardDrives",
             "chkSweepMemory", "chkScanRegistry", "chkScanCookies", "chkMakeLog", "chkSendData"},
            {"lblAutoProtectCaption", "chkAutoProtect", "optMemorySheildOn", "optMemorySheildOff",
             "lblHomePageCaption", "chkHomePage", "optIEHomePageSheildOn", "optIEHomePageSheildOff",
             "lblHomePageActionCaption", "optAlwaysnotifybeforerestoring",
             "optRestoredefaultwithoutnotification", "chkRunAtStartup"},
            {"chkAutomaticScanYesOrNo", "lblDaysCaption", "cmbDays", "dtpScheduleDate",
             "dtpScheduleTime", "chkAutoDel", "CmdProceed", "cmdDefaultSetting"},
            {"chkAutomaticUpdate", "lblLastUpdate"},
        };
        for (std::size_t tab = 0; tab < groups.size(); ++tab) {
            for (const char* name : groups[tab]) {
                m[name] = static_cast<int>(tab);
            }
        }
        return m;
    }();
    return map;
}

std::string keyOf(const ControlText& c) {
    return c.index ? c.name + "(" + std::to_string(*c.index) + ")" : c.name;
}

}  // namespace

int OptionsTabOf(std::string_view name) {
    auto it = tabs().find(name);
    return it == tabs().end() ? -1 : it->second;
}

void LayOutMainWindow(WindowText& window) {
    Table all;
    for (Table part : {navigation(), home(), scanPage(), resultsPage(), optionsPage()}) {
        all.merge(part);
    }
    for (ControlText& control : window.controls) {
        auto it = all.find(keyOf(control));
        control.bounds = it == all.end() ? ControlBounds{} : it->second;
    }
}

}  // namespace nightjar::gui
