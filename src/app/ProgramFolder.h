#pragma once
#include <string>

namespace nightjar::platform {
struct Platform;
}

namespace nightjar::app {

/// The folder of the running executable in Windows form, without a trailing backslash:
/// where Help.chm and Localization.txt are looked for.
std::string ExecutableFolder(platform::Platform& platform);

}  // namespace nightjar::app
