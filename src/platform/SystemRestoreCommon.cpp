#include "platform/SystemRestore.h"

namespace nightjar::platform {

bool SystemRestoreVersionAllows(int platformId, int major, int minor) {
    constexpr int kWin9x = 1;
    constexpr int kWinNt = 2;
    if (platformId == kWin9x) {
        return minor == 90;
    }
    if (platformId == kWinNt) {
        return (major == 5 && minor == 1) || major > 5;
    }
    return false;
}

}  // namespace nightjar::platform
