// nj_show_window.exe NAME: shows one of the windows around the main window with sample
// contents, for screenshots and for looking at a window without running the program.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/DeleteFailedList.h"
#include "app/UserInterface.h"
#include "gui/DeleteFailedWindow.h"
#include "gui/DownloadWindow.h"
#include "gui/FormWindow.h"
#include "gui/HomePageAlertWindow.h"
#include "gui/MessageLoop.h"
#include "gui/ReportWindow.h"
#include "gui/SatelliteLayouts.h"
#include "gui/SlideUpPopup.h"
#include "gui/SplashWindow.h"
#include "gui/SpywareAlertWindow.h"
#include "gui/WideText.h"
#include "nightjar/Identity.h"

namespace {

using namespace nightjar;

constexpr char kProduct[] = NJ_PRODUCT_NAME;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    const std::string name = gui::Narrow(args != nullptr ? args : L"");
    gui::MessageLoop loop;
    auto window = [&](std::string_view form) { return gui::SatelliteWindow(form, kProduct); };
    std::unique_ptr<gui::FormWindow> shown;

    if (name == "frmSpywareFoundAlert") {
        auto alert = std::make_unique<gui::SpywareAlertWindow>(window(name));
        alert->show(nullptr, {"TOOLBARHELPER.EXE", "ADSOFT MEDIA LTD."});
        shown = std::move(alert);
    } else if (name == "frmHomePageChangedAlert") {
        auto alert = std::make_unique<gui::HomePageAlertWindow>(window(name));
        alert->show(nullptr, std::string(kProduct) +
                                 " has detected that your Homepage has been changed.\r\n\r\n"
                                 "Click YES to keep your homepage as:\r\n"
                                 "https://www.example.org/\r\n\r\n"
                                 "Click No to change your homepage to:\r\n"
                                 "http://search.hijacker.example/start");
        shown = std::move(alert);
    } else if (name == "frmMenuPopUp" || name == "frmSignatureUpdated") {
        auto popup = std::make_unique<gui::SlideUpPopup>(
            window(name), name == "frmMenuPopUp" ? gui::SlideUpPopup::MenuMotion()
                                                 : gui::SlideUpPopup::UpdateMotion());
        popup->create(nullptr);
        if (name == "frmMenuPopUp") {
            EnableWindow(popup->controls().find("mnuMaxmimaize"), FALSE);
        } else {
            SetWindowTextW(
                popup->controls().find("lblUpdateInfo"),
                gui::Widen(std::string("Your ") + kProduct + " definitions have been updated!")
                    .c_str());
        }
        popup->onClosed([] { PostQuitMessage(0); });
        popup->start();
        // Up at once and held there, so the picture does not depend on when it is taken.
        for (int i = 0; i < 1000 && popup->phase() == gui::SlideUpPopup::Phase::SlidingUp; ++i) {
            SendMessageW(popup->hwnd(), WM_TIMER, gui::SlideUpPopup::kSlideUpTimer, 0);
        }
        KillTimer(popup->hwnd(), gui::SlideUpPopup::kRestTimer);
        shown = std::move(popup);
    } else if (name == "frmSplash") {
        auto splash = std::make_unique<gui::SplashWindow>(window(name), gui::Widen(kProduct));
        splash->show();
        // Held half way, so the picture shows the progress.
        for (int i = 0; i < 40; ++i) {
            SendMessageW(splash->hwnd(), WM_TIMER, gui::SplashWindow::kTimerId, 0);
        }
        KillTimer(splash->hwnd(), gui::SplashWindow::kTimerId);
        shown = std::move(splash);
    } else if (name == "frmDelete") {
        app::DeleteFailedList problems;
        problems.add("C:\\Program Files\\AdSoft\\toolbarhelper.exe",
                     app::RemovalProblem::ProcessNotStopped);
        problems.add("C:\\Users\\demo\\AppData\\Roaming\\AdSoft\\hook.dll",
                     app::RemovalProblem::StillPresent);
        auto failed = std::make_unique<gui::DeleteFailedWindow>(window(name));
        failed->show(nullptr, problems);
        shown = std::move(failed);
    } else if (name == "frmReport") {
        auto report = std::make_unique<gui::ReportWindow>(window(name));
        report->show(nullptr,
                     {std::string(kProduct) + " Scan Report", "Scan started: 12/9/2026 10:02:11 AM",
                      "Scan finished: 12/9/2026 10:04:53 AM", "Files inspected: 48213",
                      "Registry entries inspected: 10442", "Processes inspected: 61", "",
                      "Demo.Toolbar  C:\\Program Files\\AdSoft\\toolbarhelper.exe",
                      "    Company: AdSoft Media Ltd.  Kind: File  Risk: High"});
        shown = std::move(report);
    } else if (name == "frmDownload") {
        auto download = std::make_unique<gui::DownloadWindow>(window(name));
        download->show(nullptr);
        download->addStatus("Connecting to the update server...");
        download->addStatus("Checking for new definitions...");
        download->addStatus("Downloading update 2026-12-09 (14 KB)...");
        shown = std::move(download);
    } else {
        MessageBoxW(nullptr,
                    L"nj_show_window NAME\n\nfrmSplash, frmSpywareFoundAlert, "
                    L"frmHomePageChangedAlert, frmMenuPopUp, frmSignatureUpdated, frmDelete, "
                    L"frmReport, frmDownload",
                    L"nj_show_window", MB_OK);
        return 2;
    }
    loop.runUntil([&] { return shown->hwnd() == nullptr; });
    return 0;
}
