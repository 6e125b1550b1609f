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

} // namespace
