#include "gui/SatelliteWindows.h"

#include "app/ControlNames.h"
#include "app/MainState.h"
#include "app/RemovalRun.h"
#include "gui/DeleteFailedWindow.h"
#include "gui/DownloadWindow.h"
#include "gui/GuiUserInterface.h"
#include "gui/LanguageSelectionWindow.h"
#include "gui/MainWindow.h"
#include "gui/ReportWindow.h"
#include "gui/SatelliteLayouts.h"
#include "gui/SlideUpPopup.h"
#include "gui/WideText.h"
#include "localization/Languages.h"
#include "platform/Platform.h"
#include "report/ScanReport.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace nightjar::gui {

namespace control = app::control;
namespace keys = settings::keys;

SatelliteWindows::SatelliteWindows(app::MainState& state, GuiUserInterface& ui, MainWindow& main)
    : state_(state), ui_(ui), main_(main) {
    tray_.onOpenMenu([this] { openTrayMenu(); });
    tray_.onRestore([this] {
        restoreMain();
        if (menu_) {
            menu_->slideAway();
        }
    });
}

SatelliteWindows::~SatelliteWindows() {
    ui_.onOtherWindows({}, {});
    closeAll();
}

void SatelliteWindows::attach() {
    MainWindow::Hooks hooks;
    hooks.showLog = [this] { showReport(); };
    hooks.minimizeToTray = [this] {
        tray_.show(main_.hwnd(), Widen(state_.productName()));
        tray_.changeToolTip(Widen(state_.productName()));
    };
    hooks.chooseLanguage = [this] { chooseLanguage(); };
    hooks.closing = [this] { closeAll(); };
    hooks.message = [this](UINT msg, WPARAM wp, LPARAM lp) {
        return tray_.handleMessage(msg, wp, lp);
    };
    main_.setHooks(std::move(hooks));
    ui_.onOtherWindows(
        [this](app::ControlName name, bool visible) { return showWindow(name.str(), visible); },
        [this](app::ControlName name, std::string_view text) { return setText(name.str(), text); });
}

localization::WindowText SatelliteWindows::window(std::string_view name) const {
    localization::WindowText w = SatelliteWindow(name, state_.productName());
    state_.languages().ChangeLanguage(w, state_.languages().currentLanguage());
    return w;
}

bool SatelliteWindows::showWindow(std::string_view name, bool visible) {
    if (name == control::frmDownload.str()) {
        if (visible) {
            download_ = std::make_unique<DownloadWindow>(window(name));
            download_->show(main_.hwnd());
        } else {
            download_.reset();
        }
        return true;
    }
    if (name == control::frmSignatureUpdated.str()) {
        if (visible) {
            openUpdateResult();
        } else if (updated_) {
            updated_->close();
        }
        return true;
    }
    if (name == control::frmDelete.str()) {
        deleteFailed_.reset();
        if (visible) {
            deleteFailed_ = std::make_unique<DeleteFailedWindow>(window(name));
            deleteFailed_->show(main_.hwnd(), state_.removal().problems());
        }
        return true;
    }
    return false;
}

bool SatelliteWindows::setText(std::string_view name, std::string_view text) {
    if (name == control::txtStatus.str()) {
        if (download_ && download_->hwnd() != nullptr) {
            download_->addStatus(text);
        }
        return true;
    }
    if (name == control::lblUpdateInfo.str()) {
        if (updated_ && updated_->hwnd() != nullptr) {
            SetWindowTextW(updated_->controls().find(name), Widen(text).c_str());
        }
        return true;
    }
    return false;
}

void SatelliteWindows::openUpdateResult() {
    updated_ = std::make_unique<SlideUpPopup>(window(control::frmSignatureUpdated.str()),
                                              SlideUpPopup::UpdateMotion());
    SlideUpPopup& popup = *updated_;
    popup.onClick("cmdUpdateSuccesfullOK", [&popup](std::optional<int>) { popup.close(); });
    popup.onClosed([this] {
        state_.settings().Write(keys::kOptionAndSettings, keys::kShow, "false");
        // The progress window's icon goes with it; a window the user brought back stays.
        if (download_ && download_->hwnd() == nullptr) {
            download_.reset();
        }
    });
    if (popup.create(main_.hwnd())) {
        popup.start();
    }
}

bool SatelliteWindows::mayExit() {
    ControlFactory& c = main_.controls();
    return IsWindowEnabled(c.find("lblResult")) || IsWindowEnabled(c.find("lblOptions"));
}

void SatelliteWindows::openTrayMenu() {
    // A menu still up is replaced; one that closed is freed here, outside its handlers.
    menu_ = std::make_unique<SlideUpPopup>(window("frmMenuPopUp"), SlideUpPopup::MenuMotion());
    SlideUpPopup& menu = *menu_;
    menu.onClick("mnuMaxmimaize", [this, &menu](std::optional<int>) {
        restoreMain();
        menu.slideAway();
    });
    menu.onClick("mnuClose", [this, &menu](std::optional<int>) {
        exitProgram();
        menu.slideAway();
    });
    menu.onClick("lblMenuClose", [&menu](std::optional<int>) { menu.slideAway(); });
    if (!menu.create(main_.hwnd())) {
        return;
    }
    SetWindowTextW(menu.controls().find("lblName"), Widen(state_.productName()).c_str());
    EnableWindow(menu.controls().find("mnuClose"), mayExit() ? TRUE : FALSE);
    EnableWindow(menu.controls().find("mnuMaxmimaize"),
                 IsWindowVisible(main_.hwnd()) ? FALSE : TRUE);
    menu.start();
}

void SatelliteWindows::restoreMain() {
    ShowWindow(main_.hwnd(), SW_RESTORE);
    ShowWindow(main_.hwnd(), SW_SHOW);
    SetForegroundWindow(main_.hwnd());
}

void SatelliteWindows::exitProgram() {
    main_.writeExitState();
    tray_.remove();
    // Posted: the main window's close frees this menu, whose click is still running.
    PostMessageW(main_.hwnd(), WM_CLOSE, 0, 0);
}

void SatelliteWindows::showReport() {
    report_ = std::make_unique<ReportWindow>(window("frmReport"));
    report_->show(main_.hwnd(), report::ScanReport::ReportLines(*state_.platform().fileSystem,
                                                                state_.dataFolder()));
}

void SatelliteWindows::chooseLanguage() {
    language_.reset();
    languageText_ = window("frmLanguage");
    languageModel_ = std::make_unique<app::LanguageWindow>(state_, languageText_);
    language_ = std::make_unique<LanguageSelectionWindow>(*languageModel_, languageText_);
    language_->onLanguageChanged(
        [this] { main_.changeLanguage(state_.languages().currentLanguage()); });
    language_->show(main_.hwnd());
}

void SatelliteWindows::closeAll() {
    tray_.remove();
    menu_.reset();
    updated_.reset();
    download_.reset();
    report_.reset();
    deleteFailed_.reset();
    language_.reset();
    languageModel_.reset();
}

}  // namespace nightjar::gui
