#include "platform/Console.h"

#include <cstdio>

namespace nightjar::platform {

void PrepareConsoleForUtf8() {}

bool ConsoleClosesOnExit() {
    // A terminal outlives the programs started in it.
    return false;
}

void WaitForKeyPress() {
    std::getchar();
}

}  // namespace nightjar::platform
