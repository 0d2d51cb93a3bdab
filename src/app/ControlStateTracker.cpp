#include "app/ControlStateTracker.h"

#include "app/ControlNames.h"

namespace nightjar::app {

namespace {

template <class Map, class Value>
void remember(Map& map, ControlName control, Value value) {
    auto it = map.find(control.str());
    if (it == map.end()) {
        map.emplace(std::string(control.str()), std::move(value));
    } else {
        it->second = std::move(value);
    }
}

}  // namespace

std::string ControlStateTracker::text(ControlName control) const {
    auto it = texts_.find(control.str());
    return it == texts_.end() ? std::string() : it->second;
}

bool ControlStateTracker::isEnabled(ControlName control) const {
    auto it = enabled_.find(control.str());
    return it == enabled_.end() || it->second;
}

bool ControlStateTracker::isVisible(ControlName control) const {
    auto it = visible_.find(control.str());
    return it == visible_.end() || it->second;
}

std::optional<int> ControlStateTracker::progress(ControlName control) const {
    auto it = progress_.find(control.str());
    if (it == progress_.end()) {
        return std::nullopt;
    }
    return it->second;
}

MsgAnswer ControlStateTracker::messageBox(std::string_view text, std::string_view title,
                                          MsgButtons buttons, MsgIcon icon) {
    return target_.messageBox(text, title, buttons, icon);
}

std::optional<std::string> ControlStateTracker::chooseFile() {
    return target_.chooseFile();
}

std::optional<std::string> ControlStateTracker::chooseFolder() {
    return target_.chooseFolder();
}

std::optional<std::string> ControlStateTracker::inputBox(std::string_view prompt,
                                                         std::string_view title) {
    return target_.inputBox(prompt, title);
}

void ControlStateTracker::setStatusText(ControlName control, std::string_view text) {
    remember(texts_, control, std::string(text));
    target_.setStatusText(control, text);
}

void ControlStateTracker::setProgress(ControlName control, int value) {
    remember(progress_, control, value);
    target_.setProgress(control, value);
}

void ControlStateTracker::setEnabled(ControlName control, bool enabled) {
    remember(enabled_, control, enabled);
    target_.setEnabled(control, enabled);
}

void ControlStateTracker::Pump() {
    target_.Pump();
}

void ControlStateTracker::setVisible(ControlName control, bool visible) {
    remember(visible_, control, visible);
    target_.setVisible(control, visible);
}

void ControlStateTracker::showPage(ControlName page) {
    target_.showPage(page);
}

void ControlStateTracker::resetPointer() {
    target_.resetPointer();
}

std::optional<SpywareAlertAnswer> ControlStateTracker::showSpywareAlert(
    const SpywareAlertView& alert) {
    remember(texts_, control::lblAlertFileName, alert.fileName);
    remember(texts_, control::lblAlertCompanyName, alert.companyName);
    return target_.showSpywareAlert(alert);
}

bool ControlStateTracker::showHomePageAlert(std::string_view productName, std::string_view info) {
    return target_.showHomePageAlert(productName, info);
}

}  // namespace nightjar::app
