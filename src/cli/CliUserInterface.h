#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/UserInterface.h"

namespace nightjar::cli {

/// The user interface of a scan run from the command line. Message boxes go to stderr and
/// are answered without consent to anything (OK, Cancel, No, Ignore); the file and folder
/// dialogs return the path given on the command line; a progress line is drawn on stderr
/// when asked for; Ctrl+C becomes a stop request at the next yield.
class CliUserInterface : public app::UserInterface {
  public:
    /// `path`: what the open-file and folder dialogs return (nullopt: they are cancelled).
    /// `progress`: draw the status line and percentage on stderr.
    CliUserInterface(std::optional<std::string> path, bool progress);
    ~CliUserInterface() override;
    CliUserInterface(const CliUserInterface&) = delete;
    CliUserInterface& operator=(const CliUserInterface&) = delete;

    /// Called at every yield after Ctrl+C was pressed (the stop request of the run).
    void setStopHandler(std::function<void()> handler) { stop_ = std::move(handler); }

    /// Catches SIGINT from now until destruction or `releaseInterrupt`; a second Ctrl+C
    /// ends the program the usual way.
    void catchInterrupt();
    void releaseInterrupt();

    /// Removes the progress line from the terminal.
    void clearProgress();

    app::MsgAnswer messageBox(std::string_view text, std::string_view title,
                              app::MsgButtons buttons, app::MsgIcon icon) override;
    std::optional<std::string> chooseFile() override { return path_; }
    std::optional<std::string> chooseFolder() override { return path_; }
    void setStatusText(app::ControlName control, std::string_view text) override;
    void setProgress(app::ControlName control, int value) override;
    void setEnabled(app::ControlName, bool) override {}
    void Pump() override;

  private:
    void draw(bool force);

    std::optional<std::string> path_;
    bool progress_;
    bool caught_ = false;
    std::function<void()> stop_;
    std::string status_;
    int percent_ = 0;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

/// True when the program's stderr is a terminal.
bool StderrIsTerminal();

}  // namespace nightjar::cli
