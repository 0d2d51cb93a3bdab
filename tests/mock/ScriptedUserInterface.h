#pragma once
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/UserInterface.h"

namespace nightjar::mock {

/// A user interface whose answers a test scripts in advance, and which records every
/// message box, status text, progress value, enabled and visible state and page switch.
class ScriptedUserInterface : public app::UserInterface {
  public:
    struct Box {
        std::string text;
        std::string title;
        app::MsgButtons buttons;
        app::MsgIcon icon;
        app::MsgAnswer answer;
    };

    // Script.
    /// Answers for the next message boxes, in order. When the queue is empty a box gets the
    /// cautious answer: Ok, Cancel, No or Ignore.
    std::deque<app::MsgAnswer> answers;
    /// Results of the next open-file / folder / input dialogs (nullopt = cancelled; an
    /// empty queue cancels).
    std::deque<std::optional<std::string>> files;
    std::deque<std::optional<std::string>> folders;
    std::deque<std::optional<std::string>> inputs;
    /// Answers for the next spyware alerts, in order; nullopt leaves the window open (the
    /// test answers while the loop yields). An empty queue falls back to a message box.
    std::deque<std::optional<app::SpywareAlertAnswer>> spywareAnswers;
    /// Answers for the next home-page alerts (true = "Yes"); an empty queue falls back to a
    /// message box.
    std::deque<bool> homePageAnswers;
    /// Runs on every Pump(), for a test that acts "while the loop yields".
    std::function<void()> onPump;
    /// Runs while a message box is open (before it returns its answer).
    std::function<void(const Box&)> onMessageBox;

    // Record.
    std::vector<Box> boxes;
    std::vector<std::pair<std::string, std::string>> texts;  ///< every setStatusText
    std::map<std::string, std::string, std::less<>> lastText;
    std::vector<std::pair<std::string, int>> progressLog;
    std::map<std::string, int, std::less<>> lastProgress;
    std::vector<std::pair<std::string, bool>> enabledLog;
    std::map<std::string, bool, std::less<>> enabled;
    std::map<std::string, bool, std::less<>> visible;
    std::vector<std::string> pages;
    std::vector<app::SpywareAlertView> spywareAlerts;
    std::vector<std::string> homePageAlerts;  ///< the information texts
    int pumps = 0;
    int pointerResets = 0;
    int fileDialogs = 0;
    int folderDialogs = 0;

    app::MsgAnswer messageBox(std::string_view text, std::string_view title,
                              app::MsgButtons buttons, app::MsgIcon icon) override {
        app::MsgAnswer answer = cautious(buttons);
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        boxes.push_back({std::string(text), std::string(title), buttons, icon, answer});
        if (onMessageBox) {
            onMessageBox(boxes.back());
        }
        return answer;
    }
    std::optional<std::string> chooseFile() override {
        ++fileDialogs;
        return next(files);
    }
    std::optional<std::string> chooseFolder() override {
        ++folderDialogs;
        return next(folders);
    }
    std::optional<std::string> inputBox(std::string_view, std::string_view) override {
        return next(inputs);
    }
    void setStatusText(app::ControlName control, std::string_view text) override {
        texts.emplace_back(std::string(control.str()), std::string(text));
        lastText[std::string(control.str())] = std::string(text);
    }
    void setProgress(app::ControlName control, int value) override {
        progressLog.emplace_back(std::string(control.str()), value);
        lastProgress[std::string(control.str())] = value;
    }
    void setEnabled(app::ControlName control, bool on) override {
        enabledLog.emplace_back(std::string(control.str()), on);
        enabled[std::string(control.str())] = on;
    }
    void setVisible(app::ControlName control, bool on) override {
        visible[std::string(control.str())] = on;
    }
    void showPage(app::ControlName page) override { pages.emplace_back(page.str()); }
    void resetPointer() override { ++pointerResets; }
    std::optional<app::SpywareAlertAnswer> showSpywareAlert(
        const app::SpywareAlertView& alert) override {
        spywareAlerts.push_back(alert);
        if (spywareAnswers.empty()) {
            return UserInterface::showSpywareAlert(alert);
        }
        auto answer = spywareAnswers.front();
        spywareAnswers.pop_front();
        return answer;
    }
    bool showHomePageAlert(std::string_view productName, std::string_view info) override {
        homePageAlerts.emplace_back(info);
        if (homePageAnswers.empty()) {
            return UserInterface::showHomePageAlert(productName, info);
        }
        const bool yes = homePageAnswers.front();
        homePageAnswers.pop_front();
        return yes;
    }
    void Pump() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
    }

    // Helpers for assertions.
    std::string text(std::string_view control) const {
        auto it = lastText.find(control);
        return it == lastText.end() ? std::string() : it->second;
    }
    /// Every text a control was given, in order.
    std::vector<std::string> textsOf(std::string_view control) const {
        std::vector<std::string> out;
        for (const auto& [name, value] : texts) {
            if (name == control) {
                out.push_back(value);
            }
        }
        return out;
    }
    std::optional<bool> isEnabled(std::string_view control) const {
        auto it = enabled.find(control);
        return it == enabled.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    std::optional<bool> isVisible(std::string_view control) const {
        auto it = visible.find(control);
        return it == visible.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    std::optional<int> progress(std::string_view control) const {
        auto it = lastProgress.find(control);
        return it == lastProgress.end() ? std::nullopt : std::optional<int>(it->second);
    }

  private:
    static app::MsgAnswer cautious(app::MsgButtons buttons) {
        switch (buttons) {
            case app::MsgButtons::Ok:
                return app::MsgAnswer::Ok;
            case app::MsgButtons::OkCancel:
                return app::MsgAnswer::Cancel;
            case app::MsgButtons::YesNo:
                return app::MsgAnswer::No;
            case app::MsgButtons::AbortRetryIgnore:
                return app::MsgAnswer::Ignore;
        }
        return app::MsgAnswer::Cancel;
    }
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        auto value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace nightjar::mock
