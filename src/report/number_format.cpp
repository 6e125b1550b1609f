#include "report/number_format.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Unsigned integer of up to 40 little-endian 32-bit limbs: enough for
// 2^1024 and for the 53-bit significand times 5^341.
struct big_number {
    std::array<std::uint32_t, 40> limb{};
    int size = 0;
};

void multiply_small(big_number& n, std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (int i = 0; i < n.size; ++i) {
        std::uint64_t product = std::uint64_t{n.limb[i]} * factor + carry;
        n.limb[i] = static_cast<std::uint32_t>(product);
        carry = product >> 32;
    }
    if (carry != 0)
        n.limb[n.size++] = static_cast<std::uint32_t>(carry);
}

void divide_small(big_number& n, std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = n.size - 1; i >= 0; --i) {
        std::uint64_t part = (remainder << 32) | n.limb[i];
        n.limb[i] = static_cast<std::uint32_t>(part / divisor);
        remainder = part % divisor;
    }
    while (n.size > 0 && n.limb[n.size - 1] == 0)
        --n.size;
}

void shift_left(big_number& n, int bits) {
    int words = bits / 32;
    int rest = bits % 32;
    if (words > 0) {
        for (int i = n.size - 1; i >= 0; --i)
            n.limb[i + words] = n.limb[i];
        for (int i = 0; i < words; ++i)
            n.limb[i] = 0;
        n.size += words;
    }
    if (rest > 0) {
        std::uint32_t carry = 0;
        for (int i = 0; i < n.size; ++i) {
            std::uint32_t next = n.limb[i] >> (32 - rest);
            n.limb[i] = (n.limb[i] << rest) | carry;
            carry = next;
        }
        if (carry != 0)
            n.limb[n.size++] = carry;
    }
}

void shift_right(big_number& n, int bits) {
    int words = bits / 32;
    int rest = bits % 32;
    if (words >= n.size) {
        n.size = 0;
        return;
    }
    for (int i = 0; i + words < n.size; ++i)
        n.limb[i] = n.limb[i + words];
    n.size -= words;
    if (rest > 0) {
        for (int i = 0; i < n.size; ++i) {
            std::uint32_t high = i + 1 < n.size ? n.limb[i + 1] << (32 - rest) : 0;
            n.limb[i] = (n.limb[i] >> rest) | high;
        }
    }
    while (n.size > 0 && n.limb[n.size - 1] == 0)
        --n.size;
}

std::uint64_t low_64(const big_number& n) {
    std::uint64_t low = n.size > 0 ? n.limb[0] : 0;
    if (n.size > 1)
        low |= std::uint64_t{n.limb[1]} << 32;
    return low;
}

constexpr std::uint32_t power_of_five(int k) {
    std::uint32_t p = 1;
    for (int i = 0; i < k; ++i)
        p *= 5;
    return p;
}

constexpr std::uint64_t power_of_ten(int k) {
    std::uint64_t p = 1;
    for (int i = 0; i < k; ++i)
        p *= 10;
    return p;
}

// floor(significand * 2^exponent2 * 10^scale) exactly, for a result below 2^64.
std::uint64_t scaled_floor(std::uint64_t significand, int exponent2, int scale) {
    big_number n;
    n.limb[0] = static_cast<std::uint32_t>(significand);
    n.limb[1] = static_cast<std::uint32_t>(significand >> 32);
    n.size = n.limb[1] != 0 ? 2 : 1;
    // 10^scale = 5^scale * 2^scale: fold the 2s into the binary exponent.
    int twos = exponent2;
    if (scale >= 0) {
        int left = scale;
        for (; left >= 13; left -= 13)
            multiply_small(n, 1220703125u); // 5^13
        if (left > 0)
            multiply_small(n, power_of_five(left));
        twos += scale;
        if (twos >= 0)
            shift_left(n, twos);
        else
            shift_right(n, -twos);
    } else {
        if (twos >= 0)
            shift_left(n, twos);
        else
            shift_right(n, -twos);
        int left = -scale;
        for (; left >= 9; left -= 9)
            divide_small(n, 1000000000u);
        if (left > 0)
            divide_small(n, static_cast<std::uint32_t>(power_of_ten(left)));
    }
    return low_64(n);
}

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

    std::uint64_t significand = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    int exponent2 = (biased == 0 ? 1 : biased) - 1075;
    // floor(log10(value)) is decimal or decimal + 1, so 18 or 19 leading
    // digits come out, truncated.
    int top_bit = exponent2 + 63 - std::countl_zero(significand);
    int decimal = static_cast<int>(std::floor(top_bit * 0.30102999566398120));
    std::uint64_t digits = scaled_floor(significand, exponent2, 17 - decimal);
    if (digits >= power_of_ten(18)) {
        digits /= 10;
        ++decimal;
    }
    // Half up to 17 digits, then half up to 4.
    std::uint64_t d17 = digits / 10 + (digits % 10 >= 5 ? 1 : 0);
    if (d17 == power_of_ten(17)) {
        d17 = power_of_ten(16);
        ++decimal;
    }
    std::uint64_t d4 = d17 / power_of_ten(13) + ((d17 / power_of_ten(12)) % 10 >= 5 ? 1 : 0);
    if (d4 == 10000) {
        d4 = 1000;
        ++decimal;
    }

    char digit[4];
    for (int i = 3; i >= 0; --i) {
        digit[i] = static_cast<char>('0' + d4 % 10);
        d4 /= 10;
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
