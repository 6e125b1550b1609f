#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// A double whose not-a-number results follow one rule on every processor:
// an invalid operation gives the negative quiet NaN, negation flips a NaN's
// sign, one NaN operand is passed on, and of two NaNs the one with the larger
// significand wins (the positive one on a tie). Hardware differs on the last
// two, and the report spells NaNs by sign, so the analysis computes with this.
struct real {
    double v = 0;
};

// The NaN that an operation on a and b gives when its raw result is a NaN.
real nan_result(real a, real b);

inline real checked(double raw, real a, real b) {
    return std::isnan(raw) ? nan_result(a, b) : real{raw};
}

inline real operator+(real a, real b) {
    return checked(a.v + b.v, a, b);
}
inline real operator-(real a, real b) {
    return checked(a.v - b.v, a, b);
}
inline real operator*(real a, real b) {
    return checked(a.v * b.v, a, b);
}
inline real operator/(real a, real b) {
    return checked(a.v / b.v, a, b);
}
inline real operator-(real a) {
    return real{
        std::bit_cast<double>(std::bit_cast<std::uint64_t>(a.v) ^ (std::uint64_t{1} << 63))};
}
inline real abs(real a) {
    return real{std::fabs(a.v)};
}
inline real sqrt(real a) {
    return checked(std::sqrt(a.v), a, a);
}
// The power function with exponent 2, as a multiplication: the correctly
// rounded square whatever the platform's pow does.
inline real pow2(real a) {
    return a * a;
}

// Comparisons are false whenever an operand is a NaN.
inline bool operator>=(real a, real b) {
    return a.v >= b.v;
}
inline bool operator>(real a, real b) {
    return a.v > b.v;
}
inline bool operator<(real a, real b) {
    return a.v < b.v;
}
