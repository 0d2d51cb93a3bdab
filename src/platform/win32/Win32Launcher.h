#pragma once
#include "platform/Launcher.h"

namespace nightjar::platform::win32 {

/// Starts programs with CreateProcess and opens documents with ShellExecute "open".
/// When the environment variable NIGHTJAR_LAUNCHER_RECORD names a file, nothing is started:
/// each call appends one line to that file instead, "run " + the command line or
/// "open " + the path (as the POSIX launcher does), so that tests never open windows.
class Win32Launcher : public Launcher {
  public:
    bool run(std::string_view commandLine, WindowShow show) override;
    bool open(std::string_view path) override;
};

}  // namespace nightjar::platform::win32
