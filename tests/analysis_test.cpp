#include "analysis/model.h"
#include "chain_cases.h"
#include "read_all.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// The analysis run on typed input: what it printed, and where it stopped.
struct analysis_output {
    chain_cases::printed_fields printed;
    std::optional<int> stop_row;
    std::string console;
    std::string file;
};

// Typed input from memory; console and report file into memory files.
void open_memory_streams(run_streams& r, const std::string& typed) {
    open_text_input(r.input, typed);
    open_sink(r.console, memfd_create("console", 0), false);
    open_sink(r.report_file, memfd_create("report", 0), false);
}

analysis_output run_on(const std::string& typed) {
    run_streams r;
    open_memory_streams(r, typed);

    analysis_output out;
    disk_shaft_model model;
    model.disk_count = 3;
    try {
        run_analysis(model, r);
    } catch (const zero_pivot_stop& stop) {
        out.stop_row = stop.row;
    }
    flush_sink(r.console);
    flush_sink(r.report_file);
    out.console = rewound_contents(r.console.fd);
    out.file = rewound_contents(r.report_file.fd);

    out.printed = chain_cases::read_printed_fields(out.console, out.file);
    return out;
}

TEST(Analysis, PrintsFrequenciesAndModeShapesOfEachChain) {
    for (const chain_cases::chain_case& c : chain_cases::cases) {
        analysis_output out = run_on(c.typed);
        EXPECT_EQ(out.printed.frequencies, c.frequencies) << c.typed;
        EXPECT_EQ(out.printed.vectors, c.vectors) << c.typed;
        EXPECT_EQ(out.stop_row, c.stop_row) << c.typed;
        EXPECT_EQ(out.printed.stop_row, c.stop_row) << c.typed;
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
    run_streams r;
    open_memory_streams(r, "-3 -5 -2 1 -1");
    read_model(model, r);
    close(r.console.fd);
    close(r.report_file.fd);
    EXPECT_EQ(model.max_inertia.raw(), 0.0);
    EXPECT_EQ(model.max_stiffness.raw(), 1.0);
    scale_model(model);
    EXPECT_EQ(model.stiffness[1].raw(), -5.0);
    EXPECT_EQ(model.inertia[1].raw(), -std::numeric_limits<double>::infinity());
}

} // namespace
