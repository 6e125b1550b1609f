#pragma once

// A reference for the report's number rounding, independent of the tool's own
// digit generation: the C library prints the exact decimal expansion, which is
// then rounded half up to 17 digits and half up again to 4.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct rounded_digits {
    std::uint64_t four; // 1000 to 9999
    int exponent;       // the value is about four times 10^(exponent - 3)
};

// For a finite nonzero value.
inline rounded_digits round_exact_expansion(double value) {
    // 771 significant digits hold any double exactly, so nothing is rounded.
    char exact[1024];
    std::snprintf(exact, sizeof exact, "%.770e", std::fabs(value));
    int exponent = std::atoi(std::strchr(exact, 'e') + 1);
    // Digit i of the expansion, skipping the point after the first.
    auto digit = [&](int i) { return static_cast<std::uint64_t>(exact[i == 0 ? 0 : i + 1] - '0'); };

    std::uint64_t d17 = 0;
    for (int i = 0; i < 17; ++i)
        d17 = d17 * 10 + digit(i);
    if (digit(17) >= 5)
        ++d17;
    if (d17 == 100'000'000'000'000'000ULL) {
        d17 /= 10;
        ++exponent;
    }
    std::uint64_t d4 = d17 / 10'000'000'000'000ULL;
    if (d17 / 1'000'000'000'000ULL % 10 >= 5)
        ++d4;
    if (d4 == 10000) {
        d4 = 1000;
        ++exponent;
    }
    return {d4, exponent};
}
