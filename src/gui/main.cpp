// nightjar.exe: for now a small window that exercises the window helpers; the main window
// of the program replaces it.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ControlNames.h"
#include "app/Timer.h"
#include "gui/FormWindow.h"
#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/MessageLoop.h"
#include "gui/TimerBinding.h"
#include "localization/WindowText.h"
#include "nightjar/Identity.h"

namespace {

using nightjar::localization::ControlKind;
using nightjar::localization::ControlText;
using nightjar::localization::WindowText;

WindowText demoWindow() {
    auto c = [](ControlKind kind, std::string name, std::string caption, int x, int y, int w, int h,
                std::string parent = {}) {
        ControlText t;
        t.kind = kind;
        t.name = std::move(name);
        t.caption = std::move(caption);
        t.bounds = {x, y, w, h};
        t.parent = std::move(parent);
        return t;
    };
    WindowText w{"frmMain", NJ_PRODUCT_NAME, {}};
    w.controls.push_back(c(ControlKind::Menu, "mnuFile", "&File", 0, 0, 0, 0));
    w.controls.push_back(c(ControlKind::Menu, "mnuScanNow", "Scan Now", 0, 0, 0, 0, "mnuFile"));
    w.controls.push_back(c(ControlKind::Menu, "mnuSep", "-", 0, 0, 0, 0, "mnuFile"));
    w.controls.push_back(c(ControlKind::Menu, "mnuExit", "Exit", 0, 0, 0, 0, "mnuFile"));
    w.controls.push_back(
        c(ControlKind::Label, "lblTitle", NJ_PRODUCT_NAME " Status", 16, 12, 528, 22));
    ControlText tabs = c(ControlKind::TabStrip, "TabStrip1", "", 16, 40, 528, 236);
    tabs.tabs = {"Results", "Scan Options", "Schedule"};
    w.controls.push_back(tabs);
    ControlText list = c(ControlKind::ListView, "lvwResults", "", 12, 34, 504, 146, "TabStrip1");
    list.columns = {"Name", "Type", "Location"};
    w.controls.push_back(list);
    w.controls.push_back(
        c(ControlKind::CheckBox, "chkDeep", "Scan inside archives", 12, 190, 200, 22, "TabStrip1"));
    w.controls.push_back(
        c(ControlKind::OptionButton, "optQuick", "Smart Scan", 230, 190, 120, 22, "TabStrip1"));
    w.controls.push_back(
        c(ControlKind::OptionButton, "optFull", "Full Scan", 360, 190, 120, 22, "TabStrip1"));
    w.controls.push_back(c(ControlKind::ProgressBar, "pbgMain", "", 16, 288, 528, 18));
    w.controls.push_back(c(ControlKind::Label, "lblStatus", "Ready", 16, 314, 528, 20));
    w.controls.push_back(c(ControlKind::CommandButton, "cmdScan", "Scan Now", 16, 342, 100, 28));
    w.controls.push_back(c(ControlKind::CommandButton, "cmdStop", "Stop", 124, 342, 100, 28));
    w.controls.push_back(c(ControlKind::CommandButton, "cmdCopy", "Copy List", 232, 342, 100, 28));
    w.controls.push_back(c(ControlKind::CommandButton, "cmdExit", "Exit", 444, 342, 100, 28));
    return w;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    using namespace nightjar;
    namespace control = app::control;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    gui::MessageLoop loop;
    gui::TimerBinding timers;
    if (!timers.create()) {
        return 1;
    }
    loop.afterEachMessage([&timers] { timers.sync(); });

    gui::FormWindow window(demoWindow());
    if (!window.create(nullptr, true)) {
        return 1;
    }
    gui::GuiUserInterface ui(loop);
    ui.bind(window.hwnd(), &window.controls());

    gui::ListViewControl list(window.controls().find("lvwResults"));
    list.addRow({"Demo.Tracker", "Tracking Cookie", "C:\\users\\demo\\cookies\\ads.txt"});
    list.addRow({"Demo.Toolbar", "Adware", "C:\\Program Files\\DemoBar\\bar.dll"});
    list.addRow({"Demo.Keylogger", "Spyware", "HKLM\\Software\\Demo\\Run"});
    list.setChecked(0, true);
    list.setChecked(2, true);
    SendMessageW(window.controls().find("optQuick"), BM_SETCHECK, BST_CHECKED, 0);

    int percent = 0;
    app::Timer progress(app::ControlName("tmrDemoProgress"), 40);
    progress.onTick([&] {
        percent = std::min(100, percent + 2);
        ui.setProgress(control::pbgMain, percent);
        if (percent == 100) {
            progress.setEnabled(false);
            ui.setStatusText(control::lblStatus, "Scan finished");
        }
    });
    timers.add(progress);

    window.onClick("cmdScan", [&](std::optional<int>) {
        percent = 0;
        ui.setStatusText(control::lblStatus, "Scanning...");
        progress.setEnabled(true);
    });
    window.onClick("mnuScanNow", [&](std::optional<int>) {
        SendMessageW(window.controls().find("cmdScan"), BM_CLICK, 0, 0);
    });
    window.onClick("cmdStop", [&](std::optional<int>) {
        progress.setEnabled(false);
        ui.setStatusText(control::lblStatus, "Stopped");
    });
    window.onClick("cmdCopy", [&](std::optional<int>) {
        std::string text;
        for (int row = 0; row < list.rowCount(); ++row) {
            text +=
                list.cell(row, 0) + "\t" + list.cell(row, 1) + "\t" + list.cell(row, 2) + "\r\n";
        }
        gui::GuiUserInterface::CopyToClipboard(window.hwnd(), text);
    });
    auto exit = [&](std::optional<int>) { DestroyWindow(window.hwnd()); };
    window.onClick("cmdExit", exit);
    window.onClick("mnuExit", exit);
    window.onTabChanged("TabStrip1", [&](int tab) {
        ui.setStatusText(control::lblStatus, "Tab " + std::to_string(tab + 1));
    });

    // A demo run shows moving progress at once.
    ui.setProgress(control::pbgMain, 40);
    ui.setStatusText(control::lblStatus, "Scanning C:\\windows\\system32 ...");
    ShowWindow(window.hwnd(), show);
    UpdateWindow(window.hwnd());
    const int code = loop.runUntil({}).value_or(0);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return code;
}
