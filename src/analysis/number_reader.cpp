#include "analysis/number_reader.h"

#include <charconv>
#include <limits>
#include <string>

namespace {

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

// Decimal exponent of the leading nonzero digit, saturated; only its sign is
// used, to tell an overflow from an underflow.
long long leading_exponent(std::string_view mantissa, long long exponent) {
    long long point = static_cast<long long>(mantissa.find('.'));
    if (point < 0)
        point = static_cast<long long>(mantissa.size());
    for (long long i = 0; i < static_cast<long long>(mantissa.size()); ++i) {
        char c = mantissa[static_cast<std::size_t>(i)];
        if (c >= '1' && c <= '9')
            return exponent + (i < point ? point - i - 1 : point - i);
    }
    return 0;
}

} // namespace

double convert_number_text(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // A dangling e or E, with or without its sign, adds nothing.
    std::size_t e = text.find_first_of("eE");
    if (e != std::string_view::npos &&
        text.find_first_of("0123456789", e) == std::string_view::npos)
        text = text.substr(0, e);

    double magnitude = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        std::string_view mantissa = text.substr(0, text.find_first_of("eE"));
        long long exponent = 0;
        if (mantissa.size() < text.size()) {
            std::string_view digits = text.substr(mantissa.size() + 1);
            bool exponent_negative = !digits.empty() && digits.front() == '-';
            if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
                digits.remove_prefix(1);
            for (char c : digits)
                if (exponent < 1000000000)
                    exponent = exponent * 10 + (c - '0');
            if (exponent_negative)
                exponent = -exponent;
        }
        magnitude = leading_exponent(mantissa, exponent) >= 0
                        ? std::numeric_limits<double>::infinity()
                        : 0.0;
    }
    return negative ? -magnitude : magnitude;
}

read_outcome read_number(input_stream& in, double& value) {
    skip_blank_space(in);
    int c = peek_byte(in);
    if (c == end_of_input)
        return read_outcome::ended;

    char text[number_text_limit];
    int size = 0;
    bool digit_seen = false;
    bool point_seen = false;
    // Scan forward without ever backing up, at most the limit.
    auto take = [&](int ch) {
        text[size++] = static_cast<char>(ch);
        take_byte(in);
        c = size < number_text_limit ? peek_byte(in) : end_of_input;
    };
    if (c == '+' || c == '-')
        take(c);
    while (size < number_text_limit && (is_digit(c) || (c == '.' && !point_seen))) {
        digit_seen = digit_seen || is_digit(c);
        point_seen = point_seen || c == '.';
        take(c);
    }
    if (digit_seen && size < number_text_limit && (c == 'e' || c == 'E')) {
        take(c);
        if (size < number_text_limit && (c == '+' || c == '-'))
            take(c);
        while (size < number_text_limit && is_digit(c))
            take(c);
    }
    if (!digit_seen)
        return read_outcome::not_a_number;
    value = convert_number_text(std::string_view(text, static_cast<std::size_t>(size)));
    return read_outcome::read;
}
