#include "analysis/number_reader.h"
#include "keep.h"
#include "report/input_stream.h"

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Whitespace-separated tokens as a user types them, short and long, with
// signs, points and exponents, subnormal, overflowing and underflowing.
constexpr std::string_view tokens = "2\n1000\n4\n3000\n1\n0.5 20000 0.25 50000 0.1\n"
                                    "-5 1e-11 12345.678 .25 +7 6.02214076e23\n"
                                    "0.000012344 3.14159265358979323846 1E+300 2.5e-320\n"
                                    "1e999 1e-999 -0.0 123456789012345678901234567890\n";
constexpr std::size_t token_count = 24;
using values = std::array<double, token_count>;

values read_all_with_read_number() {
    input_stream in;
    open_text_input(in, tokens);
    values v{};
    for (double& x : v)
        read_number(in, x);
    return v;
}

values read_all_with_strtod() {
    std::string text(tokens);
    const char* p = text.c_str();
    values v{};
    for (double& x : v) {
        char* end = nullptr;
        x = std::strtod(p, &end);
        p = end;
    }
    return v;
}

void bm_read_number(benchmark::State& state) {
    // A filled buffer that has already met the end of input: no system call.
    input_stream in;
    open_text_input(in, tokens);
    std::size_t read = 0;
    for (auto _ : state) {
        in.position = 0;
        read = 0;
        double value = 0;
        while (read_number(in, value) == read_outcome::read) {
            keep(value);
            ++read;
        }
    }
    if (read != token_count || read_all_with_read_number() != read_all_with_strtod())
        state.SkipWithError("the two readers disagree");
    state.counters["per_token"] = per_item(token_count);
}
BENCHMARK(bm_read_number);

void bm_strtod(benchmark::State& state) {
    std::string text(tokens);
    std::size_t read = 0;
    for (auto _ : state) {
        const char* p = text.c_str();
        read = 0;
        for (;;) {
            char* end = nullptr;
            double value = std::strtod(p, &end);
            if (end == p)
                break;
            keep(value);
            p = end;
            ++read;
        }
    }
    if (read != token_count)
        state.SkipWithError("token count differs");
    state.counters["per_token"] = per_item(token_count);
}
BENCHMARK(bm_strtod);

} // namespace
