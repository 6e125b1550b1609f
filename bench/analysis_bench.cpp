#include "analysis/model.h"
#include "keep.h"
#include "report/number_format.h"
#include "typed_chain.h"

#include <array>

namespace {

constexpr std::array<typed_chain, 6> chains = {{
    {2, 1000, 4, 3000, 1},
    {0.5, 20000, 0.25, 50000, 0.1},
    {1, 1, 1, 1, 1},
    {12.5, 2.4e6, 3.1, 8.7e5, 45},
    {1, 1, 1, 1e-11, 1},
    {1, 1, 1, 0, 1}, // a stiffness typed 0: the general expansion and elimination
}};

void bm_analysis(benchmark::State& state) {
    std::array<disk_shaft_model, chains.size()> typed;
    for (std::size_t i = 0; i < chains.size(); ++i)
        typed[i] = typed_model(chains[i]);
    for (auto _ : state) {
        for (const disk_shaft_model& t : typed) {
            disk_shaft_model model = t;
            keep(model); // the typed values are not constants
            scale_model(model);
            system_matrices matrices = assemble_matrices(model);
            modal_result result = compute_natural_frequencies(model, matrices);
            keep(result);
            for (real omega : {real{0}, result.omega2_scaled, result.omega3_scaled}) {
                mode_shape shape = compute_mode_shape(model, matrices, omega);
                keep(shape);
            }
        }
    }
    disk_shaft_model model = typed[0];
    scale_model(model);
    modal_result result = compute_natural_frequencies(model, assemble_matrices(model));
    if (format_number(result.f2_hz.raw()) != "       4.177")
        state.SkipWithError("wrong frequency");
    state.counters["per_chain"] = per_item(chains.size());
}
BENCHMARK(bm_analysis);

} // namespace
