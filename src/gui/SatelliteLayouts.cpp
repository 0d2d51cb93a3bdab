#include "gui/SatelliteLayouts.h"

#include <map>
#include <string>

#include "app/ProgramWindows.h"
#include "util/Text.h"

namespace nightjar::gui {

using localization::ControlBounds;
using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;

namespace {

using Layout = std::map<std::string, ControlBounds, std::less<>>;

Layout splash() {
    return {{"lblSplashName", {24, 28, 392, 36}},
            {"lblSplashStatus", {24, 74, 392, 20}},
            {"pbSplash", {24, 100, 392, 8}}};
}

Layout download() {
    return {{"picUp", {12, 12, 24, 24}},
            {"picDown", {12, 12, 24, 24}},
            {"lblProduct", {44, 16, 376, 20}},
            {"txtStatus", {12, 48, 408, 140}},
            {"Command1", {330, 200, 90, 28}}};
}

Layout signatureUpdated() {
    return {{"lblUpdateInfo", {16, 16, 268, 64}}, {"cmdUpdateSuccesfullOK", {194, 88, 90, 28}}};
}

Layout deleteFailed() {
    return {{"lblCannotDelete", {12, 12, 456, 36}},
            {"lblSafeMode", {12, 52, 456, 36}},
            {"lstProblem", {12, 96, 456, 160}},
            {"cmdCopyList", {272, 268, 96, 28}},
            {"cmdOk", {376, 268, 92, 28}}};
}

Layout spywareAlert() {
    return {{"lblDetected", {16, 14, 388, 24}},
            {"lblFileNameCaption", {16, 50, 110, 20}},
            {"lblAlertFileName", {130, 50, 274, 20}},
            {"lblCompanyNameCaption", {16, 76, 110, 20}},
            {"lblAlertCompanyName", {130, 76, 274, 36}},
            {"lblStopHint", {16, 120, 388, 20}},
            {"lblAllowHint", {16, 142, 388, 20}},
            {"cmdYes", {216, 176, 90, 28}},
            {"cmdNO", {314, 176, 90, 28}}};
}

Layout homePageAlert() {
    return {{"lblFrmHomePageProductName", {16, 12, 408, 24}},
            {"lblHomePageInfo", {16, 44, 408, 128}},
            {"cmdYes", {236, 184, 90, 28}},
            {"cmdNO", {334, 184, 90, 28}}};
}

Layout menuPopup() {
    return {{"lblName", {12, 10, 188, 22}},
            {"mnuMaxmimaize", {24, 42, 176, 20}},
            {"mnuClose", {24, 66, 176, 20}},
            {"lblMenuClose", {12, 100, 188, 20}}};
}

Layout report() {
    return {{"txtReport", {12, 12, 600, 400}}, {"cmdOk", {522, 424, 90, 28}}};
}

Layout language() {
    return {{"Combo1", {12, 14, 276, 24}},
            {"Command1", {12, 50, 276, 28}},
            {"Command3", {12, 86, 276, 28}},
            {"Command2", {198, 128, 90, 28}}};
}

Layout layoutOf(std::string_view window) {
    static const std::map<std::string, Layout (*)(), std::less<>> layouts = {
        {"frmSplash", &splash},
        {"frmDownload", &download},
        {"frmSignatureUpdated", &signatureUpdated},
        {"frmDelete", &deleteFailed},
        {"frmSpywareFoundAlert", &spywareAlert},
        {"frmHomePageChangedAlert", &homePageAlert},
        {"frmMenuPopUp", &menuPopup},
        {"frmReport", &report},
        {"frmLanguage", &language},
    };
    auto it = layouts.find(window);
    return it == layouts.end() ? Layout{} : it->second();
}

ControlText extra(ControlKind kind, std::string name) {
    ControlText c;
    c.kind = kind;
    c.name = std::move(name);
    return c;
}

}  // namespace

void LayOutSatellite(WindowText& window) {
    if (window.name == "frmSplash" && window.controls.size() <= 1) {
        // The splash has only its timer to translate; what it shows is the product's name
        // and the progress of its ticks.
        window.controls.push_back(extra(ControlKind::Label, "lblSplashName"));
        window.controls.push_back(extra(ControlKind::Label, "lblSplashStatus"));
        window.controls.push_back(extra(ControlKind::ProgressBar, "pbSplash"));
    }
    if (window.name == "frmMenuPopUp") {
        // The tray menu shows its entries as clickable lines, not as a menu bar.
        for (ControlText& control : window.controls) {
            if (control.kind == ControlKind::Menu) {
                control.kind = ControlKind::Label;
            }
        }
    }
    const Layout layout = layoutOf(window.name);
    for (ControlText& control : window.controls) {
        if (auto it = layout.find(control.name); it != layout.end()) {
            control.bounds = it->second;
        }
    }
}

WindowText SatelliteWindow(std::string_view name, std::string_view productName) {
    const WindowText* source = app::FindProgramWindow(name);
    WindowText window = source != nullptr ? *source : WindowText{std::string(name), {}, {}};
    auto fill = [&](std::string& text) {
        text = text::replaceAll(text, "[ProgramName]", productName);
    };
    fill(window.caption);
    for (ControlText& control : window.controls) {
        fill(control.caption);
    }
    LayOutSatellite(window);
    return window;
}

}  // namespace nightjar::gui
