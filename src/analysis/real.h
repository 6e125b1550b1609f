#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// A double whose not-a-number results follow one rule on every processor:
// an invalid operation gives the negative quiet NaN, negation flips a NaN's
// sign, one NaN operand is passed on, and of two NaNs the one with the larger
// significand wins (the positive one on a tie). Hardware differs on the last
// two, and the report spells NaNs by sign, so the analysis computes with this.
// The records of the analysis hold reals, so a bare double operation on them
// does not compile; raw() is for the edges only: the number reader and the
// report's number format.
class real {
  public:
    constexpr real() = default;
    constexpr explicit real(double value) : value_(value) {}
    constexpr double raw() const { return value_; }

  private:
    double value_ = 0;
};

// The NaN that an operation on a and b gives when its raw result is a NaN.
real nan_result(real a, real b);

inline real checked(double result, real a, real b) {
    return std::isnan(result) ? nan_result(a, b) : real{result};
}

inline real operator+(real a, real b) {
    return checked(a.raw() + b.raw(), a, b);
}
inline real operator-(real a, real b) {
    return checked(a.raw() - b.raw(), a, b);
}
inline real operator*(real a, real b) {
    return checked(a.raw() * b.raw(), a, b);
}
inline real operator/(real a, real b) {
    return checked(a.raw() / b.raw(), a, b);
}
inline real operator-(real a) {
    return real{
        std::bit_cast<double>(std::bit_cast<std::uint64_t>(a.raw()) ^ (std::uint64_t{1} << 63))};
}
inline real abs(real a) {
    return real{std::fabs(a.raw())};
}
inline real sqrt(real a) {
    return checked(std::sqrt(a.raw()), a, a);
}
// The power function with exponent 2, as a multiplication: the correctly
// rounded square whatever the platform's pow does.
inline real pow2(real a) {
    return a * a;
}

inline bool is_nan(real a) {
    return std::isnan(a.raw());
}
inline bool is_finite(real a) {
    return std::isfinite(a.raw());
}
// Finite, not zero and not subnormal.
inline bool is_normal(real a) {
    return std::isnormal(a.raw());
}

// Comparisons are false whenever an operand is a NaN.
inline bool operator>=(real a, real b) {
    return a.raw() >= b.raw();
}
inline bool operator>(real a, real b) {
    return a.raw() > b.raw();
}
inline bool operator<(real a, real b) {
    return a.raw() < b.raw();
}
