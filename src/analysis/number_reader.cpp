#include "analysis/number_reader.h"

#include <charconv>
#include <limits>

namespace {

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

// What one scan took, with what the conversion needs to know about it.
struct scanned_number {
    char text[number_text_limit];
    int size = 0;
    bool negative = false;
    int digits_begin = 0; // after the sign
    int convert_end = 0;  // without a dangling e or e-sign
    // Decimal exponent of the leading nonzero digit before the exponent part
    // adds to it: one less than the digits from it to the point, or minus
    // one less the zeros between the point and it.
    int leading_place = -1;
    // Saturated near 10^9, far beyond any leading place: only its sign and
    // size matter.
    int exponent = 0;
};

// The correctly rounded value of the scanned text, independent of the locale.
double convert_number_text(const scanned_number& scan) {
    double magnitude = 0;
    auto result =
        std::from_chars(scan.text + scan.digits_begin, scan.text + scan.convert_end, magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        // An overflow when the leading digit stands at 10^0 or above, else an
        // underflow.
        magnitude =
            scan.leading_place + scan.exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return scan.negative ? -magnitude : magnitude;
}

} // namespace

read_outcome read_number(input_stream& in, double& value) {
    number_cut ignored = number_cut::none;
    return read_number(in, value, ignored);
}

read_outcome read_number(input_stream& in, double& value, number_cut& cut) {
    cut = number_cut::none;
    skip_blank_space(in);
    int c = peek_byte(in);
    if (c == end_of_input)
        return read_outcome::ended;

    scanned_number scan;
    bool digit_seen = false;
    bool point_seen = false;
    bool nonzero_seen = false;
    // Scan forward without ever backing up, at most the limit.
    auto take = [&](int ch) {
        scan.text[scan.size++] = static_cast<char>(ch);
        take_byte(in);
        c = scan.size < number_text_limit ? peek_byte(in) : end_of_input;
    };
    if (c == '+' || c == '-') {
        scan.negative = c == '-';
        take(c);
    }
    scan.digits_begin = scan.size;
    while (scan.size < number_text_limit && (is_digit(c) || (c == '.' && !point_seen))) {
        if (c == '.') {
            point_seen = true;
        } else {
            digit_seen = true;
            nonzero_seen = nonzero_seen || c != '0';
            // Digits from the leading nonzero one to the point count up; zeros
            // between the point and it count down.
            if (nonzero_seen && !point_seen)
                ++scan.leading_place;
            else if (!nonzero_seen && point_seen)
                --scan.leading_place;
        }
        take(c);
    }
    scan.convert_end = scan.size;
    if (digit_seen && scan.size < number_text_limit && (c == 'e' || c == 'E')) {
        take(c);
        bool exponent_negative = false;
        if (scan.size < number_text_limit && (c == '+' || c == '-')) {
            exponent_negative = c == '-';
            take(c);
        }
        while (scan.size < number_text_limit && is_digit(c)) {
            if (scan.exponent < 100'000'000)
                scan.exponent = scan.exponent * 10 + (c - '0');
            take(c);
            scan.convert_end = scan.size;
        }
        if (exponent_negative)
            scan.exponent = -scan.exponent;
    }
    if (!digit_seen)
        return read_outcome::not_a_number;
    value = convert_number_text(scan);
    // At the limit the scan did not look at the next byte.
    const bool at_limit = scan.size == number_text_limit;
    if (at_limit)
        c = peek_byte(in);
    if (c != end_of_input && !is_blank_space(c))
        cut = at_limit ? number_cut::at_limit : number_cut::by_character;
    return read_outcome::read;
}
