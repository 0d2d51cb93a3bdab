#include "platform/posix/SystemClock.h"

#include <ctime>

namespace nightjar::platform::posix {

std::chrono::sys_seconds SystemClock::now() {
    const std::time_t utc = std::time(nullptr);
    std::tm local{};
    localtime_r(&utc, &local);
    // The local wall-clock reading, carried in a sys_seconds as the rest of the program
    // expects: UTC shifted by the zone's current offset.
    return std::chrono::sys_seconds(std::chrono::seconds(utc + local.tm_gmtoff));
}

}  // namespace nightjar::platform::posix
