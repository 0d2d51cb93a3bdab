#pragma once
#include <string>
#include <string_view>

namespace nightjar::platform {

enum class WindowShow { Normal, Minimized };

/// Starts other programs: explorer, notepad, regedit, a document with its editor.
class Launcher {
  public:
    virtual ~Launcher() = default;
    /// A command line such as "explorer C:\\x" or "notepad C:\\x\\ENoSignature.dat".
    virtual bool run(std::string_view commandLine, WindowShow show) = 0;
    /// ShellExecute "open" of a document or program.
    virtual bool open(std::string_view path) = 0;
};

}  // namespace nightjar::platform
