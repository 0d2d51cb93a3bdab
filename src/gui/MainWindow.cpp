#include "gui/MainWindow.h"

#include <commctrl.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "app/CommunitySubmission.h"
#include "app/ControlNames.h"
#include "app/ExclusionCommands.h"
#include "app/MainState.h"
#include "app/ProgramWindows.h"
#include "app/ProtectionController.h"
#include "app/RemovalRun.h"
#include "app/ResultActions.h"
#include "app/ScanRun.h"
#include "app/UpdateController.h"
#include "definitions/SignatureStore.h"
#include "gui/Dpi.h"
#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/MainWindowLayout.h"
#include "gui/WideText.h"
#include "localization/Languages.h"
#include "platform/Launcher.h"
#include "platform/Platform.h"
#include "platform/VersionInfo.h"
#include "protection/ScanScheduler.h"
#include "scan/DriveList.h"
#include "settings/RunEntry.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/DateText.h"
#include "util/Text.h"

namespace nightjar::gui {

namespace control = app::control;
namespace keys = settings::keys;
using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;

namespace {

constexpr std::array<std::string_view, 4> kPages = {"frmStatus", "frmScan", "frmResults",
                                                    "frmOptions"};
/// The options page; the model itself never shows it.
constexpr app::ControlName kOptionsPage("frmOptions");
constexpr std::string_view kResultList = "lvwPicRemoveListOfSpywareFoundAndToBeRemoved";
constexpr std::string_view kFeed = "lvwSpywareFound";
constexpr std::string_view kDrives = "lvwHardDrives";
/// The result list's "Risk" column, drawn in colour.
constexpr int kRiskColumn = 3;
/// Stored column widths are twips: 1440 to the inch.
constexpr int kTwipsPerInch = 1440;

/// The main window's English texts with the product's names filled in.
WindowText englishText(const app::MainState& state) {
    WindowText w = *app::FindProgramWindow("FrmMain");
    const localization::ProductIdentity& id = state.identity();
    auto fill = [&](std::string& s) {
        s = text::ireplaceAll(s, "[ProgramName]", id.productName);
        s = text::ireplaceAll(s, "[CompanyName]", id.companyName);
        s = text::ireplaceAll(s, "[Website]", id.website);
    };
    fill(w.caption);
    for (ControlText& c : w.controls) {
        fill(c.caption);
    }
    return w;
}

WindowText translatedText(app::MainState& state, std::string_view language) {
    WindowText w = englishText(state);
    state.languages().ChangeLanguage(w, language);
    return w;
}

WindowText initialText(app::MainState& state) {
    WindowText w = translatedText(state, state.languages().currentLanguage());
    LayOutMainWindow(w);
    return w;
}

bool isPage(std::string_view name) {
    for (std::string_view p : kPages) {
        if (p == name) {
            return true;
        }
    }
    return false;
}

bool hasBounds(const ControlText& c) {
    return c.bounds.width > 0 && c.bounds.height > 0;
}

/// Text colour of a risk level: amber for medium (also "Medium/High"), red for high,
/// green for low.
std::optional<COLORREF> riskColour(std::string_view risk) {
    if (text::icontains(risk, "medium")) {
        return RGB(202, 107, 0);
    }
    if (text::icontains(risk, "high") || text::icontains(risk, "critical")) {
        return RGB(196, 43, 28);
    }
    if (text::icontains(risk, "low")) {
        return RGB(16, 124, 16);
    }
    return std::nullopt;
}

std::string pad2(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

}  // namespace

MainWindow::MainWindow(app::MainState& state, GuiUserInterface& ui)
    : FormWindow(initialText(state)), state_(state), ui_(ui) {}

MainWindow::~MainWindow() {
    ui_.bind(nullptr, nullptr);
    ui_.onShowPage({});
    ui_.onVisibilityCheck({});
    if (headingFont_ != nullptr) {
        DeleteObject(headingFont_);
    }
}

bool MainWindow::create() {
    if (!FormWindow::create(nullptr, true)) {
        return false;
    }
    // The page frames are group boxes, which leave their inside to the window: the window
    // paints under its controls.
    SetWindowLongPtrW(hwnd(), GWL_STYLE, GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~WS_CLIPCHILDREN);
    ui_.bind(hwnd(), &controls());
    ui_.onShowPage([this](app::ControlName page) { showPage(page); });
    // A control the model shows stays hidden while its page (or options tab) is not shown.
    ui_.onVisibilityCheck([this](app::ControlName name) {
        for (const ControlText& c : text().controls) {
            if (c.name == name.str()) {
                if (!hasBounds(c)) {
                    return false;
                }
                if (isPage(c.parent) && c.parent != page_) {
                    return false;
                }
                const int tab = OptionsTabOf(c.name);
                return tab < 0 || tab == tab_;
            }
        }
        return true;
    });
    for (const ControlText& c : text().controls) {
        if (!hasBounds(c)) {
            if (HWND h = controls().find(c.name, c.index)) {
                ShowWindow(h, SW_HIDE);
            }
        }
    }
    // The scan feed is a plain list; only the result list and the drive list carry checks.
    if (HWND feed = controls().find(kFeed)) {
        SendMessageW(feed, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, 0);
    }
    if (HWND days = controls().find("cmbDays")) {
        for (std::string_view day : protection::ScanScheduler::kDayEntries) {
            SendMessageW(days, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(day).c_str()));
        }
    }
    SendMessageW(controls().find("dtpScheduleDate"), DTM_SETFORMATW, 0,
                 reinterpret_cast<LPARAM>(L"M/d/yyyy"));
    SendMessageW(controls().find("dtpScheduleTime"), DTM_SETFORMATW, 0,
                 reinterpret_cast<LPARAM>(L"h:mm:ss tt"));
    makeHeadingFont();
    // Names and types are short, locations and details long; stored widths replace these.
    if (HWND list = controls().find(kResultList)) {
        const int widths[] = {130, 150, 96, 84};
        for (int i = 0; i < 4; ++i) {
            SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                         Scale(widths[i], DpiOf(hwnd())));
        }
        SendMessageW(list, LVM_SETCOLUMNWIDTH, 4, LVSCW_AUTOSIZE_USEHEADER);
    }
    // The companion's button shows only when its record names it.
    state_.ui().setVisible(control::cmdHijack, false);
    SetWindowTextW(hwnd(), Widen(state_.msg("MSG_CAPTION")).c_str());
    const std::string website = state_.msg("MSG_WEBSITE");
    SetWindowTextW(controls().find("cmdWebsite"), Widen(website).c_str());
    // A build without a web site in its version information has nowhere to send the user.
    if (state_.identity().website.empty() || text::icontains(website, "[Website]")) {
        ShowWindow(controls().find("cmdWebsite"), SW_HIDE);
    }
    bindCommands();
    bindOptions();
    bindLists();
    showPage(control::frmStatus);
    return true;
}

void MainWindow::makeHeadingFont() {
    if (headingFont_ != nullptr) {
        DeleteObject(headingFont_);
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -MulDiv(16, static_cast<int>(DpiOf(hwnd())), 72);
    font.lfWeight = FW_SEMIBOLD;
    headingFont_ = CreateFontIndirectW(&font);
    if (HWND heading = controls().find("lblProtectionState")) {
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_), TRUE);
    }
}

void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    FormWindow::onDpiChanged(dpi, suggested);
    makeHeadingFont();
}

// ---- Pages ---------------------------------------------------------------------------------

void MainWindow::showPage(app::ControlName page) {
    page_ = std::string(page.str());
    for (app::ControlName part :
         {control::pgbDeleteSpywaresFound, control::lblDeletingPercentageCompleted,
          control::lblDeletingCaption}) {
        state_.ui().setVisible(part, false);
    }
    for (const ControlText& c : text().controls) {
        if (c.kind == ControlKind::Menu || c.kind == ControlKind::Timer) {
            continue;
        }
        bool visible = false;
        if (isPage(c.name)) {
            visible = c.name == page_;
        } else if (isPage(c.parent)) {
            const int tab = OptionsTabOf(c.name);
            visible = c.parent == page_ && hasBounds(c) &&
                      state_.ui().isVisible(app::ControlName(c.name)) && (tab < 0 || tab == tab_);
        } else {
            continue;
        }
        if (HWND h = controls().find(c.name, c.index)) {
            ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
        }
    }
    // The button of the page shown carries the default frame, marking where the user is.
    const std::pair<std::string_view, std::string_view> buttons[] = {{"frmStatus", "cmdStatus"},
                                                                     {"frmScan", "cmdScan"},
                                                                     {"frmResults", "cmdResults"},
                                                                     {"frmOptions", "cmdSettings"}};
    for (const auto& [p, button] : buttons) {
        SendMessageW(controls().find(button), BM_SETSTYLE,
                     p == page_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    if (page_ == control::frmStatus.str()) {
        refreshProtectionState();
    }
}

void MainWindow::showTab(int tab) {
    tab_ = tab;
    if (page_ == kOptionsPage.str()) {
        showPage(kOptionsPage);
    }
}

void MainWindow::showOptionsTab(int tab) {
    SendMessageW(controls().find("TabStrip1"), TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    tab_ = tab;
    showPage(kOptionsPage);
}

void MainWindow::changeLanguage(std::string_view language) {
    const WindowText translated = translatedText(state_, language);
    applyTexts(translated);
    SetWindowTextW(hwnd(), Widen(state_.msg("MSG_CAPTION")).c_str());
    SetWindowTextW(controls().find("cmdWebsite"), Widen(state_.msg("MSG_WEBSITE")).c_str());
    refreshProtectionState();
}

void MainWindow::refreshProtectionState() {
    const settings::SettingsStore& s = state_.settings();
    const bool memory = s.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true);
    const bool home = s.ReadBool(keys::kOptionAndSettings, keys::kHomePageShieldOn, true);
    // Shields without definitions recognise nothing.
    const bool definitions = state_.signatures().counts().total > 0;
    protected_ = memory && home && definitions;
    const char* detail = !definitions ? "MSG_MISSINGFILES"
                         : protected_ ? "MSG_SHIELDS_ON"
                         : memory     ? "MSG_HOMEPAGE_SHIELD_OFF"
                         : home       ? "MSG_MEMORY_SHIELD_OFF"
                                      : "MSG_SHIELDS_OFF";
    SetWindowTextW(controls().find("lblProtectionState"),
                   Widen(state_.msg(protected_ ? "MSG_PROTECTED" : "MSG_AT_RISK")).c_str());
    SetWindowTextW(controls().find("lblProtectionDetail"), Widen(state_.msg(detail)).c_str());
}

// ---- Commands ------------------------------------------------------------------------------

void MainWindow::bindCommands() {
    auto page = [this](app::ControlName p) {
        return [this, p](std::optional<int>) { showPage(p); };
    };
    onClick("cmdStatus", page(control::frmStatus));
    onClick("cmdScan", page(control::frmScan));
    onClick("Command1", page(control::frmScan));
    onClick("cmdSettings", page(kOptionsPage));
    onClick("cmdResults", [this](std::optional<int>) { state_.cmdResults_Click(); });
    onClick("cmdRemove", [this](std::optional<int>) { state_.cmdResults_Click(); });

    const char* shortcuts[] = {"Command3", "cmdMainScan1", "Command6", "Command7"};
    for (int i = 0; i < 4; ++i) {
        onClick(shortcuts[i], [this, i](std::optional<int>) {
            for (int k = 0; k < 4; ++k) {
                SendMessageW(controls().find("optScan", k), BM_SETCHECK,
                             k == i ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            state_.scanRun().StartMode(i);
        });
    }
    onClick("optScan", [this](std::optional<int> index) {
        state_.setOptScan(static_cast<app::ScanMode>(index.value_or(0)));
    });
    SendMessageW(controls().find("optScan", 0), BM_SETCHECK, BST_CHECKED, 0);
    onClick("cmdScanNow", [this](std::optional<int>) { state_.scanRun().cmdScanNow_Click(); });
    onClick("lblStart", [this](std::optional<int>) { state_.scanRun().lblStart_Click(); });
    onClick("cmdPause", [this](std::optional<int>) { state_.scanRun().cmdPause_Click(); });
    onClick("lblPause", [this](std::optional<int>) { state_.scanRun().lblPause_Click(); });
    onClick("cmdStop", [this](std::optional<int>) { state_.scanRun().cmdStop_Click(); });
    onClick("lblStop", [this](std::optional<int>) { state_.scanRun().lblStop_Click(); });
    state_.ui().setEnabled(control::cmdPause, false);
    state_.ui().setEnabled(control::cmdStop, false);

    onClick("cmdSelectAll",
            [this](std::optional<int>) { state_.resultActions().cmdSelectAll_Click(); });
    auto repair = [this](std::optional<int>) { state_.removal().RepairNow(); };
    onClick("Command4", repair);
    onClick("lblRemove", repair);
    onClick("cmdExclude",
            [this](std::optional<int>) { state_.exclusionCommands().cmdExclude_Click(); });
    onClick("cmdBrowse", [this](std::optional<int>) { state_.resultActions().cmdBrowse_Click(); });
    onClick("cmdFalsePos", [this](std::optional<int>) { state_.community().cmdFalsePos_Click(); });
    onClick("cmdSubmit", [this](std::optional<int>) {
        wchar_t name[1024] = {};
        GetWindowTextW(controls().find("txtFilename"), name, static_cast<int>(std::size(name)));
        state_.community().cmdSubmit_Click(Narrow(name));
    });

    auto update = [this](std::optional<int>) {
        state_.updates().RunUpdate();
        refreshProtectionState();
    };
    onClick("cmdUpdate", update);
    onClick("cmdLiveUpdate", update);
    auto log = [this](std::optional<int>) {
        if (hooks_.showLog) {
            hooks_.showLog();
        }
    };
    onClick("cmdLog", log);
    onClick("lblViewLogFile", log);
    auto minimize = [this](std::optional<int>) { minimizeToTray(); };
    onClick("Command5", minimize);
    onClick("lblHide", [this](std::optional<int>) { close(); });
    onClick("cmdWebsite", [this](std::optional<int>) {
        state_.platform().launcher->open(state_.identity().website);
    });

    // File menu: 1 Scan Now, 2 View Log, 4 Run Live Update, 6 Minimize to Tray, 8 Exit.
    onClick("mnuFileItem", [this, update, log, minimize](std::optional<int> item) {
        switch (item.value_or(0)) {
            case 1:
                showPage(control::frmScan);
                break;
            case 2:
                log(item);
                break;
            case 4:
                update(item);
                break;
            case 6:
                minimize(item);
                break;
            case 8:
                close();
                break;
            default:
                break;
        }
    });
    onClick("mnuSettingsItem",
            [this](std::optional<int> item) { showOptionsTab(item.value_or(1) - 1); });
    onClick("mnuQuarItem", [this](std::optional<int> item) {
        state_.exclusionCommands().mnuQuarItem_Click(item.value_or(0));
    });
    onClick("mnuLanguageItem", [this](std::optional<int>) {
        if (hooks_.chooseLanguage) {
            hooks_.chooseLanguage();
        }
    });
    onTabChanged("TabStrip1", [this](int tab) { showTab(tab); });
}

// ---- Options -------------------------------------------------------------------------------

bool MainWindow::isChecked(std::string_view control) const {
    HWND h = const_cast<MainWindow*>(this)->controls().find(control);
    return h != nullptr && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::setChecked(std::string_view control, bool on) {
    SendMessageW(controls().find(control), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::storeCheck(std::string_view control, std::string_view section) {
    state_.settings().Write(section, control, isChecked(control) ? "1" : "0");
}

void MainWindow::bindOptions() {
    for (std::string_view box : {keys::kSweepMemory, keys::kScanRegistry, keys::kScanCookies,
                                 keys::kMakeLog, keys::kAutomaticUpdate}) {
        onClick(std::string(box),
                [this, box](std::optional<int>) { storeCheck(box, keys::kOptionAndSettings); });
    }
    onClick("chkSendData", [this](std::optional<int>) {
        setChecked("chkSendData", state_.community().chkSendData_MouseUp(isChecked("chkSendData")));
    });
    onClick("chkRunAtStartup", [this](std::optional<int>) {
        settings::RunEntry entry(*state_.platform().registry, state_.settings(),
                                 state_.platform().versionInfo->executablePath());
        entry.Apply(isChecked("chkRunAtStartup") ? 1 : 0);
    });
    onClick("optScanOnlyKnownSoftwares",
            [this](std::optional<int>) { state_.selectScanScope(app::ScanScope::Quick); });
    onClick("optScanAllSelectedHardDrive",
            [this](std::optional<int>) { state_.selectScanScope(app::ScanScope::CompleteSystem); });

    // The shields: after each handler the boxes and buttons show what it stored.
    auto shields = [this] {
        const settings::SettingsStore& s = state_.settings();
        const bool memory = s.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true);
        const bool home = s.ReadBool(keys::kOptionAndSettings, keys::kHomePageShieldOn, true);
        setChecked("chkAutoProtect", memory);
        setChecked("optMemorySheildOn", memory);
        setChecked("optMemorySheildOff", !memory);
        setChecked("chkHomePage", home);
        setChecked("optIEHomePageSheildOn", home);
        setChecked("optIEHomePageSheildOff", !home);
        const bool ask =
            s.ReadBool(keys::kOptionAndSettings, keys::kAlwaysNotifyBeforeRestoring, true);
        setChecked("optAlwaysnotifybeforerestoring", ask);
        setChecked("optRestoredefaultwithoutnotification", !ask);
        state_.ui().setEnabled(control::optAlwaysnotifybeforerestoring, home);
        state_.ui().setEnabled(control::optRestoredefaultwithoutnotification, home);
        refreshProtectionState();
    };
    app::ProtectionController& p = state_.protection();
    onClick("chkAutoProtect", [this, &p, shields](std::optional<int>) {
        p.chkAutoProtect_Click(isChecked("chkAutoProtect"));
        shields();
    });
    onClick("optMemorySheildOn", [&p, shields](std::optional<int>) {
        p.optMemorySheildOn_Click();
        shields();
    });
    onClick("optMemorySheildOff", [&p, shields](std::optional<int>) {
        p.optMemorySheildOff_Click();
        shields();
    });
    onClick("chkHomePage", [this, &p, shields](std::optional<int>) {
        p.chkHomePage_Click(isChecked("chkHomePage"));
        shields();
    });
    onClick("optIEHomePageSheildOn", [&p, shields](std::optional<int>) {
        p.optIEHomePageSheildOn_Click();
        shields();
    });
    onClick("optIEHomePageSheildOff", [&p, shields](std::optional<int>) {
        p.optIEHomePageSheildOff_Click();
        shields();
    });
    onClick("optAlwaysnotifybeforerestoring", [&p, shields](std::optional<int>) {
        p.optAlwaysnotifybeforerestoring_Click();
        shields();
    });
    onClick("optRestoredefaultwithoutnotification", [&p, shields](std::optional<int>) {
        p.optRestoredefaultwithoutnotification_Click();
        shields();
    });
    shieldsView_ = shields;

    // The schedule panel.
    onClick("chkAutomaticScanYesOrNo", [this, &p](std::optional<int>) {
        p.chkAutomaticScanYesOrNo_Click(isChecked("chkAutomaticScanYesOrNo"));
        showSchedulePanel();
    });
    onClick("chkAutoDel", [this, &p](std::optional<int>) {
        p.scheduler().chkAutoDel_Click(isChecked("chkAutoDel"));
    });
    onClick("CmdProceed", [this, &p](std::optional<int>) {
        readSchedulePickers();
        p.CmdProceed_Click();
        showSchedulePanel();
    });
    onClick("cmdDefaultSetting", [this, &p](std::optional<int>) {
        p.cmdDefaultSetting_Click();
        showSchedulePanel();
    });
}

void MainWindow::showSchedulePanel() {
    const protection::SchedulePanel& panel = state_.protection().scheduler().panel();
    setChecked("chkAutomaticScanYesOrNo", panel.scheduleOn);
    setChecked("chkAutoDel", panel.autoDelete);
    HWND days = controls().find("cmbDays");
    SendMessageW(days, CB_SETCURSEL, static_cast<WPARAM>(panel.day), 0);
    EnableWindow(days, panel.daysEnabled);
    auto picker = [](HWND h, const std::optional<std::string>& value, bool enabled) {
        if (value) {
            if (auto when = update::DateText::Parse(*value)) {
                SYSTEMTIME st{};
                GetLocalTime(&st);
                if (when->year() > 1899) {
                    st.wYear = static_cast<WORD>(when->year());
                    st.wMonth = static_cast<WORD>(when->month());
                    st.wDay = static_cast<WORD>(when->day());
                }
                st.wHour = static_cast<WORD>(when->hour());
                st.wMinute = static_cast<WORD>(when->minute());
                st.wSecond = static_cast<WORD>(when->second());
                SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
            }
        }
        EnableWindow(h, enabled);
    };
    picker(controls().find("dtpScheduleDate"), panel.date, panel.dateEnabled);
    picker(controls().find("dtpScheduleTime"), panel.time, panel.timeEnabled);
    EnableWindow(controls().find("CmdProceed"), panel.applyEnabled);
}

void MainWindow::readSchedulePickers() {
    auto read = [this](std::string_view name) -> std::optional<SYSTEMTIME> {
        HWND h = controls().find(name);
        SYSTEMTIME st{};
        if (h == nullptr || !IsWindowEnabled(h) ||
            SendMessageW(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) {
            return std::nullopt;
        }
        return st;
    };
    std::optional<std::string> date;
    std::optional<std::string> time;
    if (auto st = read("dtpScheduleDate")) {
        date = std::to_string(st->wMonth) + "/" + std::to_string(st->wDay) + "/" +
               std::to_string(st->wYear);
    }
    if (auto st = read("dtpScheduleTime")) {
        const int hour12 = st->wHour % 12 == 0 ? 12 : st->wHour % 12;
        time = std::to_string(hour12) + ":" + pad2(st->wMinute) + ":" + pad2(st->wSecond) +
               (st->wHour < 12 ? " AM" : " PM");
    }
    state_.protection().scheduler().PickerChanged(date, time);
}

void MainWindow::LoadOptionsIntoControls() {
    settings::SettingsStore& s = state_.settings();
    auto box = [&](std::string_view key, int fallback) {
        setChecked(key, s.ReadInt(keys::kOptionAndSettings, key, fallback) == 1);
    };
    box(keys::kAutomaticUpdate, 1);
    box(keys::kMakeLog, 1);
    box(keys::kRunAtStartup, 0);
    box(keys::kScanCookies, 1);
    box(keys::kScanRegistry, 1);
    box(keys::kSweepMemory, 1);
    box(keys::kSendData, 1);
    const bool complete = state_.scanScope() == app::ScanScope::CompleteSystem;
    setChecked("optScanAllSelectedHardDrive", complete);
    setChecked("optScanOnlyKnownSoftwares", !complete);
    if (shieldsView_) {
        shieldsView_();
    }
    s.Write(keys::kOptionAndSettings, keys::kShow, keys::kTrue);
    showSchedulePanel();
    fillDrives();
    // Column widths are stored in twips; the default suits the window as laid out.
    HWND list = controls().find(kResultList);
    const UINT dpi = DpiOf(hwnd());
    const int columns = static_cast<int>(text().controls.empty() ? 0 : 5);
    for (int i = 0; i < columns; ++i) {
        const std::string key = std::string(keys::kFoundColumnPrefix) + std::to_string(i + 1);
        const std::string stored = s.Read(keys::kSettings, key, "");
        if (stored.empty()) {
            continue;
        }
        const int twips = std::atoi(stored.c_str());
        if (twips > 0) {
            SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                         MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch));
        }
    }
    showPage(page_.empty() ? control::frmStatus : app::ControlName(page_));
}

void MainWindow::writeExitState() {
    settings::SettingsStore& s = state_.settings();
    s.Write(keys::kOptionAndSettings, keys::kRestart, keys::kFalse);
    s.Write(keys::kOptionAndSettings, keys::kStatus, keys::kStopped);
    HWND list = controls().find(kResultList);
    const UINT dpi = DpiOf(hwnd());
    for (int i = 0; i < 5; ++i) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
        const std::string key = std::string(keys::kFoundColumnPrefix) + std::to_string(i + 1);
        s.Write(keys::kSettings, key,
                std::to_string(MulDiv(width, kTwipsPerInch, static_cast<int>(dpi))));
    }
    s.Write(keys::kSettings, keys::kMax, IsZoomed(hwnd()) ? "1" : "0");
}

// ---- Lists ---------------------------------------------------------------------------------

void MainWindow::bindLists() {
    state_.ResultList().setListener([this](app::RowChange change, std::size_t first,
                                           std::size_t count) {
        ListViewControl list(controls().find(kResultList));
        syncing_ = true;
        if (change == app::RowChange::Reset) {
            fillResultList();
        } else {
            for (std::size_t i = first; i < first + count && i < state_.ResultList().size(); ++i) {
                const scan::FoundItem& r = state_.ResultList()[i];
                const auto row = static_cast<int>(i);
                if (change == app::RowChange::Inserted) {
                    list.addRow({r.title, r.location, r.type, r.risk, r.details});
                } else {
                    list.setCells(row, {r.title, r.location, r.type, r.risk, r.details});
                }
                list.setChecked(row, r.checked);
            }
        }
        syncing_ = false;
    });
    onItemChecked(std::string(kResultList), [this](int row, bool checked) {
        if (!syncing_ && row >= 0) {
            state_.resultActions().setChecked(static_cast<std::size_t>(row), checked);
        }
    });
    state_.lvwSpywareFound().setListener([this](app::RowChange change, std::size_t first,
                                                std::size_t count) {
        if (change == app::RowChange::Reset) {
            fillFeed();
            return;
        }
        ListViewControl list(controls().find(kFeed));
        for (std::size_t i = first; i < first + count && i < state_.lvwSpywareFound().size(); ++i) {
            const scan::FeedRow& r = state_.lvwSpywareFound()[i];
            if (change == app::RowChange::Inserted) {
                list.addRow({r.text, r.details});
            } else {
                list.setCells(static_cast<int>(i), {r.text, r.details});
            }
        }
    });
    onItemChecked(std::string(kDrives), [this](int row, bool checked) {
        if (!syncing_ && row >= 0) {
            state_.drives().lvwHardDrives_ItemCheck(static_cast<std::size_t>(row), checked);
        }
    });
}

void MainWindow::fillResultList() {
    HWND hwndList = controls().find(kResultList);
    ListViewControl list(hwndList);
    const bool was = syncing_;
    syncing_ = true;
    SendMessageW(hwndList, WM_SETREDRAW, FALSE, 0);
    list.clear();
    for (const scan::FoundItem& r : state_.ResultList()) {
        const int row = list.addRow({r.title, r.location, r.type, r.risk, r.details});
        list.setChecked(row, r.checked);
    }
    SendMessageW(hwndList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwndList, nullptr, TRUE);
    syncing_ = was;
}

void MainWindow::fillFeed() {
    ListViewControl list(controls().find(kFeed));
    list.clear();
    for (const scan::FeedRow& r : state_.lvwSpywareFound()) {
        list.addRow({r.text, r.details});
    }
}

void MainWindow::fillDrives() {
    ListViewControl list(controls().find(kDrives));
    syncing_ = true;
    list.clear();
    for (const scan::DriveRow& d : state_.drives().rows()) {
        const int row = list.addRow({std::string(1, d.letter) + ":\\"});
        list.setChecked(row, d.checked);
    }
    syncing_ = false;
}

LRESULT MainWindow::drawResultRow(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const std::size_t row = draw.nmcd.dwItemSpec;
            std::optional<COLORREF> colour;
            if (draw.iSubItem == kRiskColumn && row < state_.ResultList().size()) {
                colour = riskColour(state_.ResultList()[row].risk);
            }
            draw.clrText = colour.value_or(GetSysColor(COLOR_WINDOWTEXT));
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

// ---- Messages ------------------------------------------------------------------------------

std::optional<LRESULT> MainWindow::onNotify(const NMHDR& header) {
    const ControlText* source = controls().byWindow(header.hwndFrom);
    if (source != nullptr) {
        const bool results = source->name == kResultList;
        if (results && header.code == NM_CUSTOMDRAW) {
            return drawResultRow(
                const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header)));
        }
        if (header.code == LVN_COLUMNCLICK && (results || source->name == kFeed)) {
            const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
            state_.resultActions().SortListByColumn(
                results ? app::SortableList::ResultList : app::SortableList::ScanFeed,
                click.iSubItem);
            return 0;
        }
        if (results && header.code == NM_DBLCLK) {
            const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (click.iItem >= 0) {
                state_.resultActions().OpenResultLocation(static_cast<std::size_t>(click.iItem));
            }
            return 0;
        }
        if (header.code == DTN_DATETIMECHANGE) {
            readSchedulePickers();
            EnableWindow(controls().find("CmdProceed"),
                         state_.protection().scheduler().panel().applyEnabled);
            return 0;
        }
    }
    return FormWindow::onNotify(header);
}

bool MainWindow::onCommand(int id, int code, HWND control) {
    if (control != nullptr && code == CBN_SELCHANGE && control == controls().find("cmbDays")) {
        const auto day = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
        state_.protection().scheduler().cmbDays_Click(day);
        showSchedulePanel();
        return true;
    }
    return FormWindow::onCommand(id, code, control);
}

LRESULT MainWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (hooks_.message && hooks_.message(msg, wp, lp)) {
        return 0;
    }
    if (msg == WM_CTLCOLORSTATIC &&
        reinterpret_cast<HWND>(lp) == controls().find("lblProtectionState")) {
        const LRESULT brush = FormWindow::handleMessage(msg, wp, lp);
        SetTextColor(reinterpret_cast<HDC>(wp), protected_ ? RGB(16, 124, 16) : RGB(196, 43, 28));
        return brush;
    }
    if (msg == WM_CTLCOLORSTATIC &&
        reinterpret_cast<HWND>(lp) == controls().find("lblViewLogFile")) {
        // A clickable label reads as a link.
        const LRESULT brush = FormWindow::handleMessage(msg, wp, lp);
        SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 95, 184));
        return brush;
    }
    if (msg == WM_ENDSESSION && wp != 0) {
        // Log-off and shutdown end the program without a close.
        writeExitState();
        return 0;
    }
    if (msg == WM_SIZE) {
        if (wp == SIZE_MINIMIZED) {
            minimized_ = true;
        } else if (wp == SIZE_RESTORED && minimized_) {
            // Back from the tray or the taskbar: the window yields on its own again, and the
            // scheduler and memory shield wait for the next re-arm.
            minimized_ = false;
            state_.tmrScroll().setEnabled(true);
            state_.tmrScheduler().setEnabled(false);
            state_.tmrMemoryInspected().setEnabled(false);
            if (IsWindowVisible(hwnd())) {
                state_.settings().Write(keys::kSettings, keys::kMinimized, keys::kNo);
            }
        }
    }
    if (msg == WM_ERASEBKGND) {
        // The navigation column on a tinted band, the page area on the window colour.
        auto dc = reinterpret_cast<HDC>(wp);
        RECT client{};
        GetClientRect(hwnd(), &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        RECT band = client;
        band.right = Scale(184, DpiOf(hwnd()));
        HBRUSH tint = CreateSolidBrush(RGB(232, 238, 246));
        FillRect(dc, &band, tint);
        DeleteObject(tint);
        return 1;
    }
    return FormWindow::handleMessage(msg, wp, lp);
}

void MainWindow::minimizeToTray() {
    ShowWindow(hwnd(), SW_MINIMIZE);
    ShowWindow(hwnd(), SW_HIDE);
    state_.settings().Write(keys::kSettings, keys::kMinimized, keys::kYes);
    if (hooks_.minimizeToTray) {
        hooks_.minimizeToTray();
    }
}

void MainWindow::close() {
    PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

bool MainWindow::onClose() {
    writeExitState();
    if (hooks_.closing) {
        hooks_.closing();
    }
    return false;
}

}  // namespace nightjar::gui
