// Formats the fuzz bytes as a double and checks the 12-character field against
// a reference built from glibc's exact decimal expansion, and that the text
// reads back within half a unit of the fourth significant digit.
#include "exact_rounding.h"
#include "fuzz_support.h"
#include "report/number_format.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string padded(const std::string& text) {
    return std::string(12 - text.size(), ' ') + text;
}

// The field as the report defines it: 17 digits rounded half up from the exact
// value, then 4 digits half up, fixed form for exponents -4 to 3.
std::string reference_field(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    if (std::isinf(value))
        return padded(negative ? "-1.#IO" : "1.#IO");
    if (std::isnan(value)) {
        if (bits == 0xfff8'0000'0000'0000ULL)
            return padded("-1.#IO");
        return padded(negative ? "-1.#QO" : "1.#QO");
    }
    if (value == 0)
        return padded("0");

    const auto [d4, exponent] = round_exact_expansion(value);
    const std::string four = std::to_string(d4);

    std::string whole;
    std::string fraction;
    std::string suffix;
    if (exponent >= -4 && exponent < 4) {
        if (exponent >= 0) {
            whole = four.substr(0, static_cast<std::size_t>(exponent) + 1);
            fraction = four.substr(static_cast<std::size_t>(exponent) + 1);
        } else {
            whole = "0";
            fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + four;
        }
    } else {
        whole = four.substr(0, 1);
        fraction = four.substr(1);
        char e[8];
        std::snprintf(e, sizeof e, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        suffix = e;
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string text = negative ? "-" : "";
    text += whole;
    if (!fraction.empty())
        text += "." + fraction;
    return padded(text + suffix);
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double))
        return 0;
    double value;
    std::memcpy(&value, data, sizeof value);

    const std::string field = format_number(value);
    check(field.size() == 12);
    char into[12];
    format_number_into(value, into);
    check(std::memcmp(into, field.data(), 12) == 0);
    check(field == reference_field(value));

    // Right-aligned: blanks, then at most 11 characters without a blank.
    const std::size_t first = field.find_first_not_of(' ');
    check(first != std::string::npos && first >= 1);
    const std::string text = field.substr(first);
    check(text.find(' ') == std::string::npos);
    if (!std::isfinite(value))
        return 0;

    // Exponent form is e, a sign and exactly three digits.
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        check(text.size() == e + 5);
        check(text[e + 1] == '+' || text[e + 1] == '-');
        check(digit(text[e + 2]) && digit(text[e + 3]) && digit(text[e + 4]));
    }

    // Reads back within half a unit of the fourth digit, plus the slack of
    // rounding twice; long double keeps subnormal values exact enough.
    char* end = nullptr;
    const long double back = std::strtold(text.c_str(), &end);
    check(*end == '\0');
    const long double magnitude = std::fabs(static_cast<long double>(value));
    if (magnitude == 0) {
        check(back == 0);
        return 0;
    }
    int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    if (std::pow(10.0L, exponent) > magnitude)
        --exponent;
    else if (std::pow(10.0L, exponent + 1) <= magnitude)
        ++exponent;
    const long double unit = std::pow(10.0L, exponent - 3);
    check(std::fabs(back - static_cast<long double>(value)) <= 0.5L * unit + 1e-12L * magnitude);
    return 0;
}
