#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/Launcher.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// Starts programs the way a Linux desktop does: "explorer X" opens the folder with
/// xdg-open, "notepad X" opens the file in $VISUAL or $EDITOR (xdg-open when neither is
/// set), "regedit" has no counterpart and fails, any other command runs when its program is
/// a host executable. Paths are Windows paths, mapped through the machine root.
///
/// Record mode (for tests, demos and CI, so no window ever opens): every call appends one
/// line to the record file instead, "run <command line>" or "open <path>", and succeeds.
class PosixLauncher : public Launcher {
  public:
    /// `recordFile` empty: the real thing.
    PosixLauncher(MachineRoot machine, std::string recordFile = {});

    bool run(std::string_view commandLine, WindowShow show) override;
    bool open(std::string_view path) override;

    /// The environment variable naming the record file for createPlatform.
    static constexpr const char* kRecordVariable = "NIGHTJAR_LAUNCHER_RECORD";

    /// Splits a command line into the program and the rest, quotes removed from both.
    static std::pair<std::string, std::string> splitCommand(std::string_view commandLine);

  private:
    bool record(std::string_view line);
    /// Starts `argv` detached from this process; true when it was executed.
    static bool spawn(const std::vector<std::string>& argv);
    bool openWithDesktop(std::string_view target);

    MachineRoot machine_;
    std::string recordFile_;
};

}  // namespace nightjar::platform::posix
