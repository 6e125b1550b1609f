#include "exact_rounding.h"
#include "report/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

double from_bits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

struct format_case {
    double value;
    const char* printed;
};

TEST(NumberFormat, MatchesTheReportField) {
    const format_case cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {26.244056, "26.24"},
        {4.1768713, "4.177"},
        {-0.37750, "-0.3775"},
        {-0.49, "-0.49"},
        {12345, "1.235e+004"},
        {12346, "1.235e+004"},
        {6238.5, "6239"},
        {-53.625, "-53.63"},
        {999.95, "1000"},
        {0.000012344, "1.234e-005"},
        {1e-20, "1e-020"},
        {1, "1"},
        {1.0065, "1.007"},
        {1234.5, "1235"},
        {9999.5, "1e+004"},
        {0.000099996, "0.0001"},
        {0.00001, "1e-005"},
        {std::numeric_limits<double>::denorm_min(), "4.941e-324"},
        {std::numeric_limits<double>::max(), "1.798e+308"},
        {-std::numeric_limits<double>::min(), "-2.225e-308"},
        {1e100, "1e+100"},
        {0.0001, "0.0001"},
        {1000, "1000"},
        {0.5, "0.5"},
        {-1.5e-300, "-1.5e-300"},
        // A carry out of 9999 into a two- or three-digit exponent.
        {9.99951e99, "1e+100"},
        {-9.99951e-101, "-1e-100"},
        {9.99951e-11, "1e-010"},
        {9999.51e-9, "1e-005"},
        {std::numeric_limits<double>::infinity(), "1.#IO"},
        {-std::numeric_limits<double>::infinity(), "-1.#IO"},
        {from_bits(0xfff8000000000000u), "-1.#IO"}, // the NaN of 0/0
        {from_bits(0x7ff8000000000000u), "1.#QO"},
        {from_bits(0xfff8000000000001u), "-1.#QO"},
        {from_bits(0x7ff0000000000001u), "1.#QO"},
        {from_bits(0xfff4000000000000u), "-1.#QO"},
    };
    for (const auto& c : cases) {
        std::string expected(12 - std::string(c.printed).size(), ' ');
        expected += c.printed;
        EXPECT_EQ(format_number(c.value), expected) << "value " << c.value;
    }
}

// The four rounded digits and exponent as a number the C library reads.
std::string reference_rounding(double value) {
    rounded_digits r = round_exact_expansion(value);
    return std::to_string(r.four) + "e" + std::to_string(r.exponent - 3);
}

TEST(NumberFormat, RoundsLikeTheExactExpansionOverTheWholeRange) {
    std::mt19937_64 random(42);
    std::uniform_int_distribution<int> tie(1000, 9999);
    std::uniform_int_distribution<int> power(-40, 40);
    for (int n = 0; n < 40000; ++n) {
        // Any bit pattern, or a decimal whose fifth digit is a 5: a tie at
        // four digits that the binary value lands just above or below.
        double value = n % 2 == 0 ? std::bit_cast<double>(random())
                                  : (tie(random) * 10 + 5) * std::pow(10.0, power(random));
        if (!std::isfinite(value) || value == 0)
            continue;
        std::string printed = format_number(value);
        ASSERT_EQ(std::strtod(printed.c_str(), nullptr),
                  std::copysign(std::strtod(reference_rounding(value).c_str(), nullptr), value))
            << printed << " for " << reference_rounding(value);
    }
}

} // namespace
