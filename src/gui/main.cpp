// nightjar.exe: the desktop program. Start-up builds the model over the platform, opens the
// main window and runs the message loop; every exit path writes the run state.
#include <windows.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <string_view>

#include "app/MainState.h"
#include "app/ProgramFolder.h"
#include "app/UpdateController.h"
#include "gui/GuiUserInterface.h"
#include "gui/LanguageSelectionWindow.h"
#include "gui/MainWindow.h"
#include "gui/MessageLoop.h"
#include "gui/SatelliteLayouts.h"
#include "gui/SatelliteWindows.h"
#include "gui/SplashWindow.h"
#include "gui/TimerBinding.h"
#include "gui/WideText.h"
#include "nightjar/Identity.h"
#include "platform/Platform.h"
#include "settings/MachineSettingsStore.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace {

using namespace nightjar;
namespace keys = settings::keys;

/// Help on first use: opens Help.chm once and remembers that it did.
void helpOnce(app::MainState& state, settings::MachineSettingsStore& machine) {
    settings::SettingsStore& s = state.settings();
    if (s.Read(keys::kSettings, keys::kShowHelp, "1") != "1") {
        return;
    }
    const std::string help = state.programFolder() + "\\Help.chm";
    if (state.platform().fileSystem->fileExists(help)) {
        state.platform().launcher->open(help);
        machine.MachineWrite(keys::kSettings, keys::kShowHelp, "0");
    }
    s.Write(keys::kSettings, keys::kShowHelp, "0");
}

/// First run on this machine: offers Live Update once.
void firstRunQuestion(app::MainState& state, settings::MachineSettingsStore& machine) {
    if (!machine.MachineRead(keys::kSettings, keys::kFirstTime, "").value.empty()) {
        return;
    }
    machine.MachineWrite(keys::kSettings, keys::kFirstTime, keys::kYes);
    const std::string text = state.msg("MSG_THANK1") + "\r\n\r\n" + state.msg("MSG_THANK2") +
                             "\r\n\r\n" + state.msg("MSG_THANK3");
    if (state.ui().messageBox(text, state.msg("MSG_THANK4"), app::MsgButtons::YesNo,
                              app::MsgIcon::Question) == app::MsgAnswer::Yes) {
        state.updates().RunUpdate();
    }
}

int run(int show) {
    std::string error;
    std::unique_ptr<platform::Platform> platform = platform::createPlatform({}, error);
    if (!platform) {
        MessageBoxW(nullptr, gui::Widen("Cannot start: " + error).c_str(), L"Nightjar",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    gui::MessageLoop loop;
    gui::GuiUserInterface ui(loop);
    app::MainStateOptions options;
    options.programFolder = app::ExecutableFolder(*platform);
    app::MainState state(*platform, ui, std::move(options));
    settings::MachineSettingsStore machine(*platform->registry, state.settings(),
                                           state.identity().companyName, state.productName());

    // First run: the language becomes English before anything asks for another.
    const bool firstRun = state.settings().Read(keys::kSettings, keys::kLanguage, "").empty();
    if (firstRun) {
        state.settings().Write(keys::kSettings, keys::kLanguage, keys::kDefaultLanguage);
    }
    // A second copy ends before it touches the run state.
    if (!platform->singleInstance->acquire()) {
        return 0;
    }

    gui::TimerBinding timers;
    if (!timers.create()) {
        return 1;
    }
    for (app::Timer* t : state.mainWindowTimers()) {
        timers.add(*t);
    }
    loop.afterEachMessage([&timers] { timers.sync(); });

    // The splash comes first; the main window loads when it hands over.
    bool handedOver = false;
    gui::SplashWindow splash(gui::SatelliteWindow("frmSplash", state.productName()),
                             gui::Widen(state.productName()));
    splash.onHandOver([&handedOver] { handedOver = true; });
    if (splash.show()) {
        if (loop.runUntil([&handedOver] { return handedOver; }).has_value()) {
            return 0;
        }
    }

    gui::MainWindow window(state, ui);
    gui::SatelliteWindows satellites(state, ui, window);
    satellites.attach();
    if (!window.create()) {
        return 1;
    }
    // The first run asks for the language before anything else is shown, so the window
    // opens in it.
    if (firstRun) {
        satellites.chooseLanguage();
        const auto chosen = [&satellites] {
            return satellites.language() == nullptr || satellites.language()->hwnd() == nullptr;
        };
        if (loop.runUntil(chosen).has_value()) {
            return 0;
        }
    }
    state.Startup();
    window.LoadOptionsIntoControls();
    helpOnce(state, machine);
    if (state.settings().Read(keys::kSettings, keys::kMinimized, keys::kNo) == keys::kYes) {
        window.minimizeToTray();
    } else {
        ShowWindow(window.hwnd(), show);
        UpdateWindow(window.hwnd());
    }
    timers.sync();
    firstRunQuestion(state, machine);
    return loop.runUntil({}).value_or(0);
}

/// `nightjar.exe --version`: the version on the console it was started from, or in a box
/// when it was started without one.
void showVersion() {
    const std::string text = std::string(NJ_PRODUCT_NAME) + " " + NJ_VERSION_TEXT;
    // Output redirected to a file or pipe arrives as a standard handle; a console the
    // program was typed into has to be attached first.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    const std::string line = text + "\r\n";
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        return;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        const std::wstring wide = gui::Widen(line);
        if (console != INVALID_HANDLE_VALUE) {
            const bool shown = WriteConsoleW(console, wide.c_str(), static_cast<DWORD>(wide.size()),
                                             &written, nullptr);
            CloseHandle(console);
            if (shown) {
                return;
            }
        }
    }
    MessageBoxW(nullptr, gui::Widen(text).c_str(), gui::Widen(NJ_PRODUCT_NAME).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int show) {
    if (commandLine != nullptr && std::wstring_view(commandLine) == L"--version") {
        showVersion();
        return 0;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int code = run(show);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return code;
}
