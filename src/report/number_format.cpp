#include "report/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void right_align(const char* text, std::size_t size, char out[12]) {
    std::memset(out, ' ', 12 - size);
    std::memcpy(out + 12 - size, text, size);
}

} // namespace

void format_number_into(double value, char out[12]) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    if (biased == 0x7ff) {
        const char* text = "1.#IO";
        if (fraction != 0) {
            // The NaN of an invalid operation is spelled like negative infinity.
            const bool invalid_default = negative && fraction == (std::uint64_t{1} << 51);
            text = invalid_default ? "-1.#IO" : (negative ? "-1.#QO" : "1.#QO");
        } else if (negative) {
            text = "-1.#IO";
        }
        right_align(text, std::strlen(text), out);
        return;
    }
    if (biased == 0 && fraction == 0) {
        right_align("0", 1, out);
        return;
    }

    // 17 significant digits, correctly rounded with ties to even, then half
    // up to 4 digits. The report rounds half up at 17 digits as well, and
    // this gives the same 4 digits:
    // - Half up and ties to even differ only on an exact tie at the 18th
    //   digit, and there only when the 17th digit is even: ties to even
    //   keeps it, half up adds one to it.
    // - An even digit plus one never carries, so digits 1 to 16 and the
    //   exponent are the same either way.
    // - Rounding to 4 digits reads only digits 1 to 5.
    // The first rounding cannot be skipped: 1.0065 is exactly
    // 1.00649999999999995..., its 17 digits are 1.0065000000000000, which
    // give 1.007, where rounding the exact value to 4 digits once gives 1.006.
    char scientific[32];
    const char* end = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                    std::chars_format::scientific, 16)
                          .ptr;
    // d.dddddddddddddddde-dd: the digits are at 0 and 2 to 17, the exponent's
    // sign at 19, and two or three exponent digits follow it.
    int decimal = 0;
    for (const char* p = scientific + 20; p < end; ++p)
        decimal = decimal * 10 + (*p - '0');
    if (scientific[19] == '-')
        decimal = -decimal;

    char digit[4] = {scientific[0], scientific[2], scientific[3], scientific[4]};
    if (scientific[5] >= '5') {
        int i = 3;
        while (i >= 0 && digit[i] == '9')
            digit[i--] = '0';
        if (i >= 0) {
            ++digit[i];
        } else {
            // 9999 went up to 1000 with the exponent one higher.
            digit[0] = '1';
            ++decimal;
        }
    }
    char text[16];
    std::size_t size = 0;
    if (negative)
        text[size++] = '-';
    if (decimal >= -4 && decimal < 4) {
        // Fixed form with 3 - decimal places before trailing zeros go.
        int last = 3;
        while (last > 0 && digit[last] == '0')
            --last;
        if (decimal < 0) {
            text[size++] = '0';
            text[size++] = '.';
            for (int i = -1; i > decimal; --i)
                text[size++] = '0';
            for (int i = 0; i <= last; ++i)
                text[size++] = digit[i];
        } else {
            for (int i = 0; i <= decimal; ++i)
                text[size++] = digit[i];
            if (last > decimal) {
                text[size++] = '.';
                for (int i = decimal + 1; i <= last; ++i)
                    text[size++] = digit[i];
            }
        }
    } else {
        int last = 3;
        while (last > 0 && digit[last] == '0')
            --last;
        text[size++] = digit[0];
        if (last > 0) {
            text[size++] = '.';
            for (int i = 1; i <= last; ++i)
                text[size++] = digit[i];
        }
        text[size++] = 'e';
        text[size++] = decimal < 0 ? '-' : '+';
        int magnitude = decimal < 0 ? -decimal : decimal;
        text[size++] = static_cast<char>('0' + magnitude / 100);
        text[size++] = static_cast<char>('0' + magnitude / 10 % 10);
        text[size++] = static_cast<char>('0' + magnitude % 10);
    }
    right_align(text, size, out);
}

std::string format_number(double value) {
    char out[12];
    format_number_into(value, out);
    return std::string(out, 12);
}
