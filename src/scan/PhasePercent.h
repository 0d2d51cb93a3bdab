#pragma once
#include <cmath>

namespace nightjar::scan {

/// part / whole * 100 rounded to a whole number (halves to even); -1, which leaves a
/// progress bar unchanged, when `whole` is not positive.
inline int PhasePercent(double part, double whole) {
    if (!(whole > 0)) {
        return -1;
    }
    double v = std::nearbyint(part / whole * 100.0);
    if (v > 2147483647.0 || v < -2147483647.0) {
        return -1;
    }
    return static_cast<int>(v);
}

}  // namespace nightjar::scan
