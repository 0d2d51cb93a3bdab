#include "app/GeneralDate.h"

#include <cstdio>

namespace nightjar::app {

std::string FormatGeneralDate(std::chrono::sys_seconds localTime) {
    using namespace std::chrono;
    const auto day = floor<days>(localTime);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> tod{localTime - day};
    const auto hour24 = static_cast<long>(tod.hours().count());
    long hour12 = hour24 % 12;
    if (hour12 == 0) {
        hour12 = 12;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%u/%u/%d %ld:%02ld:%02ld %s",
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(ymd.year()), hour12, static_cast<long>(tod.minutes().count()),
                  static_cast<long>(tod.seconds().count()), hour24 < 12 ? "AM" : "PM");
    return buffer;
}

}  // namespace nightjar::app
