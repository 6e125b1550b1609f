// What each numeric read reports, which decides the note the dialogue writes.

#include "analysis/number_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using outcome = read_outcome;

struct outcome_case {
    std::string input;
    std::vector<outcome> reads;
};

TEST(ReadOutcome, TellsANumberFromNoNumberAndFromTheEnd) {
    const outcome_case cases[] = {
        {"", {outcome::ended, outcome::ended}},
        {" \t\r\n\v\f", {outcome::ended}},
        {"7", {outcome::read, outcome::ended}},
        {"5e ", {outcome::read, outcome::ended}},
        // A sign or point alone is lost, and the end comes only on the next read.
        {"-", {outcome::not_a_number, outcome::ended}},
        {".\n", {outcome::not_a_number, outcome::ended}},
        {"+ 3", {outcome::not_a_number, outcome::read, outcome::ended}},
        // A character no read takes fails every read after it.
        {"1,5", {outcome::read, outcome::not_a_number, outcome::not_a_number}},
        {"x", {outcome::not_a_number, outcome::not_a_number, outcome::not_a_number}},
        {"-x", {outcome::not_a_number, outcome::not_a_number}},
        {"e5", {outcome::not_a_number, outcome::not_a_number}},
    };
    for (const outcome_case& c : cases) {
        input_stream in;
        open_text_input(in, c.input);
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            double value = -777;
            outcome got = read_number(in, value);
            EXPECT_EQ(got, c.reads[i]) << '"' << c.input << "\" read " << i;
            if (got != outcome::read) {
                EXPECT_EQ(value, -777) << '"' << c.input << "\" read " << i;
            }
        }
    }
}

struct cut_case {
    std::string input;
    number_cut cut;   // of the first read
    std::string rest; // what the second read starts from, up to its first blank
};

// Which first reads are cut short, and that what follows the cut stays for the
// next read.
TEST(ReadOutcome, TellsANumberCutShort) {
    const std::string limit_digits(number_text_limit, '1');
    const cut_case cases[] = {
        {"2,5", number_cut::by_character, ",5"},
        {"100Nm", number_cut::by_character, "Nm"},
        {"1.2.3", number_cut::by_character, ".3"},
        {"5e+x", number_cut::by_character, "x"},
        {"5e 3", number_cut::none, "3"},
        {"7", number_cut::none, ""},
        {"7\r\n8", number_cut::none, "8"},
        {"-x", number_cut::none, "x"},
        {limit_digits + " 2", number_cut::none, "2"},
        {limit_digits + "25", number_cut::at_limit, "25"},
        {limit_digits.substr(1) + "x", number_cut::by_character, "x"},
    };
    for (const cut_case& c : cases) {
        input_stream in;
        open_text_input(in, c.input);
        double value = 0;
        number_cut cut = number_cut::by_character;
        read_number(in, value, cut);
        EXPECT_EQ(cut, c.cut) << '"' << c.input << '"';
        skip_blank_space(in);
        std::string rest;
        while (peek_byte(in) != end_of_input && !is_blank_space(peek_byte(in))) {
            rest += static_cast<char>(peek_byte(in));
            take_byte(in);
        }
        EXPECT_EQ(rest, c.rest) << '"' << c.input << '"';
    }
}

} // namespace
