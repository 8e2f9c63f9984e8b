#pragma once
// Rounding that does not depend on the floating-point environment's rounding mode.

#include <cmath>

// Nearest integer with ties to even. Returns an integral double (NaN and infinities come
// back unchanged) so that callers can range-check it before converting to an integer.
inline double nearestTiesToEven(double v)
{
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        return lower + 1.0;
    if (diff <= 0.5)
        return lower;
    return v;  // NaN
}
