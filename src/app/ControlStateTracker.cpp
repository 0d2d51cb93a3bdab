#include "app/ControlStateTracker.h"

namespace nightjar::app {

namespace {

template <class Map, class Value>
void remember(Map& map, std::string_view control, Value value) {
    auto it = map.find(control);
    if (it == map.end()) {
        map.emplace(std::string(control), std::move(value));
    } else {
        it->second = std::move(value);
    }
}

}  // namespace

std::string ControlStateTracker::text(std::string_view control) const {
    auto it = texts_.find(control);
    return it == texts_.end() ? std::string() : it->second;
}

bool ControlStateTracker::isEnabled(std::string_view control) const {
    auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
}

bool ControlStateTracker::isVisible(std::string_view control) const {
    auto it = visible_.find(control);
    return it == visible_.end() || it->second;
}

std::optional<int> ControlStateTracker::progress(std::string_view control) const {
    auto it = progress_.find(control);
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

void ControlStateTracker::setStatusText(std::string_view control, std::string_view text) {
    remember(texts_, control, std::string(text));
    target_.setStatusText(control, text);
}

void ControlStateTracker::setProgress(std::string_view control, int value) {
    remember(progress_, control, value);
    target_.setProgress(control, value);
}

void ControlStateTracker::setEnabled(std::string_view control, bool enabled) {
    remember(enabled_, control, enabled);
    target_.setEnabled(control, enabled);
}

void ControlStateTracker::Pump() {
    target_.Pump();
}

void ControlStateTracker::setVisible(std::string_view control, bool visible) {
    remember(visible_, control, visible);
    target_.setVisible(control, visible);
}

void ControlStateTracker::showPage(std::string_view page) {
    target_.showPage(page);
}

void ControlStateTracker::resetPointer() {
    target_.resetPointer();
}

}  // namespace nightjar::app
