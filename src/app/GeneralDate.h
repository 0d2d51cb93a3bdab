#pragma once
#include <chrono>
#include <string>

namespace nightjar::app {

/// A local date and time in the system's general date form used for every stored stamp:
/// month/day/year without leading zeros, 12-hour time with seconds and AM/PM
/// ("12/8/2026 2:05:07 PM", midnight as "12:00:00 AM").
std::string FormatGeneralDate(std::chrono::sys_seconds localTime);

}  // namespace nightjar::app
