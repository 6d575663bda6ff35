// Arithmetic on page geometry that stays defined for every input. Parser
// values can be zero, negative, infinite or NaN (degenerate matrices, empty
// boxes, damaged files); these helpers keep such values out of integer
// conversions and out of the outputs.
#pragma once

#include <climits>
#include <cmath>

namespace safemath {

// |trunc(v)|: the absolute value of v truncated toward zero to an integer.
// NaN gives 0; values beyond the int range give INT_MAX.
inline int TruncAbs(double v)
{
    if (std::isnan(v))
        return 0;
    const double a = std::fabs(v);
    if (a >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(a);
}

// trunc(v) as an int, with NaN giving 0 and values beyond the int range
// clamped to it.
inline int Trunc(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

// num / den, or `fallback` when the denominator is zero or the quotient is
// not a finite number.
inline double Div(double num, double den, double fallback = 0.0)
{
    if (den == 0.0)
        return fallback;
    const double q = num / den;
    return std::isfinite(q) ? q : fallback;
}

// A sort key from a coordinate: NaN becomes -infinity, so that every key
// compares with every other and NaN values sort together at one end.
inline double Key(double v)
{
    return std::isnan(v) ? -HUGE_VAL : v;
}

} // namespace safemath
