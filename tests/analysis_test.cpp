#include "analysis/model.h"
#include "read_all.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// The analysis run on typed input, with what it printed picked apart.
struct analysis_output {
    std::vector<std::string> frequencies; // omega2, omega3, f2, f3 as printed
    std::vector<std::string> vectors;     // each "a, b, c"
    std::optional<int> stop_row;
    std::string console;
    std::string file;
};

std::string trimmed(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    return s;
}

std::string field_after(const std::string& text, const std::string& label) {
    std::size_t at = text.find(label);
    if (at == std::string::npos)
        return "<missing>";
    return trimmed(text.substr(at + label.size(), 12));
}

// Typed input from memory; console and report file into memory files.
void open_memory_report(report& r, const std::string& typed) {
    open_text_input(r.input, typed);
    open_sink(r.console, memfd_create("console", 0), false);
    open_sink(r.file, memfd_create("report", 0), false);
}

analysis_output run_on(const std::string& typed) {
    report r;
    open_memory_report(r, typed);

    analysis_output out;
    disk_shaft_model model;
    model.disk_count = 3;
    try {
        run_analysis(model, r);
    } catch (const zero_pivot_stop& stop) {
        out.stop_row = stop.row;
    }
    flush_sink(r.console);
    flush_sink(r.file);
    out.console = rewound_contents(r.console.fd);
    out.file = rewound_contents(r.file.fd);

    for (const char* label : {"omega2 = ", "omega3 = ", "f2 = ", "f3 = "})
        out.frequencies.push_back(field_after(out.console, label));
    // Each component stands on its own line: CR LF, a blank, a 12-character field.
    for (std::size_t at = 0;
         (at = out.file.find("Displacement Vector", at)) != std::string::npos;) {
        std::string v;
        for (int i = 0; i < 3; ++i) {
            at = out.file.find("\r\n ", at + 1);
            v += (i ? ", " : "") + trimmed(out.file.substr(at + 3, 12));
        }
        out.vectors.push_back(v);
    }
    return out;
}

struct chain_case {
    const char* typed; // inertia 1, stiffness 1, inertia 2, stiffness 2, inertia 3
    std::vector<std::string> frequencies;
    std::vector<std::string> vectors;
    std::optional<int> stop_row = std::nullopt;
};

const std::string nan_vector = "1.#QO, 1.#QO, -1.#IO";
const std::vector<std::string> zeros = {"0", "0", "0", "0"};
const std::vector<std::string> not_a_number = {"-1.#IO", "-1.#IO", "-1.#IO", "-1.#IO"};

TEST(Analysis, PrintsFrequenciesAndModeShapesOfEachChain) {
    const chain_case cases[] = {
        {"1 1 1 1 1", {"1", "1.732", "0.1592", "0.2757"}, {"1, 1, 1", "1, 0, -1", "1, -2, 1"}},
        {"2 1000 4 3000 1",
         {"26.24", "61.74", "4.177", "9.825"},
         {"1, 1, 1", "1, -0.3775, -0.49", "1, -6.622, 24.49"}},
        {"0.5 20000 0.25 50000 0.1",
         {"306", "852.3", "48.7", "135.6"},
         {"1, 1, 1", "1, -1.34, -1.649", "1, -17.16, 37.9"}},
        // No real non-negative roots: every mode is solved with frequency 0.
        {"1 -5 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
        {"0 1 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
        // A zero root passes; the uncoupled last disk leaves a zero last pivot.
        {"1 1 1 0 1", {"0", "1.414", "0", "0.2251"}, {nan_vector, nan_vector, "1, -1, 0"}},
        {"1 0 1 1 1", {"0", "1.414", "0", "0.2251"}, {nan_vector, nan_vector, nan_vector}},
        // A weak shaft is a real coupling, not rounding noise: it survives the
        // elimination.
        {"1 1 1 1e-11 1",
         {"3.873e-006", "1.414", "6.164e-007", "0.2251"},
         {"1, 1, 1", "1, 1, -2", "1, -1, 5e-012"}},
        {"1 1 1 1e-10 1",
         {"1.225e-005", "1.414", "1.949e-006", "0.2251"},
         {"1, 1, 1", "1, 1, -2", "1, -1, 5e-011"}},
        // Disk 1 barely moves in mode 3 (truly 1, -2e11, 2e11): its last pivot
        // cancels to rounding level and is flushed.
        {"1 1e-11 1 1 1",
         {"3.873e-006", "1.414", "6.164e-007", "0.2251"},
         {"1, 1, 1", "1, -0.5, -0.5", "1.#QO, -1.#IO, 1.#IO"}},
        // An ordinary chain whose mode 3 leaves disk 1 nearly still: the last
        // pivot is small but exact.
        {"66.19 7.591 691.2 354.6 1.834",
         {"0.3545", "13.92", "0.05641", "2.216"},
         {"1, 1, 1", "1, -0.09551, -0.09557", "1, -1689, 6.367e+005"}},
        {"1 1 1 2e-10 1",
         {"1.732e-005", "1.414", "2.757e-006", "0.2251"},
         {"1, 1, 1", "1, 1, -2", "1, -1, 1e-010"}},
        // Every inertia 0: the scale is infinite and 0 times it is not a number.
        {"0 1 0 1 0", not_a_number, {"1, 0, -1", "1, 0, -1", "1, 0, -1"}},
        {"1 0 1 0 1", zeros, {}, 0},
        {"1 -1 1 -1 1", zeros, {}, 1},
        {"0 0 0 0 0", not_a_number, {}, 0},
        {"x 1 1 1 1", not_a_number, {}, 0},
        // An infinite largest inertia scales to a NaN and the others to 0.
        {"1e400 1 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
    };
    for (const auto& c : cases) {
        analysis_output out = run_on(c.typed);
        EXPECT_EQ(out.frequencies, c.frequencies) << c.typed;
        EXPECT_EQ(out.vectors, c.vectors) << c.typed;
        EXPECT_EQ(out.stop_row, c.stop_row) << c.typed;
        if (c.stop_row) {
            std::string row = std::to_string(*c.stop_row);
            EXPECT_NE(out.console.find("\r\n diagonal term  " + row + " " + row + " equals zero "),
                      std::string::npos)
                << c.typed;
        }
    }
}

TEST(Analysis, EchoesTypedValuesBeforeScaling) {
    analysis_output out = run_on("2 12346 4 0.00001 -1");
    EXPECT_NE(out.file.find("\r\n\r\n Inertia of disk  1 =            2\r\n"), std::string::npos);
    EXPECT_NE(out.file.find("\r\n\r\n Stiffness of disk  1 =   1.235e+004\r\n"), std::string::npos);
    EXPECT_NE(out.file.find("\r\n\r\n Stiffness of disk  2 =       1e-005\r\n"), std::string::npos);
    EXPECT_NE(out.file.find("\r\n\r\n Inertia of disk  3 =           -1\r\n\r\n\r\n"),
              std::string::npos);
}

TEST(Analysis, ScalesByTheLargestValuesAndAssemblesTheChain) {
    disk_shaft_model model{
        .disk_count = 3,
        .inertia = {real{0}, real{2}, real{4}, real{1}},
        .stiffness = {real{0}, real{1000}, real{3000}},
        .max_inertia = real{4},
        .max_stiffness = real{3000},
    };
    scale_model(model);
    EXPECT_EQ(model.inertia[1].raw(), 0.5);
    EXPECT_EQ(model.inertia[2].raw(), 1.0);
    EXPECT_EQ(model.inertia[3].raw(), 0.25);
    EXPECT_EQ(model.stiffness[1].raw(), 1000.0 / 3000.0);
    EXPECT_EQ(model.stiffness[2].raw(), 1.0);
    EXPECT_EQ(model.max_inertia.raw(), 4.0);
    EXPECT_EQ(model.max_stiffness.raw(), 3000.0);

    system_matrices m = assemble_matrices(model);
    const double third = 1000.0 / 3000.0;
    const double k[3][3] = {{third, -third, 0}, {-third, third + 1, -1}, {0, -1, 1}};
    const double j[3][3] = {{0.5, 0, 0}, {0, 1, 0}, {0, 0, 0.25}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(m.stiffness_matrix[r][c].raw(), k[r][c]);
            EXPECT_EQ(m.mass_matrix[r][c].raw(), j[r][c]);
        }
}

TEST(Analysis, MaximaTakeOnlyStrictlyGreaterPositiveValues) {
    disk_shaft_model model;
    model.disk_count = 3;
    report r;
    open_memory_report(r, "-3 -5 -2 1 -1");
    read_model(model, r);
    close(r.console.fd);
    close(r.file.fd);
    EXPECT_EQ(model.max_inertia.raw(), 0.0);
    EXPECT_EQ(model.max_stiffness.raw(), 1.0);
    scale_model(model);
    EXPECT_EQ(model.stiffness[1].raw(), -5.0);
    EXPECT_EQ(model.inertia[1].raw(), -std::numeric_limits<double>::infinity());
}

} // namespace
