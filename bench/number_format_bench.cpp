#include "keep.h"
#include "report/number_format.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace {

// Typical results, negatives, zeros, values that round across a decade, and
// the largest and the smallest doubles (the longest exact expansions).
constexpr std::array<double, 16> values = {26.244056,
                                           61.743412,
                                           4.1768713,
                                           9.8265193,
                                           -0.37750,
                                           -6.6221847,
                                           24.490731,
                                           0.0,
                                           -0.0,
                                           1.0,
                                           12345.0,
                                           999.95,
                                           0.000012344,
                                           1e-20,
                                           1.7976931348623157e308,
                                           4.9406564584124654e-324};

void bm_format_number_into(benchmark::State& state) {
    char out[12];
    for (auto _ : state) {
        for (double v : values) {
            format_number_into(v, out);
            keep(out);
        }
    }
    format_number_into(values[0], out);
    if (std::string_view(out, 12) != "       26.24")
        state.SkipWithError("wrong text");
    state.counters["per_value"] = per_item(values.size());
}
BENCHMARK(bm_format_number_into);

void bm_snprintf(benchmark::State& state) {
    char out[32];
    for (auto _ : state) {
        for (double v : values) {
            std::snprintf(out, sizeof out, "%12.4g", v);
            keep(out);
        }
    }
    std::snprintf(out, sizeof out, "%12.4g", values[0]);
    if (std::string_view(out) != "       26.24")
        state.SkipWithError("wrong text");
    state.counters["per_value"] = per_item(values.size());
}
BENCHMARK(bm_snprintf);

} // namespace
