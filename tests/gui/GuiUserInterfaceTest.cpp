#include "gui/GuiUserInterface.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "app/ControlNames.h"
#include "gui/FormWindow.h"
#include "gui/GuiTestSupport.h"
#include "gui/MessageLoop.h"

namespace nightjar::gui {
namespace {

using app::MsgAnswer;
using app::MsgButtons;
using app::MsgIcon;
using localization::ControlKind;
using test::FindThreadWindow;
using test::WhileModal;
using test::WindowTextOf;

localization::WindowText mainWindow() {
    localization::WindowText w{"frmMain", "Main", {}};
    localization::ControlText label;
    label.kind = ControlKind::Label;
    label.name = "lblStatus";
    label.bounds = {10, 10, 200, 20};
    w.controls.push_back(label);
    localization::ControlText bar = label;
    bar.kind = ControlKind::ProgressBar;
    bar.name = "pbgMain";
    bar.bounds = {10, 40, 200, 16};
    w.controls.push_back(bar);
    localization::ControlText button = label;
    button.kind = ControlKind::CommandButton;
    button.name = "cmdStop";
    button.bounds = {10, 70, 80, 24};
    w.controls.push_back(button);
    return w;
}

class GuiUserInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(window.create(nullptr, false));
        ShowWindow(window.hwnd(), SW_SHOW);
        ui.bind(window.hwnd(), &window.controls());
    }

    std::int64_t clock = 1000;
    MessageLoop loop;
    GuiUserInterface ui{loop, [this] { return clock; }};
    FormWindow window{mainWindow()};
};

TEST_F(GuiUserInterfaceTest, NamedControlsShowTheModelsState) {
    namespace control = app::control;
    ui.setStatusText(control::lblStatus, "Сканирование C:\\windows");
    ui.setProgress(control::pbgMain, 42);
    ui.setEnabled(control::cmdStop, false);
    ui.setStatusText(control::cmdScanNow, "not on this window");

    EXPECT_EQ(WindowTextOf(window.controls().find("lblStatus")), L"Сканирование C:\\windows");
    EXPECT_EQ(SendMessageW(window.controls().find("pbgMain"), PBM_GETPOS, 0, 0), 42);
    EXPECT_FALSE(IsWindowEnabled(window.controls().find("cmdStop")));
}

TEST_F(GuiUserInterfaceTest, PumpLooksAtTheQueueAtMostOncePerInterval) {
    int delivered = 0;
    window.onClick("cmdStop", [&](std::optional<int>) { ++delivered; });
    const auto post = [&] {
        PostMessageW(window.hwnd(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(window.controls().find("cmdStop")), BN_CLICKED),
                     reinterpret_cast<LPARAM>(window.controls().find("cmdStop")));
    };
    post();
    ui.Pump();
    EXPECT_EQ(delivered, 1);
    post();
    clock += GuiUserInterface::kPumpIntervalMs - 1;
    ui.Pump();
    EXPECT_EQ(delivered, 1) << "too soon after the last yield";
    clock += 1;
    ui.Pump();
    EXPECT_EQ(delivered, 2);

    // A quit request seen while yielding stays in the queue for the outer loop.
    PostQuitMessage(7);
    clock += GuiUserInterface::kPumpIntervalMs;
    ui.Pump();
    EXPECT_TRUE(ui.quitRequested());
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(GuiUserInterfaceTest, ModalDialogsAnswerWithTheButtonPressed) {
    {
        WhileModal click([] {
            HWND box = FindThreadWindow(L"#32770");
            if (box == nullptr) {
                return false;
            }
            SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            return true;
        });
        EXPECT_EQ(ui.messageBox("Remove?", "Nightjar", MsgButtons::YesNo, MsgIcon::Question),
                  MsgAnswer::No);
    }
    {
        WhileModal type([] {
            HWND box = FindThreadWindow(L"NightjarInputBox");
            if (box == nullptr) {
                return false;
            }
            SetWindowTextW(FindWindowExW(box, nullptr, L"Edit", nullptr), L"Größe ✓");
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return true;
        });
        EXPECT_EQ(ui.inputBox("Name:", "Exclude"), "Größe ✓");
        EXPECT_TRUE(IsWindowEnabled(window.hwnd())) << "the owner is enabled again";
    }
    {
        WhileModal cancel([] {
            HWND box = FindThreadWindow(L"NightjarInputBox");
            if (box == nullptr) {
                return false;
            }
            PostMessageW(box, WM_CLOSE, 0, 0);
            return true;
        });
        EXPECT_EQ(ui.inputBox("Name:", "Exclude"), std::nullopt);
    }
}

TEST_F(GuiUserInterfaceTest, SpywareAlertIsAnsweredOnlyBySTOPOrALLOW) {
    const app::SpywareAlertView alert{"BAD.EXE", "No Company name available for bad.exe"};
    for (const auto& [button, expected] : {std::pair{L"STOP", app::SpywareAlertAnswer::Stop},
                                           std::pair{L"ALLOW", app::SpywareAlertAnswer::Allow}}) {
        std::wstring fileName;
        std::wstring company;
        bool closeTried = false;
        WhileModal answer([&, button = button] {
            HWND alertWindow = test::FindThreadWindowTitled(L"Malicious Program Found");
            if (alertWindow == nullptr) {
                return false;
            }
            if (!closeTried) {
                // The close box does not answer: the alert must still be up on the next tick.
                closeTried = true;
                SendMessageW(alertWindow, WM_CLOSE, 0, 0);
                return false;
            }
            fileName = WindowTextOf(FindWindowExW(alertWindow, nullptr, L"Static", L"BAD.EXE"));
            company = WindowTextOf(FindWindowExW(alertWindow, nullptr, L"Static",
                                                 L"No Company name available for bad.exe"));
            SendMessageW(FindWindowExW(alertWindow, nullptr, L"Button", button), BM_CLICK, 0, 0);
            return true;
        });
        EXPECT_EQ(ui.showSpywareAlert(alert), expected);
        EXPECT_TRUE(closeTried);
        EXPECT_EQ(fileName, L"BAD.EXE");
        EXPECT_EQ(company, L"No Company name available for bad.exe");
        EXPECT_EQ(test::FindThreadWindowTitled(L"Malicious Program Found"), nullptr);
    }
}

TEST_F(GuiUserInterfaceTest, HomePageAlertIsModalAndAnswersYesOrNo) {
    const std::string info =
        "Nightjar has detected that your Homepage has been changed.\r\n"
        "http://ok.example/\r\nhttp://hijack.example/";
    for (const auto& [button, keep] : {std::pair{L"Yes", true}, std::pair{L"No", false}}) {
        bool ownerDisabled = false;
        std::wstring shown;
        WhileModal answer([&, button = button] {
            HWND alertWindow = test::FindThreadWindowTitled(L"Home Page Changed");
            if (alertWindow == nullptr) {
                return false;
            }
            ownerDisabled = !IsWindowEnabled(window.hwnd());
            shown = WindowTextOf(FindWindowExW(alertWindow, nullptr, L"Static", L"Nightjar"));
            SendMessageW(FindWindowExW(alertWindow, nullptr, L"Button", button), BM_CLICK, 0, 0);
            return true;
        });
        EXPECT_EQ(ui.showHomePageAlert("Nightjar", info), keep);
        EXPECT_TRUE(ownerDisabled);
        EXPECT_EQ(shown, L"Nightjar") << "the product name label";
        EXPECT_TRUE(IsWindowEnabled(window.hwnd())) << "the owner is enabled again";
    }
}

TEST_F(GuiUserInterfaceTest, ClipboardRoundTripsUnicodeText) {
    const std::string list = "Трекер\tCookie\r\nToolbar\tAdware ✓\r\n";
    ASSERT_TRUE(GuiUserInterface::CopyToClipboard(window.hwnd(), list));
    EXPECT_EQ(GuiUserInterface::ClipboardText(window.hwnd()), list);
}

}  // namespace
}  // namespace nightjar::gui
