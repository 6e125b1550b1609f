#include "analysis/real.h"

namespace {

constexpr std::uint64_t sign_bit = std::uint64_t{1} << 63;
constexpr std::uint64_t significand_bits = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t default_nan_bits = 0xfff8000000000000u;

std::uint64_t bits_of(real a) {
    return std::bit_cast<std::uint64_t>(a.raw());
}

} // namespace

real nan_result(real a, real b) {
    bool nan_a = std::isnan(a.raw());
    bool nan_b = std::isnan(b.raw());
    if (nan_a && nan_b) {
        std::uint64_t sa = bits_of(a) & significand_bits;
        std::uint64_t sb = bits_of(b) & significand_bits;
        if (sa != sb)
            return sa > sb ? a : b;
        return (bits_of(a) & sign_bit) == 0 ? a : b;
    }
    if (nan_a)
        return a;
    if (nan_b)
        return b;
    return real{std::bit_cast<double>(default_nan_bits)};
}
