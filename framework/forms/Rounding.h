// Rounding to the nearest integer with halves going to the even neighbour,
// the rule of every computed position, percentage and time in the program.
#pragma once

#include <cmath>

namespace forms {

inline long long Round(double value) {
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    long long result = static_cast<long long>(floorValue);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2 != 0))) ++result;
    return result;
}

}  // namespace forms
