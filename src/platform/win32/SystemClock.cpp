#include "platform/win32/SystemClock.h"

#include <windows.h>

namespace nightjar::platform::win32 {

std::chrono::sys_seconds SystemClock::now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    namespace c = std::chrono;
    c::sys_days date = c::year{static_cast<int>(t.wYear)} / c::month{t.wMonth} / c::day{t.wDay};
    return date + c::hours{static_cast<long>(t.wHour)} + c::minutes{static_cast<long>(t.wMinute)} +
           c::seconds{static_cast<long long>(t.wSecond)};
}

}  // namespace nightjar::platform::win32
