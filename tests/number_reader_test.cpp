#include "analysis/number_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double unchanged = -777; // what a failed read must leave in place

struct read_case {
    std::string input;
    std::vector<std::optional<double>> reads; // nullopt: the read fails
    std::string left;                         // what the reads leave in the input
};

std::string remaining(input_stream& in) {
    return std::string(in.buffer.data() + in.position, in.length - in.position);
}

void load(input_stream& in, const std::string& text) {
    ASSERT_LE(text.size(), in.buffer.size());
    open_text_input(in, text);
}

TEST(NumberReader, ReadsTokensAndLeavesTheRest) {
    const std::string long_fraction = "0." + std::string(398, '1');
    const double inf = std::numeric_limits<double>::infinity();
    const read_case cases[] = {
        {"5e 3", {5, 3, std::nullopt}, ""},
        {"5E+\n3", {5, 3}, ""},
        {"-\n7", {std::nullopt, 7}, ""},
        {".\n7", {std::nullopt, 7}, ""},
        {"1.2.3", {1.2, 0.3}, ""},
        {"1,5", {1, std::nullopt, std::nullopt}, ",5"},
        {"x 7", {std::nullopt, std::nullopt}, "x 7"},
        {"-x", {std::nullopt, std::nullopt}, "x"},
        {"e5", {std::nullopt}, "e5"},
        {".e5", {std::nullopt, std::nullopt}, "e5"},
        {"1e5e5", {1e5, std::nullopt}, "e5"},
        {"5e+x", {5, std::nullopt}, "x"},
        {" \t\r\n\v\f+.5e-1", {0.05}, ""},
        {"12", {12, std::nullopt}, ""},
        {"-0", {-0.0}, ""},
        {"1e400 -1e400", {inf, -inf}, ""},
        {"1e-400 -1e-400", {0.0, -0.0}, ""},
        {"1e99999999999999999999 1e-99999999999999999999", {inf, 0.0}, ""},
        // Out of range: the leading digit's place decides between infinity
        // and zero, however long the digits or the exponent.
        {"1e-400 1e400 -1e-400", {0.0, inf, -0.0}, ""},
        {"0." + std::string(340, '0') + "1", {0.0}, ""},
        {"-0." + std::string(345, '0') + "1", {-0.0}, ""},
        {std::string(340, '0') + "1e-400", {0.0}, ""},
        {std::string(340, '9'), {inf}, ""},
        {"0.0001e1000000000 1e-1000000000", {inf, 0.0}, ""},
        {"0.0001e9999999999 1" + std::string(300, '0') + "e-9999999999", {inf, 0.0}, ""},
        {"0e99999999999 -0e-99999999999", {0.0, -0.0}, ""},
        // Cut at the limit inside the exponent: what was taken counts.
        {"1" + std::string(346, '0') + "e-400", {inf, 400}, ""},
        {"1" + std::string(345, '0') + "e-400", {inf, 0.0}, ""},
        {"1" + std::string(399, '0'), {inf, 0.0}, ""},
        {"4.9406564584124654e-324", {std::numeric_limits<double>::denorm_min()}, ""},
        {"2.4703282292062328e-324", {std::numeric_limits<double>::denorm_min()}, ""},
        {"9007199254740993", {9007199254740992.0}, ""},
        {"1.00000000000000011102230246251565404236316680908203125", {1.0}, ""},
        {"1.00000000000000011102230246251565404236316680908203126", {std::nextafter(1.0, 2.0)}, ""},
        // 349 characters at most: the rest is the next number.
        {long_fraction, {0.1111111111111111, 1.1111111111111111e50}, ""},
        {"0." + std::string(346, '1') + "e5", {0.1111111111111111, 5}, ""},
    };
    for (const auto& c : cases) {
        input_stream in;
        load(in, c.input);
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            double value = unchanged;
            bool ok = read_number(in, value) == read_outcome::read;
            if (c.reads[i]) {
                EXPECT_TRUE(ok) << c.input << " read " << i;
                EXPECT_EQ(std::bit_cast<std::uint64_t>(value),
                          std::bit_cast<std::uint64_t>(*c.reads[i]))
                    << c.input << " read " << i << " gave " << value;
            } else {
                EXPECT_FALSE(ok) << c.input << " read " << i;
                EXPECT_EQ(value, unchanged) << c.input << " read " << i;
            }
        }
        EXPECT_EQ(remaining(in), c.left) << c.input;
    }
}

TEST(NumberReader, TakesAtMostTheLimitInOneRead) {
    input_stream in;
    load(in, std::string(400, '7'));
    double value = 0;
    ASSERT_EQ(read_number(in, value), read_outcome::read);
    EXPECT_EQ(in.position, static_cast<std::size_t>(number_text_limit));
}

} // namespace
